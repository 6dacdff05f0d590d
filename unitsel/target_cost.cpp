// Target cost.  All sums are unsigned 32-bit; the length term and the final
// scaling are single-precision products truncated toward zero.
//
// The function runs for every unit instance of every candidate, on records
// whose values change from call to call, so the rules are written as
// straight-line arithmetic: each computes its term and a 0/1 condition
// selects it, which the compiler turns into flag and select instructions
// rather than branches that the processor would mispredict.  The eighteen
// byte members are compared sixteen lanes at a time where SSE2 is available.
// Strings equal when they are the same pointer, which a host that keeps one
// copy of each string makes the usual case; bytes are compared only when the
// first bytes agree at different addresses.  It never allocates.
#include "unitsel/target_cost.h"

#include <cmath>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "unitsel/text_match.h"

// The boolean tests are combined with & and | on purpose: both sides are
// cheap, and evaluating them all keeps the cost free of data-dependent branches.
#ifdef __clang__
#pragma clang diagnostic ignored "-Wbitwise-instead-of-logical"
#endif

using unitsel::same_text;
using unitsel::str_is;

namespace {

inline uint32_t absdiff(uint8_t a, uint8_t b) {
  int32_t d = int32_t(a) - int32_t(b);
  return static_cast<uint32_t>(d < 0 ? -d : d);
}

inline uint32_t bit(bool b) { return b ? 1u : 0u; }

// Level rules tell 0, 1 and "2 or more" apart: `one_over` when the target's
// level is exactly 1 and the unit's 2 or more, `over_one` for the opposite
// case.
inline uint32_t level_cost(uint8_t t, uint8_t u, uint32_t one_over, uint32_t over_one) {
  return bit((t == 1) & (u > 1)) * one_over + bit((t > 1) & (u == 1)) * over_one;
}

inline bool is_content(const char* gpos) { return str_is(gpos, "content"); }

// Tests the unit's part-of-speech classes for "content" with the help of a
// target class already found to be "content" (null when none is): where
// texts are kept once, every "content" is that one pointer, and the bytes are
// only read for a class at another address that begins like it (rare, so
// the one branch is predicted well; a class equal to "content" about half
// the time would not be).
class ContentTest {
 public:
  explicit ContentTest(const char* known) : known_(known) {}
  bool is(const char* gpos) const {
    const unsigned at_known = gpos == known_;
    if (__builtin_expect(unitsel::opaque((at_known ^ 1u) & static_cast<unsigned>(*gpos == 'c')), 0))
      return is_content(gpos);
    return at_known;
  }

 private:
  const char* known_;
};

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
//
// Each side of the rule is a sum of up to four terms a r - b, each used above
// its threshold and truncated on its own; the side is chosen first and only
// its terms are computed (an unused fourth term has an infinite threshold).
struct LengthTerms {
  float scale[4], offset[4], above[4];
};
constexpr LengthTerms kLengthTerms[2] = {
    // The target at least as long as the unit.
    {{150.0f, 150.0f, 360.0f, 0.0f}, {0.0f, 22.5f, 126.0f, 0.0f}, {-1.0f, 0.15f, 0.35f, INFINITY}},
    // The unit longer than the target.
    {{250.0f, 120.0f, 150.0f, 300.0f}, {0.0f, 24.0f, 45.0f, 120.0f}, {-1.0f, 0.2f, 0.3f, 0.4f}},
};

inline uint32_t length_cost(float x, float y) {
  float sum = x + y;
  float r = (x - y) / (sum != 0.0f ? sum : 1.0f);
  r = std::fabs(r);
  bool valid = (sum != 0.0f) & (r == r);
  r = valid ? (r > 1.0e6f ? 1.0e6f : r) : 0.0f;

  const LengthTerms& side = kLengthTerms[x >= y ? 0 : 1];
  uint32_t cost = 0;
  for (int k = 0; k < 4; ++k) cost += term_if(r > side.above[k], side.scale[k] * r - side.offset[k]);
  return cost;
}

// Tone terms, used only when the unit carries `level4` = 1.
inline uint32_t tone_cost(const SegmentTarget* t, const SegmentTarget* u, bool u_vowel, bool u_voiceless) {
  uint32_t tone = same_text(t->tone, u->tone) ? 0 : 10;
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

uint32_t segment_byte_terms_portable(const SegmentTarget* t, const SegmentTarget* u) {
  uint32_t cost = 3 * (absdiff(t->pos1, u->pos1) + absdiff(t->pos2, u->pos2) + absdiff(t->pos3, u->pos3));
  cost += 5 * bit(t->mark != u->mark);
  cost += 2 * (absdiff(t->pos4, u->pos4) + absdiff(t->pos5, u->pos5));
  cost += level_cost(t->level1, u->level1, 2, 2);
  cost += level_cost(t->level2, u->level2, 10, 3);
  cost += bit(t->flag1 != u->flag1) + bit(t->flag2 != u->flag2);
  cost += 3 * absdiff(t->label_value, u->label_value);
  cost += bit(t->flag3 != u->flag3);
  cost += level_cost(t->level3, u->level3, 2, 1);
  cost += level_cost(t->level4, u->level4, 2, 1);
  cost += bit(t->flag4 != u->flag4) + bit(t->flag5 != u->flag5);
  cost += level_cost(t->level5, u->level5, 1, 1);
  cost += level_cost(t->level6, u->level6, 1, 1);
  return cost;
}

#if defined(__SSE2__)

// The byte members lie in three groups of the record, each followed by spare
// bytes inside the record: pos1 to flag2 (10 bytes, 6 spare), flag3 to level4
// (3, 5 spare) and flag4 to level6 (4, 4 spare).  Two 16-byte vectors hold
// them, with label_value put into the first group's spare lanes:
//
//   lane      0    1    2    3    4    5    6      7      8     9     10
//   first     pos1 pos2 pos3 mark pos4 pos5 level1 level2 flag1 flag2 label_value
//   second    flag3 level3 level4 (spare x 5) flag4 flag5 level5 level6
//
// Each lane has one kind of rule; the weights below say which.
static_assert(offsetof(SegmentTarget, flag2) == offsetof(SegmentTarget, pos1) + 9 &&
              offsetof(SegmentTarget, spare0) + sizeof(SegmentTarget::spare0) == offsetof(SegmentTarget, pos1) + 16);
static_assert(offsetof(SegmentTarget, level4) == offsetof(SegmentTarget, flag3) + 2 &&
              offsetof(SegmentTarget, spare2) + sizeof(SegmentTarget::spare2) == offsetof(SegmentTarget, flag3) + 8);
static_assert(offsetof(SegmentTarget, level6) == offsetof(SegmentTarget, flag4) + 3 &&
              offsetof(SegmentTarget, spare3) + sizeof(SegmentTarget::spare3) == offsetof(SegmentTarget, flag4) + 8);

namespace {

struct ByteLanes {
  __m128i first, second;
};

inline ByteLanes byte_lanes(const SegmentTarget* b) {
  __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&b->pos1));
  first = _mm_insert_epi16(first, b->label_value, 5);
  const __m128i second = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(&b->flag3)),
                                            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&b->flag4)));
  return {first, second};
}

// Per lane: the weight of a difference (flags, mark) and of a level rule
// (target 1 against unit above 1, and the reverse).
struct LaneWeights {
  __m128i differs, one_over, over_one;
};

inline __m128i lanes(int8_t l0, int8_t l1, int8_t l2, int8_t l3, int8_t l4, int8_t l5, int8_t l6, int8_t l7,
                     int8_t l8, int8_t l9, int8_t l10, int8_t l11) {
  return _mm_setr_epi8(l0, l1, l2, l3, l4, l5, l6, l7, l8, l9, l10, l11, 0, 0, 0, 0);
}

// The weight each lane adds for one vector pair (at most 10 a lane).  A
// level's class is min(level, 2); a rule fires when the two classes are 1
// and 2, in either order, and the target's class says which.
inline __m128i lane_weights(__m128i t, __m128i u, const LaneWeights& w) {
  const __m128i two = _mm_set1_epi8(2), three = _mm_set1_epi8(3), one = _mm_set1_epi8(1);
  const __m128i t_class = _mm_min_epu8(t, two), u_class = _mm_min_epu8(u, two);
  const __m128i fires = _mm_cmpeq_epi8(_mm_add_epi8(t_class, u_class), three);
  const __m128i t_one = _mm_cmpeq_epi8(t_class, one);
  const __m128i level = _mm_and_si128(fires, _mm_or_si128(_mm_and_si128(t_one, w.one_over), _mm_andnot_si128(t_one, w.over_one)));
  // A lane has one kind of rule, so the weights merge with OR.
  return _mm_or_si128(_mm_andnot_si128(_mm_cmpeq_epi8(t, u), w.differs), level);
}

}  // namespace

uint32_t segment_byte_terms(const SegmentTarget* t, const SegmentTarget* u) {
  const int8_t A = -1;
  const ByteLanes a = byte_lanes(t), b = byte_lanes(u);
  const __m128i weights =
      _mm_add_epi8(lane_weights(a.first, b.first,
                                {lanes(0, 0, 0, 5, 0, 0, 0, 0, 1, 1, 0, 0), lanes(0, 0, 0, 0, 0, 0, 2, 10, 0, 0, 0, 0),
                                 lanes(0, 0, 0, 0, 0, 0, 2, 3, 0, 0, 0, 0)}),
                   lane_weights(a.second, b.second,
                                {lanes(1, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0), lanes(0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 1, 1),
                                 lanes(0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 1)}));
  // Absolute differences, counted twice (pos4, pos5) or three times (pos1
  // to pos3, label_value): the lanes of both kinds twice, those of the
  // second once more.
  const __m128i delta = _mm_or_si128(_mm_subs_epu8(a.first, b.first), _mm_subs_epu8(b.first, a.first));
  const __m128i zero = _mm_setzero_si128();
  const __m128i twice = _mm_sad_epu8(_mm_and_si128(delta, lanes(A, A, A, 0, A, A, 0, 0, 0, 0, A, 0)), zero);
  const __m128i thrice = _mm_sad_epu8(_mm_and_si128(delta, lanes(A, A, A, 0, 0, 0, 0, 0, 0, 0, A, 0)), zero);
  const __m128i sum =
      _mm_add_epi64(_mm_add_epi64(_mm_sad_epu8(weights, zero), thrice), _mm_add_epi64(twice, twice));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(sum) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sum, sum)));
}

#else

uint32_t segment_byte_terms(const SegmentTarget* t, const SegmentTarget* u) { return segment_byte_terms_portable(t, u); }

#endif

uint32_t segment_cost_unscaled(const SegmentTarget* t, const SegmentTarget* u) {
  const bool u_vowel = u->ph_vc[0] == '+';
  const bool u_voiceless = u->ph_cvox[0] == '-';

  // Phonetic context and its multipliers, tested on the target.
  uint32_t c = 3 * (bit(!same_text(t->pp_name, u->pp_name)) + bit(!same_text(t->nn_name, u->nn_name))) +
               7 * (bit(!same_text(t->p_name, u->p_name)) + bit(!same_text(t->n_name, u->n_name)));
  const bool name_r = str_is(t->name, "r");
  const bool oh_before_n = str_is(t->name, "oh") & str_is(t->n_name, "n");
  c *= name_r ? 5 : (oh_before_n ? 3 : 1);
  const bool next_to_r = str_is(t->p_name, "r") | str_is(t->n_name, "r");
  const bool next_to_nasal = str_is(t->p_name, "on") | str_is(t->n_name, "on") | str_is(t->p_name, "en") |
                             str_is(t->n_name, "en") | str_is(t->p_name, "j") | str_is(t->n_name, "j");
  c *= next_to_r ? (u_vowel ? 10 : 5) : (next_to_nasal ? 3 : 1);

  uint32_t cost = c + segment_byte_terms(t, u);
  cost += 1000 * bit((t->mark != u->mark) & u_vowel);
  cost += 3 * bit(!same_text(t->label, u->label));

  // Part of speech.
  const bool t_content = is_content(t->gpos), t_content_p = is_content(t->gpos_p);
  const bool t_content_n = is_content(t->gpos_n);
  const ContentTest unit_class(t_content ? t->gpos : t_content_p ? t->gpos_p : t_content_n ? t->gpos_n : nullptr);
  const bool u_content = unit_class.is(u->gpos);
  cost += 50 * bit(t_content != u_content);
  cost += 3 * bit(t_content_p != unit_class.is(u->gpos_p));
  cost += 3 * bit(t_content_n != unit_class.is(u->gpos_n));
  // A "content" unit adds nothing here; comparing it with itself then
  // keeps the string test on its fast path.
  cost += 10 * bit(!u_content & !same_text(u->gpos, u_content ? u->gpos : t->gpos));

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
  return sum + ((p & !q) ? 200 : 0) + ((q & !p) ? 5 : 0);
}
