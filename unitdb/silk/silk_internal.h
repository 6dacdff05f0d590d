// Internal state and stages of the SILK decoder.  Everything lives in one
// fixed-size record (the caller's SilkDecoderState block); the stages below
// work on it in place and allocate nothing.
#pragma once

#include <cstdint>

#include "unitdb/silk/silk.h"
#include "unitdb/silk/silk_tables.h"

namespace silk {

constexpr int kMaxFsKhz = 24;
constexpr int kMaxFrameLength = 20 * kMaxFsKhz;            // 480
constexpr int kSubframes = 4;
constexpr int kMaxSubframeLength = kMaxFrameLength / kSubframes;
constexpr int kMaxLpcOrder = 16;
constexpr int kMinLpcOrder = 10;
constexpr int kLtpOrder = 5;
constexpr int kMaxFramesPerPacket = 5;
constexpr int kShellBlockLength = 16;
constexpr int kMaxShellBlocks = kMaxFrameLength / kShellBlockLength;
constexpr int kRateLevels = 10;
constexpr int kMaxPulses = 18;
constexpr int kNlsfMaxStages = 10;
constexpr int kSigVoiced = 0;
constexpr int kSigUnvoiced = 1;

// Frame termination codes.
constexpr int kLastFrame = 0;
constexpr int kMoreFrames = 1;
constexpr int kLbrrOnePacketBack = 2;
constexpr int kLbrrTwoPacketsBack = 3;

// Packets with voice activity but no in-band FEC before the offset is dropped.
constexpr int kNoFecThreshold = 10;

// Range decoder errors (any non-zero value means the frame is lost).
constexpr int kRangeCdfOutOfRange = -2;
constexpr int kRangeNormalizationFailed = -3;
constexpr int kRangeZeroIntervalWidth = -4;
constexpr int kRangeCheckFailed = -5;
constexpr int kRangeReadBeyondBuffer = -6;
constexpr int kRangeIllegalSamplingRate = -7;
constexpr int kRangePayloadTooLong = -8;

constexpr int32_t kResamplerReady = 123456789;
constexpr int kResamplerMaxBatch = 480;
constexpr int kResamplerFirOrder = 6;        // interpolating FIR after 2x up-sampling
constexpr int kResamplerDownFirOrder = 12;   // fractional down-sampler FIR

struct RangeDecoder {
  int32_t length;     // payload bytes
  int32_t index;      // next byte to read, counted from byte 4
  uint32_t base;
  uint32_t range;
  int32_t error;
  // The payload copy.  Bytes past `length` keep what earlier packets left
  // there (the decoder looks up to four bytes ahead); the four bytes past the
  // largest payload stay zero.
  uint8_t buffer[kSilkMaxPayloadBytes + 4];
};

enum ResamplerKind : int32_t {
  kResampleCopy = 0,
  kResampleUp2 = 1,       // exact 2x: allpass up-sampler only
  kResampleIirFir = 2,    // 2x up-sampler, then fractional FIR interpolation
  kResampleDownFir = 3,   // AR2 + symmetric FIR at fixed fractions
};

struct Resampler {
  int32_t iir[6];
  int32_t fir[kResamplerDownFirOrder];
  int32_t kind;
  int32_t batch_size;
  int32_t inv_ratio_q16;
  int32_t fir_fracs;
  const int16_t* coefs;
  int32_t rate_in;   // rates it was set up for
  int32_t rate_out;
  int32_t ready;     // kResamplerReady once initialised
};

struct PlcState {
  int32_t pitch_lag_q8;
  int16_t ltp_coef_q14[kLtpOrder];
  int16_t prev_lpc_q12[kMaxLpcOrder];
  int32_t last_frame_lost;
  int32_t rand_seed;
  int32_t rand_scale_q14;
  int32_t conc_energy;
  int32_t conc_energy_shift;
  int32_t prev_ltp_scale_q14;
  int32_t prev_gain_q16[kSubframes];
  int32_t fs_khz;
};

struct CngState {
  int32_t exc_buf_q10[kMaxFrameLength];
  int32_t smooth_nlsf_q15[kMaxLpcOrder];
  int32_t synth_state[kMaxLpcOrder];
  int32_t smooth_gain_q16;
  int32_t rand_seed;
  int32_t fs_khz;
};

// Parameters of one frame, decoded from the bitstream or made up by the
// concealment.
struct FrameParams {
  int32_t pitch_lags[kSubframes];
  int32_t gains_q16[kSubframes];
  int32_t seed;
  int16_t pred_coef_q12[2][kMaxLpcOrder];  // first and second half of the frame
  int16_t ltp_coef_q14[kLtpOrder * kSubframes];
  int32_t ltp_scale_q14;
  int32_t periodicity_index;
  int32_t rate_level_index;
  int32_t quant_offset_type;
  int32_t sigtype;
  int32_t nlsf_interp_coef_q2;
};

struct Decoder {
  RangeDecoder rc;
  int32_t prev_inv_gain_q16;
  int32_t ltp_state_q16[2 * kMaxFrameLength];
  int32_t lpc_state_q14[kMaxSubframeLength + kMaxLpcOrder];
  int32_t exc_q10[kMaxFrameLength];
  int16_t out_buf[2 * kMaxFrameLength];
  int32_t lag_prev;
  int32_t last_gain_index;
  int32_t type_offset_prev;
  int32_t hp_state[2];
  const int16_t* hp_a;
  const int16_t* hp_b;
  int32_t fs_khz;
  int32_t prev_api_rate;
  int32_t frame_length;
  int32_t subfr_length;
  int32_t lpc_order;
  int32_t prev_nlsf_q15[kMaxLpcOrder];
  int32_t first_frame_after_reset;
  int32_t bytes_left;
  int32_t frames_decoded;
  int32_t frames_in_packet;
  int32_t more_internal_frames;
  int32_t frame_termination;
  Resampler resampler;
  const NlsfCodebook* nlsf_codebooks[2];  // unvoiced, voiced
  int32_t vad_flag;
  int32_t no_fec_counter;
  int32_t inband_fec_offset;
  CngState cng;
  int32_t loss_count;
  int32_t prev_sigtype;
  PlcState plc;
};

// Range decoder (silk_range_decoder.cpp).
void range_decoder_init(RangeDecoder* rc, const uint8_t* payload, int32_t length);
int range_decode(RangeDecoder* rc, const uint16_t* cdf, int start);
// Bytes of the payload consumed so far.
int32_t range_decoder_bytes_used(const RangeDecoder* rc);
// Flags an error unless the unused bits of the last byte are all ones.
void range_decoder_check_tail(RangeDecoder* rc);

// Bitstream parameters (silk_parameters.cpp).
void decoder_set_rate(Decoder* d, int fs_khz);
void decode_parameters(Decoder* d, FrameParams* p, int32_t pulses[kMaxFrameLength]);

// LPC helpers (silk_lpc.cpp).
void nlsf_to_lpc_stable(int16_t a_q12[kMaxLpcOrder], const int32_t nlsf_q15[kMaxLpcOrder], int order);
void nlsf_stabilize(int32_t nlsf_q15[], const int16_t delta_min_q15[], int order);
// 1 when the filter is unstable; *inv_gain_q30 receives its inverse prediction gain.
int lpc_inverse_pred_gain(int32_t* inv_gain_q30, const int16_t* a_q12, int order);
void bandwidth_expand(int16_t* ar, int order, int32_t chirp_q16);

// Synthesis (silk_synthesis.cpp).
void decode_core(Decoder* d, FrameParams* p, int16_t* out, const int32_t pulses[kMaxFrameLength]);
void lpc_synthesis(const int16_t* in, const int16_t* a_q12, int32_t gain_q26, int32_t* state,
                   int16_t* out, int length, int order);
void high_pass(const int16_t* in, const int16_t* b, const int16_t* a, int32_t state[2], int16_t* out,
               int length);
void sum_sqr_shift(int32_t* energy, int32_t* shift, const int16_t* x, int length);

// Loss concealment and comfort noise (silk_plc.cpp).
void plc_reset(Decoder* d);
void plc_run(Decoder* d, FrameParams* p, int16_t* signal, int length, bool lost);
void plc_glue_frames(Decoder* d, int16_t* signal, int length);
void cng_reset(Decoder* d);
void cng_run(Decoder* d, const FrameParams* p, int16_t* signal, int length);

// Output resampler (silk_resampler.cpp).  init returns 0 or -1.
int resampler_init(Resampler* r, int32_t rate_in, int32_t rate_out);
int resampler_run(Resampler* r, int16_t* out, const int16_t* in, int32_t length);

}  // namespace silk

struct SilkDecoderState {
  silk::Decoder decoder;
};
