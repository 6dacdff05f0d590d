// SILK decoder entry points: frame and packet handling, concealment of lost
// or damaged frames, output filtering and resampling to the API rate.
#include <cstring>

#include "unitdb/silk/silk.h"
#include "unitdb/silk/silk_fixed.h"
#include "unitdb/silk/silk_internal.h"

namespace silk {

namespace {

// Decodes (or conceals) one frame at the internal rate into `out` and returns
// the frame code; *length receives the frame length and *used_bytes the
// payload bytes it consumed (0 for a concealed frame without payload).
int decode_frame(Decoder* d, int16_t* out, int* length, const uint8_t* payload, int32_t payload_bytes,
                 bool lost, int32_t* used_bytes) {
  FrameParams params;
  memset(&params, 0, sizeof(params));
  int32_t pulses[kMaxFrameLength];
  int ret = 0;
  int frame_length = d->frame_length;
  *used_bytes = 0;

  if (!lost) {
    const int old_fs_khz = d->fs_khz;
    if (d->frames_decoded == 0) range_decoder_init(&d->rc, payload, payload_bytes);
    decode_parameters(d, &params, pulses);
    if (d->rc.error) {
      // Damaged frame: back to the rate in force before it, then conceal.
      d->bytes_left = 0;
      lost = true;
      decoder_set_rate(d, old_fs_khz);
      *used_bytes = d->rc.length;
      ret = d->rc.error == kRangePayloadTooLong ? kSilkPayloadTooLarge : kSilkPayloadError;
    } else {
      *used_bytes = d->rc.length - d->bytes_left;
      d->frames_decoded++;
      frame_length = d->frame_length;  // the rate may have changed
      decode_core(d, &params, out, pulses);
      plc_run(d, &params, out, frame_length, false);
      d->loss_count = 0;
      d->prev_sigtype = params.sigtype;
      d->first_frame_after_reset = 0;
    }
  }
  if (lost) plc_run(d, &params, out, frame_length, true);

  // Keep the frame for the next one's pitch analysis, then smooth the
  // transition after concealment, add comfort noise and remove DC.
  memcpy(d->out_buf, out, frame_length * sizeof(int16_t));
  plc_glue_frames(d, out, frame_length);
  cng_run(d, &params, out, frame_length);
  high_pass(out, d->hp_b, d->hp_a, d->hp_state, out, frame_length);

  *length = frame_length;
  d->lag_prev = params.pitch_lags[kSubframes - 1];
  return ret;
}

}  // namespace

}  // namespace silk

int silk_decoder_size(int32_t* size) {
  *size = static_cast<int32_t>(sizeof(SilkDecoderState));
  return 0;
}

int silk_init_decoder(SilkDecoderState* state) {
  silk::Decoder* d = &state->decoder;
  memset(state, 0, sizeof(*state));
  silk::decoder_set_rate(d, 24);
  d->first_frame_after_reset = 1;
  d->prev_inv_gain_q16 = 65536;
  silk::cng_reset(d);
  silk::plc_reset(d);
  return 0;
}

int silk_decode(SilkDecoderState* state, SilkDecControl* control, int lost_flag, const uint8_t* payload,
                int32_t payload_bytes, int16_t* samples, int16_t* sample_count) {
  silk::Decoder* d = &state->decoder;
  int ret = 0;
  bool lost = lost_flag != 0;
  if (payload == nullptr) payload_bytes = 0;

  // A frame wider than the output buffer is decoded aside first.
  int16_t internal[silk::kMaxFrameLength];
  int16_t* frame = d->fs_khz * 1000 > control->api_sample_rate ? internal : samples;

  if (d->more_internal_frames == 0) {
    d->frames_decoded = 0;
    if (!lost && payload_bytes > kSilkMaxPayloadBytes) {
      lost = true;
      ret = kSilkPayloadTooLarge;
    }
  }

  const int prev_fs_khz = d->fs_khz;
  int frame_length = 0;
  int32_t used_bytes = 0;
  ret += silk::decode_frame(d, frame, &frame_length, payload, payload_bytes, lost, &used_bytes);

  if (used_bytes) {
    if (d->bytes_left > 0 && d->frame_termination == silk::kMoreFrames &&
        d->frames_decoded < silk::kMaxFramesPerPacket) {
      d->more_internal_frames = 1;
    } else {
      d->more_internal_frames = 0;
      d->frames_in_packet = d->frames_decoded;
      // Track how the encoder uses in-band FEC.
      if (d->vad_flag == 1) {
        if (d->frame_termination == silk::kLastFrame) {
          d->no_fec_counter++;
          if (d->no_fec_counter > silk::kNoFecThreshold) d->inband_fec_offset = 0;
        } else if (d->frame_termination == silk::kLbrrOnePacketBack) {
          d->inband_fec_offset = 1;
          d->no_fec_counter = 0;
        } else if (d->frame_termination == silk::kLbrrTwoPacketsBack) {
          d->inband_fec_offset = 2;
          d->no_fec_counter = 0;
        }
      }
    }
  }

  const int32_t api_rate = control->api_sample_rate;
  if (api_rate < 8000 || api_rate > 48000) {
    // Hand back the frame as decoded, at the internal rate.
    if (frame != samples) memcpy(samples, frame, frame_length * sizeof(int16_t));
    *sample_count = static_cast<int16_t>(frame_length);
    return kSilkInvalidApiRate;
  }

  int32_t count = frame_length;
  if (d->fs_khz * 1000 != api_rate) {
    int16_t input[silk::kMaxFrameLength];
    memcpy(input, frame, frame_length * sizeof(int16_t));
    // Set up again when either rate changed.  The rates the resampler was
    // made for are checked too: a call that ended early on a bad API rate
    // may have changed the internal rate without setting it up, and a
    // resampler made for a lower input rate would write past the output.
    const silk::Resampler& r = d->resampler;
    if (prev_fs_khz != d->fs_khz || d->prev_api_rate != api_rate || r.rate_in != d->fs_khz * 1000 ||
        r.rate_out != api_rate)
      ret += silk::resampler_init(&d->resampler, d->fs_khz * 1000, api_rate);
    ret += silk::resampler_run(&d->resampler, samples, input, frame_length);
    count = (count * api_rate) / (d->fs_khz * 1000);
  } else if (frame != samples) {
    memcpy(samples, frame, frame_length * sizeof(int16_t));
  }
  *sample_count = static_cast<int16_t>(count);

  d->prev_api_rate = api_rate;
  control->frame_size = static_cast<int16_t>(api_rate / 50);
  control->frames_per_packet = d->frames_in_packet;
  control->inband_fec_offset = d->inband_fec_offset;
  control->more_internal_frames = d->more_internal_frames;
  return ret;
}
