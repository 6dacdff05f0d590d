// Helpers of the pronunciation tests: phone lists as readable strings.
#pragma once

#include <string>

#include "core/value.h"

namespace prontest {

// "k a1 - z a" for the list ("k" "a1" "-" "z" "a"); takes the list over.
inline std::string join(Value* list) {
  std::string s;
  for (const Value* c = list; c; c = value_cdr(c)) {
    if (!s.empty()) s += ' ';
    s += value_string(value_car(c));
  }
  value_release(list);
  return s;
}

// A list of string Values from space-separated names.
inline Value* make(const std::string& names) {
  Value* head = nullptr;
  Value* tail = nullptr;
  size_t i = 0;
  while (i < names.size()) {
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

}  // namespace prontest
