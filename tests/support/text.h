// Texts and word lists in tests.
//
// Tests write texts and expected words as UTF-8 literals for readability;
// latin9() turns them into the ISO-8859-15 bytes the module reads (with the
// host's own converter), and words() turns a list the module made back into
// one UTF-8 line.
#pragma once

#include <string>

#include "core/value.h"
#include "host/text_io.h"

namespace testtext {

inline std::string latin9(const std::string& utf8) { return utf8_to_latin9(utf8, nullptr); }
inline std::string utf8(const std::string& latin9) { return latin9_to_utf8(latin9); }

// The elements of a list of string Values, in UTF-8, joined by `separator`;
// releases the list.  words("k" "a1" "-" "z" "a") is "k a1 - z a".
inline std::string words(Value* list, char separator = ' ') {
  std::string out;
  for (const Value* c = list; c; c = value_cdr(c)) {
    if (c != list) out += separator;
    out += utf8(value_string(value_car(c)));
  }
  value_release(list);
  return out;
}

// The same with "|" between elements, to see where each one ends.
inline std::string elements(Value* list) { return words(list, '|'); }

// A list of string Values from space-separated names.
inline Value* list_of(const std::string& names) {
  Value* head = nullptr;
  Value* tail = nullptr;
  for (size_t i = 0; i < names.size();) {
    size_t j = names.find(' ', i);
    if (j == std::string::npos) j = names.size();
    if (j > i) {
      Value* cell = value_cons(value_new_string(names.substr(i, j - i).c_str()), nullptr);
      if (tail) value_set_cdr(tail, cell);
      else head = cell;
      tail = cell;
    }
    i = j + 1;
  }
  return head;
}

}  // namespace testtext
