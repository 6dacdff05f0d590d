// Brazilian Portuguese number words: cardinals with gender agreement,
// ordinals, signed decimals with exponent, digit strings and roman numerals.
// Every reader returns a list Value of string Values (ISO-8859-15), null for
// no words.
#pragma once

#include <cstdint>

struct Value;

struct NumberForm {
  bool ordinal = false;      // ordinal words instead of cardinals
  bool feminine = false;     // feminine agreement
  bool plural = false;       // plural ordinal ending (cardinals ignore it)
  bool after_group = false;  // lower part after "mil"/"milhão"/"milhões"
};

struct NumberWord {
  const char* cardinal;
  const char* ordinal_stem;  // the ordinal without its final vowel
};

// Word tables.
extern const NumberWord number_units[20];     // 0..19
extern const NumberWord number_tens[10];      // indexed by the tens digit 2..9
extern const NumberWord number_hundreds[10];  // indexed by the hundreds digit 1..9
extern const NumberWord number_hundred_exact; // 100
extern const NumberWord number_thousand;
extern const NumberWord number_million;
extern const NumberWord number_millions;
extern const NumberWord number_billion;
extern const NumberWord number_billions;

// One word of a pair in the given form.
Value* number_word(const NumberWord& word, NumberForm form);
// A string of ASCII digits; 13 digits or more are read one by one.
Value* number_to_words(const char* digits, NumberForm form);
// Digits that may hold "." thousands separators.
Value* number_string_to_words(const char* digits, NumberForm form);
Value* cardinal_to_words(const char* digits);
// `form` may add feminine and plural; ordinal is added.
Value* ordinal_to_words(const char* digits, NumberForm form);
// Optional sign, decimal comma part and exponent.
Value* signed_number_to_words(const char* text, NumberForm form);
// The name of every ASCII digit ("zero".."nove"); other characters skipped.
Value* digits_to_words(const char* text);
// Value of a roman numeral (either case); unknown letters add nothing.
int32_t roman_to_int(const char* text);
