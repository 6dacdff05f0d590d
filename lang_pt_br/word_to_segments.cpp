// Word to phone list: the driver of the pronunciation pipeline.
#include "lang_pt_br/word_to_segments.h"

#include <cstring>

#include "core/item.h"
#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/letters.h"
#include "lang_pt_br/lts.h"

namespace {

// This voice's own word-entry table is empty: every word goes through the
// letter-to-sound rules, whose first block holds the exceptions.
constexpr WordEntry kWordEntries[] = {nullptr};

// Letters that make a word pronounceable (ISO-8859-15).
constexpr char kVowelLetters[] =
    "AEIOUYaeiouy"
    "\xc1\xc9\xcd\xd3\xda\xc0\xc2\xca\xd4\xc3\xd5\xdc"   // Á É Í Ó Ú À Â Ê Ô Ã Õ Ü
    "\xe1\xe9\xed\xf3\xfa\xe0\xe2\xea\xf4\xe3\xf5\xfc";  // á é í ó ú à â ê ô ã õ ü

// Letter names are words themselves; spelling a name that has no vowel
// would spell it again, so the nesting is bounded.
constexpr int kMaxSpellDepth = 4;

bool has_vowel_letter(const char* word) {
  for (const char* p = word; *p; ++p)
    if (strchr(kVowelLetters, *p)) return true;
  return false;
}

Value* phones_of(const Phoneset* ps, const char* word, int phrase_final, int depth);

Value* spell(const Phoneset* ps, const char* word, int depth) {
  if (depth >= kMaxSpellDepth) return nullptr;
  Value* letters = spell_word_letters(word);
  PhoneListBuilder out;
  for (const Value* c = letters; c; c = value_cdr(c)) {
    Value* part = phones_of(ps, value_string(value_car(c)), 0, depth + 1);
    if (!part) continue;
    if (out.head) out.add("-");
    out.splice(part);
  }
  value_release(letters);
  return out.head;
}

Value* phones_of(const Phoneset* ps, const char* word, int phrase_final, int depth) {
  if (!word || word[0] == '\0') return nullptr;
  if (const char* hyphen = strchr(word, '-')) {
    int32_t cut = static_cast<int32_t>(hyphen - word);
    char* left_word = string_sub(word, 0, cut);
    Value* right = phones_of(ps, hyphen + 1, 0, depth);
    Value* left = phones_of(ps, left_word, 0, depth);
    heap_free(left_word);
    return join_parts(ps, left, right);
  }
  if (strchr(word, '.') || !has_vowel_letter(word)) return spell(ps, word, depth);
  Value* phones = syllabify(lts_word(word));
  phones = assign_stress(ps, word, phones, phrase_final);
  open_mid_vowels(ps, word, phones);
  return phones;
}

}  // namespace

Value* word_to_phones(const Phoneset* ps, const char* word, int phrase_final) {
  return phones_of(ps, word, phrase_final, 0);
}

Value* spell_word(const Phoneset* ps, const char* word) { return spell(ps, word, 0); }

Value* join_parts(const Phoneset* ps, Value* left, Value* right) {
  if (!left) return right;
  if (!right) return left;
  Value* last = value_last_cell(left);
  if (strcmp(value_string(value_car(last)), "s") == 0 && phone_is_vowel(ps, value_string(value_car(right)))) {
    Value* old = last->head.car;
    last->head.car = value_retain(value_new_string("z"));
    value_release(old);
  }
  value_set_cdr(last, value_cons(value_new_string("-"), right));
  return left;
}

Value* wordtosegments_func(Item* word) {
  const Value* name_value = item_feature(word, "name");
  if (!name_value) return nullptr;
  const char* name = value_string(name_value);
  if (Value* entry = lexicon_lookup(kWordEntries, name, nullptr)) return entry;
  const Item* in_phrase = item_in_relation(word, "Phrase");
  int phrase_final = (!in_phrase || !item_next(in_phrase)) ? 1 : 0;
  return word_to_phones(item_phoneset(word), name, phrase_final);
}
