// Fixed-point primitives of the SILK decoder.
//
// The bitstream is defined by integer arithmetic, so these helpers reproduce
// it exactly: 32-bit accumulations wrap around modulo 2^32 (done through
// unsigned arithmetic, so that the sanitizer build sees no signed overflow),
// "W" products keep the top 32 bits of a 32 x 16 (or 32 x 32) product shifted
// right by 16, and rounding shifts add half an output step first.
#pragma once

#include <bit>
#include <cstdint>

namespace silk {

inline int32_t add_wrap(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t sub_wrap(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t mul_wrap(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}
inline int32_t lshift_wrap(int32_t a, int shift) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) << shift);
}

// (a * (int16)b) >> 16, exact.
inline int32_t smulwb(int32_t a, int32_t b) {
  return static_cast<int32_t>((static_cast<int64_t>(a) * static_cast<int16_t>(b)) >> 16);
}
// acc + smulwb(a, b), wrapping.
inline int32_t smlawb(int32_t acc, int32_t a, int32_t b) { return add_wrap(acc, smulwb(a, b)); }
// (a * b) >> 16 with a 64-bit product, truncated to 32 bits.
inline int32_t smulww(int32_t a, int32_t b) {
  return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 16);
}
inline int32_t smlaww(int32_t acc, int32_t a, int32_t b) { return add_wrap(acc, smulww(a, b)); }
// (int16)a * (int16)b.
inline int32_t smulbb(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<int16_t>(a)) * static_cast<int16_t>(b);
}
inline int32_t smlabb(int32_t acc, int32_t a, int32_t b) { return add_wrap(acc, smulbb(a, b)); }
// (a * b) >> 32.
inline int32_t smmul(int32_t a, int32_t b) {
  return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 32);
}

// Arithmetic right shift with rounding; shift >= 1.
inline int32_t rshift_round(int32_t a, int shift) {
  return shift == 1 ? (a >> 1) + (a & 1) : ((a >> (shift - 1)) + 1) >> 1;
}
inline int64_t rshift_round64(int64_t a, int shift) {
  return shift == 1 ? (a >> 1) + (a & 1) : ((a >> (shift - 1)) + 1) >> 1;
}

inline int32_t sat16(int32_t a) { return a > 32767 ? 32767 : (a < -32768 ? -32768 : a); }
inline int32_t limit32(int32_t a, int32_t lo, int32_t hi) { return a > hi ? hi : (a < lo ? lo : a); }
// Saturates before shifting left.
inline int32_t lshift_sat32(int32_t a, int shift) {
  return lshift_wrap(limit32(a, INT32_MIN >> shift, INT32_MAX >> shift), shift);
}
inline int32_t add_sat32(int32_t a, int32_t b) {
  int64_t s = static_cast<int64_t>(a) + b;
  return s > INT32_MAX ? INT32_MAX : (s < INT32_MIN ? INT32_MIN : static_cast<int32_t>(s));
}
inline int32_t abs32(int32_t a) { return a > 0 ? a : static_cast<int32_t>(0u - static_cast<uint32_t>(a)); }

// Leading zeros of a 32-bit value; 32 for zero.
inline int32_t clz32(int32_t a) {
  return a == 0 ? 32 : std::countl_zero(static_cast<uint32_t>(a));
}

// Linear congruential generator of the excitation and concealment noise.
inline int32_t next_random(int32_t seed) {
  return static_cast<int32_t>(907633515u + static_cast<uint32_t>(seed) * 196314165u);
}

// Approximation of (1 << q) / b; b != 0.
inline int32_t inverse32_varq(int32_t b, int q) {
  int b_headroom = clz32(abs32(b)) - 1;
  int32_t b_norm = lshift_wrap(b, b_headroom);
  int32_t b_inv = (INT32_MAX >> 2) / (b_norm >> 16);
  int32_t result = lshift_wrap(b_inv, 16);
  int32_t err_q32 = lshift_wrap(-smulwb(b_norm, b_inv), 3);
  result = smlaww(result, err_q32, b_inv);
  int lshift = 61 - b_headroom - q;
  if (lshift <= 0) return lshift_sat32(result, -lshift);
  return lshift < 32 ? result >> lshift : 0;
}

// Approximation of (a << q) / b; b != 0.
inline int32_t div32_varq(int32_t a, int32_t b, int q) {
  int a_headroom = clz32(abs32(a)) - 1;
  int32_t a_norm = lshift_wrap(a, a_headroom);
  int b_headroom = clz32(abs32(b)) - 1;
  int32_t b_norm = lshift_wrap(b, b_headroom);
  int32_t b_inv = (INT32_MAX >> 2) / (b_norm >> 16);
  int32_t result = smulwb(a_norm, b_inv);
  a_norm = sub_wrap(a_norm, lshift_wrap(smmul(b_norm, result), 3));
  result = smlawb(result, a_norm, b_inv);
  int lshift = 29 + a_headroom - b_headroom - q;
  if (lshift <= 0) return lshift_sat32(result, -lshift);
  return lshift < 32 ? result >> lshift : 0;
}

// Square root approximation for positive x (0 otherwise).
inline int32_t sqrt_approx(int32_t x) {
  if (x <= 0) return 0;
  int32_t lz = clz32(x);
  int32_t frac_q7 = static_cast<int32_t>(std::rotr(static_cast<uint32_t>(x), 24 - lz) & 0x7f);
  int32_t y = (lz & 1) ? 32768 : 46214;  // 46214 = sqrt(2) * 32768
  y >>= lz >> 1;
  return smlawb(y, y, smulbb(213, frac_q7));
}

// 2^(x / 128) for a log-domain value in Q7.
inline int32_t log2lin(int32_t in_log_q7) {
  if (in_log_q7 < 0) return 0;
  if (in_log_q7 >= (31 << 7)) return INT32_MAX;
  int32_t out = 1 << (in_log_q7 >> 7);
  int32_t frac_q7 = in_log_q7 & 0x7f;
  int32_t poly = smlawb(frac_q7, frac_q7 * (128 - frac_q7), -174);
  if (in_log_q7 < 2048) return out + ((out * poly) >> 7);
  return add_wrap(out, mul_wrap(out >> 7, poly));
}

}  // namespace silk
