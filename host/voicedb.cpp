#include "host/voicedb.h"

#include <algorithm>
#include <cstring>

#include "core/coding.h"

namespace {

// The offset and size of a section from the file header in the mapping.
struct Span {
  uint64_t offset, size;
};
Span header_span(const uint8_t* header, int field) {
  return {read_le32(header + unitdb_section_offset_at(field)), read_le32(header + unitdb_section_size_at(field))};
}

bool fail(std::string* error, const std::string& why) {
  *error = "the voice database " + why;
  return false;
}

}  // namespace

bool voicedb_open(const UnitDatabase* database, HostVoiceDb* db, std::string* error) {
  *db = HostVoiceDb{};
  const UnitDbFile* file = database ? database->file : nullptr;
  if (!file || !file->mapping) return fail(error, "is not loaded");
  const uint8_t* base = file->mapping->base;
  const uint64_t mapped = file->mapping->length;
  if (mapped < static_cast<uint64_t>(kUnitDbHeaderSize)) return fail(error, "is shorter than its header");
  Span span[kUnitDbSectionCount];
  for (int f = 0; f < kUnitDbSectionCount; ++f) {
    span[f] = header_span(base, f);
    if (f != 1 && span[f].offset + span[f].size > mapped) return fail(error, "has a section outside the file");
  }
  const uint8_t* s0 = file->section_0;
  const uint32_t s0_size = file->section_0_size;
  if (s0_size < kVoiceDbHeaderSize || read_le32(s0) != kVoiceDbHostMagic) return fail(error, "has no host header (section 0)");
  if (read_le32(s0 + 4) != kVoiceDbLayoutVersion)
    return fail(error, "has layout version " + std::to_string(read_le32(s0 + 4)) + ", not 1");
  const uint32_t count = read_le32(s0 + 8);
  if (read_le32(s0 + 12) != kVoiceDbInstanceSize || read_le32(s0 + 16) != kVoiceDbBlockSize || read_le32(s0 + 20) != kVoiceDbEdgeSize)
    return fail(error, "has records of unexpected sizes");
  const uint32_t string_size = read_le32(s0 + 24);
  if (string_size == 0 || string_size > s0_size - kVoiceDbHeaderSize) return fail(error, "has a broken string table");
  const uint8_t* strings = s0 + kVoiceDbHeaderSize;
  if (strings[string_size - 1] != 0) return fail(error, "has an unterminated string table");
  if (span[3].size / kVoiceDbInstanceSize < count || span[4].size / (2 * kVoiceDbBlockSize) < count ||
      span[5].size / (2 * kVoiceDbEdgeSize) < count)
    return fail(error, "has fewer records than instances");

  const uint8_t* instances = database->section_3;
  const uint8_t* blocks = database->section_4;
  const uint8_t* edges = database->section_5;
  const uint8_t* audio = database->section_6;
  const uint64_t audio_size = span[6].size;
  const uint32_t recordings = read_le32(s0 + 28);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* r = instances + static_cast<uint64_t>(i) * kVoiceDbInstanceSize;
    if (static_cast<uint64_t>(read_le32(r)) + read_le32(r + 4) > audio_size)
      return fail(error, "has unit audio outside its section (instance " + std::to_string(i) + ")");
    for (int side = 0; side < 2; ++side) {
      const uint8_t* b = blocks + (2 * static_cast<uint64_t>(i) + side) * kVoiceDbBlockSize;
      for (int s = 0; s < 13; ++s)
        if (read_le32(b + 4 + 4 * s) >= string_size) return fail(error, "has a string outside its table");
    }
  }
  for (uint32_t u = 0; u < database->unit_count; ++u) {
    const UnitIndexRecord* rec = &database->unit_index[u];
    if (!memchr(rec->name, 0, 10)) return fail(error, "has a unit name longer than 9 bytes");
    uint32_t first, n;
    voicedb_unit_instances(rec, &first, &n);
    if (static_cast<uint64_t>(first) + n > count) return fail(error, "has a unit whose instances do not exist");
  }
  // Every audio record holds its frame table (ends never decreasing) and
  // what its coding needs after it: the samples themselves for linear PCM,
  // the packet reference for the stored codings.
  const uint32_t codec = read_le32(base + kUnitDbCodecTypeAt);
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* r = instances + static_cast<uint64_t>(i) * kVoiceDbInstanceSize;
    const uint8_t* rec = audio + read_le32(r);
    const uint64_t size = read_le32(r + 4);
    const std::string which = " (instance " + std::to_string(i) + ")";
    if (size < 2) return fail(error, "has a short audio record" + which);
    const uint32_t frames = read_le16(rec);
    const uint64_t table = 2 + 2 * static_cast<uint64_t>(frames);
    if (size < table) return fail(error, "has a short audio record" + which);
    uint32_t last = 0;
    for (uint32_t f = 0; f < frames; ++f) {
      uint32_t end = read_le16(rec + 2 + 2 * f);
      if (end < last) return fail(error, "has decreasing frame ends" + which);
      last = end;
    }
    const uint64_t need = codec == kCodecPcm ? 2 * static_cast<uint64_t>(last) : codec == kCodecVorbis ? (last ? 5 : 0) : 10;
    if (size < table + need) return fail(error, "has a short audio record" + which);
  }
  db->database = database;
  db->strings = strings;
  db->string_size = string_size;
  db->instances = instances;
  db->blocks = blocks;
  db->edges = edges;
  db->audio = audio;
  db->audio_size = static_cast<uint32_t>(audio_size);
  db->instance_count = count;
  db->recording_count = recordings;
  db->sample_rate = file->sample_rate;
  db->codec_type = codec;
  for (uint32_t at = 0; at < string_size; at += static_cast<uint32_t>(strlen(reinterpret_cast<const char*>(strings + at))) + 1)
    db->texts.push_back(reinterpret_cast<const char*>(strings + at));
  std::sort(db->texts.begin(), db->texts.end(), [](const char* a, const char* b) { return strcmp(a, b) < 0; });
  return true;
}

const UnitIndexRecord* voicedb_find(const HostVoiceDb& db, const char* name) {
  uint32_t lo = 0, hi = db.database->unit_count;
  while (lo < hi) {
    uint32_t mid = lo + (hi - lo) / 2;
    const unsigned char* a = reinterpret_cast<const unsigned char*>(name);
    const unsigned char* b = reinterpret_cast<const unsigned char*>(db.database->unit_index[mid].name);
    int k = 0;
    while (k < 19 && a[k] && a[k] == b[k]) ++k;
    int c = k == 19 ? 0 : static_cast<int>(a[k]) - static_cast<int>(b[k]);
    if (c == 0) return &db.database->unit_index[mid];
    if (c < 0) hi = mid;
    else lo = mid + 1;
  }
  return nullptr;
}

void voicedb_unit_instances(const UnitIndexRecord* unit, uint32_t* first, uint32_t* count) {
  const uint8_t* r = reinterpret_cast<const uint8_t*>(unit->name);
  *first = read_le32(r + 12);
  *count = read_le32(r + 16);
}

VoiceDbInstance voicedb_instance(const HostVoiceDb& db, uint32_t instance) {
  const uint8_t* r = db.instances + static_cast<uint64_t>(instance) * kVoiceDbInstanceSize;
  return {db.audio + read_le32(r), read_le32(r + 4), read_le32(r + 8), read_le32(r + 12)};
}

void voicedb_unit_block(const HostVoiceDb& db, uint32_t instance, int side, SegmentTarget* out) {
  const uint8_t* b = db.blocks + (2 * static_cast<uint64_t>(instance) + side) * kVoiceDbBlockSize;
  *out = SegmentTarget{};
  uint32_t measure = read_le32(b);
  memcpy(&out->measure, &measure, 4);
  const char* s[13];
  for (int k = 0; k < 13; ++k) s[k] = reinterpret_cast<const char*>(db.strings + read_le32(b + 4 + 4 * k));
  out->pp_name = s[0];
  out->p_name = s[1];
  out->name = s[2];
  out->n_name = s[3];
  out->nn_name = s[4];
  out->label = s[5];
  out->gpos_p = s[6];
  out->gpos = s[7];
  out->gpos_n = s[8];
  out->tone = s[9];
  out->ph_vc = s[10];
  out->ph_cvox = s[11];
  out->ph_ctype = s[12];
  const uint8_t* v = b + 56;
  out->pos1 = v[0];
  out->pos2 = v[1];
  out->pos3 = v[2];
  out->mark = v[3];
  out->pos4 = v[4];
  out->pos5 = v[5];
  out->level1 = v[6];
  out->level2 = v[7];
  out->level3 = v[8];
  out->level4 = v[9];
  out->level5 = v[10];
  out->level6 = v[11];
  out->flag1 = v[12];
  out->flag2 = v[13];
  out->flag3 = v[14];
  out->flag4 = v[15];
  out->flag5 = v[16];
  out->label_value = v[17];
}

JoinEdge voicedb_edge(const HostVoiceDb& db, uint32_t instance, int edge) {
  const uint8_t* e = db.edges + (2 * static_cast<uint64_t>(instance) + edge) * kVoiceDbEdgeSize;
  JoinEdge out{};
  out.edge_value = read_le16(e);
  memcpy(out.reserved, e + 2, 6);
  out.edge_level = static_cast<int16_t>(read_le16(e + 8));
  out.edge_a = read_le16(e + 10);
  out.edge_b = static_cast<int16_t>(read_le16(e + 12));
  out.edge_c = read_le16(e + 14);
  memcpy(out.coef, e + 16, 16);
  return out;
}

void voicedb_share_texts(const HostVoiceDb& db, SegmentTarget* targets, int32_t count) {
  auto shared = [&db](const char* s) {
    auto at = std::lower_bound(db.texts.begin(), db.texts.end(), s,
                               [](const char* a, const char* b) { return strcmp(a, b) < 0; });
    return at != db.texts.end() && strcmp(*at, s) == 0 ? *at : s;
  };
  for (int32_t k = 0; k < count; ++k) {
    SegmentTarget& t = targets[k];
    for (const char* SegmentTarget::*m :
         {&SegmentTarget::pp_name, &SegmentTarget::p_name, &SegmentTarget::name, &SegmentTarget::n_name,
          &SegmentTarget::nn_name, &SegmentTarget::label, &SegmentTarget::gpos_p, &SegmentTarget::gpos,
          &SegmentTarget::gpos_n, &SegmentTarget::tone, &SegmentTarget::ph_vc, &SegmentTarget::ph_cvox,
          &SegmentTarget::ph_ctype})
      t.*m = shared(t.*m);
  }
}
