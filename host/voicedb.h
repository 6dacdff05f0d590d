// The host's view of a voice database (layout version 1 of
// docs/voice-database.md): the parts that the module maps and passes on.
// The file is untrusted, so voicedb_open checks every count, offset and
// string once; afterwards the accessors read without checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/contract.h"

// Section 0 of a voice database holds the host's header (magic, layout
// version, instance count, the three record sizes, the string table size, the
// recording count), then the string table; sections 3 to 5 hold the instance,
// block and edge records.  The voice builders write this layout.
constexpr uint32_t kVoiceDbHostMagic = 0x48564c53;  // "SLVH" in file order
constexpr uint32_t kVoiceDbLayoutVersion = 1;
constexpr uint32_t kVoiceDbHeaderSize = 64;
constexpr uint32_t kVoiceDbInstanceSize = 24;
constexpr uint32_t kVoiceDbBlockSize = 80;
constexpr uint32_t kVoiceDbEdgeSize = 32;

struct HostVoiceDb {
  const UnitDatabase* database = nullptr;
  const uint8_t* strings = nullptr;  // NUL-terminated texts
  uint32_t string_size = 0;
  const uint8_t* instances = nullptr;  // section 3
  const uint8_t* blocks = nullptr;     // section 4
  const uint8_t* edges = nullptr;      // section 5
  const uint8_t* audio = nullptr;      // section 6
  uint32_t audio_size = 0;
  uint32_t instance_count = 0;
  uint32_t recording_count = 0;
  uint32_t sample_rate = 0;
  uint32_t codec_type = 0;
  // The table's strings in byte order, to find a target's text in it.
  std::vector<const char*> texts;
};

// One unit instance as the search and the audio stage use it.
struct VoiceDbInstance {
  const uint8_t* audio;  // the unit audio record
  uint32_t audio_size;
  uint32_t recording;
  uint32_t position;
};

// Checks the database's host parts; false with a one-line reason.
bool voicedb_open(const UnitDatabase* database, HostVoiceDb* db, std::string* error);

// The unit index record named `name` (binary search), or null.
const UnitIndexRecord* voicedb_find(const HostVoiceDb& db, const char* name);

// The instances [first, first + count) of a unit index record.
void voicedb_unit_instances(const UnitIndexRecord* unit, uint32_t* first, uint32_t* count);

VoiceDbInstance voicedb_instance(const HostVoiceDb& db, uint32_t instance);
// Side 0 is the left phone, 1 the right one.  Strings point into the
// database's string table.
void voicedb_unit_block(const HostVoiceDb& db, uint32_t instance, int side, SegmentTarget* out);
// Points the strings of `targets` at the equal strings of the database's
// table where there are any.  The table holds each text once, so the costs
// then find equal texts of targets and units at equal addresses.
void voicedb_share_texts(const HostVoiceDb& db, SegmentTarget* targets, int32_t count);

// Edge 0 is at the unit's start (the left phone's middle), 1 at its end.
JoinEdge voicedb_edge(const HostVoiceDb& db, uint32_t instance, int edge);
