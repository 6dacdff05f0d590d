// Codec slots and the parts shared by all unit audio codings.
#include "unitdb/codecs.h"

#include <cstring>

#include "core/platform.h"
#include "unitdb/silk_codec.h"
#include "unitdb/vorbis_codec.h"

namespace {

// Type 2: T samples of 16-bit PCM follow the frame table.
Track* pcm_decode(DecoderContext*, const uint8_t* record, uint32_t size) {
  FrameTable table;
  if (!frame_table_read(record, size, &table)) return nullptr;
  uint64_t need = static_cast<uint64_t>(table.bytes) + 2ull * table.total;
  if (need > size) return nullptr;  // the samples must lie inside the record
  auto* samples = static_cast<int16_t*>(heap_alloc(static_cast<int32_t>(2 * table.total)));
  const uint8_t* p = record + table.bytes;
  for (uint32_t i = 0; i < table.total; ++i) samples[i] = static_cast<int16_t>(read_le16(p + 2 * i));
  Track* track = track_from_samples(table, samples);
  heap_free(samples);
  return track;
}

}  // namespace

bool frame_table_read(const uint8_t* record, uint32_t size, FrameTable* table) {
  if (!record || size < 2) return false;
  table->count = read_le16(record);
  table->bytes = 2 + 2 * table->count;
  if (table->bytes > size) return false;
  table->ends = record + 2;
  uint32_t previous = 0;
  for (uint32_t i = 0; i < table->count; ++i) {
    uint32_t end = read_le16(table->ends + 2 * i);
    if (end < previous) return false;
    previous = end;
  }
  table->total = previous;
  return true;
}

Track* track_from_samples(const FrameTable& table, const int16_t* samples) {
  auto* track = static_cast<Track*>(heap_alloc(sizeof(Track)));
  track->num_frames = static_cast<int32_t>(table.count);
  track->frame_ends = static_cast<uint32_t*>(heap_alloc(static_cast<int32_t>(4 * table.count)));
  track->frames = static_cast<int16_t**>(heap_alloc(static_cast<int32_t>(sizeof(int16_t*) * table.count)));
  uint32_t start = 0;
  for (uint32_t i = 0; i < table.count; ++i) {
    uint32_t end = read_le16(table.ends + 2 * i);
    track->frame_ends[i] = end;
    uint32_t n = end - start;
    track->frames[i] = static_cast<int16_t*>(heap_alloc(static_cast<int32_t>(2 * n)));
    if (n) memcpy(track->frames[i], samples + start, 2 * n);
    start = end;
  }
  return track;
}

uint8_t* read_packet_data(DecoderContext* context, uint32_t offset, uint32_t size) {
  // A record that points outside the file is damaged: nothing is read.
  int64_t file_bytes = file_size(context->handle);
  if (size > INT32_MAX || file_bytes < 0 || static_cast<uint64_t>(offset) + size > static_cast<uint64_t>(file_bytes))
    return nullptr;
  auto* data = static_cast<uint8_t*>(heap_alloc(static_cast<int32_t>(size)));
  if (!file_seek(context->handle, offset) || (size > 0 && file_read(context->handle, data, size, 1) != 1)) {
    error_print("**Error: voxdb read: `%s'\n", platform_error_text());
    heap_free(data);
    return nullptr;
  }
  return data;
}

bool read_stored_packets(DecoderContext* context, const uint8_t* record, uint32_t size, StoredPackets* out) {
  if (!frame_table_read(record, size, &out->table) || size - out->table.bytes < 10) return false;
  const uint8_t* p = record + out->table.bytes;
  out->skip = read_le16(p);
  uint32_t offset = read_le32(p + 2);
  out->bytes = read_le32(p + 6);
  out->data = read_packet_data(context, offset, out->bytes);
  return out->data != nullptr;
}

bool unitdb_set_codec_slots(UnitDbFile* file, uint32_t codec_type) {
  switch (codec_type) {
    case kCodecPcm:
      file->unit_decode = pcm_decode;
      return true;
    case kCodecVorbis:
      vorbis_set_slots(file, false);
      return true;
    case kCodecVorbisScrambled:
      vorbis_set_slots(file, true);
      return true;
    case kCodecSilk:
      silk_set_slots(file);
      return true;
    default:
      return false;
  }
}
