// Small helpers shared by the token readers: building word lists, reading
// digit values and testing the letter set of Brazilian Portuguese text.
#pragma once

#include <cstdint>

#include "core/value.h"

struct Regex;

namespace tokwords {

// A word list under construction, with its last cell kept at hand so that
// appending does not walk the list.
struct WordList {
  Value* head = nullptr;
  Value* tail = nullptr;

  // Appends a whole list (which then belongs to this one).
  void add(Value* list) {
    if (!list) return;
    if (!head)
      head = list;
    else
      value_set_cdr(tail, list);
    tail = value_last_cell(list);
  }
  // Appends one word (copied).
  void word(const char* text) { add(value_cons(value_new_string(text), nullptr)); }
  bool empty() const { return head == nullptr; }
  // Hands the list to the caller.
  Value* take() {
    Value* list = head;
    head = tail = nullptr;
    return list;
  }
};

// A list of one word.
inline Value* one_word(const char* text) { return value_cons(value_new_string(text), nullptr); }

inline bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// The letters of the token patterns: a-z, A-Z and the accented letters of
// Portuguese in both cases (ISO-8859-15).
bool is_letter(unsigned char c);

// The decimal value of a digit string read from its leading digits, every
// "." skipped; 0 without a leading digit.  Saturates instead of overflowing.
int64_t digit_value(const char* text);

// True when every byte of the text is an ASCII digit (false for "").
bool all_digits(const char* text);

// A cheap test that every text matching one of the token patterns passes
// (first character, a separator that must occur, a minimum length); true
// for patterns it has no test for.  It spares the matcher the tokens that
// cannot match.
bool may_match(const Regex* pattern, const char* text);
// may_match, then the pattern itself.
bool matches(const Regex* pattern, const char* text);

}  // namespace tokwords
