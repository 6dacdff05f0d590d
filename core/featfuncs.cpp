#include "core/featfuncs.h"

#include "core/path.h"
#include "core/phoneset.h"

namespace {

constinit const Value kOnset = value_permanent_string("onset");
constinit const Value kCoda = value_permanent_string("coda");
constinit const Value kInitial = value_permanent_string("initial");
constinit const Value kMid = value_permanent_string("mid");
constinit const Value kFinal = value_permanent_string("final");
constinit const Value kSingle = value_permanent_string("single");
constinit const Value kEmpty = value_permanent_string("");

Value* constant(const Value& v) { return const_cast<Value*>(&v); }

// Counts and positions saturate here: the digit strings stop at "19", so no
// walk needs to go further than this many steps.
constexpr int kCountCap = 19;

Value* count_value(int n) { return value_small_int_string(n); }
Value* truth(bool b) { return b ? value_true_string() : value_default_string(); }

bool text_is(const char* text, const char* want) {
  while (*text && *text == *want) ++text, ++want;
  return *text == *want;
}

bool phone_has(const Phoneset* ps, const Item* seg, const char* feature, const char* want) {
  return text_is(value_string(phone_feature(ps, item_feature_string(seg, "name"), feature)), want);
}

bool is_vowel(const Phoneset* ps, const Item* seg) { return phone_has(ps, seg, "vc", "+"); }

// Number of siblings before `i` in its relation, up to the cap.
int count_prev(const Item* i) {
  int n = 0;
  for (const Item* p = item_prev(i); p && n < kCountCap; p = item_prev(p)) ++n;
  return n;
}

int count_next(const Item* i) {
  int n = 0;
  for (const Item* p = item_next(i); p && n < kCountCap; p = item_next(p)) ++n;
  return n;
}

int count_daughters(const Item* parent) {
  int n = 0;
  for (const Item* d = item_first_daughter(parent); d && n < kCountCap; d = item_next(d)) ++n;
  return n;
}

Value* phone_column(Item* seg, const char* feature) {
  return phone_feature(item_phoneset(seg), item_feature_string(seg, "name"), feature);
}

// A feature that is present and not the text "NONE".
bool marked(const Item* syl, const char* name) {
  const Value* v = item_feature(syl, name);
  if (!v) return false;
  return !(value_type(v) == kTypeString && text_is(value_string(v), "NONE"));
}

bool is_accented(const Item* syl) { return marked(syl, "accent") || marked(syl, "endtone"); }
bool is_stressed(const Item* syl) { return item_feature_int(syl, "stress") > 0; }

// --- Onset and coda consonant types ---------------------------------------

// Walks the segment's syllable from its last segment backward (coda) or from
// its first forward (onset) up to the first vowel: true when a segment passed
// has ctype `type` or `other`.
bool consonant_type_test(const Item* seg, bool coda, const char* type, const char* other) {
  const Item* syl = item_parent(item_in_relation(seg, "SylStructure"));
  const Item* p = coda ? item_last_daughter(syl) : item_first_daughter(syl);
  if (!p) return false;
  const Phoneset* ps = item_phoneset(seg);
  for (; p; p = coda ? item_prev(p) : item_next(p)) {
    if (is_vowel(ps, p)) return false;
    const char* ctype = value_string(phone_feature(ps, item_feature_string(p, "name"), "ctype"));
    if (text_is(ctype, type) || (other && text_is(ctype, other))) return true;
  }
  return false;
}

// --- Syllables of a phrase ------------------------------------------------

// The phrase of the syllable's word (R:SylStructure.parent.R:Phrase.parent).
Item* phrase_of_syllable(const Item* syl) {
  Item* word = item_parent(item_in_relation(syl, "SylStructure"));
  return item_parent(item_in_relation(word, "Phrase"));
}

// ...daughter.R:SylStructure.daughter of that phrase.
Item* phrase_first_syllable(const Item* syl) {
  Item* phrase = phrase_of_syllable(syl);
  return item_first_daughter(item_in_relation(item_first_daughter(phrase), "SylStructure"));
}

// ...daughtern.R:SylStructure.daughtern of that phrase.
Item* phrase_last_syllable(const Item* syl) {
  Item* phrase = phrase_of_syllable(syl);
  return item_last_daughter(item_in_relation(item_last_daughter(phrase), "SylStructure"));
}

// Steps in "Syllable" from the syllable to `stop` (backward or forward); a
// walk that never meets `stop` counts the steps to the end of the relation.
Value* steps_to(const Item* syl, const Item* stop, bool forward) {
  const Item* p = item_in_relation(syl, "Syllable");
  int n = 0;
  while (p && !item_same(p, stop) && n < kCountCap) {
    p = forward ? item_next(p) : item_prev(p);
    if (!p) break;
    ++n;
  }
  return count_value(n);
}

// Syllables that satisfy `test` among those from the neighbour of `syl` up to
// and including the phrase end `stop`; "0" when `syl` is `stop` itself.
Value* count_to_phrase_end(const Item* syl, const Item* stop, bool forward, bool (*test)(const Item*)) {
  const Item* s = item_in_relation(syl, "Syllable");
  if (item_same(s, stop)) return count_value(0);
  int n = 0;
  for (const Item* p = forward ? item_next(s) : item_prev(s); p && n < kCountCap;
       p = forward ? item_next(p) : item_prev(p)) {
    if (test(p)) ++n;
    if (item_same(p, stop)) break;
  }
  return count_value(n);
}

// Distance in "Syllable" to the nearest stressed syllable; "0" when none.
Value* distance_to_stress(const Item* syl, bool forward) {
  const Item* s = item_in_relation(syl, "Syllable");
  int d = 1;
  for (const Item* p = forward ? item_next(s) : item_prev(s); p; p = forward ? item_next(p) : item_prev(p)) {
    if (is_stressed(p)) return count_value(d);
    if (d < kCountCap) ++d;
  }
  return count_value(0);
}

// Syllables between `syl` and the nearest accented one; all of them when
// none is accented.
Value* syllables_to_accent(const Item* syl, bool forward) {
  const Item* s = item_in_relation(syl, "Syllable");
  int n = 0;
  for (const Item* p = forward ? item_next(s) : item_prev(s); p && n < kCountCap;
       p = forward ? item_next(p) : item_prev(p)) {
    if (is_accented(p)) break;
    ++n;
  }
  return count_value(n);
}

}  // namespace

Value* featfunc_onset() { return constant(kOnset); }
Value* featfunc_coda() { return constant(kCoda); }
Value* featfunc_initial() { return constant(kInitial); }
Value* featfunc_mid() { return constant(kMid); }
Value* featfunc_final() { return constant(kFinal); }
Value* featfunc_single() { return constant(kSingle); }
Value* featfunc_empty() { return constant(kEmpty); }

// --- Phone features -------------------------------------------------------

Value* ph_vc(Item* seg) { return phone_column(seg, "vc"); }
Value* ph_vlng(Item* seg) { return phone_column(seg, "vlng"); }
Value* ph_vheight(Item* seg) { return phone_column(seg, "vheight"); }
Value* ph_vfront(Item* seg) { return phone_column(seg, "vfront"); }
Value* ph_vrnd(Item* seg) { return phone_column(seg, "vrnd"); }
Value* ph_ctype(Item* seg) { return phone_column(seg, "ctype"); }
Value* ph_cplace(Item* seg) { return phone_column(seg, "cplace"); }
Value* ph_cvox(Item* seg) { return phone_column(seg, "cvox"); }

// --- Segments -------------------------------------------------------------

Value* seg_onsetcoda(Item* seg) {
  const Item* p = item_next(item_in_relation(seg, "SylStructure"));
  if (!p) return constant(kCoda);
  const Phoneset* ps = item_phoneset(seg);
  for (; p; p = item_next(p))
    if (is_vowel(ps, p)) return constant(kOnset);
  return constant(kCoda);
}

Value* seg_coda_fric(Item* seg) { return truth(consonant_type_test(seg, true, "f", nullptr)); }
Value* seg_onset_fric(Item* seg) { return truth(consonant_type_test(seg, false, "f", nullptr)); }
Value* seg_coda_stop(Item* seg) { return truth(consonant_type_test(seg, true, "s", nullptr)); }
Value* seg_onset_stop(Item* seg) { return truth(consonant_type_test(seg, false, "s", nullptr)); }
Value* seg_coda_nasal(Item* seg) { return truth(consonant_type_test(seg, true, "n", nullptr)); }
Value* seg_onset_nasal(Item* seg) { return truth(consonant_type_test(seg, false, "n", nullptr)); }
Value* seg_coda_glide(Item* seg) { return truth(consonant_type_test(seg, true, "r", "l")); }
Value* seg_onset_glide(Item* seg) { return truth(consonant_type_test(seg, false, "r", "l")); }

Value* pos_in_syl(Item* seg) {
  const Item* s = item_in_relation(seg, "SylStructure");
  return count_value(s ? count_prev(s) : -1);
}

Value* segment_duration(Item* seg) {
  const Item* s = item_in_relation(seg, "Segment");
  if (!s) return value_default_string();
  Value* end = item_feature(s, "end");
  const Item* prev = item_prev(s);
  if (!prev) return end ? end : value_default_string();
  const Value* prev_end = item_feature(prev, "end");
  if (!end || !prev_end) return value_default_string();
  return value_new_float(value_float(end) - value_float(prev_end));
}

// --- Syllables ------------------------------------------------------------

Value* syl_onsetsize(Item* syl) {
  const Item* p = item_first_daughter(item_in_relation(syl, "SylStructure"));
  if (!p) return count_value(0);
  const Phoneset* ps = item_phoneset(syl);
  int n = 0;
  for (; p && n < kCountCap && !is_vowel(ps, p); p = item_next(p)) ++n;
  return count_value(n);
}

Value* syl_codasize(Item* syl) {
  const Item* p = item_last_daughter(item_in_relation(syl, "SylStructure"));
  if (!p) return count_value(0);
  const Phoneset* ps = item_phoneset(syl);
  int n = 0;
  for (; p && n < kCountCap && !is_vowel(ps, p); p = item_prev(p)) ++n;
  return count_value(n);
}

Value* syl_num_phones(Item* syl) { return value_small_int(count_daughters(item_in_relation(syl, "SylStructure"))); }

Value* syl_vowel(Item* syl) {
  const Item* p = item_first_daughter(item_in_relation(syl, "SylStructure"));
  if (!p) return value_default_string();
  const Phoneset* ps = item_phoneset(syl);
  for (; p; p = item_next(p))
    if (is_vowel(ps, p)) return item_feature(p, "name");
  return value_default_string();
}

Value* syl_final(Item* syl) { return truth(!item_next(item_in_relation(syl, "SylStructure"))); }

Value* syl_break(Item* syl) {
  const Item* s = item_in_relation(syl, "SylStructure");
  if (!s) return value_true_string();
  if (item_next(s)) return value_default_string();
  Item* word = item_parent(s);
  if (!word) return value_true_string();
  return word_break(word);
}

Value* position_type(Item* syl) {
  const Item* s = item_in_relation(syl, "SylStructure");
  if (!s) return constant(kSingle);
  bool prev = item_prev(s) != nullptr;
  bool next = item_next(s) != nullptr;
  if (next) return constant(prev ? kMid : kInitial);
  return constant(prev ? kFinal : kSingle);
}

Value* pos_in_word(Item* syl) { return count_value(count_prev(item_in_relation(syl, "SylStructure"))); }

Value* accented(Item* syl) { return truth(is_accented(syl)); }

Value* syl_in(Item* syl) { return steps_to(syl, phrase_first_syllable(syl), false); }
Value* syl_out(Item* syl) { return steps_to(syl, phrase_last_syllable(syl), true); }
Value* ssyl_in(Item* syl) { return count_to_phrase_end(syl, phrase_first_syllable(syl), false, is_stressed); }
Value* ssyl_out(Item* syl) { return count_to_phrase_end(syl, phrase_last_syllable(syl), true, is_stressed); }
Value* asyl_in(Item* syl) { return count_to_phrase_end(syl, phrase_first_syllable(syl), false, is_accented); }
Value* asyl_out(Item* syl) { return count_to_phrase_end(syl, phrase_last_syllable(syl), true, is_accented); }
Value* ssyl_from(Item* syl) { return distance_to_stress(syl, false); }
Value* ssyl_to(Item* syl) { return distance_to_stress(syl, true); }
Value* last_accent(Item* syl) { return syllables_to_accent(syl, false); }
Value* next_accent(Item* syl) { return syllables_to_accent(syl, true); }

Value* sub_phrases(Item* syl) {
  const Item* phrase = phrase_of_syllable(syl);
  return count_value(phrase ? count_prev(phrase) : 0);
}

// --- Words ----------------------------------------------------------------

Value* word_num_syls(Item* word) { return value_small_int(count_daughters(item_in_relation(word, "SylStructure"))); }

Value* word_break(Item* word) {
  const Item* w = item_in_relation(word, "Phrase");
  if (!w || item_next(w)) return value_true_string();
  const Item* phrase = item_parent(w);
  if (!phrase) return value_true_string();
  const char* name = item_feature_string(phrase, "name");
  if (text_is(name, "BB")) return value_small_int_string(4);
  if (text_is(name, "B")) return value_small_int_string(3);
  return value_true_string();
}

Value* word_punc(Item* word) {
  const Item* t = item_in_relation(word, "Token");
  if (!t) return value_default_string();
  if (item_next(t)) return constant(kEmpty);
  Value* punc = item_feature(item_parent(t), "punc");
  return punc ? punc : value_default_string();
}

Value* pos_in_phrase(Item* word) {
  const Item* w = item_in_relation(word, "Phrase");
  return count_value(w ? count_prev(w) : -1);
}

Value* pos_in_utt(Item* word) { return pos_in_phrase(word); }

// --- Phrases --------------------------------------------------------------

Value* phrase_num_words(Item* phrase) { return count_value(count_daughters(item_in_relation(phrase, "Phrase"))); }

Value* phrase_num_syls(Item* phrase) {
  int32_t total = 0;
  for (const Item* w = item_first_daughter(item_in_relation(phrase, "Phrase")); w; w = item_next(w))
    total += feature_path_int(w, "word_num_syls");
  return count_value(total);
}

Value* num_phrases(Item* phrase) {
  const Item* p = item_in_relation(phrase, "Phrase");
  if (!p) return count_value(0);
  return count_value(count_prev(p) + 1 + count_next(p));
}

// --- Utterance ------------------------------------------------------------

Value* language_code(Item* item) {
  const Utterance* u = item_utterance(item);
  Value* v = u ? features_get(u->features, "language_code") : nullptr;
  return v ? v : value_default_string();
}

namespace {

struct NamedFunction {
  const char* name;
  FeatureFunction fn;
};

constexpr NamedFunction kStandardFunctions[] = {
    {"ph_vc", ph_vc},
    {"ph_vlng", ph_vlng},
    {"ph_vheight", ph_vheight},
    {"ph_vfront", ph_vfront},
    {"ph_vrnd", ph_vrnd},
    {"ph_ctype", ph_ctype},
    {"ph_cplace", ph_cplace},
    {"ph_cvox", ph_cvox},
    {"word_num_syls", word_num_syls},
    {"word_break", word_break},
    {"word_punc", word_punc},
    {"ssyl_in", ssyl_in},
    {"ssyl_out", ssyl_out},
    {"syl_in", syl_in},
    {"syl_out", syl_out},
    {"syl_break", syl_break},
    {"syl_onsetsize", syl_onsetsize},
    {"syl_codasize", syl_codasize},
    {"accented", accented},
    {"asyl_in", asyl_in},
    {"asyl_out", asyl_out},
    {"seg_coda_fric", seg_coda_fric},
    {"seg_onset_fric", seg_onset_fric},
    {"seg_coda_stop", seg_coda_stop},
    {"seg_onset_stop", seg_onset_stop},
    {"seg_coda_nasal", seg_coda_nasal},
    {"seg_onset_nasal", seg_onset_nasal},
    {"seg_coda_glide", seg_coda_glide},
    {"seg_onset_glide", seg_onset_glide},
    {"seg_onsetcoda", seg_onsetcoda},
    {"pos_in_syl", pos_in_syl},
    {"position_type", position_type},
    {"sub_phrases", sub_phrases},
    {"last_accent", last_accent},
    {"next_accent", next_accent},
    {"syl_final", syl_final},
    {"syl_vowel", syl_vowel},
    {"segment_duration", segment_duration},
    {"syl_num_phones", syl_num_phones},
    {"phrase_num_words", phrase_num_words},
    {"phrase_num_syls", phrase_num_syls},
    {"num_phrases", num_phrases},
    {"pos_in_word", pos_in_word},
    {"pos_in_phrase", pos_in_phrase},
    {"pos_in_utt", pos_in_utt},
    {"ssyl_from", ssyl_from},
    {"ssyl_to", ssyl_to},
    {"language_code", language_code},
};
static_assert(sizeof(kStandardFunctions) / sizeof(kStandardFunctions[0]) == 48);

}  // namespace

void register_feature_functions(Features* functions) {
  for (const NamedFunction& f : kStandardFunctions) feature_function_register(functions, f.name, f.fn);
}
