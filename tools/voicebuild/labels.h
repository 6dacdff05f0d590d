// Phone labels of a recording: one line per phone, "START END PHONE", the
// times in seconds from the start of the recording and the phone a name of
// the voice's phoneset ("pau" for silence).  Blank lines and lines starting
// with '#' are ignored.  Phones follow each other in time: each ends after it
// starts, and none starts before the previous one ended.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct PhoneLabel {
  double start = 0;
  double end = 0;
  std::string phone;
};

// Parses the label text; false with "LINE: reason" in `error` on the first
// bad line.  `known_phone` says which phone names are allowed.
bool parse_labels(const std::string& text, const std::function<bool(const std::string&)>& known_phone,
                  std::vector<PhoneLabel>* out, std::string* error);

// The label text of `labels`, readable by parse_labels.
std::string format_labels(const std::vector<PhoneLabel>& labels);

// The whole of the file at `path` (a recording's text or labels) in `out`;
// false when it cannot be opened.
bool read_text_file(const std::string& path, std::string* out);
