// Syllable boundaries in a phone list.
#include <cstring>

#include "core/value.h"
#include "lang_pt_br/word_to_segments.h"

namespace {

constexpr const char* kFricatives[] = {"ch", "jh", "f", "h", "lj", "s", "sh", "z", "zh", nullptr};
constexpr const char* kNasals[] = {"m", "n", "ni", nullptr};
constexpr const char* kPlosives[] = {"b", "p", "d", "t", "g", "k", nullptr};
constexpr const char* kGlides[] = {"j", "w", nullptr};

bool in_set(const char* phone, const char* const* set) {
  if (!phone) return false;
  for (; *set; ++set)
    if (strcmp(phone, *set) == 0) return true;
  return false;
}

bool begins_with_vowel(const char* phone) { return phone && phone[0] && strchr("aeiou", phone[0]); }

const char* name_of(const Value* cell) { return cell ? value_string(value_car(cell)) : nullptr; }

}  // namespace

int boundary_after(const Value* cell) {
  const char* c = name_of(cell);
  const Value* cell1 = value_cdr(cell);
  const char* c1 = name_of(cell1);
  const char* c2 = cell1 ? name_of(value_cdr(cell1)) : nullptr;
  if (!c2) return 1;
  if (begins_with_vowel(c)) {
    if (begins_with_vowel(c2)) return 1;
    if (in_set(c2, kFricatives) || in_set(c2, kNasals) || in_set(c2, kPlosives)) return 0;
    if (strcmp(c1, "d") == 0 && strcmp(c2, "r") != 0) return 0;
    if (in_set(c1, kPlosives)) return 1;
    return in_set(c2, kGlides) ? 1 : 0;
  }
  if (!in_set(c1, kFricatives)) return 1;
  if (in_set(c2, kFricatives) || in_set(c2, kPlosives)) return 0;
  return 1;
}

Value* syllabify(Value* phones) {
  if (!phones || !value_cdr(phones)) return phones;
  bool have_vowel = false;
  Value* c = phones;
  while (Value* n = value_cdr(c)) {
    const char* name = name_of(c);
    if (begins_with_vowel(name)) have_vowel = true;
    else if (strcmp(name, "-") == 0) have_vowel = false;
    const char* next = name_of(n);
    bool boundary = false;
    if (strcmp(next, "pau") == 0) {
      boundary = true;
    } else {
      const Value* e = n;
      while (e && strcmp(name_of(e), "-") != 0 && !begins_with_vowel(name_of(e))) e = value_cdr(e);
      if (e && strcmp(name_of(e), "-") != 0 && have_vowel) {
        if (begins_with_vowel(next)) boundary = true;
        else if (!value_cdr(n)) boundary = false;
        else boundary = boundary_after(c) == 1;
      }
    }
    if (boundary) {
      Value* mark = value_cons(value_new_string("-"), n);
      value_set_cdr(c, mark);
      c = mark;
      have_vowel = false;
    }
    c = value_cdr(c);
  }
  return phones;
}
