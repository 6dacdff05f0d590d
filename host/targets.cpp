#include "host/targets.h"

#include <cstring>

#include "core/path.h"

namespace {

constexpr uint8_t kCap = 7;  // positions and counts are capped here

uint8_t capped(int32_t n) { return static_cast<uint8_t>(n < 0 ? 0 : n > kCap ? kCap : n); }

// The text of a feature path; a path that gives no string reads as "0".
const char* text(const Item* item, const char* path) {
  if (!item) return "0";
  Value* v = feature_path_value(item, path);
  if (value_type(v) == kTypeString) return v->body.s;
  if (value_is_atom(v) && value_refcount(v) == 0) value_release(v);
  return "0";
}

int32_t number(const Item* item, const char* path) { return item ? feature_path_int(item, path) : 0; }

const char* name_of(const Item* item) {
  if (!item || !item_feature_present(item, "name")) return "0";
  Value* v = item_feature(item, "name");
  return value_type(v) == kTypeString ? v->body.s : "0";
}

int32_t steps(const Item* item, bool forward) {
  int32_t n = 0;
  for (const Item* i = item; (i = forward ? item_next(i) : item_prev(i)) != nullptr;) ++n;
  return n;
}

float end_of(const Item* seg) {
  return seg && item_feature_present(seg, "end") ? item_feature_float(seg, "end") : 0.0f;
}

// A syllable's phrase-final tone, or "0".
const char* tone_of(const Item* syl) {
  if (!syl || !item_feature_present(syl, "endtone")) return "0";
  Value* v = item_feature(syl, "endtone");
  if (value_type(v) != kTypeString || strcmp(v->body.s, "NONE") == 0) return "0";
  return v->body.s;
}

}  // namespace

int32_t targets_count(const Utterance* utterance) {
  const Relation* r = utterance_relation(utterance, "Segment");
  int32_t n = 0;
  for (const Item* i = r ? r->head : nullptr; i; i = item_next(i)) ++n;
  return n;
}

void targets_fill(const Utterance* utterance, SegmentTarget* out, int32_t count) {
  const Relation* r = utterance_relation(utterance, "Segment");
  int32_t k = 0;
  for (const Item* i = r ? r->head : nullptr; i && k < count; i = item_next(i)) target_from_segment(i, &out[k++]);
}

void target_from_segment(const Item* seg, SegmentTarget* t) {
  *t = SegmentTarget{};
  const Item* prev = item_prev(seg);
  const Item* next = item_next(seg);
  float ms = (end_of(seg) - end_of(prev)) * 1000.0f;
  t->measure = ms > 0 ? ms : 0;
  t->pp_name = name_of(prev ? item_prev(prev) : nullptr);
  t->p_name = name_of(prev);
  t->name = name_of(seg);
  t->n_name = name_of(next);
  t->nn_name = name_of(next ? item_next(next) : nullptr);
  t->ph_vc = text(seg, "ph_vc");
  t->ph_cvox = text(seg, "ph_cvox");
  t->ph_ctype = text(seg, "ph_ctype");
  t->flag2 = strcmp(t->ph_vc, "+") == 0;
  t->flag4 = strcmp(t->n_name, "pau") == 0;
  t->flag5 = strcmp(t->p_name, "pau") == 0;
  t->label = "0";
  t->gpos_p = t->gpos = t->gpos_n = "0";
  t->tone = "0";

  // Silences and other segments outside the syllable structure keep zeros.
  const Item* ss = item_in_relation(seg, "SylStructure");
  const Item* syl = ss ? item_parent(ss) : nullptr;
  const Item* word = syl ? item_parent(syl) : nullptr;
  if (!syl) return;
  t->pos1 = capped(steps(ss, false) + 1);
  t->pos2 = capped(steps(ss, true) + 1);
  t->pos3 = capped(number(syl, "syl_out") + 1);
  t->pos4 = capped(steps(syl, false) + 1);
  t->pos5 = capped(steps(syl, true) + 1);
  t->tone = tone_of(syl);
  const bool stressed = item_feature_present(syl, "stress") && item_feature_int(syl, "stress") > 0;
  t->mark = stressed ? (strcmp(t->tone, "0") != 0 ? 2 : 1) : 0;
  t->level1 = capped(number(syl, "syl_break") + 1);
  t->level4 = strcmp(t->tone, "0") != 0 ? 1 : 2;
  t->level5 = number(syl, "syl_in") == 0 ? 1 : 2;
  t->flag1 = steps(syl, false) == 0;
  if (!word) return;
  const Item* in_phrase = item_in_relation(word, "Phrase");
  const Item* in_word = item_in_relation(word, "Word");
  t->level2 = capped(number(word, "word_break"));
  t->level3 = capped(in_phrase ? steps(in_phrase, true) + 1 : 0);
  const Item* phrase = in_phrase ? item_parent(in_phrase) : nullptr;
  t->level6 = phrase && item_prev(phrase) ? 2 : 1;
  t->gpos = text(word, "gpos");
  t->gpos_p = text(in_word ? item_prev(in_word) : nullptr, "gpos");
  t->gpos_n = text(in_word ? item_next(in_word) : nullptr, "gpos");
  t->flag3 = strcmp(t->gpos, "content") == 0;
  const char* punc = text(word, "word_punc");
  t->label = *punc ? punc : "0";
  t->label_value = capped(number(word, "word_num_syls"));
}
