// Unit audio decoding through the codec slots, for every coding, on
// databases written at test time.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "core/coding.h"
#include "core/contract.h"
#include "core/features.h"
#include "core/platform.h"
#include "tests/support/temp_dir.h"
#include "tests/support/unit_audio.h"
#include "tools/dbwriter.h"
#include "unitdb/codecs.h"
#include "unitdb/unitdb.h"

namespace {

using testutil::TempDir;
using namespace unitaudio;
constexpr uint32_t kChecksum = 2718093645u;

// A registered database with a decoder context, as the host builds it.
struct Db {
  Features* features = nullptr;
  UnitDatabase* db = nullptr;
  DecoderContext* context = nullptr;
  int opened = 0;

  Db(const std::string& path, const UnitDbParts& parts) {
    std::string error;
    EXPECT_TRUE(unitdb_write(path, parts, &error)) << error;
    features = features_new();
    features_set_string(features, "name", "vox_pt_br_selvana");
    features_set_string(features, "checksum", "2718093645");
    db = unitdb_load(features, path.c_str());
    if (!db) return;
    context = static_cast<DecoderContext*>(heap_alloc(sizeof(DecoderContext)));
    context->file = db->file;
    context->handle = file_open(path.c_str(), kFileRead);
    opened = db->file->unit_open ? db->file->unit_open(context) : 1;
  }
  ~Db() {
    decoder_context_release(context);
    features_free(features);
  }
  // Decodes the record at `offset` of section 3.
  Track* decode(uint32_t offset, uint32_t size) {
    return db->file->unit_decode(context, db->section_3 + offset, size);
  }
};

std::vector<int16_t> samples_of(const Track* t) {
  std::vector<int16_t> s;
  uint32_t start = 0;
  for (int i = 0; i < t->num_frames; ++i) {
    s.insert(s.end(), t->frames[i], t->frames[i] + (t->frame_ends[i] - start));
    start = t->frame_ends[i];
  }
  return s;
}

UnitDbParts parts_for(uint32_t codec) {
  UnitDbParts p;
  p.codec_type = codec;
  p.units = {{"a-b", {}}};
  for (auto& s : p.sections) s = {0};
  return p;
}

TEST(Unscramble, KeyFromChecksumAndTail) {
  uint32_t sum = 0x04030201;
  Bytes six = {0x10, 0x20, 0x30, 0x40, 0x55, 0x66};
  unscramble(six.data(), 6, sum);
  EXPECT_EQ(six, (Bytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}));  // tail kept, only 4 bytes change
  Bytes eight = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80};
  unscramble(eight.data(), 8, sum);  // checksum then four zero bytes
  EXPECT_EQ(eight, (Bytes{0x11, 0x22, 0x33, 0x44, 0x50, 0x60, 0x70, 0x80}));
  Bytes nine = {0, 0, 0, 0, 0, 0, 0, 0, 0xaa};
  unscramble(nine.data(), 9, sum);  // tail byte 0xaa enters the key at position 4
  EXPECT_EQ(nine, (Bytes{1, 2, 3, 4, 0xaa, 0, 0, 0, 0xaa}));
  Bytes three = {0, 0, 0};
  unscramble(three.data(), 3, sum);  // too short for a tail: every byte
  EXPECT_EQ(three, (Bytes{1, 2, 3}));
  Bytes again = nine;
  unscramble(again.data(), 9, sum);  // the operation is its own inverse
  EXPECT_EQ(again, (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0xaa}));
}

TEST(PcmCodec, StoredSamplesCutAtFrameEnds) {
  TempDir dir;
  std::vector<int16_t> pcm = {1, -2, 3, -32768, 32767, 6, 7};
  UnitDbParts p = parts_for(2);
  Bytes record = frame_table({2, 2, 7});
  for (int16_t s : pcm) append_le16(record, static_cast<uint16_t>(s));
  Bytes empty = frame_table({});
  p.sections[0] = record;
  p.sections[0].insert(p.sections[0].end(), empty.begin(), empty.end());
  Db db(dir.file("db"), p);
  ASSERT_NE(db.db, nullptr);
  EXPECT_EQ(db.db->file->unit_open, nullptr);
  Track* t = db.decode(0, static_cast<uint32_t>(record.size()));
  ASSERT_NE(t, nullptr);
  ASSERT_EQ(t->num_frames, 3);
  EXPECT_EQ(t->frame_ends[0], 2u);
  EXPECT_EQ(t->frame_ends[1], 2u);
  EXPECT_EQ(t->frame_ends[2], 7u);
  EXPECT_EQ(t->frames[0][1], -2);
  EXPECT_EQ(t->frames[2][0], 3);
  EXPECT_EQ(samples_of(t), pcm);
  EXPECT_EQ(t->sample_rate, 0);
  value_release(value_new_object(kTypeTrack, t));  // the track's destructor
  Track* e = db.decode(static_cast<uint32_t>(record.size()), 2);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->num_frames, 0);
  track_free(e);
  // Damaged records: the frame table or the samples past the record's size.
  EXPECT_EQ(db.decode(0, 1), nullptr);
  EXPECT_EQ(db.decode(0, 7), nullptr);
  EXPECT_EQ(db.decode(0, static_cast<uint32_t>(record.size()) - 1), nullptr);
  Bytes decreasing = frame_table({5, 3});
  FrameTable table;
  EXPECT_FALSE(frame_table_read(decreasing.data(), static_cast<uint32_t>(decreasing.size()), &table));
}

// Vorbis fixtures: one encoded signal and its direct decoding.
class VorbisCodec : public testing::Test {
 protected:
  void SetUp() override {
    encoded = vorbis_encode(dir.path(), test_signal(8000, 1));
    reference = tremor_reference(encoded);
    ASSERT_GT(encoded.packets.size(), 5u);
    ASSERT_GT(reference.size(), 4000u);
  }
  TempDir dir;
  Encoded encoded;
  std::vector<int16_t> reference;
};

Bytes in_record_packets(const std::vector<Bytes>& packets) {
  Bytes b = {0xde, 0xad, 0xbe, 0xef};  // four bytes that are not read
  for (const Bytes& p : packets) {
    append_le16(b, static_cast<uint32_t>(p.size()));
    b.insert(b.end(), p.begin(), p.end());
  }
  return b;
}

TEST_F(VorbisCodec, InRecordLayoutMatchesTheDecoder) {
  UnitDbParts p = parts_for(8);
  p.codec_setup = encoded.headers;
  uint32_t total = static_cast<uint32_t>(reference.size()) - 100;
  Bytes record = frame_table({1000, 1000, total});
  Bytes body = in_record_packets(encoded.packets);
  record.insert(record.end(), body.begin(), body.end());
  Bytes short_record = frame_table({static_cast<uint32_t>(reference.size()) + 1});
  short_record.insert(short_record.end(), body.begin(), body.end());
  p.sections[0] = record;
  p.sections[0].insert(p.sections[0].end(), short_record.begin(), short_record.end());
  Db db(dir.file("db8"), p);
  ASSERT_NE(db.db, nullptr);
  ASSERT_EQ(db.opened, 1);
  for (int round = 0; round < 2; ++round) {  // units decode independently
    Track* t = db.decode(0, static_cast<uint32_t>(record.size()));
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->num_frames, 3);
    EXPECT_EQ(t->frame_ends[1] - t->frame_ends[0], 0u);
    EXPECT_EQ(samples_of(t), std::vector<int16_t>(reference.begin(), reference.begin() + total));
    track_free(t);
  }
  // Fewer samples than the frame table asks for: the in-record layout fails.
  EXPECT_EQ(db.decode(static_cast<uint32_t>(record.size()), static_cast<uint32_t>(short_record.size())), nullptr);
  // Shorter than 5 bytes after the frame table while samples are expected.
  EXPECT_EQ(db.decode(0, 8 + 4), nullptr);
  // A packet whose length runs past the record.
  EXPECT_EQ(db.decode(0, static_cast<uint32_t>(record.size()) - 1), nullptr);
}

TEST_F(VorbisCodec, TruncatedHeadersRefuseToOpen) {
  UnitDbParts p = parts_for(8);
  p.codec_setup = Bytes(encoded.headers.begin(), encoded.headers.end() - 10);
  Db db(dir.file("cut"), p);
  ASSERT_NE(db.db, nullptr);
  EXPECT_EQ(db.opened, 0);
  EXPECT_EQ(db.context->codec_state, nullptr);
  UnitDbParts none = parts_for(8);  // no codec setup at all
  Db db2(dir.file("none"), none);
  ASSERT_NE(db2.db, nullptr);
  EXPECT_EQ(db2.opened, 0);
}

// The file layout: packets with 1-byte lengths, scrambled, in section 4.
struct ScrambledUnit {
  UnitDbParts parts;
  uint32_t record_size;
};

ScrambledUnit scrambled_unit(const Encoded& e, const std::vector<uint32_t>& ends, uint32_t skip,
                             int packet_length_bytes) {
  UnitDbParts p = parts_for(packet_length_bytes == 1 ? 12 : 14);
  Bytes data;
  for (const Bytes& pk : e.packets) {
    Bytes s = pk;
    unscramble(s.data(), static_cast<uint32_t>(s.size()), kChecksum);  // scrambling is the same XOR
    if (packet_length_bytes == 1) data.push_back(static_cast<uint8_t>(s.size()));
    else append_le16(data, static_cast<uint32_t>(s.size()));
    data.insert(data.end(), s.begin(), s.end());
  }
  Bytes setup = e.headers;
  unscramble(setup.data(), static_cast<uint32_t>(setup.size()), kChecksum);
  if (packet_length_bytes == 1) p.codec_setup = setup;
  p.sections[1] = data;
  // Section 4 follows header, section 0, codec setup, index and section 3.
  uint32_t offset = 104 + static_cast<uint32_t>(p.section_0.size() + p.codec_setup.size() + 20);
  Bytes record = frame_table(ends);
  append_le16(record, skip);
  uint32_t record_size = static_cast<uint32_t>(record.size()) + 8;
  offset += record_size;
  append_le32(record, offset);
  append_le32(record, static_cast<uint32_t>(data.size()));
  p.sections[0] = record;
  return {p, record_size};
}

TEST_F(VorbisCodec, ScrambledFileLayoutSkipsAndPads) {
  // Skip more samples than the first packets give, so that the skip crosses
  // packet boundaries, and ask for more samples than remain: padded.
  uint32_t skip = 1500;
  uint32_t total = static_cast<uint32_t>(reference.size()) - skip + 300;
  ScrambledUnit u = scrambled_unit(encoded, {700, total}, skip, 1);
  Db db(dir.file("db12"), u.parts);
  ASSERT_NE(db.db, nullptr);
  ASSERT_EQ(db.opened, 1);
  Track* t = db.decode(0, u.record_size);
  ASSERT_NE(t, nullptr);
  std::vector<int16_t> expected(reference.begin() + skip, reference.end());
  expected.resize(total, 0);
  EXPECT_EQ(samples_of(t), expected);
  EXPECT_EQ(t->frame_ends[0], 700u);
  track_free(t);
  // A record pointing past the end of the file.
  Bytes bad = u.parts.sections[0];
  Bytes rec(bad.begin(), bad.begin() + u.record_size);
  write_le32(rec.data() + rec.size() - 8, 1u << 30);
  u.parts.sections[2] = rec;  // the damaged copy in section 5
  Db db2(dir.file("db12b"), u.parts);
  ASSERT_NE(db2.db, nullptr);
  EXPECT_EQ(db2.db->file->unit_decode(db2.context, db2.db->section_5, u.record_size), nullptr);
}

}  // namespace

namespace {

const std::string kSilkDir = std::string(SELVANA_SHARED_DIR) + "/testdata/silk/";

// The first `count` packets of a SILK vector, as encoded payloads.
std::vector<Bytes> silk_packets(const std::string& name, size_t count) {
  Bytes bits = read_all(kSilkDir + name + ".bit");
  std::vector<Bytes> packets = split_packets(bits);
  if (packets.size() > count) packets.resize(count);
  return packets;
}

std::vector<int16_t> silk_reference(const std::string& name, int rate) {
  Bytes raw = read_all(kSilkDir + name + "." + std::to_string(rate) + ".pcm");
  std::vector<int16_t> s(raw.size() / 2);
  memcpy(s.data(), raw.data(), 2 * s.size());
  return s;
}

struct SilkCase {
  const char* vector;
  uint32_t db_rate;   // header sample rate
  int api_rate;       // rate the reference was decoded at
};

class SilkCodec : public testing::TestWithParam<SilkCase> {};

TEST_P(SilkCodec, MatchesTheReferenceWithTheSkipApplied) {
  if (!std::filesystem::exists(kSilkDir + "MANIFEST.txt"))
    GTEST_SKIP() << "SILK test vectors not found under " << kSilkDir << " (the shared folder is absent)";
  const SilkCase& c = GetParam();
  TempDir dir;
  Encoded e;
  e.packets = silk_packets(c.vector, 40);
  std::vector<int16_t> reference = silk_reference(c.vector, c.api_rate);
  // Units decode from a fresh decoder, like the reference from its first packet.
  uint32_t skip = static_cast<uint32_t>(c.api_rate / 50 + 17);  // more than one frame
  uint32_t total = 3000;
  ScrambledUnit u = scrambled_unit(e, {100, 100, total}, skip, 2);
  u.parts.sample_rate = c.db_rate;
  Db db(dir.file("db14"), u.parts);
  ASSERT_NE(db.db, nullptr);
  ASSERT_EQ(db.opened, 1);
  for (int round = 0; round < 2; ++round) {
    Track* t = db.decode(0, u.record_size);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(samples_of(t), std::vector<int16_t>(reference.begin() + skip, reference.begin() + skip + total));
    EXPECT_EQ(t->frame_ends[2], total);
    track_free(t);
  }
}

INSTANTIATE_TEST_SUITE_P(Vectors, SilkCodec,
                         testing::Values(SilkCase{"silk_pub01_nb8k_20ms_8kbps_c0", 8000, 8000},
                                         SilkCase{"silk_pub03_wb16k_60ms_20kbps_c2_fec", 16000, 16000},
                                         SilkCase{"silk_pub04_swb24k_80ms_40kbps_c2", 22050, 24000},
                                         SilkCase{"silk_pub05_in48k_max24k_100ms_30kbps_c1", 48000, 48000}));

TEST(SilkCodecDamage, OversizedAndCutPacketsFailCleanly) {
  if (!std::filesystem::exists(kSilkDir + "MANIFEST.txt"))
    GTEST_SKIP() << "SILK test vectors not found under " << kSilkDir;
  TempDir dir;
  Encoded e;
  e.packets = silk_packets("silk_pub01_nb8k_20ms_8kbps_c0", 3);
  e.packets.push_back(Bytes(5133, 0x55));  // longer than the packet buffer
  ScrambledUnit u = scrambled_unit(e, {500}, 0, 2);
  Db db(dir.file("big"), u.parts);
  ASSERT_NE(db.db, nullptr);
  EXPECT_EQ(db.decode(0, u.record_size), nullptr);
  // A length that runs past the packet data.
  Encoded cut;
  cut.packets = silk_packets("silk_pub01_nb8k_20ms_8kbps_c0", 2);
  ScrambledUnit v = scrambled_unit(cut, {100}, 0, 2);
  Bytes& data = v.parts.sections[1];
  data[0] = 0xff;
  data[1] = 0x7f;
  Db db2(dir.file("cut"), v.parts);
  ASSERT_NE(db2.db, nullptr);
  EXPECT_EQ(db2.decode(0, v.record_size), nullptr);
  // A record whose frame table claims more bytes than the record has.
  EXPECT_EQ(db2.decode(0, 5), nullptr);
  // A good record decodes only with all ten bytes of its stored part (skip,
  // offset, size).
  Encoded good;
  good.packets = silk_packets("silk_pub01_nb8k_20ms_8kbps_c0", 3);
  ScrambledUnit w = scrambled_unit(good, {400}, 0, 2);
  Db db3(dir.file("good"), w.parts);
  ASSERT_NE(db3.db, nullptr);
  Track* t = db3.decode(0, w.record_size);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->frame_ends[0], 400u);
  track_free(t);
  EXPECT_EQ(db3.decode(0, w.record_size - 1), nullptr);
}

}  // namespace

namespace {

// Lines of /proc/self/maps: every mapping of the process.
int mapping_count() {
  std::ifstream in("/proc/self/maps");
  return static_cast<int>(std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

long resident_kib() {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  return 0;
}

// Registration through the module, a decoder context, one unit decoded, and
// unregistration, over and over: nothing may grow.
TEST(RegistrationCycles, TenThousandInAllFourCodingsLeaveNothingBehind) {
  void* module = dlopen(SELVANA_BIN_DIR "/" SELVANA_MODULE_FILE, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  auto reg = reinterpret_cast<RegisterVoiceFn>(dlsym(module, "register_voice"));
  auto unreg = reinterpret_cast<UnregisterVoiceFn>(dlsym(module, "unregister_voice"));
  TempDir dir;
  struct Coding {
    UnitDbParts parts;
    uint32_t record_size;
  };
  std::vector<Coding> codings;
  Coding pcm{parts_for(2), 0};
  Bytes record = frame_table({400});
  for (int16_t s : test_signal(400, 3)) append_le16(record, static_cast<uint16_t>(s));
  pcm.parts.sections[0] = record;
  pcm.record_size = static_cast<uint32_t>(record.size());
  codings.push_back(pcm);
  Encoded vorbis = vorbis_encode(dir.path(), test_signal(8000, 1));
  Coding in_record{parts_for(8), 0};
  in_record.parts.codec_setup = vorbis.headers;
  Bytes vrec = frame_table({3000});
  Bytes body = in_record_packets(vorbis.packets);
  vrec.insert(vrec.end(), body.begin(), body.end());
  in_record.parts.sections[0] = vrec;
  in_record.record_size = static_cast<uint32_t>(vrec.size());
  codings.push_back(in_record);
  ScrambledUnit file_layout = scrambled_unit(vorbis, {3000}, 100, 1);
  codings.push_back({file_layout.parts, file_layout.record_size});
  if (std::filesystem::exists(kSilkDir + "MANIFEST.txt")) {
    Encoded silk;
    silk.packets = silk_packets("silk_pub03_wb16k_60ms_20kbps_c2_fec", 10);
    ScrambledUnit s = scrambled_unit(silk, {2000}, 40, 2);
    codings.push_back({s.parts, s.record_size});
  } else {
    fprintf(stderr, "SILK test vectors not found under %s: three codings only\n", kSilkDir.c_str());
  }

  for (const Coding& c : codings) {
    std::string voxdir = dir.file("voice" + std::to_string(c.parts.codec_type));
    std::string error;
    ASSERT_TRUE(unitdb_write(unitdb_voice_path(voxdir, "vox_pt_br_selvana", kChecksum), c.parts, &error)) << error;
    auto cycle = [&] {
      Voice* v = reg(voxdir.c_str());
      ASSERT_NE(v, nullptr);
      auto* db = static_cast<UnitDatabase*>(features_get(v->features, "diphonedb")->body.p);
      auto* context = static_cast<DecoderContext*>(heap_alloc(sizeof(DecoderContext)));
      context->file = db->file;
      context->handle = file_open(db->file->path, kFileRead);
      ASSERT_TRUE(!db->file->unit_open || db->file->unit_open(context));
      Track* t = db->file->unit_decode(context, db->section_3, c.record_size);
      ASSERT_NE(t, nullptr) << "coding " << c.parts.codec_type;
      track_free(t);
      decoder_context_release(context);
      unreg(v);
    };
    for (int k = 0; k < 50; ++k) cycle();  // the allocator's pools settle
    const int fds = testutil::open_fd_count(), maps = mapping_count();
    [[maybe_unused]] const long rss = resident_kib();
    for (int k = 0; k < 2500; ++k) cycle();
    EXPECT_EQ(testutil::open_fd_count(), fds) << "coding " << c.parts.codec_type;
    EXPECT_EQ(mapping_count(), maps) << "coding " << c.parts.codec_type;
#ifndef SELVANA_SANITIZE  // the sanitizers' quarantine grows on purpose; LeakSanitizer checks there
    EXPECT_LT(resident_kib() - rss, 1024) << "coding " << c.parts.codec_type;
#endif
  }
  dlclose(module);
}

}  // namespace
