// Fractions such as 3/4, 1+1/2 and -1-1/2.
#pragma once

#include <cstdint>

struct Item;
struct Value;

// A piece of the parsed text: `length` bytes from `start`.
struct FractionPart {
  const char* start = nullptr;  // null: absent
  int32_t length = 0;
};

// The parts of a fraction text; they point into the parsed text.
struct Fraction {
  char sign = 0;  // '+', '-' or 0 for none
  FractionPart whole;
  FractionPart numerator;
  FractionPart denominator;  // the rest of the text after "/"
};

// Fills `out` and returns true when `text` has the shape of a fraction:
// [sign] [whole (+|-)] numerator "/" denominator, where the sign between the
// whole and the numerator agrees with the leading sign ("+" with none or
// "+", "-" with "-") and no part is empty.
bool parse_fraction(const char* text, Fraction* out);

// The words of a fraction ("três quartos", "um e um meio", "cinco sobre
// doze", "um dividido por zero"); null when the text is not a fraction.
Value* fraction_to_words(Item* token, const char* text);
