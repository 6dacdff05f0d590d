// Helpers for the text front-end tests.
//
// Convention: expected texts in these tests are written in UTF-8 for
// readability; latin15() turns them into the ISO-8859-15 bytes the module
// works with, and words() turns a word list back into UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "core/value.h"

namespace texttest {

// The eight places where ISO-8859-15 differs from Latin-1.
struct Latin15Diff {
  unsigned char byte;
  uint32_t code_point;
};
inline constexpr Latin15Diff kLatin15Diffs[] = {
    {0xA4, 0x20AC}, {0xA6, 0x0160}, {0xA8, 0x0161}, {0xB4, 0x017D},
    {0xB8, 0x017E}, {0xBC, 0x0152}, {0xBD, 0x0153}, {0xBE, 0x0178},
};

inline std::string latin15(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    uint32_t cp = c;
    size_t len = 1;
    if (c >= 0xE0) {
      cp = ((c & 0x0Fu) << 12) | ((utf8[i + 1] & 0x3Fu) << 6) | (utf8[i + 2] & 0x3Fu);
      len = 3;
    } else if (c >= 0xC0) {
      cp = ((c & 0x1Fu) << 6) | (utf8[i + 1] & 0x3Fu);
      len = 2;
    }
    unsigned char b = static_cast<unsigned char>(cp);
    for (const Latin15Diff& d : kLatin15Diffs)
      if (d.code_point == cp) b = d.byte;
    out += static_cast<char>(b);
    i += len;
  }
  return out;
}

inline std::string utf8(const std::string& latin) {
  std::string out;
  for (unsigned char b : latin) {
    uint32_t cp = b;
    for (const Latin15Diff& d : kLatin15Diffs)
      if (d.byte == b) cp = d.code_point;
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

// The words of a list of string Values, in UTF-8, separated by single
// spaces; releases the list.
inline std::string words(Value* list) {
  std::string out;
  for (Value* c = list; c != nullptr; c = value_cdr(c)) {
    if (!out.empty()) out += ' ';
    out += utf8(value_string(value_car(c)));
  }
  value_release(list);
  return out;
}

// The elements of a list joined by "|" (to see element boundaries).
inline std::string elements(Value* list) {
  std::string out;
  for (Value* c = list; c != nullptr; c = value_cdr(c)) {
    if (c != list) out += '|';
    out += utf8(value_string(value_car(c)));
  }
  value_release(list);
  return out;
}

}  // namespace texttest
