// Loading of the unit database file: path choice, header test, read-only
// mapping, verification against the voice, and unit lookup by name.
#include "unitdb/unitdb.h"

#include <cstdio>
#include <cstring>

#include "core/platform.h"
#include "unitdb/codecs.h"

namespace {

constexpr const char* kCannotOpen = "**Error: cannot open or incorrect file `%s'\n";
constexpr const char* kLacksFeatures = "**Error: file `%s' lacks needed features\n";

// Header fields of the seven sections, in header order.
enum Section { kSection0, kCodecSetup, kUnitIndex, kSection3, kSection4, kSection5, kSection6, kSectionCount };
static_assert(kSectionCount == kUnitDbSectionCount);

struct SectionField {
  uint32_t offset;
  uint32_t size;
};

// Reads the sections from the header and checks them against the real file
// size.  Returns the mapped length (the largest end of any section), or -1
// when a section lies outside the file or its end does not fit in 32 bits.
int64_t section_layout(const uint8_t* header, int64_t file_size, SectionField* sections) {
  uint64_t length = 0;
  for (int s = 0; s < kSectionCount; ++s) {
    sections[s].offset = read_le32(header + unitdb_section_offset_at(s));
    sections[s].size = read_le32(header + unitdb_section_size_at(s));
    uint64_t end = static_cast<uint64_t>(sections[s].offset) + sections[s].size;
    if (s == kCodecSetup) {
      if (sections[s].size == 0) continue;  // no codec setup: nothing of it is used
    } else if (s != kSection0 && sections[s].offset == 0) {
      continue;  // absent section
    }
    if (end > UINT32_MAX) return -1;
    if (end > static_cast<uint64_t>(file_size)) return -1;
    if (end > length) length = end;
  }
  return static_cast<int64_t>(length);
}

void free_file_record(UnitDbFile* f) {
  if (!f) return;
  file_unmap(f->mapping);
  heap_free(f->path);
  heap_free(f->name);
  heap_free(f);
}

}  // namespace

char* unitdb_path(const Features* features, const char* voxdir) {
  Value* db = features_get(features, "voxdbname");
  if (!db) db = features_get(features, "name");
  Value* checksum = features_get(features, "checksum");
  if (!db || !checksum) return nullptr;
  const char* dbname = value_string(db);
  const char* sum = value_string(checksum);
  if (!dbname || !sum) return nullptr;
  const char* dir = voxdir ? voxdir : "";
  int n = snprintf(nullptr, 0, "%s/%s/%s/%s%s", dir, dbname, sum, dbname, "22v");
  auto* path = static_cast<char*>(heap_alloc(n + 1));
  snprintf(path, static_cast<size_t>(n) + 1, "%s/%s/%s/%s%s", dir, dbname, sum, dbname, "22v");
  return path;
}

UnitDatabase* unitdb_load(Features* features, const char* voxdir) {
  const char* name = features_present(features, "name") ? features_get_string(features, "name") : nullptr;
  const char* checksum =
      features_present(features, "checksum") ? features_get_string(features, "checksum") : nullptr;

  // Choose the path.
  char* built = nullptr;
  const char* path;
  if (!voxdir) {
    path = name;
  } else if (path_is_directory(voxdir)) {
    built = unitdb_path(features, voxdir);
    path = built ? built : voxdir;
  } else {
    path = voxdir;
  }
  const char* shown = path ? path : "";

  auto fail_open = [&](File* handle, UnitDbFile* record) -> UnitDatabase* {
    error_print(kCannotOpen, shown);
    file_close(handle);
    free_file_record(record);
    heap_free(built);
    return nullptr;
  };

  // Header.
  File* handle = path ? file_open(path, kFileRead) : nullptr;
  if (!handle) return fail_open(nullptr, nullptr);
  uint8_t header[kUnitDbHeaderSize];
  if (file_read(handle, header, 1, sizeof header) != kUnitDbHeaderSize || read_le32(header) != kUnitDbMagic)
    return fail_open(handle, nullptr);

  // Every section must lie inside the file before anything is mapped.
  SectionField sections[kSectionCount];
  int64_t length = section_layout(header, file_size(handle), sections);
  if (length < 0) return fail_open(handle, nullptr);

  auto* f = static_cast<UnitDbFile*>(heap_alloc(sizeof(UnitDbFile)));
  f->path = string_copy(path);
  const char* stored_name = reinterpret_cast<const char*>(header + kUnitDbNameAt);
  f->name = string_sub(stored_name, 0, static_cast<int>(strnlen(stored_name, kUnitDbNameSize)));
  f->sample_rate = read_le32(header + kUnitDbSampleRateAt);
  f->checksum = read_le32(header + kUnitDbChecksumAt);

  f->mapping = file_map(path, static_cast<uint64_t>(length));
  if (!f->mapping) return fail_open(handle, f);
  const uint8_t* base = f->mapping->base;
  auto at = [&](Section s) -> const uint8_t* {
    return sections[s].offset != 0 ? base + sections[s].offset : nullptr;
  };
  f->section_0 = base + sections[kSection0].offset;
  f->section_0_size = sections[kSection0].size;
  f->section_3 = at(kSection3);
  f->section_4 = at(kSection4);
  f->section_5 = at(kSection5);
  f->section_6 = at(kSection6);
  f->unit_index = reinterpret_cast<const UnitIndexRecord*>(at(kUnitIndex));
  f->unit_count = f->unit_index ? sections[kUnitIndex].size / kUnitIndexRecordSize : 0;
  if (sections[kCodecSetup].size != 0) {
    f->codec_setup = base + sections[kCodecSetup].offset;
    f->codec_setup_size = sections[kCodecSetup].size;
  }
  file_close(handle);
  handle = nullptr;

  if (!unitdb_set_codec_slots(f, read_le32(header + kUnitDbCodecTypeAt))) return fail_open(nullptr, f);

  // The file must belong to this voice.
  if (name && strcmp(name, f->name) != 0) {
    free_file_record(f);
    heap_free(built);
    return nullptr;
  }
  if (checksum && string_to_int(checksum) != static_cast<int32_t>(f->checksum)) {
    free_file_record(f);
    heap_free(built);
    return nullptr;
  }

  auto* db = static_cast<UnitDatabase*>(heap_alloc(sizeof(UnitDatabase)));
  db->name = f->name;
  db->checksum = f->checksum;
  db->unit_count = static_cast<uint32_t>(f->unit_count);
  db->unit_index = f->unit_index;
  db->section_3 = f->section_3;
  db->section_4 = f->section_4;
  db->section_5 = f->section_5;
  db->section_6 = f->section_6;
  db->file = f;
  if (!db->unit_index || !db->section_3 || !db->section_4 || !db->section_5 || !db->section_6) {
    error_print(kLacksFeatures, shown);
    unit_database_free(db);
    heap_free(built);
    return nullptr;
  }

  features_set_int(features, "sample_rate", static_cast<int32_t>(f->sample_rate));
  features_set(features, "diphonedb", value_new_diphonedb(db));
  heap_free(built);
  return db;
}

int32_t unit_index_find(const UnitDatabase* db, const char* name) {
  uint32_t lo = 0, hi = db->unit_count;
  const auto* key = reinterpret_cast<const unsigned char*>(name);
  while (lo < hi) {
    uint32_t mid = lo + (hi - lo) / 2;
    const auto* rec = reinterpret_cast<const unsigned char*>(db->unit_index[mid].name);
    // Compare byte by byte, never past the 20-byte record: a record without
    // a terminator reads as a 20-character name.
    int cmp = 0;
    int k = 0;
    for (; k < kUnitIndexRecordSize; ++k) {
      if (key[k] != rec[k]) {
        cmp = key[k] < rec[k] ? -1 : 1;
        break;
      }
      if (key[k] == 0) break;
    }
    if (k == kUnitIndexRecordSize && key[k] != 0) cmp = 1;
    if (cmp == 0) return static_cast<int32_t>(mid);
    if (cmp < 0) hi = mid;
    else lo = mid + 1;
  }
  return -1;
}
