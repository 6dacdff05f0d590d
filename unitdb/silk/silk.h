// SILK speech decoder: one 20 ms frame per call, fixed point, bit-exact with
// the published SILK decoder (bitstream series 1.0.x).
//
// The caller owns the decoder memory: it asks silk_decoder_size for the size
// of the block, allocates it and calls silk_init_decoder once.  A packet holds
// one to five frames; the caller calls silk_decode with the same payload
// again while control->more_internal_frames is 1.  silk_decode allocates
// nothing and keeps everything it needs in the state block.
#pragma once

#include <cstdint>

// Opaque decoder memory, allocated by the caller (silk_decoder_size bytes).
struct SilkDecoderState;

struct SilkDecControl {
  // In: output (API) sample rate in Hz, 8000 to 48000.
  int32_t api_sample_rate;
  // Out: samples per 20 ms at the API rate.
  int16_t frame_size;
  // Out: number of frames found in the last completed packet.
  int32_t frames_per_packet;
  // Out: 1 while the current packet holds further frames.
  int32_t more_internal_frames;
  // Out: in-band forward error correction offset (0, 1 or 2 packets back).
  int32_t inband_fec_offset;
};

// Return codes of silk_decode (a frame code and a resampler code add up).
enum SilkDecodeCode : int {
  kSilkOk = 0,
  kSilkInvalidApiRate = -10,     // API rate outside 8000..48000 Hz; output not resampled
  kSilkPayloadTooLarge = -11,    // payload over 1024 bytes at packet start; frame concealed
  kSilkPayloadError = -12,       // bitstream error; frame concealed
};

// Largest payload the decoder accepts at the start of a packet.
constexpr int32_t kSilkMaxPayloadBytes = 1024;
// Samples that one call may write: 20 ms at 48 kHz.  The output buffer given
// to silk_decode must hold this many samples.
constexpr int32_t kSilkMaxFrameSamples = 960;

// Stores the byte size of SilkDecoderState in *size; returns 0.
int silk_decoder_size(int32_t* size);

// Resets the decoder (24 kHz internal rate, fresh concealment and comfort
// noise); returns 0.
int silk_init_decoder(SilkDecoderState* state);

// Decodes one frame of `payload` (or conceals one frame when lost_flag is
// non-zero) into `samples` at control->api_sample_rate and stores the number
// of samples written in *sample_count.  Returns 0 or a sum of SilkDecodeCode
// values.  With kSilkInvalidApiRate the frame comes back unresampled at the
// internal rate and the out fields of `control` are left as they were, so a
// caller must not go on looping on more_internal_frames after that code.
int silk_decode(SilkDecoderState* state, SilkDecControl* control, int lost_flag,
                const uint8_t* payload, int32_t payload_bytes, int16_t* samples,
                int16_t* sample_count);
