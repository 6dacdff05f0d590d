// Bit-exactness of the SILK decoder on the shared vectors: every packets file
// at every API rate, decoded PCM and per-call log, damaged vectors included,
// plus the one-call checks of the invalid API rates.
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "tests/unitdb/silk/silk_test_util.h"

namespace {

constexpr int32_t kRates[] = {8000, 12000, 16000, 24000, 32000, 44100, 48000};

std::vector<std::string> vector_names() {
  std::vector<std::string> names;
  DIR* dir = opendir(silktest::vector_dir().c_str());
  if (!dir) return names;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bit") == 0) names.push_back(name.substr(0, name.size() - 4));
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

#define SKIP_WITHOUT_VECTORS(names)                                                                 \
  if ((names).empty())                                                                              \
  GTEST_SKIP() << "no SILK vectors in " << silktest::vector_dir() << " (shared test data absent)"

TEST(SilkVectors, EveryVectorAndRateMatchesPcmAndLog) {
  const std::vector<std::string> names = vector_names();
  SKIP_WITHOUT_VECTORS(names);
  const std::string dir = silktest::vector_dir();
  int checked = 0;
  for (const std::string& name : names) {
    std::vector<uint8_t> bits;
    ASSERT_TRUE(silktest::read_bytes(dir + "/" + name + ".bit", &bits)) << name;
    const auto packets = silktest::split_packets(bits);
    ASSERT_FALSE(packets.empty()) << name;
    for (int32_t rate : kRates) {
      const std::string base = dir + "/" + name + "." + std::to_string(rate);
      std::vector<uint8_t> expected_pcm;
      if (!silktest::read_bytes(base + ".pcm", &expected_pcm)) continue;
      const std::vector<std::string> expected_log = silktest::read_lines(base + ".log");
      SCOPED_TRACE(name + " at " + std::to_string(rate) + " Hz");

      silktest::DecodeResult got = silktest::decode_packets(packets, rate);
      ASSERT_EQ(got.pcm.size(), expected_pcm.size());
      auto mismatch = std::mismatch(got.pcm.begin(), got.pcm.end(), expected_pcm.begin());
      EXPECT_TRUE(mismatch.first == got.pcm.end())
          << "first differing byte at offset " << (mismatch.first - got.pcm.begin());
      ASSERT_EQ(got.log.size(), expected_log.size());
      for (size_t i = 0; i < got.log.size(); i++) ASSERT_EQ(got.log[i], expected_log[i]) << "log line " << i;
      checked++;
    }
  }
  EXPECT_GE(checked, 7);
}

// The damaged vectors carry the codes the MANIFEST lists: -12 for bit errors
// and truncation, -11 for the oversized packet, and nothing else.
TEST(SilkVectors, DamagedVectorsReportTheirCodes) {
  const std::vector<std::string> names = vector_names();
  SKIP_WITHOUT_VECTORS(names);
  const std::string dir = silktest::vector_dir();
  struct Case {
    const char* name;
    std::vector<std::pair<int, int>> codes;  // packet, code
  };
  const Case cases[] = {
      {"silk_pub10_damaged_flip_trunc", {{16, -12}, {26, -12}, {34, -12}, {36, -12}}},
      {"silk_pub11_damaged_oversize", {{43, -11}}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bits;
    if (!silktest::read_bytes(dir + "/" + c.name + ".bit", &bits)) continue;
    silktest::DecodeResult got = silktest::decode_packets(silktest::split_packets(bits), 16000);
    std::vector<std::pair<int, int>> codes;
    for (const std::string& line : got.log) {
      int pkt = 0, ret = 0;
      ASSERT_EQ(sscanf(line.c_str(), "%d %d", &pkt, &ret), 2);
      if (ret != 0) codes.emplace_back(pkt, ret);
    }
    EXPECT_EQ(codes, c.codes) << c.name;
  }
}

TEST(SilkVectors, BadRateFilesMatch) {
  const std::vector<std::string> names = vector_names();
  SKIP_WITHOUT_VECTORS(names);
  const std::string dir = silktest::vector_dir();
  int checked = 0;
  for (const std::string& name : names) {
    const std::vector<std::string> expected = silktest::read_lines(dir + "/" + name + ".badrate.txt");
    if (expected.empty()) continue;
    std::vector<uint8_t> bits;
    ASSERT_TRUE(silktest::read_bytes(dir + "/" + name + ".bit", &bits));
    const auto packets = silktest::split_packets(bits);
    for (const std::string& line : expected) {
      int32_t rate = 0;
      ASSERT_EQ(sscanf(line.c_str(), "%d", &rate), 1) << line;
      silktest::Decoder decoder;
      SilkDecControl control = {};
      control.api_sample_rate = rate;
      control.frames_per_packet = 1;
      int16_t samples[kSilkMaxFrameSamples];
      int16_t count = 0;
      int ret = silk_decode(decoder.state(), &control, 0, packets[0].data(), static_cast<int32_t>(packets[0].size()),
                            samples, &count);
      char got[160];
      snprintf(got, sizeof(got), "%d 0 %d %d %d %d %d %d", rate, ret, count, control.frame_size,
               control.frames_per_packet, control.more_internal_frames, control.inband_fec_offset);
      EXPECT_EQ(std::string(got), line) << name;
      checked++;
    }
  }
  EXPECT_GT(checked, 0);
}

}  // namespace
