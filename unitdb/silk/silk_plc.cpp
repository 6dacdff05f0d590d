// Packet loss concealment (extrapolation of the last good frame with
// decaying pitch and noise excitation, and a smooth return to decoded
// frames) and the comfort-noise generator.
#include <cstring>

#include "unitdb/silk/silk_fixed.h"
#include "unitdb/silk/silk_internal.h"

namespace silk {

namespace {

constexpr int32_t kBweCoefQ16 = 64880;               // 0.99
constexpr int32_t kVoicedPitchGainMinQ14 = 11469;    // 0.7
constexpr int32_t kVoicedPitchGainMaxQ14 = 15565;    // 0.95
constexpr int kMaxPitchLagMs = 18;
constexpr int kRandBufMask = 127;
constexpr int kLog2InvLpcGainHigh = 3;
constexpr int kLog2InvLpcGainLow = 8;
constexpr int32_t kPitchDriftQ16 = 655;              // 0.01
// Attenuation per lost frame: first loss, then every later one.
constexpr int16_t kHarmonicAttenuationQ15[2] = {32440, 31130};
constexpr int16_t kRandomAttenuationVoicedQ15[2] = {31130, 26214};
constexpr int16_t kRandomAttenuationUnvoicedQ15[2] = {32440, 29491};

constexpr int kCngBufMaskMax = 255;
constexpr int32_t kCngGainSmoothQ16 = 4634;
constexpr int32_t kCngNlsfSmoothQ16 = 16348;

// Remembers what the concealment of a following lost frame will need.
void plc_update(Decoder* d, const FrameParams* p) {
  PlcState* plc = &d->plc;
  d->prev_sigtype = p->sigtype;
  int32_t ltp_gain_q14 = 0;
  if (p->sigtype == kSigVoiced) {
    // Strongest pitch predictor among the subframes within one lag of the end.
    for (int j = 0; j * d->subfr_length < p->pitch_lags[kSubframes - 1]; j++) {
      const int16_t* taps = &p->ltp_coef_q14[(kSubframes - 1 - j) * kLtpOrder];
      int32_t sum = 0;
      for (int i = 0; i < kLtpOrder; i++) sum += taps[i];
      if (sum > ltp_gain_q14) {
        ltp_gain_q14 = sum;
        memcpy(plc->ltp_coef_q14, taps, kLtpOrder * sizeof(int16_t));
        plc->pitch_lag_q8 = p->pitch_lags[kSubframes - 1 - j] << 8;
      }
    }
    // Concealment uses a single centre tap with that gain, kept within 0.7 .. 0.95.
    memset(plc->ltp_coef_q14, 0, kLtpOrder * sizeof(int16_t));
    plc->ltp_coef_q14[kLtpOrder / 2] = static_cast<int16_t>(ltp_gain_q14);
    if (ltp_gain_q14 < kVoicedPitchGainMinQ14) {
      int32_t scale_q10 = (kVoicedPitchGainMinQ14 << 10) / (ltp_gain_q14 > 1 ? ltp_gain_q14 : 1);
      for (int i = 0; i < kLtpOrder; i++)
        plc->ltp_coef_q14[i] = static_cast<int16_t>(smulbb(plc->ltp_coef_q14[i], scale_q10) >> 10);
    } else if (ltp_gain_q14 > kVoicedPitchGainMaxQ14) {
      int32_t scale_q14 = (kVoicedPitchGainMaxQ14 << 14) / (ltp_gain_q14 > 1 ? ltp_gain_q14 : 1);
      for (int i = 0; i < kLtpOrder; i++)
        plc->ltp_coef_q14[i] = static_cast<int16_t>(smulbb(plc->ltp_coef_q14[i], scale_q14) >> 14);
    }
  } else {
    plc->pitch_lag_q8 = smulbb(d->fs_khz, 18) << 8;
    memset(plc->ltp_coef_q14, 0, kLtpOrder * sizeof(int16_t));
  }
  memcpy(plc->prev_lpc_q12, p->pred_coef_q12[1], d->lpc_order * sizeof(int16_t));
  plc->prev_ltp_scale_q14 = p->ltp_scale_q14;
  memcpy(plc->prev_gain_q16, p->gains_q16, sizeof(plc->prev_gain_q16));
}

void plc_conceal(Decoder* d, FrameParams* p, int16_t* signal) {
  PlcState* plc = &d->plc;
  const int frame_length = d->frame_length;
  const int subfr_length = d->subfr_length;
  const int order = d->lpc_order;

  memcpy(d->ltp_state_q16, &d->ltp_state_q16[frame_length], frame_length * sizeof(int32_t));
  bandwidth_expand(plc->prev_lpc_q12, order, kBweCoefQ16);

  // Pick the quieter half of the last excitation as the noise source.
  int16_t exc_buf[kMaxFrameLength / 2];
  int16_t* exc_ptr = exc_buf;
  for (int k = kSubframes / 2; k < kSubframes; k++) {
    for (int i = 0; i < subfr_length; i++)
      exc_ptr[i] = static_cast<int16_t>(smulww(d->exc_q10[i + k * subfr_length], plc->prev_gain_q16[k]) >> 10);
    exc_ptr += subfr_length;
  }
  int32_t energy1, energy2, shift1, shift2;
  sum_sqr_shift(&energy1, &shift1, exc_buf, subfr_length);
  sum_sqr_shift(&energy2, &shift2, &exc_buf[subfr_length], subfr_length);
  const int32_t* rand_ptr;
  if ((energy1 >> shift2) < (energy2 >> shift1)) {
    int start = 3 * subfr_length - 128;
    rand_ptr = &d->exc_q10[start > 0 ? start : 0];
  } else {
    int start = frame_length - 128;
    rand_ptr = &d->exc_q10[start > 0 ? start : 0];
  }

  int16_t* b_q14 = plc->ltp_coef_q14;
  int16_t rand_scale_q14 = static_cast<int16_t>(plc->rand_scale_q14);
  const int att = d->loss_count < 1 ? d->loss_count : 1;
  int32_t harm_gain_q15 = kHarmonicAttenuationQ15[att];
  int32_t rand_gain_q15 = d->prev_sigtype == kSigVoiced ? kRandomAttenuationVoicedQ15[att]
                                                        : kRandomAttenuationUnvoicedQ15[att];
  if (d->loss_count == 0) {
    rand_scale_q14 = 1 << 14;
    if (d->prev_sigtype == kSigVoiced) {
      for (int i = 0; i < kLtpOrder; i++) rand_scale_q14 = static_cast<int16_t>(rand_scale_q14 - b_q14[i]);
      if (rand_scale_q14 < 3277) rand_scale_q14 = 3277;  // 0.2
      rand_scale_q14 = static_cast<int16_t>(smulbb(rand_scale_q14, plc->prev_ltp_scale_q14) >> 14);
    }
    if (d->prev_sigtype == kSigUnvoiced) {
      // Less noise after a strongly resonant filter.
      int32_t inv_gain_q30;
      lpc_inverse_pred_gain(&inv_gain_q30, plc->prev_lpc_q12, order);
      int32_t down_scale_q30 = (1 << 30) >> kLog2InvLpcGainHigh;
      if (inv_gain_q30 < down_scale_q30) down_scale_q30 = inv_gain_q30;
      if (down_scale_q30 < ((1 << 30) >> kLog2InvLpcGainLow)) down_scale_q30 = (1 << 30) >> kLog2InvLpcGainLow;
      down_scale_q30 <<= kLog2InvLpcGainHigh;
      rand_gain_q15 = smulwb(down_scale_q30, rand_gain_q15) >> 14;
    }
  }

  int32_t rand_seed = plc->rand_seed;
  int lag = rshift_round(plc->pitch_lag_q8, 8);
  int ltp_index = frame_length;
  int32_t sig_q10[kMaxFrameLength];
  int32_t* sig_ptr = sig_q10;
  for (int k = 0; k < kSubframes; k++) {
    const int32_t* pred = &d->ltp_state_q16[ltp_index - lag + kLtpOrder / 2];
    for (int i = 0; i < subfr_length; i++) {
      rand_seed = next_random(rand_seed);
      int idx = (rand_seed >> 25) & kRandBufMask;
      int32_t ltp_q14 = smulwb(pred[i], b_q14[0]);
      ltp_q14 = smlawb(ltp_q14, pred[i - 1], b_q14[1]);
      ltp_q14 = smlawb(ltp_q14, pred[i - 2], b_q14[2]);
      ltp_q14 = smlawb(ltp_q14, pred[i - 3], b_q14[3]);
      ltp_q14 = smlawb(ltp_q14, pred[i - 4], b_q14[4]);
      int32_t exc_q10 = lshift_wrap(smulwb(rand_ptr[idx], rand_scale_q14), 2);
      exc_q10 = add_wrap(exc_q10, rshift_round(ltp_q14, 4));
      d->ltp_state_q16[ltp_index++] = lshift_wrap(exc_q10, 6);
      sig_ptr[i] = exc_q10;
    }
    sig_ptr += subfr_length;
    for (int j = 0; j < kLtpOrder; j++) b_q14[j] = static_cast<int16_t>(smulbb(harm_gain_q15, b_q14[j]) >> 15);
    rand_scale_q14 = static_cast<int16_t>(smulbb(rand_scale_q14, rand_gain_q15) >> 15);
    plc->pitch_lag_q8 += smulwb(plc->pitch_lag_q8, kPitchDriftQ16);
    int32_t max_lag_q8 = smulbb(kMaxPitchLagMs, d->fs_khz) << 8;
    if (plc->pitch_lag_q8 > max_lag_q8) plc->pitch_lag_q8 = max_lag_q8;
    lag = rshift_round(plc->pitch_lag_q8, 8);
  }

  // LPC synthesis with the expanded previous filter.
  const int16_t* a_q12 = plc->prev_lpc_q12;
  sig_ptr = sig_q10;
  for (int k = 0; k < kSubframes; k++) {
    for (int i = 0; i < subfr_length; i++) {
      const int32_t* s = &d->lpc_state_q14[kMaxLpcOrder + i - 1];
      uint32_t pred = 0;
      for (int j = 0; j < order; j++) pred += static_cast<uint32_t>(smulwb(s[-j], a_q12[j]));
      sig_ptr[i] = add_wrap(sig_ptr[i], static_cast<int32_t>(pred));
      d->lpc_state_q14[kMaxLpcOrder + i] = lshift_wrap(sig_ptr[i], 4);
    }
    sig_ptr += subfr_length;
    memmove(d->lpc_state_q14, &d->lpc_state_q14[subfr_length], kMaxLpcOrder * sizeof(int32_t));
  }

  for (int i = 0; i < frame_length; i++)
    signal[i] = static_cast<int16_t>(sat16(rshift_round(smulww(sig_q10[i], plc->prev_gain_q16[kSubframes - 1]), 10)));

  plc->rand_seed = rand_seed;
  plc->rand_scale_q14 = rand_scale_q14;
  for (int i = 0; i < kSubframes; i++) p->pitch_lags[i] = lag;
}

}  // namespace

void plc_reset(Decoder* d) { d->plc.pitch_lag_q8 = d->frame_length >> 1; }

void plc_run(Decoder* d, FrameParams* p, int16_t* signal, int /*length*/, bool lost) {
  if (d->fs_khz != d->plc.fs_khz) {
    plc_reset(d);
    d->plc.fs_khz = d->fs_khz;
  }
  if (lost) {
    plc_conceal(d, p, signal);
    d->loss_count++;
  } else {
    plc_update(d, p);
  }
}

void plc_glue_frames(Decoder* d, int16_t* signal, int length) {
  PlcState* plc = &d->plc;
  if (d->loss_count) {
    // Remember the energy of the concealed frame.
    sum_sqr_shift(&plc->conc_energy, &plc->conc_energy_shift, signal, length);
    plc->last_frame_lost = 1;
    return;
  }
  if (plc->last_frame_lost) {
    int32_t energy, energy_shift;
    sum_sqr_shift(&energy, &energy_shift, signal, length);
    if (energy_shift > plc->conc_energy_shift) {
      plc->conc_energy >>= energy_shift - plc->conc_energy_shift;
    } else if (energy_shift < plc->conc_energy_shift) {
      energy >>= plc->conc_energy_shift - energy_shift;
    }
    // A good frame louder than the concealment fades in from the concealed level.
    if (energy > plc->conc_energy) {
      int32_t lz = clz32(plc->conc_energy) - 1;
      plc->conc_energy <<= lz;
      energy >>= (24 - lz > 0 ? 24 - lz : 0);
      int32_t frac_q24 = plc->conc_energy / (energy > 1 ? energy : 1);
      int32_t gain_q12 = sqrt_approx(frac_q24);
      int32_t slope_q12 = ((1 << 12) - gain_q12) / length;
      for (int i = 0; i < length; i++) {
        signal[i] = static_cast<int16_t>((gain_q12 * signal[i]) >> 12);
        gain_q12 += slope_q12;
        if (gain_q12 > (1 << 12)) gain_q12 = 1 << 12;
      }
    }
  }
  plc->last_frame_lost = 0;
}

void cng_reset(Decoder* d) {
  int32_t step_q15 = 32767 / (d->lpc_order + 1);
  int32_t acc_q15 = 0;
  for (int i = 0; i < d->lpc_order; i++) {
    acc_q15 += step_q15;
    d->cng.smooth_nlsf_q15[i] = acc_q15;
  }
  d->cng.smooth_gain_q16 = 0;
  d->cng.rand_seed = 3176576;
}

void cng_run(Decoder* d, const FrameParams* p, int16_t* signal, int length) {
  CngState* cng = &d->cng;
  if (d->fs_khz != cng->fs_khz) {
    cng_reset(d);
    cng->fs_khz = d->fs_khz;
  }
  const int order = d->lpc_order;
  if (d->loss_count == 0 && d->vad_flag == 0) {
    // Track the background: smoothed NLSFs, excitation of the loudest subframe, gain.
    for (int i = 0; i < order; i++)
      cng->smooth_nlsf_q15[i] += smulwb(d->prev_nlsf_q15[i] - cng->smooth_nlsf_q15[i], kCngNlsfSmoothQ16);
    int32_t max_gain_q16 = 0;
    int subfr = 0;
    for (int i = 0; i < kSubframes; i++) {
      if (p->gains_q16[i] > max_gain_q16) {
        max_gain_q16 = p->gains_q16[i];
        subfr = i;
      }
    }
    memmove(&cng->exc_buf_q10[d->subfr_length], cng->exc_buf_q10,
            (kSubframes - 1) * d->subfr_length * sizeof(int32_t));
    memcpy(cng->exc_buf_q10, &d->exc_q10[subfr * d->subfr_length], d->subfr_length * sizeof(int32_t));
    for (int i = 0; i < kSubframes; i++)
      cng->smooth_gain_q16 += smulwb(p->gains_q16[i] - cng->smooth_gain_q16, kCngGainSmoothQ16);
  }

  if (d->loss_count) {
    int16_t cng_sig[kMaxFrameLength];
    int exc_mask = kCngBufMaskMax;
    while (exc_mask > length) exc_mask >>= 1;
    int32_t seed = cng->rand_seed;
    for (int i = 0; i < length; i++) {
      seed = next_random(seed);
      int idx = (seed >> 24) & exc_mask;
      cng_sig[i] = static_cast<int16_t>(sat16(rshift_round(smulww(cng->exc_buf_q10[idx], cng->smooth_gain_q16), 10)));
    }
    cng->rand_seed = seed;
    int16_t lpc[kMaxLpcOrder];
    nlsf_to_lpc_stable(lpc, cng->smooth_nlsf_q15, order);
    lpc_synthesis(cng_sig, lpc, 1 << 26, cng->synth_state, cng_sig, length, order);
    for (int i = 0; i < length; i++) signal[i] = static_cast<int16_t>(sat16(signal[i] + cng_sig[i]));
  } else {
    memset(cng->synth_state, 0, order * sizeof(int32_t));
  }
}

}  // namespace silk
