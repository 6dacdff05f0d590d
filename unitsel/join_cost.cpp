// Join costs.  Integer arithmetic is 32-bit with truncating division; the
// products with fractional factors are single precision unless noted.  The
// cheap terms are summed first and tested against the caller's bound, so the
// search skips the spectral distance for pairs that already lose.
#include "unitsel/join_cost.h"

#include <bit>
#include <cstddef>

// The edges are read in place from the unit database: little-endian, with
// the members at these offsets.
static_assert(std::endian::native == std::endian::little);
static_assert(offsetof(JoinEdge, edge_value) == 0 && offsetof(JoinEdge, edge_level) == 8 &&
              offsetof(JoinEdge, edge_a) == 10 && offsetof(JoinEdge, edge_b) == 12 &&
              offsetof(JoinEdge, edge_c) == 14 && offsetof(JoinEdge, coef) == 16);

namespace {

inline uint32_t absdiff(int32_t a, int32_t b) { return static_cast<uint32_t>(a > b ? a - b : b - a); }

// Non-negative float well inside the unsigned range, truncated toward zero.
inline uint32_t trunc_u32(float x) { return static_cast<uint32_t>(x); }

// The fractional factor applied to p in a bound test, in single precision.
inline bool over_bound(float factor, uint32_t p, uint32_t bound) {
  return factor * static_cast<float>(p) >= static_cast<float>(bound);
}

}  // namespace

uint32_t join_t1(const JoinEdge* a, const JoinEdge* b) {
  uint32_t d = absdiff(a->edge_a, b->edge_a);
  return 2 * d >= 5 ? 40 * d - 50 : 0;
}

uint32_t join_t2(const JoinEdge* a, const JoinEdge* b) {
  float x = static_cast<float>(a->edge_value) / 1000.0f;
  float y = static_cast<float>(b->edge_value) / 1000.0f;
  float sum = x + y;
  if (!(sum > 0.0f)) return 100;
  // |50 (x - y) / (x + y)| is at most 50.
  int32_t t = static_cast<int32_t>(50.0f * (x - y) / sum);
  uint32_t v = static_cast<uint32_t>(t < 0 ? -t : t);
  if (v > 8) return 5 * v - 32;
  if (v > 5) return 3 * v - 10;
  return v;
}

uint32_t join_t3(const JoinEdge* a, const JoinEdge* b) {
  int32_t x = a->edge_level;
  int32_t y = b->edge_level;
  if ((x < 3 && y >= 20) || (x >= 20 && y < 3)) return kCostReject;
  uint32_t t = absdiff(x, y) / 5;
  if ((x < 1 && y > 1) || (x > 1 && y < 1)) t += 200;
  return t;
}

uint32_t join_t4(const JoinEdge* a, const JoinEdge* b) {
  uint32_t d = absdiff(a->edge_b, b->edge_b);
  if (d < 10) return 0;
  if (d < 16) return d / 3;
  if (d < 24) return d;
  if (d < 48) return 2 * d;
  return 4 * d;
}

uint32_t join_t5(const JoinEdge* a, const JoinEdge* b) {
  uint32_t d = absdiff(a->edge_c, b->edge_c);
  if (d == 0) return 0;
  if (d == 1) return 3;
  if (d <= 7) return 20 * d - 9;
  return 40 * d;
}

// The weights 0.75, 0.5, 0.25 and 1.5 are exact binary fractions and every
// partial sum stays below 2^12, so each single-precision product is exact
// and truncating it equals the integer quotient used here.
uint32_t join_spectral_distance(const JoinEdge* a, const JoinEdge* b) {
  uint32_t d[16];
  for (int k = 0; k < 16; ++k) d[k] = absdiff(a->coef[k], b->coef[k]);
  uint32_t g0 = d[0] + d[1] + d[2];
  uint32_t g1 = d[3] + d[4] + d[5];
  uint32_t g2 = d[6] + d[7] + d[8];
  uint32_t g3 = d[9] + d[10] + d[11] + d[12] + d[13] + d[14] + d[15];
  uint32_t s = g0 + (3 * g1) / 4;
  s += g2 / 2;
  s += g3 / 4;
  return (3 * s) / 2;
}

// A hard mismatch of the edge levels rejects the pair whatever the bound: a
// scaled-down sum containing it could otherwise pass as a joinable cost.

uint32_t join_cost_vowel(const JoinEdge* a, const JoinEdge* b, uint32_t bound) {
  uint32_t t3 = join_t3(a, b);
  if (t3 == kCostReject) return kCostReject;
  uint32_t p = join_t1(a, b) + join_t2(a, b) + t3 + join_t4(a, b) + join_t5(a, b);
  if (2 * p >= bound) return kCostReject;
  uint32_t q = join_spectral_distance(a, b);
  if (q > 35) q = 10 * q - 315;
  return 2 * (p + q);
}

uint32_t join_cost_voiceless_plosive(const JoinEdge* a, const JoinEdge* b, uint32_t bound) {
  uint32_t t3 = join_t3(a, b);
  if (t3 == kCostReject) return kCostReject;
  uint32_t p = join_t1(a, b) / 3 + join_t5(a, b) / 2 + join_t2(a, b) + t3 + join_t4(a, b) + 10;
  if (over_bound(3.2f, p, bound)) return kCostReject;
  uint32_t q = join_spectral_distance(a, b);
  if (q > 70) q = 5 * q - 280;
  return static_cast<uint32_t>(3.2 * static_cast<double>(p + q / 3));
}

uint32_t join_cost_voiced_plosive(const JoinEdge* a, const JoinEdge* b, uint32_t bound) {
  uint32_t t3 = join_t3(a, b);
  if (t3 == kCostReject) return kCostReject;
  uint32_t p = join_t1(a, b) + join_t2(a, b) + t3 + join_t4(a, b) + join_t5(a, b);
  if (over_bound(0.8f, p, bound)) return kCostReject;
  uint32_t q = join_spectral_distance(a, b);
  if (q > 70) q = 5 * q - 280;
  return trunc_u32(0.8f * static_cast<float>(p + q));
}

uint32_t join_cost_glide_rhotic(const JoinEdge* a, const JoinEdge* b, uint32_t bound) {
  uint32_t t3 = join_t3(a, b);
  if (t3 == kCostReject) return kCostReject;
  uint32_t p = join_t5(a, b) / 2 + join_t2(a, b) + t3 + join_t4(a, b);
  if (over_bound(9.6f, p, bound)) return kCostReject;
  uint32_t q = join_spectral_distance(a, b);
  if (q > 60) q = 3 * q - 120;
  return trunc_u32(9.6f * static_cast<float>(p + q));
}

uint32_t join_cost_voiceless_other(const JoinEdge* a, const JoinEdge* b, uint32_t bound) {
  uint32_t t3 = join_t3(a, b);
  if (t3 == kCostReject) return kCostReject;
  uint32_t p = trunc_u32(0.6f * static_cast<float>(join_t2(a, b)) + static_cast<float>(join_t4(a, b)) +
                         0.05f * static_cast<float>(join_t1(a, b)) + static_cast<float>(t3));
  if (over_bound(0.8f, p, bound)) return kCostReject;
  uint32_t q = join_spectral_distance(a, b);
  if (q > 90) q = 5 * q - 360;
  return trunc_u32(0.8f * static_cast<float>(trunc_u32(0.3f * static_cast<float>(q) + static_cast<float>(p))));
}

uint32_t join_cost_other(const JoinEdge* a, const JoinEdge* b, uint32_t bound) {
  uint32_t t3 = join_t3(a, b);
  if (t3 == kCostReject) return kCostReject;
  uint32_t p = join_t1(a, b) + join_t2(a, b) + t3 + join_t4(a, b) + join_t5(a, b);
  if (over_bound(0.8f, p, bound)) return kCostReject;
  uint32_t q = join_spectral_distance(a, b);
  if (q > 40) q = 5 * q - 160;
  return trunc_u32(0.8f * static_cast<float>(p + q));
}
