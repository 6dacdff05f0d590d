// LPC helpers: NLSF stabilisation, NLSF to prediction coefficients, the
// stability test by inverse prediction gain, and bandwidth expansion.
#include "unitdb/silk/silk_fixed.h"
#include "unitdb/silk/silk_internal.h"

namespace silk {

namespace {

constexpr int kStabilizeLoops = 20;
constexpr int kLpcStabilizeIterations = 20;

// Expansion of a Q-free 32-bit filter (used on the Q12-in-32-bit coefficients).
void bandwidth_expand32(int32_t* ar, int order, int32_t chirp_q16) {
  int32_t tmp_chirp_q16 = chirp_q16;
  for (int i = 0; i < order - 1; i++) {
    ar[i] = smulww(ar[i], tmp_chirp_q16);
    tmp_chirp_q16 = smulww(chirp_q16, tmp_chirp_q16);
  }
  ar[order - 1] = smulww(ar[order - 1], tmp_chirp_q16);
}

// One of the two LSP polynomials from interleaved 2*cos(LSF) values in Q20.
void nlsf_poly(int32_t* out, const int32_t* c_lsf, int dd) {
  out[0] = 1 << 20;
  out[1] = -c_lsf[0];
  for (int k = 1; k < dd; k++) {
    int64_t f = c_lsf[2 * k];
    out[k + 1] = lshift_wrap(out[k - 1], 1) - static_cast<int32_t>(rshift_round64(f * out[k], 20));
    for (int n = k; n > 1; n--) out[n] += out[n - 2] - static_cast<int32_t>(rshift_round64(f * out[n - 1], 20));
    out[1] -= static_cast<int32_t>(f);
  }
}

void nlsf_to_lpc(int16_t* a, const int32_t* nlsf, int order) {
  int32_t cos_lsf_q20[kMaxLpcOrder];
  for (int k = 0; k < order; k++) {
    int32_t f_int = nlsf[k] >> 8;
    int32_t f_frac = nlsf[k] - (f_int << 8);
    int32_t cos_val = kLsfCosQ12[f_int];
    int32_t delta = kLsfCosQ12[f_int + 1] - cos_val;
    cos_lsf_q20[k] = cos_val * 256 + delta * f_frac;
  }
  const int dd = order >> 1;
  int32_t p[kMaxLpcOrder / 2 + 1];
  int32_t q[kMaxLpcOrder / 2 + 1];
  nlsf_poly(p, &cos_lsf_q20[0], dd);
  nlsf_poly(q, &cos_lsf_q20[1], dd);

  int32_t a32[kMaxLpcOrder];
  for (int k = 0; k < dd; k++) {
    int32_t p_tmp = p[k + 1] + p[k];
    int32_t q_tmp = q[k + 1] - q[k];
    a32[k] = -rshift_round(p_tmp + q_tmp, 9);
    a32[order - k - 1] = rshift_round(q_tmp - p_tmp, 9);
  }

  // Bring the coefficients into 16 bits by bandwidth expansion.
  int i = 0;
  for (; i < 10; i++) {
    int32_t maxabs = 0;
    int idx = 0;
    for (int k = 0; k < order; k++) {
      int32_t absval = abs32(a32[k]);
      if (absval > maxabs) {
        maxabs = absval;
        idx = k;
      }
    }
    if (maxabs <= 32767) break;
    maxabs = maxabs < 98369 ? maxabs : 98369;
    int32_t sc_q16 = 65470 - ((65470 >> 2) * (maxabs - 32767)) / ((maxabs * (idx + 1)) >> 2);
    bandwidth_expand32(a32, order, sc_q16);
  }
  if (i == 10) {
    for (int k = 0; k < order; k++) a32[k] = sat16(a32[k]);
  }
  for (int k = 0; k < order; k++) a[k] = static_cast<int16_t>(a32[k]);
}

}  // namespace

void nlsf_stabilize(int32_t nlsf_q15[], const int16_t delta_min_q15[], int order) {
  const int last = order;
  for (int loop = 0; loop < kStabilizeLoops; loop++) {
    // Find the tightest spacing.
    int32_t min_diff = nlsf_q15[0] - delta_min_q15[0];
    int worst = 0;
    for (int i = 1; i < order; i++) {
      int32_t diff = nlsf_q15[i] - (nlsf_q15[i - 1] + delta_min_q15[i]);
      if (diff < min_diff) {
        min_diff = diff;
        worst = i;
      }
    }
    int32_t diff = (1 << 15) - (nlsf_q15[order - 1] + delta_min_q15[last]);
    if (diff < min_diff) {
      min_diff = diff;
      worst = last;
    }
    if (min_diff >= 0) return;

    if (worst == 0) {
      nlsf_q15[0] = delta_min_q15[0];
    } else if (worst == last) {
      nlsf_q15[order - 1] = (1 << 15) - delta_min_q15[last];
    } else {
      // Move the pair apart around its centre, within the room the others leave.
      int32_t min_center = 0;
      for (int k = 0; k < worst; k++) min_center += delta_min_q15[k];
      min_center += delta_min_q15[worst] >> 1;
      int32_t max_center = 1 << 15;
      for (int k = last; k > worst; k--) max_center -= delta_min_q15[k];
      max_center -= delta_min_q15[worst] - (delta_min_q15[worst] >> 1);
      int32_t center = rshift_round(nlsf_q15[worst - 1] + nlsf_q15[worst], 1);
      if (min_center > max_center) {
        center = center > min_center ? min_center : (center < max_center ? max_center : center);
      } else {
        center = center > max_center ? max_center : (center < min_center ? min_center : center);
      }
      nlsf_q15[worst - 1] = center - (delta_min_q15[worst] >> 1);
      nlsf_q15[worst] = nlsf_q15[worst - 1] + delta_min_q15[worst];
    }
  }

  // Fallback: sort, then push the values apart from both ends.
  for (int i = 1; i < order; i++) {
    int32_t value = nlsf_q15[i];
    int j = i - 1;
    for (; j >= 0 && value < nlsf_q15[j]; j--) nlsf_q15[j + 1] = nlsf_q15[j];
    nlsf_q15[j + 1] = value;
  }
  if (nlsf_q15[0] < delta_min_q15[0]) nlsf_q15[0] = delta_min_q15[0];
  for (int i = 1; i < order; i++) {
    int32_t floor_value = nlsf_q15[i - 1] + delta_min_q15[i];
    if (nlsf_q15[i] < floor_value) nlsf_q15[i] = floor_value;
  }
  int32_t ceiling = (1 << 15) - delta_min_q15[last];
  if (nlsf_q15[order - 1] > ceiling) nlsf_q15[order - 1] = ceiling;
  for (int i = order - 2; i >= 0; i--) {
    int32_t ceiling_value = nlsf_q15[i + 1] - delta_min_q15[i + 1];
    if (nlsf_q15[i] > ceiling_value) nlsf_q15[i] = ceiling_value;
  }
}

int lpc_inverse_pred_gain(int32_t* inv_gain_q30, const int16_t* a_q12, int order) {
  constexpr int32_t kLimitQ16 = 65520;  // 0.99975 in Q16
  int32_t a_qa[2][kMaxLpcOrder];
  int32_t* a_new = a_qa[order & 1];
  for (int k = 0; k < order; k++) a_new[k] = static_cast<int32_t>(a_q12[k]) * 16;

  *inv_gain_q30 = 1 << 30;
  for (int k = order - 1; k > 0; k--) {
    if (a_new[k] > kLimitQ16 || a_new[k] < -kLimitQ16) return 1;
    int32_t rc_q31 = -lshift_wrap(a_new[k], 15);
    int32_t rc_mult1_q30 = (INT32_MAX >> 1) - smmul(rc_q31, rc_q31);
    int32_t rc_mult2_q16 = inverse32_varq(rc_mult1_q30, 46);
    *inv_gain_q30 = smmul(*inv_gain_q30, rc_mult1_q30) << 2;
    int32_t* a_old = a_new;
    a_new = a_qa[k & 1];
    int headroom = clz32(rc_mult2_q16) - 1;
    rc_mult2_q16 = lshift_wrap(rc_mult2_q16, headroom);
    for (int n = 0; n < k; n++) {
      int32_t tmp = a_old[n] - lshift_wrap(smmul(a_old[k - n - 1], rc_q31), 1);
      a_new[n] = lshift_wrap(smmul(tmp, rc_mult2_q16), 16 - headroom);
    }
  }
  if (a_new[0] > kLimitQ16 || a_new[0] < -kLimitQ16) return 1;
  int32_t rc_q31 = -lshift_wrap(a_new[0], 15);
  int32_t rc_mult1_q30 = (INT32_MAX >> 1) - smmul(rc_q31, rc_q31);
  *inv_gain_q30 = smmul(*inv_gain_q30, rc_mult1_q30) << 2;
  return 0;
}

void bandwidth_expand(int16_t* ar, int order, int32_t chirp_q16) {
  int32_t chirp_minus_one_q16 = chirp_q16 - 65536;
  for (int i = 0; i < order - 1; i++) {
    ar[i] = static_cast<int16_t>(rshift_round(chirp_q16 * ar[i], 16));
    chirp_q16 += rshift_round(chirp_q16 * chirp_minus_one_q16, 16);
  }
  ar[order - 1] = static_cast<int16_t>(rshift_round(chirp_q16 * ar[order - 1], 16));
}

void nlsf_to_lpc_stable(int16_t a_q12[kMaxLpcOrder], const int32_t nlsf_q15[kMaxLpcOrder], int order) {
  nlsf_to_lpc(a_q12, nlsf_q15, order);
  int i = 0;
  for (; i < kLpcStabilizeIterations; i++) {
    int32_t inv_gain_q30;
    if (lpc_inverse_pred_gain(&inv_gain_q30, a_q12, order) != 1) break;
    bandwidth_expand(a_q12, order, 65536 - (10 + i) * i);
  }
  if (i == kLpcStabilizeIterations) {
    for (int k = 0; k < order; k++) a_q12[k] = 0;
  }
}

}  // namespace silk
