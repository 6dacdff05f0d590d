// Reading one frame's parameters from the bitstream: internal rate, signal
// type, gains, NLSFs, pitch and LTP, excitation seed and pulses, voice
// activity and frame termination.
#include <algorithm>
#include <cstring>

#include "unitdb/silk/silk_fixed.h"
#include "unitdb/silk/silk_internal.h"

namespace silk {

namespace {

// Gain quantiser: 64 levels, uniform in the log domain from 6 to 86 dB.
constexpr int kMinDeltaGainIndex = -4;
constexpr int32_t kGainOffsetQ7 = (6 * 128) / 6 + 16 * 128;
constexpr int32_t kGainInvScaleQ16 = (65536 * (((86 - 6) * 128) / 6)) / (64 - 1);

void dequantize_gains(int32_t gains_q16[kSubframes], const int32_t indices[kSubframes],
                      int32_t* prev_index, bool conditional) {
  for (int k = 0; k < kSubframes; k++) {
    if (k == 0 && !conditional) {
      *prev_index = indices[k];
    } else {
      *prev_index += indices[k] + kMinDeltaGainIndex;
    }
    int32_t log_q7 = smulwb(kGainInvScaleQ16, *prev_index) + kGainOffsetQ7;
    gains_q16[k] = log2lin(log_q7 < 3967 ? log_q7 : 3967);
  }
}

void decode_nlsf_vector(int32_t nlsf_q15[kMaxLpcOrder], const NlsfCodebook* cb,
                        const int32_t indices[kNlsfMaxStages], int order) {
  const int16_t* v = cb->vectors_q15 + (cb->stage_first[0] + indices[0]) * order;
  for (int i = 0; i < order; i++) nlsf_q15[i] = v[i];
  for (int s = 1; s < cb->stages; s++) {
    v = cb->vectors_q15 + (cb->stage_first[s] + indices[s]) * order;
    for (int i = 0; i < order; i++) nlsf_q15[i] += v[i];
  }
  nlsf_stabilize(nlsf_q15, cb->delta_min_q15, order);
}

// Splits a pulse count between the two halves of a shell-coding block.
inline void decode_split(int32_t* child1, int32_t* child2, RangeDecoder* rc, int32_t p,
                         const uint16_t* shell_table) {
  if (p > 0) {
    *child1 = range_decode(rc, &shell_table[kShellCodeTableOffsets[p]], p >> 1);
    *child2 = p - *child1;
  } else {
    *child1 = 0;
    *child2 = 0;
  }
}

// Distributes `total` pulses over 16 positions by recursive halving.
void shell_decode(int32_t pulses0[kShellBlockLength], RangeDecoder* rc, int32_t total) {
  int32_t pulses3[2], pulses2[4], pulses1[8];
  decode_split(&pulses3[0], &pulses3[1], rc, total, kShellCodeTable3);
  decode_split(&pulses2[0], &pulses2[1], rc, pulses3[0], kShellCodeTable2);
  decode_split(&pulses1[0], &pulses1[1], rc, pulses2[0], kShellCodeTable1);
  decode_split(&pulses0[0], &pulses0[1], rc, pulses1[0], kShellCodeTable0);
  decode_split(&pulses0[2], &pulses0[3], rc, pulses1[1], kShellCodeTable0);
  decode_split(&pulses1[2], &pulses1[3], rc, pulses2[1], kShellCodeTable1);
  decode_split(&pulses0[4], &pulses0[5], rc, pulses1[2], kShellCodeTable0);
  decode_split(&pulses0[6], &pulses0[7], rc, pulses1[3], kShellCodeTable0);
  decode_split(&pulses2[2], &pulses2[3], rc, pulses3[1], kShellCodeTable2);
  decode_split(&pulses1[4], &pulses1[5], rc, pulses2[2], kShellCodeTable1);
  decode_split(&pulses0[8], &pulses0[9], rc, pulses1[4], kShellCodeTable0);
  decode_split(&pulses0[10], &pulses0[11], rc, pulses1[5], kShellCodeTable0);
  decode_split(&pulses1[6], &pulses1[7], rc, pulses2[3], kShellCodeTable1);
  decode_split(&pulses0[12], &pulses0[13], rc, pulses1[6], kShellCodeTable0);
  decode_split(&pulses0[14], &pulses0[15], rc, pulses1[7], kShellCodeTable0);
}

void decode_pulses(RangeDecoder* rc, FrameParams* p, int32_t q[kMaxFrameLength], int frame_length) {
  p->rate_level_index = range_decode(rc, kRateLevelsCdf[p->sigtype], kRateLevelsStart);
  int blocks = frame_length / kShellBlockLength;

  int32_t sum_pulses[kMaxShellBlocks];
  int32_t lsb_count[kMaxShellBlocks];
  const uint16_t* cdf = kPulsesPerBlockCdf[p->rate_level_index];
  for (int i = 0; i < blocks; i++) {
    lsb_count[i] = 0;
    sum_pulses[i] = range_decode(rc, cdf, kPulsesPerBlockStart);
    // kMaxPulses + 1 announces one more least significant bit per pulse.
    while (sum_pulses[i] == kMaxPulses + 1) {
      lsb_count[i]++;
      sum_pulses[i] = range_decode(rc, kPulsesPerBlockCdf[kRateLevels - 1], kPulsesPerBlockStart);
    }
  }

  for (int i = 0; i < blocks; i++) {
    int32_t* block = &q[i * kShellBlockLength];
    if (sum_pulses[i] > 0) {
      shell_decode(block, rc, sum_pulses[i]);
    } else {
      memset(block, 0, kShellBlockLength * sizeof(int32_t));
    }
  }

  for (int i = 0; i < blocks; i++) {
    int n = lsb_count[i];
    if (n == 0) continue;
    int32_t* block = &q[i * kShellBlockLength];
    for (int k = 0; k < kShellBlockLength; k++) {
      int32_t magnitude = block[k];
      for (int j = 0; j < n; j++) magnitude = lshift_wrap(magnitude, 1) + range_decode(rc, kLsbCdf, 1);
      block[k] = magnitude;
    }
  }

  // Signs, with a probability that depends on signal type, offset and rate level.
  uint16_t sign_cdf[3] = {0, 0, 65535};
  sign_cdf[1] = kSignCdf[(kRateLevels - 1) * ((p->sigtype << 1) + p->quant_offset_type) + p->rate_level_index];
  for (int i = 0; i < frame_length; i++) {
    if (q[i] > 0 && range_decode(rc, sign_cdf, 1) == 0) q[i] = -q[i];
  }
}

}  // namespace

void decoder_set_rate(Decoder* d, int fs_khz) {
  if (d->fs_khz == fs_khz) return;
  d->fs_khz = fs_khz;
  d->frame_length = 20 * fs_khz;
  d->subfr_length = 5 * fs_khz;
  if (fs_khz == 8) {
    d->lpc_order = kMinLpcOrder;
    d->nlsf_codebooks[0] = &kNlsfCodebook0Order10;
    d->nlsf_codebooks[1] = &kNlsfCodebook1Order10;
  } else {
    d->lpc_order = kMaxLpcOrder;
    d->nlsf_codebooks[0] = &kNlsfCodebook0Order16;
    d->nlsf_codebooks[1] = &kNlsfCodebook1Order16;
  }
  memset(d->lpc_state_q14, 0, kMaxLpcOrder * sizeof(int32_t));
  std::fill(d->out_buf, d->out_buf + kMaxFrameLength, int16_t{0});
  memset(d->prev_nlsf_q15, 0, kMaxLpcOrder * sizeof(int32_t));
  d->lag_prev = 100;
  d->last_gain_index = 1;
  d->prev_sigtype = 0;
  d->first_frame_after_reset = 1;
  switch (fs_khz) {
    case 24: d->hp_a = kHighPassA24; d->hp_b = kHighPassB24; break;
    case 16: d->hp_a = kHighPassA16; d->hp_b = kHighPassB16; break;
    case 12: d->hp_a = kHighPassA12; d->hp_b = kHighPassB12; break;
    default: d->hp_a = kHighPassA8; d->hp_b = kHighPassB8; break;
  }
}

void decode_parameters(Decoder* d, FrameParams* p, int32_t pulses[kMaxFrameLength]) {
  RangeDecoder* rc = &d->rc;
  const bool first_in_packet = d->frames_decoded == 0;

  // Internal sampling rate, sent with the first frame of each packet.
  if (first_in_packet) {
    int ix = range_decode(rc, kSamplingRatesCdf, kSamplingRatesStart);
    if (ix < 0 || ix > 3) {
      rc->error = kRangeIllegalSamplingRate;
      return;
    }
    decoder_set_rate(d, kSamplingRatesKhz[ix]);
  }

  // Signal type and quantisation offset type.
  int ix = first_in_packet ? range_decode(rc, kTypeOffsetCdf, kTypeOffsetStart)
                           : range_decode(rc, kTypeOffsetJointCdf[d->type_offset_prev], kTypeOffsetStart);
  p->sigtype = ix >> 1;
  p->quant_offset_type = ix & 1;
  d->type_offset_prev = ix;

  // Gains: the first one absolute in the first frame of a packet, the rest as deltas.
  int32_t gain_indices[kSubframes];
  gain_indices[0] = first_in_packet ? range_decode(rc, kGainCdf[p->sigtype], kGainStart)
                                    : range_decode(rc, kDeltaGainCdf, kDeltaGainStart);
  for (int i = 1; i < kSubframes; i++) gain_indices[i] = range_decode(rc, kDeltaGainCdf, kDeltaGainStart);
  dequantize_gains(p->gains_q16, gain_indices, &d->last_gain_index, !first_in_packet);

  // NLSFs: one index per codebook stage.
  const NlsfCodebook* cb = d->nlsf_codebooks[p->sigtype];
  int32_t nlsf_indices[kNlsfMaxStages];
  for (int s = 0; s < cb->stages; s++)
    nlsf_indices[s] = range_decode(rc, cb->cdf + cb->cdf_starts[s], cb->middle[s]);
  int32_t nlsf_q15[kMaxLpcOrder];
  decode_nlsf_vector(nlsf_q15, cb, nlsf_indices, d->lpc_order);

  p->nlsf_interp_coef_q2 = range_decode(rc, kNlsfInterpFactorCdf, kNlsfInterpFactorStart);
  // Right after a reset there is nothing sensible to interpolate from.
  if (d->first_frame_after_reset == 1) p->nlsf_interp_coef_q2 = 4;

  nlsf_to_lpc_stable(p->pred_coef_q12[1], nlsf_q15, d->lpc_order);
  if (p->nlsf_interp_coef_q2 < 4) {
    int32_t nlsf0_q15[kMaxLpcOrder];
    for (int i = 0; i < d->lpc_order; i++)
      nlsf0_q15[i] = d->prev_nlsf_q15[i] + ((p->nlsf_interp_coef_q2 * (nlsf_q15[i] - d->prev_nlsf_q15[i])) >> 2);
    nlsf_to_lpc_stable(p->pred_coef_q12[0], nlsf0_q15, d->lpc_order);
  } else {
    memcpy(p->pred_coef_q12[0], p->pred_coef_q12[1], d->lpc_order * sizeof(int16_t));
  }
  memcpy(d->prev_nlsf_q15, nlsf_q15, d->lpc_order * sizeof(int32_t));

  // After a loss, widen the formants a little.
  if (d->loss_count) {
    bandwidth_expand(p->pred_coef_q12[0], d->lpc_order, 63570);
    bandwidth_expand(p->pred_coef_q12[1], d->lpc_order, 63570);
  }

  if (p->sigtype == kSigVoiced) {
    int lag_index;
    int contour_index;
    const int fs = d->fs_khz;
    if (fs == 8) {
      lag_index = range_decode(rc, kPitchLagNbCdf, kPitchLagNbStart);
      contour_index = range_decode(rc, kPitchContourNbCdf, kPitchContourNbStart);
    } else {
      if (fs == 12) {
        lag_index = range_decode(rc, kPitchLagMbCdf, kPitchLagMbStart);
      } else if (fs == 16) {
        lag_index = range_decode(rc, kPitchLagWbCdf, kPitchLagWbStart);
      } else {
        lag_index = range_decode(rc, kPitchLagSwbCdf, kPitchLagSwbStart);
      }
      contour_index = range_decode(rc, kPitchContourCdf, kPitchContourStart);
    }
    const int32_t lag = 2 * fs + lag_index;  // shortest lag is 2 ms
    for (int k = 0; k < kSubframes; k++)
      p->pitch_lags[k] = lag + (fs == 8 ? kPitchContourStage2[k][contour_index] : kPitchContourStage3[k][contour_index]);

    p->periodicity_index = range_decode(rc, kLtpPeriodicityCdf, kLtpPeriodicityStart);
    const int16_t* codebook;
    const uint16_t* gain_cdf;
    switch (p->periodicity_index) {
      case 0: codebook = &kLtpGainVq0Q14[0][0]; gain_cdf = kLtpGainCdf0; break;
      case 1: codebook = &kLtpGainVq1Q14[0][0]; gain_cdf = kLtpGainCdf1; break;
      default: codebook = &kLtpGainVq2Q14[0][0]; gain_cdf = kLtpGainCdf2; break;
    }
    const int gain_start = kLtpGainStarts[p->periodicity_index];
    for (int k = 0; k < kSubframes; k++) {
      int cb_index = range_decode(rc, gain_cdf, gain_start);
      memcpy(&p->ltp_coef_q14[k * kLtpOrder], &codebook[cb_index * kLtpOrder], kLtpOrder * sizeof(int16_t));
    }
    p->ltp_scale_q14 = kLtpScalesQ14[range_decode(rc, kLtpScaleCdf, kLtpScaleStart)];
  } else {
    memset(p->pitch_lags, 0, sizeof(p->pitch_lags));
    memset(p->ltp_coef_q14, 0, sizeof(p->ltp_coef_q14));
    p->periodicity_index = 0;
    p->ltp_scale_q14 = 0;
  }

  p->seed = range_decode(rc, kSeedCdf, kSeedStart);
  decode_pulses(rc, p, pulses, d->frame_length);

  d->vad_flag = range_decode(rc, kVadFlagCdf, kVadFlagStart);
  d->frame_termination = range_decode(rc, kFrameTerminationCdf, kFrameTerminationStart);

  d->bytes_left = rc->length - range_decoder_bytes_used(rc);
  if (d->bytes_left < 0) rc->error = kRangeReadBeyondBuffer;
  // A frame that ends the payload must leave its padding bits at one.
  if (d->bytes_left == 0) range_decoder_check_tail(rc);
}

}  // namespace silk
