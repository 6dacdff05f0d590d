#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "core/coding.h"
#include "core/contract.h"
#include "tests/host/run_tool.h"
#include "tests/support/temp_dir.h"
#include "tools/dbwriter.h"

namespace {

using testutil::run_selvana;

// A PCM database whose section 3 holds one record: frames ending at 2 and 5.
struct PcmDb {
  testutil::TempDir dir;
  std::string path = dir.file("voice.db");
  uint32_t record_offset = 0;
  uint32_t record_size = 0;

  explicit PcmDb(uint32_t checksum = 2718093645u) {
    UnitDbParts p;
    p.checksum = checksum;
    p.units = {{"a-b", {}}};
    std::vector<uint8_t> record = {2, 0, 2, 0, 5, 0};
    for (int16_t s : {100, -100, 7, 8, -32768}) {
      record.push_back(static_cast<uint8_t>(s));
      record.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
    }
    p.sections[0] = record;
    for (int s = 1; s < 4; ++s) p.sections[s] = {0};
    std::string error;
    EXPECT_TRUE(unitdb_write(path, p, &error)) << error;
    std::vector<uint8_t> bytes = unitdb_build(p, &error);
    record_offset = read_le32(bytes.data() + unitdb_section_offset_at(3));
    record_size = static_cast<uint32_t>(record.size());
  }
};

TEST(SelvanaUnitDecode, WritesSamplesAndPrintsFrameEnds) {
  PcmDb db;
  std::string out = db.dir.file("out.pcm");
  auto r = run_selvana("unit-decode --db " + db.path + " --offset " + std::to_string(db.record_offset) +
                       " --size " + std::to_string(db.record_size) + " " + out);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "2 2 5\n");
  std::ifstream in(out, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<char> expected = {100, 0, -100, -1, 7, 0, 8, 0, 0, -128};
  EXPECT_EQ(bytes, expected);
}

TEST(SelvanaUnitDecode, FailuresAreOneLine) {
  PcmDb db;
  std::string out = db.dir.file("out.pcm");
  std::string base = "unit-decode --db " + db.path + " ";
  // A size that cuts the samples short: the record does not decode.
  auto r = run_selvana(base + "--offset " + std::to_string(db.record_offset) + " --size 7 " + out, true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  // Outside the file.
  r = run_selvana(base + "--offset 4000000000 --size 16 " + out, true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  // A database of another voice is refused at registration.
  PcmDb foreign(12345);
  r = run_selvana("unit-decode --db " + foreign.path + " --offset 0 --size 6 " + out, true);
  EXPECT_EQ(r.status, 1);
  // Bad usage.
  EXPECT_EQ(run_selvana("unit-decode --db " + db.path + " --offset x --size 1 " + out).status, 2);
  EXPECT_EQ(run_selvana("unit-decode --offset 1 --size 1 " + out).status, 2);
}

}  // namespace
