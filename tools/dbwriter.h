// Writes unit database files from their parts, for tests and the voice
// builder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct UnitDbUnit {
  std::string name;            // at most 19 bytes
  std::vector<uint8_t> extra;  // host bytes after the name's terminator
};

struct UnitDbParts {
  std::string name = "vox_pt_br_selvana";
  uint32_t checksum = 2718093645u;
  uint32_t sample_rate = 16000;
  uint32_t codec_type = 2;
  std::vector<uint8_t> section_0;
  std::vector<uint8_t> codec_setup;  // left out of the file when empty
  std::vector<UnitDbUnit> units;     // sorted by the writer
  std::vector<uint8_t> sections[4];  // sections 3 to 6
  bool present[4] = {true, true, true, true};
  bool index_present = true;
};

// Lays the parts out after the 104-byte header (section_0, codec setup, unit
// index, sections 3 to 6, in that order) and returns the file's bytes.  Sets
// `error` and returns an empty vector when a unit name or its extra bytes do
// not fit in a 20-byte index record.
std::vector<uint8_t> unitdb_build(const UnitDbParts& parts, std::string* error);

// Writes the file; false with `error` set on failure.
bool unitdb_write(const std::string& path, const UnitDbParts& parts, std::string* error);

// The path of a voice's database inside a voice directory.
std::string unitdb_voice_path(const std::string& voxdir, const std::string& name, uint32_t checksum);
