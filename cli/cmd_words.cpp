// selvana words: the words the voice reads for each token of a text.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "core/item.h"
#include "core/value.h"
#include "cli/args.h"
#include "cli/commands.h"
#include "cli/input.h"
#include "host/text_io.h"
#include "host/tokens.h"
#include "host/voice_host.h"

namespace {

constexpr char kWho[] = "selvana words";

void usage(FILE* out) {
  fprintf(out,
          "usage: selvana words [--interpret-as HINT] [--format FORMAT] [--voice DIR] [--module PATH] [TEXT...]\n"
          "\n"
          "Cuts the text into tokens as the voice does and prints, for each token, one\n"
          "line: the token's name as the voice left it, a tab, then the words it reads\n"
          "for that token separated by single spaces.  The text is the arguments joined\n"
          "by spaces, or standard input when there are none; input and output are UTF-8\n"
          "(characters outside ISO-8859-15 are reported on standard error and skipped).\n"
          "\n"
          "Options:\n"
          "  --interpret-as HINT  set the markup hint interpret-as on every token:\n"
          "                       characters, number, cardinal, ordinal, digits,\n"
          "                       fraction, time or date\n"
          "  --format FORMAT      set interpret-as-format on every token (the order of a\n"
          "                       date's fields with the letters d, m and y, as dmy or my)\n"
          "  --voice DIR          voice directory (default: the one next to the tool)\n"
          "  --module PATH        voice module (default: the one next to the tool)\n"
          "  --help               show this text\n");
}

// Converts a UTF-8 option value for the module, reporting what it cannot hold.
std::string option_text(const std::string& utf8) {
  std::vector<TextIssue> issues;
  std::string text = utf8_to_latin9(utf8, &issues);
  report_text_issues(stderr, kWho, issues);
  return text;
}

}  // namespace

int cmd_words(int argc, char** argv) {
  HostOptions options;
  std::string hint, format, error;
  bool have_hint = false, have_format = false;
  std::vector<std::string> texts;
  std::vector<CliArg> args;
  if (CliStatus st = cli_parse_host(argc, argv, kWho, {{1, "--interpret-as", true}, {2, "--format", true}}, &args,
                                    &texts, &options);
      st != CliStatus::kRun)
    return cli_exit(st, usage);
  for (const CliArg& a : args) {
    if (a.id == 1) hint = a.value, have_hint = true;
    if (a.id == 2) format = a.value, have_format = true;
  }
  std::string text = cli_input_latin9(kWho, texts);
  std::string hint_text = have_hint ? option_text(hint) : std::string();
  std::string format_text = have_format ? option_text(format) : std::string();

  HostVoice host;
  if (!cli_voice_open(kWho, &host, options)) return 1;
  Utterance* utterance = host_utterance_new(host.voice);
  if (!utterance_token_function(utterance)) {
    fprintf(stderr, "%s: the voice has no tokentowords_func\n", kWho);
    utterance_delete(utterance);
    host_voice_close(&host);
    return 1;
  }
  Relation* tokens = tokenize_text(utterance, text.c_str());
  for (Item* token = tokens->head; token; token = token->next) {
    if (have_hint) item_set_string(token, "interpret-as", hint_text.c_str());
    if (have_format) item_set_string(token, "interpret-as-format", format_text.c_str());
  }
  std::string line;
  for (Item* token = tokens->head; token; token = token->next) {
    Value* words = token_words(utterance, token);
    Value* name = item_feature(token, "name");
    line = latin9_to_utf8(value_type(name) == kTypeString ? value_string(name) : "");
    line += '\t';
    bool first = true;
    for (Value* cell = words; cell; cell = value_cdr(cell)) {
      Value* word = value_car(cell);
      if (value_type(word) != kTypeString) continue;
      if (!first) line += ' ';
      line += latin9_to_utf8(value_string(word));
      first = false;
    }
    line += '\n';
    fputs(line.c_str(), stdout);
    value_release(words);
  }
  utterance_delete(utterance);
  host_voice_close(&host);
  return 0;
}
