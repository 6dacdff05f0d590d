// Records shared by the host engine and the voice module: the voice, the unit
// database, decoder contexts and tracks, unit-selection targets, edges and
// candidate graphs, and the host's synthesis state.  Their layouts are a
// contract between the two sides; both include this header.
#pragma once

#include <cstdint>

#include "core/features.h"
#include "core/platform.h"
#include "core/value.h"

struct Item;
struct Utterance;

// ---------------------------------------------------------------------------
// Voice

struct Voice {
  Features* features;
  Features* feature_functions;
  void* reserved;  // never set or read by the module
};

// Function types carried by the function Values of a voice.
using UttFunc = Utterance* (*)(Utterance*);
using ItemFunc = Value* (*)(Item*);
using FeatureFunc = Value* (*)(Item*);
using PhoneFunc = Value* (*)(Value* phones);
using XsampaFunc = Value* (*)(const char* xsampa);

// Exported entry points of the module.
extern "C" {
using RegisterVoiceFn = Voice* (*)(const char* voxdir);
using UnregisterVoiceFn = void (*)(Voice* voice);
}

// ---------------------------------------------------------------------------
// Unit database

constexpr uint32_t kUnitDbMagic = 0x56584443;  // "CDXV" in file order
constexpr int kUnitDbHeaderSize = 104;
constexpr int kUnitIndexRecordSize = 20;

// Where the header keeps its fields (little-endian 32-bit numbers, see
// core/coding.h): the magic number at 0, then the database name (NUL-padded),
// the sample rate, the codec type, the checksum, and for each of the seven
// sections its offset in the file and its size in bytes.
constexpr uint32_t kUnitDbNameAt = 4;
constexpr uint32_t kUnitDbNameSize = 32;
constexpr uint32_t kUnitDbSampleRateAt = 36;
constexpr uint32_t kUnitDbCodecTypeAt = 40;
constexpr uint32_t kUnitDbChecksumAt = 44;
constexpr int kUnitDbSectionCount = 7;
constexpr uint32_t unitdb_section_offset_at(int section) { return 48 + 8 * static_cast<uint32_t>(section); }
constexpr uint32_t unitdb_section_size_at(int section) { return 52 + 8 * static_cast<uint32_t>(section); }

// How the unit audio is coded.
enum UnitDbCodec : uint32_t {
  kCodecPcm = 2,              // 16-bit samples in the record after the frame table
  kCodecVorbis = 8,           // Vorbis packets in the record
  kCodecVorbisScrambled = 12, // Vorbis packets stored scrambled in section 4
  kCodecSilk = 14,            // SILK packets stored scrambled
};

struct UnitIndexRecord {
  char name[kUnitIndexRecordSize];  // NUL-terminated name, then host bytes
};
static_assert(sizeof(UnitIndexRecord) == 20);

struct DecoderContext;
struct Track;

using UnitOpenFn = int (*)(DecoderContext* context);
using UnitCloseFn = void (*)(DecoderContext* context);
using UnitDecodeFn = Track* (*)(DecoderContext* context, const uint8_t* record, uint32_t size);

struct UnitDbFile {
  char* path;
  char* name;
  FileMapping* mapping;
  uint32_t sample_rate;
  uint32_t checksum;
  const uint8_t* section_0;
  uint32_t section_0_size;
  const uint8_t* section_5;
  const uint8_t* section_4;
  const uint8_t* section_3;
  const UnitIndexRecord* unit_index;
  uint64_t unit_count;
  const uint8_t* section_6;
  UnitOpenFn unit_open;
  UnitCloseFn unit_close;
  UnitDecodeFn unit_decode;
  const uint8_t* codec_setup;
  uint64_t codec_setup_size;
};

struct UnitDatabase {
  const char* name;  // the file record's name, not a separate copy
  uint32_t checksum;
  uint32_t unit_count;
  const UnitIndexRecord* unit_index;
  const uint8_t* section_3;
  const uint8_t* section_4;
  const uint8_t* section_5;
  const uint8_t* section_6;
  UnitDbFile* file;
};

// Destructor of the diphonedb value: unmaps the file and frees the records.
void unit_database_free(void* database);

// ---------------------------------------------------------------------------
// Unit audio

struct DecoderContext {
  UnitDbFile* file;
  File* handle;  // an open read handle on the unit database file
  void* codec_state;
};

// Releases a decoder context: the codec's close slot, the handle, the record.
void decoder_context_release(DecoderContext* context);

struct Track {
  int32_t sample_rate;  // leading members that the decoders leave zero
  int32_t reserved;
  int32_t num_frames;
  uint32_t* frame_ends;  // cumulative ends, one per frame
  int16_t** frames;      // one sample buffer per frame
};

void track_free(void* track);

struct Wave {
  int32_t sample_rate;
  int32_t num_samples;
  int16_t* samples;
};

void wave_free(void* wave);

// ---------------------------------------------------------------------------
// Unit selection

struct SegmentTarget {
  float measure;
  const char* pp_name;
  const char* p_name;
  const char* name;
  const char* n_name;
  const char* nn_name;
  uint8_t pos1, pos2, pos3;
  uint8_t mark;
  uint8_t pos4, pos5;
  uint8_t level1, level2;
  uint8_t flag1, flag2;
  uint8_t spare0[6];
  const char* label;
  uint8_t label_value;
  uint8_t spare1[7];
  const char* gpos_p;
  void* host0;  // belongs to the host
  const char* gpos;
  uint8_t flag3;
  uint8_t level3, level4;
  uint8_t spare2[5];
  const char* gpos_n;
  uint8_t flag4, flag5;
  uint8_t level5, level6;
  uint8_t spare3[4];
  const char* tone;
  void* host1;  // belongs to the host
  const char* ph_vc;
  const char* ph_cvox;
  const char* ph_ctype;
};

// The acoustic description of one unit edge: 32 bytes, little-endian.
struct JoinEdge {
  uint16_t edge_value;
  uint8_t reserved[6];
  int16_t edge_level;
  uint16_t edge_a;
  int16_t edge_b;
  uint16_t edge_c;
  uint8_t coef[16];
};
static_assert(sizeof(JoinEdge) == 32, "JoinEdge is a 32-byte record");

constexpr uint32_t kCostReject = 1000000;

using TargetCostFn = uint32_t (*)(const SegmentTarget* target_left, const SegmentTarget* target_right,
                                  const SegmentTarget* unit_left, const SegmentTarget* unit_right);
using JoinCostFn = uint32_t (*)(const JoinEdge* a, const JoinEdge* b, uint32_t bound);

struct Candidate {
  const UnitIndexRecord* unit;
  SegmentTarget left;
  SegmentTarget right;
  JoinCostFn join_cost;
  int32_t boundary_flag;
  void* owned;  // heap block owned by the candidate, set by the host
  // Host members.
  int32_t host_first;
  int32_t host_count;
  void* host_data;
};

struct CandidateGraph {
  UnitDatabase* database;
  void* host0;
  TargetCostFn target_cost;
  void* host1;
  Candidate* candidates;
  int32_t count;
  void* host2;
};

using DiphoneGraphFn = CandidateGraph* (*)(Voice* voice, const SegmentTarget* targets, int32_t count);

// Frees each candidate's owned block, the candidate array, then the graph.
void candidate_graph_release(CandidateGraph* graph);

// ---------------------------------------------------------------------------
// Host synthesis state

struct WaveSynth {
  CandidateGraph* graph;
  DecoderContext* decoder;
  Wave* wave;
  Value* userdata;  // list of userdata Values whose payloads are heap blocks
};

void wavesynth_free(void* wavesynth);

struct AudioTag {
  void* data;
  int32_t size;
};

void audiotag_free(void* audiotag);
