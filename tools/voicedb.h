// Writes a complete voice database (layout version 2 of
// docs/voice-database.md): the unit index with each diphone's instances, the
// host header with its string table, the instance table, the unit blocks for
// the target cost, the join edges and the unit audio in one of the four
// codings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/contract.h"

constexpr uint32_t kVoiceDbLayoutVersion = 2;

// One recorded diphone instance.
struct VoiceDbUnit {
  std::string diphone;  // "<left phone>-<right phone>", at most 9 bytes
  // The unit blocks of the left and right phone.  Only the members that the
  // target cost reads are stored; strings are copied into the string table.
  SegmentTarget left{};
  SegmentTarget right{};
  JoinEdge start_edge{};  // at the middle of the left phone
  JoinEdge end_edge{};    // at the middle of the right phone
  uint32_t recording = 0;  // recording number
  uint32_t position = 0;   // diphone number inside the recording
  // Samples: pad_left samples of context before the left middle, then
  // core_length samples from the left middle to the right middle (the phone
  // boundary `boundary` samples in), then pad_right samples of context.
  uint32_t pad_left = 0;
  uint32_t core_length = 0;
  uint32_t boundary = 0;
  uint32_t pad_right = 0;
  std::vector<int16_t> samples;  // codecs 2, 8 and 12: all of them
  // Glottal epochs in voiced stretches, rising sample numbers counted like
  // `samples` (from the start of the left context).
  std::vector<uint16_t> pitch_marks;
  // Codec 14: the SILK packets that decode to the samples above, and how
  // many decoded samples to drop at the start.
  std::vector<std::vector<uint8_t>> packets;
  uint32_t skip = 0;
};

struct VoiceDbRecipe {
  std::string name = "vox_pt_br_selvana";
  uint32_t checksum = 2718093645u;
  uint32_t sample_rate = 16000;
  uint32_t codec_type = 2;  // 2, 8, 12 or 14
  // Codecs 8 and 12: the selvana-vorbis-encode tool and its quality.
  std::string vorbis_encoder;
  float vorbis_quality = 0.0f;
  std::string work_dir;  // scratch folder for the encoder's files
  std::vector<VoiceDbUnit> units;
};

// Builds the file's bytes; false with `error` set when a unit does not fit
// the layout (name too long, frame ends beyond 16 bits, missing samples or
// packets, a type-12 packet over 255 bytes, encoder failure).
bool voicedb_build(const VoiceDbRecipe& recipe, std::vector<uint8_t>* out, std::string* error);

// Builds and writes the file (creating its folder).
bool voicedb_write(const std::string& path, const VoiceDbRecipe& recipe, std::string* error);

// The join edge at sample `at` of `samples` (n samples at `rate` Hz), as
// docs/voice-database.md defines it: RMS amplitude and level of the 20 ms
// around the edge, f0 from the 40 ms around it (70 to 500 Hz, voiced when the
// normalised autocorrelation peak exceeds 0.5), zero crossings in 10 ms, and
// the energy of 16 equal bands relative to the whole window.  Windows are
// cut short at the ends of the samples.
JoinEdge voicedb_edge_from_samples(const int16_t* samples, size_t n, size_t at, uint32_t rate);

// Scrambles (or unscrambles: the operation is its own inverse) a block with
// the key made from the checksum and the block's own tail bytes.
void voicedb_scramble(uint8_t* block, uint32_t length, uint32_t checksum);
