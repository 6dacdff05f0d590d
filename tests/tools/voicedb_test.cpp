// The voice database writer and the host's reader of the same layout: a
// round trip of every field, the writer's refusals and the reader's checks
// of an untrusted file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/coding.h"
#include "core/contract.h"
#include "host/voicedb.h"
#include "tests/support/temp_dir.h"
#include "tools/voicedb.h"

namespace {

SegmentTarget full_block(const char* name, float measure, uint8_t base) {
  SegmentTarget t{};
  t.measure = measure;
  t.pp_name = "pau";
  t.p_name = "s";
  t.name = name;
  t.n_name = "o";
  t.nn_name = "pau";
  t.label = ",";
  t.gpos_p = "det";
  t.gpos = "content";
  t.gpos_n = "0";
  t.tone = "L*";
  t.ph_vc = "+";
  t.ph_cvox = "0";
  t.ph_ctype = "0";
  uint8_t* bytes[] = {&t.pos1,   &t.pos2,   &t.pos3,   &t.mark,   &t.pos4,   &t.pos5,  &t.level1,
                      &t.level2, &t.level3, &t.level4, &t.level5, &t.level6, &t.flag1, &t.flag2,
                      &t.flag3,  &t.flag4,  &t.flag5,  &t.label_value};
  for (uint8_t* b : bytes) *b = base++;
  return t;
}

VoiceDbUnit small_unit(const char* diphone, uint32_t recording, uint32_t position) {
  VoiceDbUnit u;
  u.diphone = diphone;
  u.left = full_block("a", 81.5f, 1);
  u.right = full_block("t", 40.0f, 30);
  u.start_edge.edge_value = 1234;
  u.start_edge.edge_level = -3;
  u.start_edge.edge_b = -77;
  u.end_edge.edge_a = 9;
  u.end_edge.edge_c = 2;
  for (int k = 0; k < 16; ++k) u.end_edge.coef[k] = static_cast<uint8_t>(k * 10);
  u.end_edge.reserved[0] = 7;
  u.recording = recording;
  u.position = position;
  u.pad_left = 2;
  u.core_length = 6;
  u.boundary = 4;
  u.pad_right = 1;
  for (int i = 0; i < 9; ++i) u.samples.push_back(static_cast<int16_t>(-1000 * i + position));
  u.pitch_marks = {1, static_cast<uint16_t>(5 + position % 3)};
  return u;
}

// A UnitDatabase over the bytes, as the module's loader would set it up.
struct Mapped {
  std::vector<uint8_t> bytes;
  FileMapping mapping{};
  UnitDbFile file{};
  UnitDatabase db{};

  explicit Mapped(std::vector<uint8_t> b) : bytes(std::move(b)) { point(); }
  uint32_t u32(size_t at) const { return read_le32(bytes.data() + at); }
  void put(size_t at, uint32_t v) { write_le32(bytes.data() + at, v); }
  void point() {
    mapping.base = bytes.data();
    mapping.length = bytes.size();
    file.mapping = &mapping;
    file.sample_rate = u32(kUnitDbSampleRateAt);
    file.section_0 = bytes.data() + u32(unitdb_section_offset_at(0));
    file.section_0_size = u32(unitdb_section_size_at(0));
    db.unit_index = reinterpret_cast<const UnitIndexRecord*>(bytes.data() + u32(unitdb_section_offset_at(2)));
    db.unit_count = u32(unitdb_section_size_at(2)) / 20;
    db.section_3 = bytes.data() + u32(unitdb_section_offset_at(3));
    db.section_4 = bytes.data() + u32(unitdb_section_offset_at(4));
    db.section_5 = bytes.data() + u32(unitdb_section_offset_at(5));
    db.section_6 = bytes.data() + u32(unitdb_section_offset_at(6));
    db.file = &file;
  }
};

std::vector<uint8_t> build(const VoiceDbRecipe& recipe) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(voicedb_build(recipe, &out, &error)) << error;
  return out;
}

TEST(VoiceDb, EveryFieldRoundTripsThroughTheHostReader) {
  VoiceDbRecipe recipe;
  recipe.units = {small_unit("t-o", 4, 1), small_unit("a-t", 4, 0), small_unit("a-t", 9, 3)};
  Mapped m(build(recipe));
  HostVoiceDb db;
  std::string error;
  ASSERT_TRUE(voicedb_open(&m.db, &db, &error)) << error;
  EXPECT_EQ(db.instance_count, 3u);
  EXPECT_EQ(db.recording_count, 10u);
  EXPECT_EQ(db.codec_type, 2u);
  ASSERT_EQ(m.db.unit_count, 2u);

  const UnitIndexRecord* at = voicedb_find(db, "a-t");
  ASSERT_NE(at, nullptr);
  uint32_t first, count;
  voicedb_unit_instances(at, &first, &count);
  EXPECT_EQ(first, 0u);
  EXPECT_EQ(count, 2u);
  voicedb_unit_instances(voicedb_find(db, "t-o"), &first, &count);
  EXPECT_EQ(first, 2u);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(voicedb_find(db, "a"), nullptr);
  EXPECT_EQ(voicedb_find(db, "a-tx"), nullptr);
  EXPECT_EQ(voicedb_find(db, "z-z"), nullptr);

  // Instances keep the input order within a diphone.
  VoiceDbInstance i1 = voicedb_instance(db, 1);
  EXPECT_EQ(i1.recording, 9u);
  EXPECT_EQ(i1.position, 3u);
  // Audio record: four frames, then the samples.
  ASSERT_EQ(i1.audio_size, 2u + 8u + 18u);
  const uint16_t ends[] = {4, 2, 6, 8, 9};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(i1.audio[2 * k] | i1.audio[2 * k + 1] << 8, ends[k]);
  EXPECT_EQ(static_cast<int16_t>(i1.audio[10] | i1.audio[11] << 8), 3);

  SegmentTarget left, right;
  voicedb_unit_block(db, 1, 0, &left);
  voicedb_unit_block(db, 1, 1, &right);
  SegmentTarget want = full_block("a", 81.5f, 1);
  EXPECT_EQ(left.measure, 81.5f);
  for (auto [got, exp] : {std::pair{left.pp_name, want.pp_name}, {left.p_name, want.p_name}, {left.name, want.name},
                          {left.n_name, want.n_name}, {left.nn_name, want.nn_name}, {left.label, want.label},
                          {left.gpos_p, want.gpos_p}, {left.gpos, want.gpos}, {left.gpos_n, want.gpos_n},
                          {left.tone, want.tone}, {left.ph_vc, want.ph_vc}, {left.ph_cvox, want.ph_cvox},
                          {left.ph_ctype, want.ph_ctype}})
    EXPECT_STREQ(got, exp);
  EXPECT_EQ(left.pos1, 1);
  EXPECT_EQ(left.mark, 4);
  EXPECT_EQ(left.level6, 12);
  EXPECT_EQ(left.flag5, 17);
  EXPECT_EQ(left.label_value, 18);
  EXPECT_STREQ(right.name, "t");
  EXPECT_EQ(right.pos1, 30);
  EXPECT_EQ(right.measure, 40.0f);

  JoinEdge start = voicedb_edge(db, 1, 0), end = voicedb_edge(db, 1, 1);
  EXPECT_EQ(start.edge_value, 1234);
  EXPECT_EQ(start.edge_level, -3);
  EXPECT_EQ(start.edge_b, -77);
  EXPECT_EQ(end.edge_a, 9);
  EXPECT_EQ(end.edge_c, 2);
  EXPECT_EQ(end.coef[15], 150);
  EXPECT_EQ(end.reserved[0], 7);
  EXPECT_EQ(memcmp(&end, &recipe.units[0].end_edge, sizeof end), 0);

  // Pitch marks of the instance from recording 4, position 0; a version 1
  // file (the same bytes, older version) has none.
  uint32_t n = 0;
  const uint8_t* marks = voicedb_pitch_marks(db, 0, &n);
  ASSERT_EQ(n, 2u);
  EXPECT_EQ(marks[0] | marks[1] << 8, 1);
  EXPECT_EQ(marks[2] | marks[3] << 8, 5);
  m.put(m.u32(48) + 4, 1);
  ASSERT_TRUE(voicedb_open(&m.db, &db, &error)) << error;
  EXPECT_EQ(voicedb_pitch_marks(db, 0, &n), nullptr);
  EXPECT_EQ(n, 0u);
}

TEST(VoiceDb, TargetsShareTheTableTextsTheyHave) {
  VoiceDbRecipe recipe;
  recipe.units = {small_unit("a-t", 4, 0), small_unit("t-o", 4, 1)};
  Mapped m(build(recipe));
  HostVoiceDb db;
  std::string error;
  ASSERT_TRUE(voicedb_open(&m.db, &db, &error)) << error;
  SegmentTarget unit;
  voicedb_unit_block(db, 0, 0, &unit);

  // Texts at addresses of their own, as an utterance holds them.
  std::string texts[] = {"pau", "s", "a", "o", "pau", ",", "det", "content", "0", "L*", "+", "0", "0"};
  std::string absent = "zz", empty;
  SegmentTarget targets[2]{};
  const char* SegmentTarget::*members[] = {
      &SegmentTarget::pp_name, &SegmentTarget::p_name, &SegmentTarget::name,   &SegmentTarget::n_name,
      &SegmentTarget::nn_name, &SegmentTarget::label,  &SegmentTarget::gpos_p, &SegmentTarget::gpos,
      &SegmentTarget::gpos_n,  &SegmentTarget::tone,   &SegmentTarget::ph_vc,  &SegmentTarget::ph_cvox,
      &SegmentTarget::ph_ctype};
  for (int k = 0; k < 13; ++k) targets[0].*members[k] = targets[1].*members[k] = texts[k].c_str();
  targets[1].name = absent.c_str();
  targets[1].label = empty.c_str();
  voicedb_share_texts(db, targets, 2);

  for (int k = 0; k < 13; ++k) {
    EXPECT_EQ(targets[0].*members[k], unit.*members[k]) << "member " << k;
    EXPECT_STREQ(targets[0].*members[k], texts[k].c_str());
  }
  // A text the table lacks stays where it was; the empty text is in every table.
  EXPECT_EQ(targets[1].name, absent.c_str());
  EXPECT_EQ(targets[1].gpos, unit.gpos);
  EXPECT_STREQ(targets[1].label, "");
  EXPECT_NE(targets[1].label, empty.c_str());
}

TEST(VoiceDb, TheWriterRefusesUnitsThatDoNotFit) {
  std::vector<uint8_t> out;
  std::string error;
  VoiceDbRecipe recipe;
  recipe.units = {small_unit("lj-lj-lj-x", 0, 0)};
  EXPECT_FALSE(voicedb_build(recipe, &out, &error));
  EXPECT_EQ(error, "diphone name 'lj-lj-lj-x' is empty or longer than 9 bytes");
  recipe.units = {small_unit("a-t", 0, 0)};
  recipe.units[0].samples.pop_back();
  EXPECT_FALSE(voicedb_build(recipe, &out, &error));
  EXPECT_EQ(error, "unit a-t: 8 samples instead of 9");
  recipe.units = {small_unit("a-t", 0, 0)};
  recipe.units[0].core_length = 70000;
  EXPECT_FALSE(voicedb_build(recipe, &out, &error));
  recipe.units = {small_unit("a-t", 0, 0)};
  recipe.codec_type = 14;
  EXPECT_FALSE(voicedb_build(recipe, &out, &error));
  EXPECT_EQ(error, "unit a-t: no SILK packets");
  recipe.codec_type = 8;
  EXPECT_FALSE(voicedb_build(recipe, &out, &error));
  EXPECT_EQ(error, "Vorbis coding needs the encoder tool");
  recipe.codec_type = 5;
  EXPECT_FALSE(voicedb_build(recipe, &out, &error));
}

TEST(VoiceDb, SilkPacketsGoScrambledIntoTheStoreAfterTheSections) {
  VoiceDbRecipe recipe;
  recipe.codec_type = 14;
  recipe.checksum = 0x11223344;
  VoiceDbUnit u = small_unit("a-t", 0, 0);
  u.samples.clear();
  u.packets = {{1, 2, 3, 4, 5, 6}, {9, 9, 9, 9, 9, 9, 9, 9}};
  u.skip = 5;
  recipe.units = {u};
  Mapped m(build(recipe));
  HostVoiceDb db;
  std::string error;
  ASSERT_TRUE(voicedb_open(&m.db, &db, &error)) << error;
  VoiceDbInstance inst = voicedb_instance(db, 0);
  ASSERT_EQ(inst.audio_size, 2u + 8u + 10u);
  EXPECT_EQ(inst.audio[10] | inst.audio[11] << 8, 5);  // skip
  const uint32_t offset = m.u32(inst.audio - m.bytes.data() + 12);
  const uint32_t size = m.u32(inst.audio - m.bytes.data() + 16);
  EXPECT_EQ(size, 2u + 6u + 2u + 8u);
  EXPECT_EQ(offset + size, m.bytes.size());
  EXPECT_GE(offset, m.u32(unitdb_section_offset_at(6)) + m.u32(unitdb_section_size_at(6)));  // beyond every section
  std::vector<uint8_t> first(m.bytes.begin() + offset + 2, m.bytes.begin() + offset + 8);
  voicedb_scramble(first.data(), 6, recipe.checksum);
  EXPECT_EQ(first, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
}

TEST(VoiceDb, ScramblingUsesTheChecksumAndTheTailBytes) {
  // Six bytes: key = checksum bytes, the last two bytes, two zeros; only the
  // first four bytes change.
  uint8_t six[6] = {0, 0, 0, 0, 0xaa, 0xbb};
  voicedb_scramble(six, 6, 0x04030201);
  EXPECT_EQ(std::vector<uint8_t>(six, six + 6), (std::vector<uint8_t>{1, 2, 3, 4, 0xaa, 0xbb}));
  // Eight bytes: checksum then zeros; all eight are XORed.
  uint8_t eight[8] = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
  voicedb_scramble(eight, 8, 0x04030201);
  EXPECT_EQ(std::vector<uint8_t>(eight, eight + 8), (std::vector<uint8_t>{0xfe, 0xfd, 0xfc, 0xfb, 0xff, 0xff, 0xff, 0xff}));
  // Three bytes take no tail: all three change.
  uint8_t three[3] = {0, 0, 0};
  voicedb_scramble(three, 3, 0x04030201);
  EXPECT_EQ(std::vector<uint8_t>(three, three + 3), (std::vector<uint8_t>{1, 2, 3}));
  // The operation is its own inverse.
  uint8_t block[13] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
  voicedb_scramble(block, 13, 77);
  voicedb_scramble(block, 13, 77);
  for (int i = 0; i < 13; ++i) EXPECT_EQ(block[i], i + 1);
}

TEST(VoiceDb, TheReaderRejectsDamagedFiles) {
  VoiceDbRecipe recipe;
  recipe.units = {small_unit("a-t", 0, 0), small_unit("t-o", 0, 1)};
  const std::vector<uint8_t> good = build(recipe);
  auto reject = [&](const char* what, auto damage) {
    Mapped m(good);
    damage(m);
    HostVoiceDb db;
    std::string error;
    EXPECT_FALSE(voicedb_open(&m.db, &db, &error)) << what;
    return error;
  };
  const uint32_t s0 = Mapped(good).u32(unitdb_section_offset_at(0));
  EXPECT_EQ(reject("magic", [&](Mapped& m) { m.bytes[s0] = 'X'; }),
            "the voice database has no host header (section 0)");
  EXPECT_EQ(reject("version", [&](Mapped& m) { m.put(s0 + 4, 3); }), "the voice database has layout version 3, not 1 or 2");
  // Pitch marks (version 2): the table, each instance's range, their order
  // and their place inside the unit's samples.
  const uint32_t inst1 = Mapped(good).u32(72) + 24;
  EXPECT_EQ(reject("mark table", [&](Mapped& m) { m.put(s0 + 44, 1u << 20); }),
            "the voice database has a pitch mark table outside section 0");
  EXPECT_EQ(reject("mark range", [&](Mapped& m) { m.put(inst1 + 16, 3); }),
            "the voice database has pitch marks outside its table (instance 1)");
  const uint32_t marks = s0 + Mapped(good).u32(s0 + 40);
  EXPECT_EQ(reject("mark order", [&](Mapped& m) { m.bytes[marks + 6] = 0; }),
            "the voice database has pitch marks out of order (instance 1)");
  EXPECT_EQ(reject("mark place", [&](Mapped& m) { m.bytes[marks + 2] = 9; }),
            "the voice database has a pitch mark beyond its unit's samples (instance 0)");
  EXPECT_EQ(reject("sizes", [&](Mapped& m) { m.put(s0 + 16, 81); }),
            "the voice database has records of unexpected sizes");
  EXPECT_EQ(reject("count", [&](Mapped& m) { m.put(s0 + 8, 3); }),
            "the voice database has fewer records than instances");
  EXPECT_EQ(reject("strings", [&](Mapped& m) { m.put(s0 + 24, 1u << 30); }),
            "the voice database has a broken string table");
  EXPECT_EQ(reject("string offset", [&](Mapped& m) { m.put(m.u32(unitdb_section_offset_at(4)) + 4, 100000); }),
            "the voice database has a string outside its table");
  EXPECT_EQ(reject("audio", [&](Mapped& m) { m.put(m.u32(unitdb_section_offset_at(3)) + 4, 100000); }),
            "the voice database has unit audio outside its section (instance 0)");
  EXPECT_EQ(reject("instances", [&](Mapped& m) { m.put(m.u32(unitdb_section_offset_at(2)) + 16, 5); }),
            "the voice database has a unit whose instances do not exist");
  EXPECT_EQ(reject("section", [&](Mapped& m) { m.put(100, 1u << 30); }),
            "the voice database has a section outside the file");
  EXPECT_EQ(reject("short", [&](Mapped& m) { m.mapping.length = 50; }), "the voice database is shorter than its header");
  EXPECT_EQ(reject("rate", [&](Mapped& m) { m.file.sample_rate = 0xFFFFFFFF; }),
            "the voice database declares a sample rate of 4294967295 Hz, outside 8000 to 96000");
  EXPECT_EQ(reject("no rate", [&](Mapped& m) { m.file.sample_rate = 0; }),
            "the voice database declares a sample rate of 0 Hz, outside 8000 to 96000");
  // Audio records: the frame table of instance 1 claims more samples than
  // its record holds, or ends that go back.
  const size_t audio1 = Mapped(good).u32(unitdb_section_offset_at(6)) + Mapped(good).u32(Mapped(good).u32(unitdb_section_offset_at(3)) + 24);
  EXPECT_EQ(reject("samples", [&](Mapped& m) { m.bytes[audio1 + 8] = 200; }),
            "the voice database has a short audio record (instance 1)");
  EXPECT_EQ(reject("order", [&](Mapped& m) { m.bytes[audio1 + 4] = 1; }),
            "the voice database has decreasing frame ends (instance 1)");
  EXPECT_EQ(reject("table", [&](Mapped& m) { m.bytes[audio1] = 200; }),
            "the voice database has a short audio record (instance 1)");
}

}  // namespace

namespace {

std::vector<int16_t> sine(size_t n, double hz, double amplitude) {
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * i / 16000)));
  return s;
}

TEST(VoiceDbEdges, AToneGivesItsLevelPitchAndBand) {
  std::vector<int16_t> s = sine(3200, 200, 10000);
  JoinEdge e = voicedb_edge_from_samples(s.data(), s.size(), 1600, 16000);
  EXPECT_NEAR(e.edge_value, 7071, 60);
  EXPECT_EQ(e.edge_b, -27);                      // 40 log10(7071 / 32768)
  EXPECT_EQ(e.edge_level, 22);                   // 12 log2(200 / 55) = 22.35
  EXPECT_NEAR(e.reserved[0] | e.reserved[1] << 8, 2000, 20);  // f0 in tenths of Hz
  EXPECT_EQ(e.edge_a, 1);                        // about 4 crossings in 10 ms
  EXPECT_EQ(e.edge_c, 0);                        // 200 Hz lies in the first 500 Hz band
  EXPECT_GE(e.coef[0], 99);
  EXPECT_LT(e.coef[8], 60);

  std::vector<int16_t> high = sine(3200, 3100, 10000);
  JoinEdge h = voicedb_edge_from_samples(high.data(), high.size(), 1600, 16000);
  EXPECT_EQ(h.edge_c, 6);
}

TEST(VoiceDbEdges, SilenceNoiseAndTheEndsOfTheSamples) {
  std::vector<int16_t> quiet(3200, 0);
  JoinEdge z = voicedb_edge_from_samples(quiet.data(), quiet.size(), 1600, 16000);
  EXPECT_EQ(z.edge_value, 1);
  EXPECT_EQ(z.edge_b, -200);
  EXPECT_EQ(z.edge_level, 0);
  EXPECT_EQ(z.edge_c, 0);

  std::vector<int16_t> noise(3200);
  uint32_t x = 12345;
  for (int16_t& v : noise) {
    x = x * 1664525u + 1013904223u;
    v = static_cast<int16_t>(static_cast<int32_t>(x >> 16) % 8000 - 4000);
  }
  JoinEdge n = voicedb_edge_from_samples(noise.data(), noise.size(), 1600, 16000);
  EXPECT_EQ(n.edge_level, 0);
  EXPECT_GE(n.edge_a, 10);

  // Edges at the very ends use what exists; an empty buffer is silence.
  std::vector<int16_t> s = sine(3200, 200, 10000);
  JoinEdge first = voicedb_edge_from_samples(s.data(), s.size(), 0, 16000);
  JoinEdge last = voicedb_edge_from_samples(s.data(), s.size(), s.size(), 16000);
  EXPECT_NEAR(first.edge_value, 7071, 200);
  EXPECT_NEAR(last.edge_value, 7071, 200);
  EXPECT_EQ(voicedb_edge_from_samples(nullptr, 0, 0, 16000).edge_value, 1);
}

}  // namespace
