// Lexical stress and the choice between open and close stressed mid vowels.
#include <cstdio>
#include <cstring>
#include <iterator>

#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/word_to_segments.h"

// Function words that stay unstressed inside a phrase ("no" stands twice in
// the traditional list and is kept so).
const char* const unstressed_words[] = {
    "a",   "as",   "o",    "os",   "eu",  "la",   "las", "lha",  "lhas", "lhe",  "lhes",
    "lho", "lhos", "lo",   "los",  "ma",  "mas",  "me",  "mim",  "mo",   "mos",  "no",
    "nos", "se",   "si",   "ta",   "tas", "te",   "ti",  "to",   "tos",  "tu",   "vo",
    "vos", "meu",  "teu",  "seu",  "meus", "teus", "seus", "in",  "\xe0",  // à
    "ao",  "aos",
    "\xe0s",  // às
    "da",  "das",  "de",   "do",   "dos", "dum",  "duns", "em",   "na",   "nas",  "no",
    "num", "nuns", "para", "por",  "e",   "ou",
    "\xe9",  // é
    nullptr,
};

// A tilde on the last syllable marks its stress.  Besides the plural forms,
// the verb endings "-õe" and "-õem" (dispõe, compõem) are stressed there too.
const char* const final_stress_endings[] = {
    "\xe3o",      // ão
    "\xe3os",     // ãos
    "\xe3" "es",  // ães
    "\xf5" "es",  // ões
    "\xf5" "e",   // õe
    "\xf5" "em",  // õem
    nullptr,
};

const char* const penultimate_stress_endings[] = {
    "a", "e", "o", "am", "em", "as", "es", "os", "ans", "ens", "ons", "gem", nullptr,
};

const char* const close_mid_vowel_words[] = {
    "besta", "bestas", "consertos", "pedro", "verde", "verdes", "zeugma", "aeroporto",
    "aposto", "corte",  "couto",
    "c\xf4rte",  // côrte
    "morto", "porto",  "ouro",  "ouros",  "outra",  "outras", "outrem", "outro", "outros", "ouve", "souto",
    nullptr,
};

namespace {

// Pairs of phones after a stressed "e1" or "o1" that open it.
struct PhonePair {
  const char* first;
  const char* second;
};
constexpr PhonePair kOpeningPairsE[] = {{"r", "t"}, {"r", "ch"}, {"r", "d"}, {"r", "jh"},
                                        {"s", "t"}, {"k", "t"},  {"k", "ch"}, {"d", "r"}};
constexpr PhonePair kOpeningPairsO[] = {{"r", "t"}, {"r", "ch"}, {"r", "d"}, {"r", "jh"}, {"d", "r"}};

const char* name_of(const Value* cell) { return value_string(value_car(cell)); }

bool is_mark(const Value* cell) { return strcmp(name_of(cell), "-") == 0; }

const Value* next_phone(const Value* cell) {
  for (cell = value_cdr(cell); cell && is_mark(cell); cell = value_cdr(cell)) {
  }
  return cell;
}

bool ends_with_any(const char* word, const char* const* endings) {
  return string_suffix_in_list(word, endings) != nullptr;
}

bool opens(const char* vowel, const Value* cell, const Phoneset* ps) {
  const Value* f1 = next_phone(cell);
  if (!f1) return false;
  const char* n1 = name_of(f1);
  bool front = vowel[0] == 'e';
  if (front && strcmp(n1, "h") == 0) return true;
  const Value* f2 = next_phone(f1);
  if (!f2) return false;
  const char* n2 = name_of(f2);
  if (strcmp(n1, "w") == 0 && !phone_is_vowel(ps, n2)) return true;
  const PhonePair* pairs = front ? kOpeningPairsE : kOpeningPairsO;
  size_t count = front ? std::size(kOpeningPairsE) : std::size(kOpeningPairsO);
  for (size_t i = 0; i < count; ++i)
    if (strcmp(n1, pairs[i].first) == 0 && strcmp(n2, pairs[i].second) == 0) return true;
  return false;
}

// Replaces the string held by a list cell.
void replace_name(Value* cell, const char* name) {
  Value* old = cell->head.car;
  Value* fresh = value_retain(value_new_string(name));
  cell->head.car = fresh;
  value_release(old);
}

}  // namespace

bool phone_is_vowel(const Phoneset* ps, const char* phone) {
  char base[16];
  size_t n = strlen(phone);
  if (n >= sizeof base) return false;
  memcpy(base, phone, n + 1);
  while (n > 0 && strchr("0123?", base[n - 1])) base[--n] = '\0';
  if (n == 0) return false;
  return strcmp(phone_feature_string(ps, base, "vc"), "+") == 0;
}

bool is_open_mid_vowel_word(const char* word) {
  int32_t low = 0, high = open_mid_vowel_word_count;
  while (low < high) {
    int32_t mid = (low + high) / 2;
    int c = string_compare_bytes(word, open_mid_vowel_words[mid]);
    if (c == 0) return true;
    if (c > 0) low = mid + 1;
    else high = mid;
  }
  return false;
}

Value* mark_stress(const Phoneset* ps, Value* phones, int level, int syllable) {
  if (syllable < 0) return phones;
  int index = 0;
  for (Value* c = phones; c; c = value_cdr(c)) {
    const char* name = name_of(c);
    if (strcmp(name, "-") == 0) {
      ++index;
      continue;
    }
    if (index != syllable || !phone_is_vowel(ps, name)) continue;
    char marked[8];
    snprintf(marked, sizeof marked, "%s%d", name, level);
    replace_name(c, marked);
  }
  return phones;
}

Value* assign_stress(const Phoneset* ps, const char* word, Value* phones, int phrase_final) {
  if (!phrase_final && string_in_list(word, unstressed_words)) return phones;
  int syllables = 0;
  bool in_syllable = false;
  for (const Value* c = phones; c; c = value_cdr(c)) {
    const char* name = name_of(c);
    size_t n = strlen(name);
    if (n > 0 && strchr("123", name[n - 1])) return phones;  // an accent already placed the stress
    if (strcmp(name, "-") == 0) {
      in_syllable = false;
    } else if (!in_syllable) {
      in_syllable = true;
      ++syllables;
    }
  }
  int k;
  if (syllables == 1) k = 0;
  else if (ends_with_any(word, final_stress_endings)) k = syllables - 1;
  else if (ends_with_any(word, penultimate_stress_endings)) k = syllables - 2;
  else k = syllables - 1;
  return mark_stress(ps, phones, 1, k);
}

void open_mid_vowels(const Phoneset* ps, const char* word, Value* phones) {
  if (string_in_list(word, close_mid_vowel_words)) return;
  bool listed = is_open_mid_vowel_word(word);
  for (Value* c = phones; c; c = value_cdr(c)) {
    const char* name = name_of(c);
    bool e = strcmp(name, "e1") == 0;
    if (!e && strcmp(name, "o1") != 0) continue;
    if (listed || opens(name, c, ps)) replace_name(c, e ? "eh1" : "oh1");
  }
}
