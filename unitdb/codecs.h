// Unit audio decoding: the codec slots of a unit database file and the
// pieces the codecs share (frame tables, tracks, unscrambling).
#pragma once

#include <cstdint>

#include "core/coding.h"
#include "core/contract.h"
#include "unitdb/scramble.h"

// Sets the unit_open / unit_close / unit_decode slots for a codec type.
// False for a type that is not known (the file is then unusable).
bool unitdb_set_codec_slots(UnitDbFile* file, uint32_t codec_type);

// A unit audio record's frame table: frame count, then cumulative ends.
struct FrameTable {
  uint32_t count;
  const uint8_t* ends;  // count little-endian u16 values
  uint32_t total;       // the last end (0 for no frames)
  uint32_t bytes;       // size of the table in the record
};

// Reads the frame table at the start of a record of `size` bytes.  False when
// the table does not fit in the record or its ends decrease.
bool frame_table_read(const uint8_t* record, uint32_t size, FrameTable* table);

// Builds a track cut at the table's frame ends from `total` decoded samples.
Track* track_from_samples(const FrameTable& table, const int16_t* samples);


// Reads `size` bytes at `offset` of the context's file into a new heap
// buffer; reports a short read and returns null.
uint8_t* read_packet_data(DecoderContext* context, uint32_t offset, uint32_t size);

// The layouts that keep their packets elsewhere in the file: after the frame
// table come the skip count, the file offset and the byte size of the packet
// data.
struct StoredPackets {
  FrameTable table;
  uint32_t skip;   // decoded samples to drop at the start
  uint8_t* data;   // the packet data read from the file (heap; the caller frees it)
  uint32_t bytes;  // its size
};

// Reads such a record and its packet data.  False (nothing allocated) when the
// record is damaged or the read fails.
bool read_stored_packets(DecoderContext* context, const uint8_t* record, uint32_t size, StoredPackets* out);

