#include "lang_pt_br/phrasing.h"

#include <cstring>

#include "core/path.h"

namespace {

constexpr Value kToneH = value_permanent_string("H");
constexpr Value kToneL = value_permanent_string("L");
constexpr Value kToneLStar = value_permanent_string("L*");

// The one word that forms a question tag with a high end: "né".
constexpr char kTagNe[] = "n\xe9";
// Inverted question mark of ISO-8859-15.
constexpr unsigned char kInvertedQuestion = 0xbf;

// Releases a Value that a feature function made for this caller alone.
void release_if_fresh(Value* v) {
  if (value_is_atom(v) && value_refcount(v) == 0) value_release(v);
}

const char* text_of(const Value* v) {
  if (value_type(v) != kTypeString || !v->body.s) return "";
  return v->body.s;
}

bool path_text_is(const Item* item, const char* path, const char* text) {
  Value* v = feature_path_value(item, path);
  bool same = strcmp(text_of(v), text) == 0;
  release_if_fresh(v);
  return same;
}

bool name_is(const Item* phrase, const char* name) {
  return strcmp(text_of(item_feature(phrase, "name")), name) == 0;
}

// The last character of the punctuation after the phrase's last word.
char final_punctuation(const Item* phrase) {
  Value* v = feature_path_value(phrase, "daughtern.R:Token.parent.punc");
  const char* s = text_of(v);
  size_t n = strlen(s);
  char last = n ? s[n - 1] : '\0';
  release_if_fresh(v);
  return last;
}

bool opens_with_inverted_question(const Item* phrase) {
  Value* v = feature_path_value(phrase, "daughter.R:Token.parent.prepunctuation");
  bool opens = static_cast<unsigned char>(text_of(v)[0]) == kInvertedQuestion;
  release_if_fresh(v);
  return opens;
}

// The sentence around a phrase node: its first phrase and its closing "BB"
// phrase (null when no "BB" phrase follows).
struct Sentence {
  const Item* start;
  const Item* end;
};

Sentence sentence_of(const Item* p) {
  Sentence s{p, nullptr};
  for (const Item* x = p; x; x = item_next(x))
    if (name_is(x, "BB")) {
      s.end = x;
      break;
    }
  const Item* cur = p;
  for (const Item* prev = item_prev(cur); prev; prev = item_prev(cur)) {
    if (name_is(prev, "BB") || opens_with_inverted_question(cur)) break;
    cur = prev;
  }
  s.start = cur;
  return s;
}

bool gpos_is(const Item* phrase, const char* path, const char* tag) { return path_text_is(phrase, path, tag); }

bool opens_with_wh(const Item* x) {
  constexpr const char* g1 = "daughter.gpos";
  constexpr const char* g2 = "daughter.n.gpos";
  constexpr const char* g3 = "daughter.n.n.gpos";
  if (gpos_is(x, g1, "wp")) return true;
  bool cc = gpos_is(x, g1, "cc");
  if ((cc || gpos_is(x, g1, "in") || gpos_is(x, g1, "art")) && gpos_is(x, g2, "wp")) return true;
  if (cc && (gpos_is(x, g2, "in") || gpos_is(x, g2, "art")) && gpos_is(x, g3, "wp")) return true;
  return false;
}

}  // namespace

int is_wh_question(Item* phrase) {
  const Item* p = item_in_relation(phrase, "Phrase");
  if (!p) return 0;
  Sentence s = sentence_of(p);
  for (const Item* x = s.start; x; x = item_next(x)) {
    if (opens_with_wh(x)) return 1;
    if (x == s.end) return 0;
  }
  return 0;
}

int is_alternative_question(Item* phrase) {
  const Item* p = item_in_relation(phrase, "Phrase");
  if (!p) return 0;
  Sentence s = sentence_of(p);
  int i = 0;
  for (const Item* x = s.start; x; x = item_next(x), ++i) {
    if (x == s.end)
      return name_is(x, "BB") && final_punctuation(x) == '?' && path_text_is(x, "daughter.name", "ou") && i > 0;
    if (!name_is(x, "B") || final_punctuation(x) != ',') return 0;
  }
  return 0;
}

Value* phrasesylendtone_func(Item* phrase) {
  if (!phrase) return nullptr;
  const Item* p = item_in_relation(phrase, "Phrase");
  if (name_is(phrase, "BB")) {
    if (p && final_punctuation(p) == '?') {
      Value* words = feature_path_value(p, "phrase_num_words");
      bool one_word = value_equal(words, value_small_int(1));
      release_if_fresh(words);
      if (one_word && path_text_is(p, "daughter.name", kTagNe)) return const_cast<Value*>(&kToneH);
      if (is_alternative_question(phrase)) return const_cast<Value*>(&kToneL);
      if (is_wh_question(phrase)) return const_cast<Value*>(&kToneL);
      return const_cast<Value*>(&kToneH);
    }
    return const_cast<Value*>(&kToneL);
  }
  if (name_is(phrase, "B")) return const_cast<Value*>(&kToneLStar);
  return nullptr;
}
