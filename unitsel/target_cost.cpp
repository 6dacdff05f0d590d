// Target cost.  All sums are unsigned 32-bit; the length term and the final
// scaling are single-precision products truncated toward zero.  The function
// runs for every unit instance of every candidate, so it only compares
// strings in place and never allocates.
#include "unitsel/target_cost.h"

#include "unitsel/text_match.h"

using unitsel::str_differs;
using unitsel::str_eq;
using unitsel::str_is;

namespace {

inline uint32_t absdiff(uint8_t a, uint8_t b) { return a > b ? uint32_t(a - b) : uint32_t(b - a); }

inline uint32_t differs(uint8_t a, uint8_t b) { return a != b ? 1u : 0u; }

inline uint32_t differs(const char* a, const char* b) { return str_differs(a, b) ? 1u : 0u; }

// Level rule: `one_over` when the target's level is exactly 1 and the unit's 2
// or more, `over_one` for the opposite case.
inline uint32_t level_cost(uint8_t t, uint8_t u, uint32_t one_over, uint32_t over_one) {
  if (t == 1 && u > 1) return one_over;
  if (t > 1 && u == 1) return over_one;
  return 0;
}

inline bool is_content(const char* gpos) { return str_is(gpos, "content"); }

// A float known to be non-negative and far below 2^32, truncated toward zero.
inline uint32_t trunc_u32(float x) { return x > 0.0f ? static_cast<uint32_t>(x) : 0u; }

// Relative length difference.  The two measures are positive lengths, so r
// lies in [0, 1]; a zero sum (or any pair that gives no finite ratio) adds
// nothing.
uint32_t length_cost(float x, float y) {
  float sum = x + y;
  if (sum == 0.0f) return 0;
  float r = (x - y) / sum;
  if (r < 0.0f) r = -r;
  // Only measures of opposite sign can push r past 1 and only a non-finite
  // measure gives NaN: such pairs get a bounded term, well inside the
  // unsigned range, instead of an out-of-range conversion.
  if (r != r) return 0;
  if (r > 1.0e6f) r = 1.0e6f;
  uint32_t cost = 0;
  if (x >= y) {
    cost += trunc_u32(150.0f * r);
    if (r > 0.15f) cost += trunc_u32(150.0f * r - 22.5f);
    if (r > 0.35f) cost += trunc_u32(360.0f * r - 126.0f);
  } else {
    cost += trunc_u32(250.0f * r);
    if (r > 0.2f) cost += trunc_u32(120.0f * r - 24.0f);
    if (r > 0.3f) cost += trunc_u32(150.0f * r - 45.0f);
    if (r > 0.4f) cost += trunc_u32(300.0f * r - 120.0f);
  }
  return cost;
}

// Tone terms, applied only when the unit carries `level4` = 1.
uint32_t tone_cost(const SegmentTarget* t, const SegmentTarget* u) {
  uint32_t tone = differs(t->tone, u->tone) ? 10 : 0;
  if (str_is(u->tone, "L*") && str_is(t->tone, "L"))
    tone = 0;
  else if (str_is(u->tone, "L") && str_is(t->tone, "L*"))
    tone = 8;
  uint32_t s = t->level4 == 1 ? 0 : 2;

  const bool u_vowel = u->ph_vc[0] == '+';
  const bool u_voiceless = u->ph_cvox[0] == '-';
  uint32_t cost = 0;
  if (u->level2 == 1) {
    uint32_t r = t->level2 == 1 ? 0 : 10;
    if (!u_vowel && u_voiceless)
      cost += 10 * (r + 2 * tone);
    else
      cost += 150 * r + 250 * tone;
  } else if (u->mark != 0) {
    uint32_t r = (t->level4 > 1 || t->mark != u->mark) ? 10 : 0;
    if (u_vowel)
      cost += 25 * (r + tone);
    else if (u_voiceless)
      cost += 10 * (r + tone);
    else
      cost += 15 * (r + tone);
  }
  if (u->pos2 == 1) cost += (u_voiceless ? 20 : 40) * tone;
  cost += tone + 2 * s;
  return cost;
}

}  // namespace

uint32_t segment_cost_unscaled(const SegmentTarget* t, const SegmentTarget* u) {
  // Phonetic context.
  uint32_t c = 3 * (differs(t->pp_name, u->pp_name) + differs(t->nn_name, u->nn_name)) +
               7 * (differs(t->p_name, u->p_name) + differs(t->n_name, u->n_name));
  if (c != 0) {
    if (str_is(t->name, "r"))
      c *= 5;
    else if (str_is(t->name, "oh") && str_is(t->n_name, "n"))
      c *= 3;
    if (str_is(t->p_name, "r") || str_is(t->n_name, "r"))
      c *= u->ph_vc[0] == '+' ? 10 : 5;
    else if (str_is(t->p_name, "on") || str_is(t->n_name, "on") || str_is(t->p_name, "en") ||
             str_is(t->n_name, "en") || str_is(t->p_name, "j") || str_is(t->n_name, "j"))
      c *= 3;
  }

  uint32_t cost = c + 3 * (absdiff(t->pos1, u->pos1) + absdiff(t->pos2, u->pos2) + absdiff(t->pos3, u->pos3));
  if (t->mark != u->mark) {
    cost += 5;
    if (u->ph_vc[0] == '+') cost += 1000;
  }
  cost += 2 * (absdiff(t->pos4, u->pos4) + absdiff(t->pos5, u->pos5));
  cost += level_cost(t->level1, u->level1, 2, 2);
  cost += level_cost(t->level2, u->level2, 10, 3);
  cost += differs(t->flag1, u->flag1) + differs(t->flag2, u->flag2);
  cost += 3 * (differs(t->label, u->label) + absdiff(t->label_value, u->label_value));
  cost += differs(t->flag3, u->flag3);
  cost += level_cost(t->level3, u->level3, 2, 1);
  cost += level_cost(t->level4, u->level4, 2, 1);
  cost += differs(t->flag4, u->flag4);

  // Part of speech.
  const bool u_content = is_content(u->gpos);
  if (is_content(t->gpos) != u_content) cost += 50;
  if (is_content(t->gpos_p) != is_content(u->gpos_p)) cost += 3;
  if (is_content(t->gpos_n) != is_content(u->gpos_n)) cost += 3;
  if (!u_content && str_differs(u->gpos, t->gpos)) cost += 10;

  cost += differs(t->flag5, u->flag5);
  cost += level_cost(t->level5, u->level5, 1, 1);
  cost += level_cost(t->level6, u->level6, 1, 1);

  if (u->level4 == 1) cost += tone_cost(t, u);

  // A high tone on an accented target is badly served by an unaccented unit.
  if ((t->level4 == 1 || t->level3 == 1) && u->level2 > 1 && u->level1 > 1 && str_is(t->tone, "H")) cost += 1000;

  if (!str_is(t->name, "pau")) cost += length_cost(t->measure, u->measure);
  return cost;
}

uint32_t segment_cost(const SegmentTarget* t, const SegmentTarget* u) {
  return static_cast<uint32_t>(static_cast<float>(segment_cost_unscaled(t, u)) * 0.4f);
}

uint32_t target_cost(const SegmentTarget* target_left, const SegmentTarget* target_right,
                     const SegmentTarget* unit_left, const SegmentTarget* unit_right) {
  uint32_t sum = segment_cost(target_left, unit_left) + segment_cost(target_right, unit_right);
  const bool p = target_left->pos2 == 1 && target_left->pos5 == 1 && target_right->pos1 == 1 && target_right->pos4 == 1;
  const bool q = unit_left->pos2 == 1 && unit_left->pos5 == 1 && unit_right->pos1 == 1 && unit_right->pos4 == 1;
  if (p && !q) return sum + 200;
  if (q && !p) return sum + 5;
  return sum;
}
