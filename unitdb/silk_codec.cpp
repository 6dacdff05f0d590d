// SILK-coded unit audio: scrambled packets stored elsewhere in the file,
// each a 2-byte signed length and its bytes, decoded 20 ms at a time.
#include "unitdb/silk_codec.h"

#include <cstring>

#include "core/platform.h"
#include "unitdb/codecs.h"
#include "unitdb/silk/silk.h"

namespace {

// Largest packet a unit may hold.
constexpr int32_t kPacketBufferBytes = 5132;

struct SilkState {
  SilkDecoderState* decoder;
  SilkDecControl control;
  uint32_t checksum;
};

int silk_open(DecoderContext* context) {
  auto* state = static_cast<SilkState*>(heap_alloc(sizeof(SilkState)));
  uint32_t rate = context->file->sample_rate;
  state->control.api_sample_rate = static_cast<int32_t>(rate == 22050 ? 24000 : rate);
  state->control.frames_per_packet = 1;
  int32_t size = 0;
  if (silk_decoder_size(&size) != 0 || size <= 0) {
    heap_free(state);
    context->codec_state = nullptr;
    return 0;
  }
  state->decoder = static_cast<SilkDecoderState*>(heap_alloc(size));
  state->checksum = context->file->checksum;
  context->codec_state = state;
  return 1;
}

void silk_close(DecoderContext* context) {
  auto* state = static_cast<SilkState*>(context->codec_state);
  if (!state) return;
  heap_free(state->decoder);
  heap_free(state);
  context->codec_state = nullptr;
}

// Decodes every packet into `out` (T samples, zero-filled) after dropping
// `skip` samples.  False when a packet is damaged or the decoder fails.
bool decode_packets(SilkState* state, const uint8_t* data, uint32_t size, uint32_t skip, int16_t* out,
                    uint32_t total) {
  if (silk_init_decoder(state->decoder) != 0) return false;
  uint8_t packet[kPacketBufferBytes];
  int16_t frame[kSilkMaxFrameSamples];
  uint32_t stored = 0;
  uint32_t pos = 0;
  while (pos < size) {
    if (size - pos < 2) return false;
    auto length = static_cast<int16_t>(read_le16(data + pos));
    pos += 2;
    if (length < 0 || length > kPacketBufferBytes || static_cast<uint32_t>(length) > size - pos) return false;
    memcpy(packet, data + pos, static_cast<size_t>(length));
    pos += static_cast<uint32_t>(length);
    unscramble(packet, static_cast<uint32_t>(length), state->checksum);
    do {
      int16_t count = 0;
      if (silk_decode(state->decoder, &state->control, 0, packet, length, frame, &count) != 0) return false;
      int16_t i = 0;
      if (skip > 0) {
        uint32_t drop = skip < static_cast<uint32_t>(count) ? skip : static_cast<uint32_t>(count);
        i = static_cast<int16_t>(drop);
        skip -= drop;
      }
      for (; i < count && stored < total; ++i) out[stored++] = frame[i];
    } while (state->control.more_internal_frames == 1);
  }
  return true;
}

Track* silk_decode_unit(DecoderContext* context, const uint8_t* record, uint32_t size) {
  auto* state = static_cast<SilkState*>(context->codec_state);
  StoredPackets stored;
  if (!state || !read_stored_packets(context, record, size, &stored)) return nullptr;
  const FrameTable& table = stored.table;
  auto* samples = static_cast<int16_t*>(heap_alloc(static_cast<int32_t>(2 * table.total)));
  bool ok = decode_packets(state, stored.data, stored.bytes, stored.skip, samples, table.total);
  heap_free(stored.data);
  Track* track = ok ? track_from_samples(table, samples) : nullptr;  // samples not produced stay silent
  heap_free(samples);
  return track;
}

}  // namespace

void silk_set_slots(UnitDbFile* file) {
  file->unit_open = silk_open;
  file->unit_close = silk_close;
  file->unit_decode = silk_decode_unit;
}
