// Fractions.
#include "lang_pt_br/fractions.h"

#include <cstring>

#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/numbers.h"
#include "lang_pt_br/token_to_words.h"
#include "lang_pt_br/token_to_words_util.h"
#include "lang_pt_br/token_patterns.h"

using tokwords::WordList;

bool parse_fraction(const char* text, Fraction* out) {
  Fraction f;
  const char* rest = text;
  if (*rest == '+' || *rest == '-') f.sign = *rest++;
  const char* slash = strchr(rest, '/');
  if (!slash || slash == rest) return false;
  const char* joint = nullptr;  // the sign between whole and numerator
  for (const char* p = rest; p < slash; ++p)
    if (*p == '+' || *p == '-') {
      joint = p;
      break;
    }
  if (joint) {
    bool agrees = (*joint == '+' && f.sign != '-') || (*joint == '-' && f.sign == '-');
    if (!agrees || joint + 1 == slash || joint == rest) return false;
    f.whole = {rest, static_cast<int32_t>(joint - rest)};
    f.numerator = {joint + 1, static_cast<int32_t>(slash - joint - 1)};
  } else {
    f.numerator = {rest, static_cast<int32_t>(slash - rest)};
  }
  f.denominator = {slash + 1, static_cast<int32_t>(strlen(slash + 1))};
  if (f.denominator.length == 0) return false;
  *out = f;
  return true;
}

namespace {

char* part_copy(const FractionPart& part) { return string_sub(part.start, 0, part.length); }

// Denominators read as ordinals: 1 to 10, the hundreds up to a thousand, a
// million and a billion.
bool ordinal_denominator(int64_t d) {
  return (d >= 1 && d <= 10) || (d % 100 == 0 && d >= 100 && d <= 1000) || d == 1000000 ||
         d == 1000000000;
}

}  // namespace

Value* fraction_to_words(Item* token, const char* text) {
  Fraction f;
  if (!parse_fraction(text, &f)) return nullptr;
  WordList words;
  if (f.sign == '+') words.word("mais");
  if (f.sign == '-') words.word("menos");
  if (f.whole.start) {
    char* whole = part_copy(f.whole);
    words.add(default_token_to_words(token, whole));
    words.word("e");
    heap_free(whole);
  }
  char* numerator = part_copy(f.numerator);
  char* denominator = part_copy(f.denominator);
  if (regex_matches(&integer_pattern, numerator) && regex_matches(&integer_pattern, denominator) &&
      strcmp(denominator, "0") != 0) {
    int64_t n = tokwords::digit_value(numerator);
    int64_t d = tokwords::digit_value(denominator);
    words.add(cardinal_to_words(numerator));
    if (d == 2) {
      words.word(n < 2 ? "meio" : "meios");
    } else if (d == 3) {
      words.word(n < 2 ? "ter\xe7o" /* terço */ : "ter\xe7os" /* terços */);
    } else if (ordinal_denominator(d)) {
      NumberForm form;
      form.plural = n >= 2;
      words.add(ordinal_to_words(denominator, form));
    } else {
      words.word("sobre");
      words.add(cardinal_to_words(denominator));
    }
  } else {
    words.add(default_token_to_words(token, numerator));
    words.word("dividido");
    words.word("por");
    const char* d = denominator;
    if (*d == '-') {
      words.word("menos");
      ++d;
    }
    words.add(default_token_to_words(token, d));
  }
  heap_free(numerator);
  heap_free(denominator);
  return words.take();
}
