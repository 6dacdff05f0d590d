#include "tools/voicebuild/labels.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

bool parse_seconds(const std::string& word, double* out) {
  if (word.empty()) return false;
  errno = 0;
  char* end = nullptr;
  double v = strtod(word.c_str(), &end);
  if (errno != 0 || end != word.c_str() + word.size() || !std::isfinite(v) || v < 0) return false;
  *out = v;
  return true;
}

}  // namespace

bool parse_labels(const std::string& text, const std::function<bool(const std::string&)>& known_phone,
                  std::vector<PhoneLabel>* out, std::string* error) {
  out->clear();
  std::istringstream in(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    *error = std::to_string(number) + ": " + why;
    out->clear();
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::vector<std::string> fields;
    for (std::string w; words >> w;) fields.push_back(w);
    if (fields.empty() || fields[0][0] == '#') continue;
    if (fields.size() != 3) return fail("expected START END PHONE, found " + std::to_string(fields.size()) + " fields");
    PhoneLabel label;
    if (!parse_seconds(fields[0], &label.start)) return fail("start '" + fields[0] + "' is not a time in seconds");
    if (!parse_seconds(fields[1], &label.end)) return fail("end '" + fields[1] + "' is not a time in seconds");
    if (label.end <= label.start) return fail("the phone ends at or before its start");
    if (!out->empty() && label.start < out->back().end - 1e-6)
      return fail("the phone starts before the previous one ends");
    label.phone = fields[2];
    if (!known_phone(label.phone)) return fail("unknown phone '" + label.phone + "'");
    out->push_back(label);
  }
  if (out->empty()) {
    *error = "no phones";
    return false;
  }
  return true;
}

std::string format_labels(const std::vector<PhoneLabel>& labels) {
  std::string out;
  char line[96];
  for (const PhoneLabel& l : labels) {
    snprintf(line, sizeof line, "%.6f %.6f %s\n", l.start, l.end, l.phone.c_str());
    out += line;
  }
  return out;
}

bool read_text_file(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *out = s.str();
  return true;
}
