#include "cli/input.h"

#include <cstdio>

#include "host/text_io.h"

std::string cli_input_text(const std::vector<std::string>& args) {
  std::string text;
  if (args.empty()) {
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, stdin)) > 0) text.append(buffer, n);
    return text;
  }
  for (size_t k = 0; k < args.size(); ++k) {
    if (k) text += ' ';
    text += args[k];
  }
  return text;
}

std::string cli_input_latin9(const char* who, const std::vector<std::string>& args) {
  std::vector<TextIssue> issues;
  std::string text = utf8_to_latin9(cli_input_text(args), &issues);
  report_text_issues(stderr, who, issues);
  return text;
}
