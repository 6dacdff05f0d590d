// Vorbis-coded unit audio, decoded with the integer Vorbis decoder.
//
// Type 8 keeps its packets inside the unit's record and its three header
// packets in the codec setup.  Type 12 keeps its packets elsewhere in the file
// and scrambles them, and its header packets, with the database's checksum.
#include "unitdb/vorbis_codec.h"

#include <tremor/ivorbiscodec.h>

#include <cstring>

#include "core/platform.h"
#include "unitdb/codecs.h"

namespace {

struct VorbisState {
  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  uint32_t checksum;  // key material of the scrambled layout
};

VorbisState* state_of(DecoderContext* context) { return static_cast<VorbisState*>(context->codec_state); }

// Reads the three length-prefixed header packets and prepares synthesis.
int open_common(DecoderContext* context, bool scrambled) {
  UnitDbFile* file = context->file;
  const uint8_t* setup = file->codec_setup;
  uint64_t size = file->codec_setup_size;
  if (!setup || size > INT32_MAX) return 0;
  auto* state = static_cast<VorbisState*>(heap_alloc(sizeof(VorbisState)));
  state->checksum = file->checksum;
  vorbis_info_init(&state->info);
  vorbis_comment_init(&state->comment);
  auto* copy = static_cast<uint8_t*>(heap_alloc(static_cast<int32_t>(size)));
  memcpy(copy, setup, size);
  if (scrambled) unscramble(copy, static_cast<uint32_t>(size), file->checksum);

  bool ok = true;
  uint64_t pos = 0;
  for (int i = 0; i < 3 && ok; ++i) {
    if (pos + 2 > size) {
      ok = false;
      break;
    }
    uint32_t len = read_le16(copy + pos);
    pos += 2;
    if (pos + len > size) {
      ok = false;
      break;
    }
    ogg_packet packet{};
    packet.packet = copy + pos;
    packet.bytes = len;
    packet.b_o_s = i == 0;
    packet.packetno = i;
    ok = vorbis_synthesis_headerin(&state->info, &state->comment, &packet) == 0;
    pos += len;
  }
  heap_free(copy);
  if (ok) ok = vorbis_synthesis_init(&state->dsp, &state->info) == 0;
  if (!ok) {
    vorbis_comment_clear(&state->comment);
    vorbis_info_clear(&state->info);
    heap_free(state);
    return 0;
  }
  context->codec_state = state;
  return 1;
}

int vorbis_open_plain(DecoderContext* context) { return open_common(context, false); }
int vorbis_open_scrambled(DecoderContext* context) { return open_common(context, true); }

void vorbis_close(DecoderContext* context) {
  VorbisState* state = state_of(context);
  if (!state) return;
  vorbis_dsp_clear(&state->dsp);
  vorbis_comment_clear(&state->comment);
  vorbis_info_clear(&state->info);
  heap_free(state);
  context->codec_state = nullptr;
}

// One packet of a unit: where it is and how long.
struct PacketCursor {
  const uint8_t* data;
  uint32_t size;
  uint32_t pos = 0;
  int length_bytes;  // 2 for the in-record layout, 1 for the file layout

  // Next packet, or false at the end; `damaged` is set when a length runs
  // past the end of the data.
  bool next(const uint8_t** packet, uint32_t* length, bool* damaged) {
    if (pos >= size) return false;
    if (pos + static_cast<uint32_t>(length_bytes) > size) {
      *damaged = true;
      return false;
    }
    uint32_t len = length_bytes == 2 ? read_le16(data + pos) : data[pos];
    pos += static_cast<uint32_t>(length_bytes);
    if (len > size - pos) {
      *damaged = true;
      return false;
    }
    *packet = data + pos;
    *length = len;
    pos += len;
    return true;
  }
  bool at_end() const { return pos >= size; }
};

enum class Layout { kInRecord, kScrambledFile };

// Decodes the packets into `out` (T samples, zero-filled).  Returns the
// number of samples stored, or a negative code when synthesis fails in a way
// the layout does not forgive.
int64_t decode_packets(VorbisState* state, PacketCursor cursor, Layout layout, uint32_t skip, int16_t* out,
                       uint32_t total) {
  if (vorbis_synthesis_restart(&state->dsp) != 0) return -2;
  vorbis_block block;
  if (vorbis_block_init(&state->dsp, &block) != 0) return -3;
  uint32_t stored = 0;
  uint32_t to_skip = layout == Layout::kScrambledFile ? skip : 0;
  int64_t result = 0;
  uint8_t buffer[256];
  const uint8_t* packet;
  uint32_t length;
  bool damaged = false;
  while (cursor.next(&packet, &length, &damaged)) {
    ogg_packet op{};
    op.bytes = length;
    op.e_o_s = cursor.at_end();
    if (layout == Layout::kScrambledFile) {
      memcpy(buffer, packet, length);  // lengths are one byte: at most 255
      unscramble(buffer, length, state->checksum);
      op.packet = buffer;
    } else {
      op.packet = const_cast<uint8_t*>(packet);
    }
    int rc = vorbis_synthesis(&block, &op);
    if (rc == 0) {
      if (vorbis_synthesis_blockin(&state->dsp, &block) != 0 && layout == Layout::kScrambledFile) {
        result = -5;
        break;
      }
    } else if (layout == Layout::kScrambledFile) {
      result = -4;
      break;
    }
    ogg_int32_t** pcm;
    int n;
    while ((n = vorbis_synthesis_pcmout(&state->dsp, &pcm)) > 0) {
      const ogg_int32_t* channel = pcm[0];
      int i = 0;
      if (to_skip > 0) {
        uint32_t drop = to_skip < static_cast<uint32_t>(n) ? to_skip : static_cast<uint32_t>(n);
        i = static_cast<int>(drop);
        to_skip -= drop;
      }
      for (; i < n && stored < total; ++i) {
        int32_t s = channel[i] >> 9;
        out[stored++] = static_cast<int16_t>(s > 32767 ? 32767 : s < -32768 ? -32768 : s);
      }
      vorbis_synthesis_read(&state->dsp, n);
    }
  }
  vorbis_block_clear(&block);
  if (result < 0) return result;
  if (damaged) return -6;
  return stored;
}

Track* decode_in_record(DecoderContext* context, const uint8_t* record, uint32_t size) {
  VorbisState* state = state_of(context);
  FrameTable table;
  if (!state || !frame_table_read(record, size, &table)) return nullptr;
  uint32_t after = size - table.bytes;
  if (table.total > 0 && after < 5) return nullptr;
  auto* samples = static_cast<int16_t*>(heap_alloc(static_cast<int32_t>(2 * table.total)));
  PacketCursor cursor{after >= 4 ? record + table.bytes + 4 : record, after >= 4 ? after - 4 : 0, 0, 2};
  int64_t got = decode_packets(state, cursor, Layout::kInRecord, 0, samples, table.total);
  if (got < 0 || static_cast<uint64_t>(got) < table.total) {
    heap_free(samples);
    return nullptr;
  }
  Track* track = track_from_samples(table, samples);
  heap_free(samples);
  return track;
}

Track* decode_scrambled(DecoderContext* context, const uint8_t* record, uint32_t size) {
  VorbisState* state = state_of(context);
  StoredPackets stored;
  if (!state || !read_stored_packets(context, record, size, &stored)) return nullptr;
  const FrameTable& table = stored.table;
  auto* samples = static_cast<int16_t*>(heap_alloc(static_cast<int32_t>(2 * table.total)));
  PacketCursor cursor{stored.data, stored.bytes, 0, 1};
  int64_t got = decode_packets(state, cursor, Layout::kScrambledFile, stored.skip, samples, table.total);
  heap_free(stored.data);
  if (got < 0 && got != -6) {
    heap_free(samples);
    return nullptr;
  }
  Track* track = track_from_samples(table, samples);  // missing samples stay silent
  heap_free(samples);
  return track;
}

}  // namespace

void vorbis_set_slots(UnitDbFile* file, bool scrambled) {
  file->unit_open = scrambled ? vorbis_open_scrambled : vorbis_open_plain;
  file->unit_close = vorbis_close;
  file->unit_decode = scrambled ? decode_scrambled : decode_in_record;
}
