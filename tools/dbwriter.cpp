#include "tools/dbwriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/coding.h"
#include "core/contract.h"

namespace {

bool name_less(const UnitDbUnit& a, const UnitDbUnit& b) {
  // Unsigned byte order, a prefix before its extensions.
  return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                      [](char x, char y) { return static_cast<uint8_t>(x) < static_cast<uint8_t>(y); });
}

}  // namespace

std::vector<uint8_t> unitdb_build(const UnitDbParts& parts, std::string* error) {
  std::vector<uint8_t> out(kUnitDbHeaderSize, 0);
  write_le32(out.data(), kUnitDbMagic);
  if (parts.name.size() > kUnitDbNameSize - 1) {
    if (error) *error = "database name longer than 31 bytes";
    return {};
  }
  memcpy(out.data() + kUnitDbNameAt, parts.name.data(), parts.name.size());
  write_le32(out.data() + kUnitDbSampleRateAt, parts.sample_rate);
  write_le32(out.data() + kUnitDbCodecTypeAt, parts.codec_type);
  write_le32(out.data() + kUnitDbChecksumAt, parts.checksum);

  auto append = [&](int field, const std::vector<uint8_t>& bytes, bool present) {
    if (!present) return;
    size_t offset = out.size();
    out.insert(out.end(), bytes.begin(), bytes.end());
    write_le32(out.data() + unitdb_section_offset_at(field), static_cast<uint32_t>(offset));
    write_le32(out.data() + unitdb_section_size_at(field), static_cast<uint32_t>(bytes.size()));
  };

  std::vector<UnitDbUnit> units = parts.units;
  std::stable_sort(units.begin(), units.end(), name_less);
  std::vector<uint8_t> index;
  for (const UnitDbUnit& u : units) {
    if (u.name.size() + 1 + u.extra.size() > 20) {
      if (error) *error = "unit '" + u.name + "' does not fit in a 20-byte index record";
      return {};
    }
    uint8_t record[20] = {};
    memcpy(record, u.name.data(), u.name.size());
    if (!u.extra.empty()) memcpy(record + u.name.size() + 1, u.extra.data(), u.extra.size());
    index.insert(index.end(), record, record + 20);
  }

  append(0, parts.section_0, true);
  append(1, parts.codec_setup, !parts.codec_setup.empty());
  append(2, index, parts.index_present);
  for (int s = 0; s < 4; ++s) append(3 + s, parts.sections[s], parts.present[s]);
  return out;
}

bool unitdb_write(const std::string& path, const UnitDbParts& parts, std::string* error) {
  std::vector<uint8_t> bytes = unitdb_build(parts, error);
  if (bytes.empty()) return false;
  std::error_code ec;
  std::filesystem::path p(path);
  if (p.has_parent_path()) std::filesystem::create_directories(p.parent_path(), ec);
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    if (error) *error = "cannot write " + path;
    return false;
  }
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = fclose(f) == 0 && ok;
  if (!ok && error) *error = "cannot write " + path;
  return ok;
}

std::string unitdb_voice_path(const std::string& voxdir, const std::string& name, uint32_t checksum) {
  return voxdir + "/" + name + "/" + std::to_string(checksum) + "/" + name + "22v";
}
