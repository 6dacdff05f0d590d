#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <filesystem>
#include <unistd.h>

#include "core/coding.h"
#include "core/features.h"
#include "core/platform.h"
#include "tests/support/temp_dir.h"
#include "tools/dbwriter.h"
#include "unitdb/unitdb.h"

namespace {

using testutil::TempDir;

constexpr const char kName[] = "vox_pt_br_selvana";
constexpr const char kChecksum[] = "2718093645";

UnitDbParts good_parts() {
  UnitDbParts p;
  p.units = {{"pau-a", {1, 2}}, {"a-pau", {}}, {"a", {}}, {"a-b", {}}, {"\xe9-a", {}}};
  for (int s = 0; s < 4; ++s) p.sections[s] = std::vector<uint8_t>(8 + s, static_cast<uint8_t>(s + 3));
  p.section_0 = {9, 9};
  return p;
}

std::vector<uint8_t> build(const UnitDbParts& p) {
  std::string error;
  std::vector<uint8_t> b = unitdb_build(p, &error);
  EXPECT_FALSE(b.empty()) << error;
  return b;
}

Features* voice_features(const char* checksum = kChecksum) {
  Features* f = features_new();
  features_set_string(f, "name", kName);
  if (checksum) features_set_string(f, "checksum", checksum);
  return f;
}

// Loads with stderr captured; returns the database (or null) and the message.
UnitDatabase* load(Features* f, const char* voxdir, std::string* message) {
  testing::internal::CaptureStderr();
  UnitDatabase* db = unitdb_load(f, voxdir);
  *message = testing::internal::GetCapturedStderr();
  return db;
}

TEST(UnitDbPath, FromNameOrDbNameAndChecksum) {
  Features* f = voice_features();
  char* p = unitdb_path(f, "/voices");
  EXPECT_STREQ(p, "/voices/vox_pt_br_selvana/2718093645/vox_pt_br_selvana22v");
  heap_free(p);
  features_set_string(f, "voxdbname", "other");
  p = unitdb_path(f, "/v");
  EXPECT_STREQ(p, "/v/other/2718093645/other22v");
  heap_free(p);
  features_remove(f, "checksum");
  EXPECT_EQ(unitdb_path(f, "/v"), nullptr);
  features_free(f);
  Features* empty = features_new();
  EXPECT_EQ(unitdb_path(empty, "/v"), nullptr);
  features_free(empty);
}

TEST(UnitDbLoad, GoodFileThroughEachPathChoice) {
  TempDir dir;
  std::string voice_path = unitdb_voice_path(dir.path(), kName, 2718093645u);
  testutil::write_bytes(voice_path, build(good_parts()));
  int fds = testutil::open_fd_count();

  // A directory: the voice path inside it.
  Features* f = voice_features();
  std::string msg;
  UnitDatabase* db = load(f, dir.path().c_str(), &msg);
  ASSERT_NE(db, nullptr) << msg;
  EXPECT_EQ(msg, "");
  EXPECT_EQ(db->unit_count, 5u);
  EXPECT_STREQ(db->name, kName);
  EXPECT_EQ(db->checksum, 2718093645u);
  EXPECT_EQ(features_get_int(f, "sample_rate"), 16000);
  EXPECT_EQ(value_diphonedb(features_get(f, "diphonedb")), db);
  EXPECT_EQ(db->section_3[0], 3);
  EXPECT_EQ(db->section_6[0], 6);
  EXPECT_EQ(db->file->section_0[0], 9);
  EXPECT_EQ(db->file->section_0_size, 2u);
  EXPECT_EQ(db->file->codec_setup, nullptr);
  EXPECT_EQ(db->file->unit_decode != nullptr, true);
  EXPECT_STREQ(db->file->path, voice_path.c_str());
  EXPECT_TRUE(testutil::mapped(voice_path));
  EXPECT_EQ(testutil::open_fd_count(), fds + 1);  // the mapping's own handle
  features_free(f);  // the diphonedb value unmaps and closes everything
  EXPECT_FALSE(testutil::mapped(voice_path));
  EXPECT_EQ(testutil::open_fd_count(), fds);

  // A file given directly.
  f = voice_features();
  db = load(f, voice_path.c_str(), &msg);
  ASSERT_NE(db, nullptr) << msg;
  features_free(f);

  // No directory: the voice's name is the path, relative to the working folder.
  std::string cwd = std::filesystem::current_path().string();
  std::filesystem::create_directories(dir.file("cwd"));
  std::filesystem::copy_file(voice_path, dir.file("cwd") + "/" + kName);
  ASSERT_EQ(chdir(dir.file("cwd").c_str()), 0);
  f = voice_features();
  db = load(f, nullptr, &msg);
  EXPECT_NE(db, nullptr) << msg;
  features_free(f);
  ASSERT_EQ(chdir(cwd.c_str()), 0);
}

TEST(UnitDbLoad, ChecksumWithLeadingSpacesAndZeros) {
  TempDir dir;
  std::string path = dir.file("db");
  testutil::write_bytes(path, build(good_parts()));
  for (const char* sum : {"  2718093645", "0002718093645", "2718093645xyz"}) {
    Features* f = voice_features(sum);
    std::string msg;
    EXPECT_NE(load(f, path.c_str(), &msg), nullptr) << sum;
    features_free(f);
  }
  Features* f = voice_features(nullptr);  // no checksum on the voice: not compared
  std::string msg;
  EXPECT_NE(load(f, path.c_str(), &msg), nullptr);
  features_free(f);
}

TEST(UnitDbLoad, CodecSetupOfSizeZeroIsAbsent) {
  TempDir dir;
  UnitDbParts p = good_parts();
  p.codec_setup = {1, 2, 3};
  std::vector<uint8_t> bytes = build(p);
  std::string path = dir.file("db");
  testutil::write_bytes(path, bytes);
  Features* f = voice_features();
  std::string msg;
  UnitDatabase* db = load(f, path.c_str(), &msg);
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(db->file->codec_setup_size, 3u);
  EXPECT_EQ(db->file->codec_setup[2], 3);
  features_free(f);
  write_le32(bytes.data() + unitdb_section_size_at(1), 0);  // offset stays, size 0
  testutil::write_bytes(path, bytes);
  f = voice_features();
  db = load(f, path.c_str(), &msg);
  ASSERT_NE(db, nullptr);
  EXPECT_EQ(db->file->codec_setup, nullptr);
  features_free(f);
}

struct Failure {
  const char* what;
  std::function<void(std::vector<uint8_t>&)> damage;
  const char* message;  // printf pattern with the path, or "" for none
};

TEST(UnitDbLoad, FailureTableAndDamagedFiles) {
  const char* kOpen = "**Error: cannot open or incorrect file `%s'\n";
  const char* kLacks = "**Error: file `%s' lacks needed features\n";
  std::vector<Failure> cases = {
      {"empty file", [](auto& b) { b.clear(); }, kOpen},
      {"truncated header", [](auto& b) { b.resize(103); }, kOpen},
      {"wrong magic", [](auto& b) { b[0] ^= 1; }, kOpen},
      {"codec type 3", [](auto& b) { write_le32(b.data() + kUnitDbCodecTypeAt, 3); }, kOpen},
      {"name differs", [](auto& b) { b[4] = 'V'; }, ""},
      {"checksum differs", [](auto& b) { write_le32(b.data() + kUnitDbChecksumAt, 2718093646u); }, ""},
      {"no unit index", [](auto& b) { write_le32(b.data() + unitdb_section_offset_at(2), 0); }, kLacks},
      {"no section 3", [](auto& b) { write_le32(b.data() + unitdb_section_offset_at(3), 0); }, kLacks},
      {"no section 4", [](auto& b) { write_le32(b.data() + unitdb_section_offset_at(4), 0); }, kLacks},
      {"no section 5", [](auto& b) { write_le32(b.data() + unitdb_section_offset_at(5), 0); }, kLacks},
      {"no section 6", [](auto& b) { write_le32(b.data() + unitdb_section_offset_at(6), 0); }, kLacks},
      {"file cut short", [](auto& b) { b.resize(b.size() - 1); }, kOpen},
      {"section 0 past the end", [](auto& b) { write_le32(b.data() + unitdb_section_size_at(0), static_cast<uint32_t>(b.size())); }, kOpen},
      {"codec setup past the end",
       [](auto& b) {
         write_le32(b.data() + unitdb_section_offset_at(1), 200);
         write_le32(b.data() + unitdb_section_size_at(1), static_cast<uint32_t>(b.size()));
       },
       kOpen},
      {"index past the end", [](auto& b) { write_le32(b.data() + unitdb_section_size_at(2), 1u << 20); }, kOpen},
      {"section 6 offset past the end", [](auto& b) { write_le32(b.data() + unitdb_section_offset_at(6), 1u << 30); }, kOpen},
      {"overflowing sum",
       [](auto& b) {
         write_le32(b.data() + unitdb_section_offset_at(3), 0xfffffff0u);
         write_le32(b.data() + unitdb_section_size_at(3), 0x20);
       },
       kOpen},
      {"overflowing index size", [](auto& b) { write_le32(b.data() + unitdb_section_size_at(2), 0xffffffffu); }, kOpen},
  };
  TempDir dir;
  std::string path = dir.file("db");
  std::vector<uint8_t> good = build(good_parts());
  int fds = testutil::open_fd_count();
  for (const Failure& c : cases) {
    std::vector<uint8_t> bytes = good;
    c.damage(bytes);
    testutil::write_bytes(path, bytes);
    Features* f = voice_features();
    std::string msg;
    EXPECT_EQ(load(f, path.c_str(), &msg), nullptr) << c.what;
    char expected[512];
    snprintf(expected, sizeof expected, c.message, path.c_str());
    EXPECT_EQ(msg, expected) << c.what;
    EXPECT_FALSE(features_present(f, "diphonedb")) << c.what;
    EXPECT_FALSE(features_present(f, "sample_rate")) << c.what;
    EXPECT_EQ(testutil::open_fd_count(), fds) << c.what;
    EXPECT_FALSE(testutil::mapped(path)) << c.what;
    features_free(f);
  }
  Features* f = voice_features();
  std::string msg;
  std::string missing = dir.file("missing");
  EXPECT_EQ(load(f, missing.c_str(), &msg), nullptr);
  EXPECT_EQ(msg, "**Error: cannot open or incorrect file `" + missing + "'\n");
  features_free(f);
}

UnitDatabase in_memory(std::vector<UnitIndexRecord>& records) {
  UnitDatabase db{};
  db.unit_count = static_cast<uint32_t>(records.size());
  db.unit_index = records.data();
  return db;
}

UnitIndexRecord record(const char* name) {
  UnitIndexRecord r{};
  memcpy(r.name, name, strnlen(name, 20));
  return r;
}

TEST(UnitIndexFind, BinarySearchOverNames) {
  std::vector<UnitIndexRecord> none;
  UnitDatabase empty = in_memory(none);
  EXPECT_EQ(unit_index_find(&empty, "a"), -1);
  std::vector<UnitIndexRecord> one = {record("a-b")};
  UnitDatabase single = in_memory(one);
  EXPECT_EQ(unit_index_find(&single, "a-b"), 0);
  EXPECT_EQ(unit_index_find(&single, "a"), -1);
  EXPECT_EQ(unit_index_find(&single, "a-bc"), -1);
  // A prefix sorts before its extensions; bytes compare unsigned.
  std::vector<UnitIndexRecord> many = {record("a"), record("a-a"), record("a-b"), record("b-a"),
                                       record("pau-a"), record("\xe9-a")};
  UnitDatabase db = in_memory(many);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(unit_index_find(&db, many[i].name), i);
  EXPECT_EQ(unit_index_find(&db, ""), -1);
  EXPECT_EQ(unit_index_find(&db, "a-"), -1);
  EXPECT_EQ(unit_index_find(&db, "zz"), -1);
  EXPECT_EQ(unit_index_find(&db, "\xff"), -1);
}

TEST(UnitIndexFind, UnterminatedNamesAreNeverReadPastTheirRecord) {
  // Records packed at the very end of a heap block: the sanitizer build
  // catches any read past the last one.
  auto* records = static_cast<UnitIndexRecord*>(heap_alloc(2 * sizeof(UnitIndexRecord)));
  memcpy(records[0].name, "aaaaaaaaaaaaaaaaaaaa", 20);
  memcpy(records[1].name, "bbbbbbbbbbbbbbbbbbbb", 20);
  UnitDatabase db{};
  db.unit_count = 2;
  db.unit_index = records;
  EXPECT_EQ(unit_index_find(&db, "bbbbbbbbbbbbbbbbbbbb"), 1);
  EXPECT_EQ(unit_index_find(&db, "bbbbbbbbbbbbbbbbbbbbbbbb"), -1);
  EXPECT_EQ(unit_index_find(&db, "aaaaaaaaaaaaaaaaaaa"), -1);
  heap_free(records);
}

TEST(UnitDbLoad, LookupDoesNotAllocate) {
  TempDir dir;
  std::string path = dir.file("db");
  testutil::write_bytes(path, build(good_parts()));
  Features* f = voice_features();
  std::string msg;
  UnitDatabase* db = load(f, path.c_str(), &msg);
  ASSERT_NE(db, nullptr);
  uint64_t before = heap_alloc_count();
  EXPECT_EQ(unit_index_find(db, "a"), 0);
  EXPECT_EQ(unit_index_find(db, "pau-a"), 3);
  EXPECT_EQ(unit_index_find(db, "\xe9-a"), 4);
  EXPECT_EQ(unit_index_find(db, "x"), -1);
  EXPECT_EQ(heap_alloc_count(), before);
  features_free(f);
}

}  // namespace
