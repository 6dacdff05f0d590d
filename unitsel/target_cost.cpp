// Target cost.  All sums are unsigned 32-bit; the length term and the final
// scaling are single-precision products truncated toward zero.
//
// The function runs for every unit instance of every candidate, on records
// whose values change from call to call, so the integer rules are written as
// straight-line arithmetic: each computes its term and a 0/1 condition
// selects it, which the compiler turns into flag and select instructions
// rather than branches that the processor would mispredict.  String tests
// stop at the first differing byte, and the tone strings are only read when
// the tone terms apply.  It never allocates.
#include "unitsel/target_cost.h"

#include <cmath>

#include "unitsel/text_match.h"

using unitsel::str_differs;
using unitsel::str_is;

namespace {

inline uint32_t absdiff(uint8_t a, uint8_t b) {
  int32_t d = int32_t(a) - int32_t(b);
  return static_cast<uint32_t>(d < 0 ? -d : d);
}

inline uint32_t bit(bool b) { return b ? 1u : 0u; }

// Level rules tell 0, 1 and "2 or more" apart: `one_over` when the target's
// level is exactly 1 and the unit's 2 or more, `over_one` for the opposite
// case.  A level's class is min(level, 2); the rule is a 3 x 3 table.
struct LevelRule {
  uint16_t cost[3][3];
};
constexpr LevelRule level_rule(uint16_t one_over, uint16_t over_one) {
  return LevelRule{{{0, 0, 0}, {0, 0, one_over}, {0, over_one, 0}}};
}
constexpr LevelRule kLevel1 = level_rule(2, 2);
constexpr LevelRule kLevel2 = level_rule(10, 3);
constexpr LevelRule kLevel34 = level_rule(2, 1);
constexpr LevelRule kLevel56 = level_rule(1, 1);

inline uint32_t level_cost(const LevelRule& rule, uint8_t t, uint8_t u) {
  return rule.cost[t < 2 ? t : 2][u < 2 ? u : 2];
}

inline bool is_content(const char* gpos) { return str_is(gpos, "content"); }

// The term `value` when `on`, else 0; `value` is a product truncated toward
// zero (it may be negative below its threshold, where it is not used).
inline uint32_t term_if(bool on, float value) {
  int32_t v = static_cast<int32_t>(value);
  return static_cast<uint32_t>(v) & (0u - bit(on & (v > 0)));
}

// Relative length difference r = |(x - y) / (x + y)|.  The two measures are
// positive lengths, so r lies in [0, 1]; a zero sum (or any pair that gives
// no finite ratio) adds nothing.  Only measures of opposite sign can push r
// past 1: r is then held at 10^6, which keeps every term inside the range of
// the conversions.
uint32_t length_cost(float x, float y) {
  float sum = x + y;
  float r = (x - y) / (sum != 0.0f ? sum : 1.0f);
  r = std::fabs(r);
  bool valid = (sum != 0.0f) & (r == r);
  r = valid ? (r > 1.0e6f ? 1.0e6f : r) : 0.0f;

  uint32_t target_longer = term_if(true, 150.0f * r) + term_if(r > 0.15f, 150.0f * r - 22.5f) +
                           term_if(r > 0.35f, 360.0f * r - 126.0f);
  uint32_t unit_longer = term_if(true, 250.0f * r) + term_if(r > 0.2f, 120.0f * r - 24.0f) +
                         term_if(r > 0.3f, 150.0f * r - 45.0f) + term_if(r > 0.4f, 300.0f * r - 120.0f);
  return x >= y ? target_longer : unit_longer;
}

// Tone terms, used only when the unit carries `level4` = 1.
inline uint32_t tone_cost(const SegmentTarget* t, const SegmentTarget* u, bool u_vowel, bool u_voiceless) {
  uint32_t tone = 10 * bit(str_differs(t->tone, u->tone));
  const bool u_low_star = str_is(u->tone, "L*");
  const bool u_low = str_is(u->tone, "L");
  const bool t_low_star = str_is(t->tone, "L*");
  const bool t_low = str_is(t->tone, "L");
  tone = (u_low_star & t_low) ? 0 : ((u_low & t_low_star) ? 8 : tone);
  const uint32_t s = t->level4 == 1 ? 0 : 2;

  // Unit with level2 = 1.
  const uint32_t r2 = t->level2 == 1 ? 0 : 10;
  const uint32_t at_level2 = (!u_vowel & u_voiceless) ? 10 * (r2 + 2 * tone) : 150 * r2 + 250 * tone;
  // Otherwise a marked unit.
  const uint32_t rm = ((t->level4 > 1) | (t->mark != u->mark)) ? 10 : 0;
  const uint32_t weight = u_vowel ? 25 : (u_voiceless ? 10 : 15);
  const uint32_t at_mark = u->mark != 0 ? weight * (rm + tone) : 0;

  uint32_t cost = u->level2 == 1 ? at_level2 : at_mark;
  cost += bit(u->pos2 == 1) * (u_voiceless ? 20 : 40) * tone;
  return cost + tone + 2 * s;
}

}  // namespace

uint32_t segment_cost_unscaled(const SegmentTarget* t, const SegmentTarget* u) {
  const bool u_vowel = u->ph_vc[0] == '+';
  const bool u_voiceless = u->ph_cvox[0] == '-';

  // Phonetic context and its multipliers, tested on the target.
  uint32_t c = 3 * (bit(str_differs(t->pp_name, u->pp_name)) + bit(str_differs(t->nn_name, u->nn_name))) +
               7 * (bit(str_differs(t->p_name, u->p_name)) + bit(str_differs(t->n_name, u->n_name)));
  const bool name_r = str_is(t->name, "r");
  const bool oh_before_n = str_is(t->name, "oh") & str_is(t->n_name, "n");
  c *= name_r ? 5 : (oh_before_n ? 3 : 1);
  const bool next_to_r = str_is(t->p_name, "r") | str_is(t->n_name, "r");
  const bool next_to_nasal = str_is(t->p_name, "on") | str_is(t->n_name, "on") | str_is(t->p_name, "en") |
                             str_is(t->n_name, "en") | str_is(t->p_name, "j") | str_is(t->n_name, "j");
  c *= next_to_r ? (u_vowel ? 10 : 5) : (next_to_nasal ? 3 : 1);

  uint32_t cost = c + 3 * (absdiff(t->pos1, u->pos1) + absdiff(t->pos2, u->pos2) + absdiff(t->pos3, u->pos3));
  cost += bit(t->mark != u->mark) * (5 + 1000 * bit(u_vowel));
  cost += 2 * (absdiff(t->pos4, u->pos4) + absdiff(t->pos5, u->pos5));
  cost += level_cost(kLevel1, t->level1, u->level1);
  cost += level_cost(kLevel2, t->level2, u->level2);
  cost += bit(t->flag1 != u->flag1) + bit(t->flag2 != u->flag2);
  cost += 3 * (bit(str_differs(t->label, u->label)) + absdiff(t->label_value, u->label_value));
  cost += bit(t->flag3 != u->flag3);
  cost += level_cost(kLevel34, t->level3, u->level3);
  cost += level_cost(kLevel34, t->level4, u->level4);
  cost += bit(t->flag4 != u->flag4);

  // Part of speech.
  const bool u_content = is_content(u->gpos);
  cost += 50 * bit(is_content(t->gpos) != u_content);
  cost += 3 * bit(is_content(t->gpos_p) != is_content(u->gpos_p));
  cost += 3 * bit(is_content(t->gpos_n) != is_content(u->gpos_n));
  if (!u_content && str_differs(u->gpos, t->gpos)) cost += 10;

  cost += bit(t->flag5 != u->flag5);
  cost += level_cost(kLevel56, t->level5, u->level5);
  cost += level_cost(kLevel56, t->level6, u->level6);

  if (u->level4 == 1) cost += tone_cost(t, u, u_vowel, u_voiceless);

  // A high tone on an accented target is badly served by an unaccented unit.
  const bool t_high = str_is(t->tone, "H");
  cost += 1000 * bit(((t->level4 == 1) | (t->level3 == 1)) & (u->level2 > 1) & (u->level1 > 1) & t_high);

  const uint32_t length = length_cost(t->measure, u->measure);
  cost += str_is(t->name, "pau") ? 0 : length;
  return cost;
}

uint32_t segment_cost(const SegmentTarget* t, const SegmentTarget* u) {
  return static_cast<uint32_t>(static_cast<float>(segment_cost_unscaled(t, u)) * 0.4f);
}

uint32_t target_cost(const SegmentTarget* target_left, const SegmentTarget* target_right,
                     const SegmentTarget* unit_left, const SegmentTarget* unit_right) {
  uint32_t sum = segment_cost(target_left, unit_left) + segment_cost(target_right, unit_right);
  const bool p = (target_left->pos2 == 1) & (target_left->pos5 == 1) & (target_right->pos1 == 1) &
                 (target_right->pos4 == 1);
  const bool q = (unit_left->pos2 == 1) & (unit_left->pos5 == 1) & (unit_right->pos1 == 1) & (unit_right->pos4 == 1);
  return sum + (p & !q ? 200 : 0) + (q & !p ? 5 : 0);
}
