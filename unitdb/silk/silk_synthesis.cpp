// Frame synthesis: excitation reconstruction, long-term (pitch) prediction,
// short-term LPC synthesis, plus the LPC synthesis filter of the comfort-noise
// generator, the output high-pass biquad and the energy measure of the
// concealment.
#include <cstring>

#include "unitdb/silk/silk_fixed.h"
#include "unitdb/silk/silk_internal.h"

namespace silk {

namespace {

// Short-term prediction of one subframe.  `state` holds kMaxLpcOrder past
// outputs in Q14 followed by room for `length` new ones.
template <int kOrder>
void short_term_synthesis(int32_t* out_q10, const int32_t* res_q10, int32_t* state,
                          const int16_t* a_q12, int length) {
  int64_t a[kOrder];
  for (int j = 0; j < kOrder; j++) a[j] = a_q12[j];
  for (int i = 0; i < length; i++) {
    const int32_t* s = &state[kMaxLpcOrder + i - 1];
    // Each product is floored on its own, exactly as the 32 x 16 multiply
    // of the bitstream definition; the sum wraps at 32 bits.
    uint32_t pred = 0;
#pragma GCC unroll 16
    for (int j = 0; j < kOrder; j++) pred += static_cast<uint32_t>(static_cast<int32_t>((s[-j] * a[j]) >> 16));
    int32_t v = add_wrap(res_q10[i], static_cast<int32_t>(pred));
    out_q10[i] = v;
    state[kMaxLpcOrder + i] = lshift_wrap(v, 4);
  }
}

// Moving-average (analysis) filter with zero initial state, used to turn past
// output back into an LPC residual for the pitch predictor:
// out[k] = in[k] - sum b[d] * in[k - 1 - d] in Q12, rounded and saturated.
template <int kOrder>
void lpc_analysis(const int16_t* in, const int16_t* b, int16_t* out, int length) {
  // Input with kOrder zeros in front, coefficients reversed, so that the sum
  // runs forward over both (and vectorises).
  int16_t x[kOrder + kMaxFrameLength];
  int16_t br[kOrder];
  for (int d = 0; d < kOrder; d++) {
    x[d] = 0;
    br[d] = b[kOrder - 1 - d];
  }
  memcpy(x + kOrder, in, static_cast<size_t>(length) * sizeof(int16_t));
  for (int k = 0; k < length; k++) {
    const int16_t* w = x + k;
    uint32_t acc = 0;
    for (int d = 0; d < kOrder; d++) acc += static_cast<uint32_t>(w[d] * br[d]);
    int32_t out32 = rshift_round(sub_wrap(x[kOrder + k] * 4096, static_cast<int32_t>(acc)), 12);
    out[k] = static_cast<int16_t>(sat16(out32));
  }
}

}  // namespace

void decode_core(Decoder* d, FrameParams* p, int16_t* out, const int32_t pulses[kMaxFrameLength]) {
  const int frame_length = d->frame_length;
  const int subfr_length = d->subfr_length;
  const int order = d->lpc_order;
  const int32_t offset_q10 = kQuantOffsetsQ10[p->sigtype][p->quant_offset_type];
  const int nlsf_interpolated = p->nlsf_interp_coef_q2 < 4 ? 1 : 0;

  // Excitation: pulses plus quantisation offset, with pseudo-random signs.
  int32_t seed = p->seed;
  for (int i = 0; i < frame_length; i++) {
    seed = next_random(seed);
    int32_t dither = seed >> 31;
    int32_t e = add_wrap(lshift_wrap(pulses[i], 10), offset_q10);
    d->exc_q10[i] = sub_wrap(e ^ dither, dither);
    seed = add_wrap(seed, pulses[i]);
  }

  int16_t ltp_input[kMaxFrameLength];
  int32_t res_q10[kMaxSubframeLength];
  int32_t vec_q10[kMaxSubframeLength];
  const int32_t* exc_q10 = d->exc_q10;
  int16_t* xq = &d->out_buf[frame_length];
  int ltp_index = frame_length;
  int lag = 0;

  for (int k = 0; k < kSubframes; k++) {
    const int16_t* a_q12 = p->pred_coef_q12[k >> 1];
    int16_t* b_q14 = &p->ltp_coef_q14[k * kLtpOrder];
    const int32_t gain_q16 = p->gains_q16[k];
    int sigtype = p->sigtype;

    int32_t inv_gain_q16 = inverse32_varq(gain_q16 > 1 ? gain_q16 : 1, 32);
    if (inv_gain_q16 > 32767) inv_gain_q16 = 32767;
    int32_t gain_adj_q16 = 1 << 16;
    if (inv_gain_q16 != d->prev_inv_gain_q16) gain_adj_q16 = div32_varq(inv_gain_q16, d->prev_inv_gain_q16, 16);

    // After a loss, a voiced-to-unvoiced change keeps a weak pitch pulse in
    // the first half of the frame.
    if (d->loss_count && d->prev_sigtype == kSigVoiced && p->sigtype == kSigUnvoiced && k < kSubframes / 2) {
      memset(b_q14, 0, kLtpOrder * sizeof(int16_t));
      b_q14[kLtpOrder / 2] = 1 << 12;  // 0.25
      sigtype = kSigVoiced;
      p->pitch_lags[k] = d->lag_prev;
    }

    if (sigtype == kSigVoiced) {
      lag = p->pitch_lags[k];
      // Re-whiten the past output at the start of each set of LPC coefficients.
      if ((k & (3 - (nlsf_interpolated << 1))) == 0) {
        int start = frame_length - lag - order - kLtpOrder / 2;
        if (order == kMaxLpcOrder) {
          lpc_analysis<kMaxLpcOrder>(&d->out_buf[start + k * (frame_length >> 2)], a_q12, ltp_input + start,
                                     frame_length - start);
        } else {
          lpc_analysis<kMinLpcOrder>(&d->out_buf[start + k * (frame_length >> 2)], a_q12, ltp_input + start,
                                     frame_length - start);
        }
        int32_t inv_gain_q32 = inv_gain_q16 << 16;
        if (k == 0) inv_gain_q32 = lshift_wrap(smulwb(inv_gain_q32, p->ltp_scale_q14), 2);
        for (int i = 0; i < lag + kLtpOrder / 2; i++)
          d->ltp_state_q16[ltp_index - i - 1] = smulwb(inv_gain_q32, ltp_input[frame_length - i - 1]);
      } else if (gain_adj_q16 != 1 << 16) {
        for (int i = 0; i < lag + kLtpOrder / 2; i++)
          d->ltp_state_q16[ltp_index - i - 1] = smulww(gain_adj_q16, d->ltp_state_q16[ltp_index - i - 1]);
      }
    }

    if (gain_adj_q16 != 1 << 16) {
      for (int i = 0; i < kMaxLpcOrder; i++) d->lpc_state_q14[i] = smulww(gain_adj_q16, d->lpc_state_q14[i]);
    }
    d->prev_inv_gain_q16 = inv_gain_q16;

    const int32_t* residual;
    if (sigtype == kSigVoiced) {
      const int32_t b0 = b_q14[0], b1 = b_q14[1], b2 = b_q14[2], b3 = b_q14[3], b4 = b_q14[4];
      const int32_t* pred = &d->ltp_state_q16[ltp_index - lag + kLtpOrder / 2];
      for (int i = 0; i < subfr_length; i++) {
        int32_t ltp_q14 = smulwb(pred[i], b0);
        ltp_q14 = smlawb(ltp_q14, pred[i - 1], b1);
        ltp_q14 = smlawb(ltp_q14, pred[i - 2], b2);
        ltp_q14 = smlawb(ltp_q14, pred[i - 3], b3);
        ltp_q14 = smlawb(ltp_q14, pred[i - 4], b4);
        res_q10[i] = add_wrap(exc_q10[i], rshift_round(ltp_q14, 4));
        d->ltp_state_q16[ltp_index++] = lshift_wrap(res_q10[i], 6);
      }
      residual = res_q10;
    } else {
      residual = exc_q10;
    }

    if (order == kMaxLpcOrder) {
      short_term_synthesis<kMaxLpcOrder>(vec_q10, residual, d->lpc_state_q14, a_q12, subfr_length);
    } else {
      short_term_synthesis<kMinLpcOrder>(vec_q10, residual, d->lpc_state_q14, a_q12, subfr_length);
    }
    for (int i = 0; i < subfr_length; i++)
      xq[i] = static_cast<int16_t>(sat16(rshift_round(smulww(vec_q10[i], gain_q16), 10)));

    memmove(d->lpc_state_q14, &d->lpc_state_q14[subfr_length], kMaxLpcOrder * sizeof(int32_t));
    exc_q10 += subfr_length;
    xq += subfr_length;
  }
  memcpy(out, &d->out_buf[frame_length], frame_length * sizeof(int16_t));
}

void lpc_synthesis(const int16_t* in, const int16_t* a_q12, int32_t gain_q26, int32_t* state,
                   int16_t* out, int length, int order) {
  // state[order - 1] is the newest output, state[0] the oldest.
  for (int k = 0; k < length; k++) {
    uint32_t acc = 0;
    for (int j = 0; j < order; j++) acc += static_cast<uint32_t>(smulwb(state[order - 1 - j], a_q12[j]));
    int32_t out32_q10 = add_sat32(static_cast<int32_t>(acc), smulwb(gain_q26, in[k]));
    out[k] = static_cast<int16_t>(sat16(rshift_round(out32_q10, 10)));
    memmove(state, state + 1, (order - 1) * sizeof(int32_t));
    state[order - 1] = lshift_sat32(out32_q10, 4);
  }
}

void high_pass(const int16_t* in, const int16_t* b, const int16_t* a, int32_t state[2], int16_t* out,
               int length) {
  int32_t s0 = state[0];
  int32_t s1 = state[1];
  const int32_t a0_neg = -a[0];
  const int32_t a1_neg = -a[1];
  for (int k = 0; k < length; k++) {
    int32_t in16 = in[k];
    int32_t out32 = smlabb(s0, in16, b[0]);
    s0 = smlabb(s1, in16, b[1]);
    s0 = add_wrap(s0, lshift_wrap(smulwb(out32, a0_neg), 3));
    s1 = lshift_wrap(smulwb(out32, a1_neg), 3);
    s1 = smlabb(s1, in16, b[2]);
    out[k] = static_cast<int16_t>(sat16(rshift_round(out32, 13) + 1));
  }
  state[0] = s0;
  state[1] = s1;
}

void sum_sqr_shift(int32_t* energy, int32_t* shift, const int16_t* x, int length) {
  int32_t nrg = 0;
  int shft = 0;
  int i = 0;
  const int last = length - 1;
  // Pairs of samples; once the sum would turn negative, keep it two bits lower.
  while (i < last) {
    nrg = smlabb(nrg, x[i], x[i]);
    nrg = smlabb(nrg, x[i + 1], x[i + 1]);
    i += 2;
    if (nrg < 0) {
      nrg = static_cast<int32_t>(static_cast<uint32_t>(nrg) >> 2);
      shft = 2;
      break;
    }
  }
  for (; i < last; i += 2) {
    uint32_t pair = static_cast<uint32_t>(smlabb(smulbb(x[i], x[i]), x[i + 1], x[i + 1]));
    nrg = static_cast<int32_t>(static_cast<uint32_t>(nrg) + (pair >> shft));
    if (nrg < 0) {
      nrg = static_cast<int32_t>(static_cast<uint32_t>(nrg) >> 2);
      shft += 2;
    }
  }
  if (i == last) {
    uint32_t sq = static_cast<uint32_t>(smulbb(x[i], x[i]));
    nrg = static_cast<int32_t>(static_cast<uint32_t>(nrg) + (sq >> shft));
  }
  if (nrg & 0xc0000000) {
    nrg = static_cast<int32_t>(static_cast<uint32_t>(nrg) >> 2);
    shft += 2;
  }
  *shift = shft;
  *energy = nrg;
}

}  // namespace silk
