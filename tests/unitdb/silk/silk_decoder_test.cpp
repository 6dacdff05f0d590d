// Behaviour of the SILK decoder at its edges: API rate limits, oversized
// payloads, concealment of lost frames, the no-allocation guarantee and
// robustness against random and truncated input.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/platform.h"
#include "tests/unitdb/silk/silk_test_util.h"

namespace {

using silktest::Decoder;

// Packets of an 8 kHz, one-frame-per-packet vector, or none when the shared
// data is absent.
std::vector<std::vector<uint8_t>> narrowband_packets() {
  std::vector<uint8_t> bits;
  if (!silktest::read_bytes(silktest::vector_dir() + "/silk_pub01_nb8k_20ms_8kbps_c0.bit", &bits)) return {};
  return silktest::split_packets(bits);
}

std::vector<std::vector<uint8_t>> wideband_fec_packets() {
  std::vector<uint8_t> bits;
  if (!silktest::read_bytes(silktest::vector_dir() + "/silk_pub03_wb16k_60ms_20kbps_c2_fec.bit", &bits)) return {};
  return silktest::split_packets(bits);
}

#define NEED_PACKETS(p) \
  if ((p).empty()) GTEST_SKIP() << "no SILK vectors in " << silktest::vector_dir() << " (shared test data absent)"

struct Call {
  int ret;
  int16_t count;
};

Call decode(Decoder* decoder, SilkDecControl* control, const std::vector<uint8_t>& payload, int16_t* samples,
            int lost = 0) {
  Call c{0, -1};
  c.ret = silk_decode(decoder->state(), control, lost, payload.data(), static_cast<int32_t>(payload.size()), samples,
                      &c.count);
  return c;
}

int64_t energy(const int16_t* x, int n) {
  int64_t e = 0;
  for (int i = 0; i < n; i++) e += static_cast<int64_t>(x[i]) * x[i];
  return e;
}

TEST(SilkDecoder, SizeAndInit) {
  int32_t size = 0;
  EXPECT_EQ(silk_decoder_size(&size), 0);
  EXPECT_GT(size, 0);
  std::vector<uint8_t> memory(static_cast<size_t>(size), 0xa5);
  EXPECT_EQ(silk_init_decoder(reinterpret_cast<SilkDecoderState*>(memory.data())), 0);
}

TEST(SilkDecoder, ApiRateLimits) {
  const auto packets = narrowband_packets();
  NEED_PACKETS(packets);
  int16_t samples[kSilkMaxFrameSamples];
  int16_t reference[kSilkMaxFrameSamples];
  {
    // Reference: the first frame at its own rate.
    Decoder d;
    SilkDecControl c = {8000, 0, 1, 0, 0};
    Call r = decode(&d, &c, packets[0], reference);
    ASSERT_EQ(r.ret, 0);
    ASSERT_EQ(r.count, 160);
  }
  for (int32_t rate : {7999, 48001, 0, -16000, 96000}) {
    SCOPED_TRACE(rate);
    Decoder d;
    SilkDecControl c = {rate, 0, 1, 0, 0};
    std::fill(samples, samples + kSilkMaxFrameSamples, int16_t{0x5555});
    Call r = decode(&d, &c, packets[0], samples);
    EXPECT_EQ(r.ret, kSilkInvalidApiRate);
    // Not resampled: the frame comes back at the internal rate.
    ASSERT_EQ(r.count, 160);
    EXPECT_EQ(memcmp(samples, reference, 160 * sizeof(int16_t)), 0);
    EXPECT_EQ(c.frame_size, 0);
  }
  for (int32_t rate : {8000, 48000}) {
    Decoder d;
    SilkDecControl c = {rate, 0, 1, 0, 0};
    Call r = decode(&d, &c, packets[0], samples);
    EXPECT_EQ(r.ret, 0) << rate;
    EXPECT_EQ(r.count, rate / 50) << rate;
    EXPECT_EQ(c.frame_size, rate / 50) << rate;
  }
}

TEST(SilkDecoder, OversizedPayloadIsConcealedAndDecodingGoesOn) {
  const auto packets = narrowband_packets();
  NEED_PACKETS(packets);
  Decoder d;
  SilkDecControl c = {16000, 0, 1, 0, 0};
  int16_t samples[kSilkMaxFrameSamples];
  for (int i = 0; i < 20; i++) ASSERT_EQ(decode(&d, &c, packets[static_cast<size_t>(i)], samples).ret, 0);

  std::vector<uint8_t> big(1025, 0x5a);
  Call r = decode(&d, &c, big, samples);
  EXPECT_EQ(r.ret, kSilkPayloadTooLarge);
  EXPECT_EQ(r.count, 320);
  EXPECT_EQ(c.more_internal_frames, 0);
  EXPECT_EQ(c.frames_per_packet, 1);

  Call next = decode(&d, &c, packets[20], samples);
  EXPECT_EQ(next.ret, 0);
  EXPECT_EQ(next.count, 320);

  // 1024 bytes is still a payload: it may be garbage, but it is not refused as too large.
  std::vector<uint8_t> limit(1024, 0x5a);
  EXPECT_NE(decode(&d, &c, limit, samples).ret, kSilkPayloadTooLarge);
}

TEST(SilkDecoder, FirstFrameOversizedOnFreshDecoder) {
  Decoder d;
  SilkDecControl c = {24000, 0, 1, 0, 0};
  std::vector<uint8_t> big(1025, 0xff);
  int16_t samples[kSilkMaxFrameSamples];
  Call r = decode(&d, &c, big, samples);
  EXPECT_EQ(r.ret, kSilkPayloadTooLarge);
  EXPECT_EQ(r.count, 480);  // 24 kHz after initialisation, copied through
  EXPECT_EQ(c.more_internal_frames, 0);
}

// Arguments no encoder produces still give a concealed frame of normal length.
TEST(SilkDecoder, OddArgumentsAreConcealed) {
  Decoder d;
  SilkDecControl c = {16000, 0, 1, 0, 0};
  int16_t samples[kSilkMaxFrameSamples];
  int16_t count = -1;
  EXPECT_EQ(silk_decode(d.state(), &c, 0, nullptr, 0, samples, &count), kSilkPayloadError);
  EXPECT_EQ(count, 320);
  const uint8_t bytes[4] = {1, 2, 3, 4};
  count = -1;
  EXPECT_EQ(silk_decode(d.state(), &c, 0, bytes, -5, samples, &count), kSilkPayloadError);
  EXPECT_EQ(count, 320);
  EXPECT_EQ(c.more_internal_frames, 0);
  // Any non-zero loss flag means a lost frame.
  count = -1;
  EXPECT_EQ(silk_decode(d.state(), &c, 7, bytes, 4, samples, &count), 0);
  EXPECT_EQ(count, 320);
}

TEST(SilkDecoder, LostFramesAreConcealedAndFadeOut) {
  const auto packets = wideband_fec_packets();
  NEED_PACKETS(packets);
  Decoder d;
  SilkDecControl c = {16000, 0, 1, 0, 0};
  int16_t samples[kSilkMaxFrameSamples];
  int64_t good_energy = 0;
  // Decode into the middle of the sentence.
  for (size_t p = 0; p < 12; p++) {
    do {
      Call r = decode(&d, &c, packets[p], samples);
      ASSERT_EQ(r.ret, 0);
      good_energy = energy(samples, r.count);
    } while (c.more_internal_frames == 1);
  }
  ASSERT_GT(good_energy, 0);

  // Each lost frame is a full frame; the extrapolated signal fades away.
  std::vector<uint8_t> none;
  std::vector<int64_t> lost_energy;
  for (int i = 0; i < 12; i++) {
    Call r = decode(&d, &c, none, samples, 1);
    EXPECT_EQ(r.ret, 0);
    ASSERT_EQ(r.count, 320);
    lost_energy.push_back(energy(samples, r.count));
  }
  EXPECT_GT(lost_energy.front(), 0);
  EXPECT_LT(lost_energy.back() * 10, lost_energy.front());

  // Good frames decode again after the gap.
  Call r = decode(&d, &c, packets[12], samples);
  EXPECT_EQ(r.ret, 0);
  EXPECT_EQ(r.count, 320);
}

TEST(SilkDecoder, DecodingAllocatesNothing) {
  const auto packets = wideband_fec_packets();
  NEED_PACKETS(packets);
  for (int32_t rate : {8000, 16000, 44100, 48000}) {
    Decoder d;
    SilkDecControl c = {rate, 0, 1, 0, 0};
    int16_t samples[kSilkMaxFrameSamples];
    std::vector<uint8_t> big(1100, 1);
    const uint64_t before = heap_alloc_count();
    int calls = 0;
    for (const auto& packet : packets) {
      do {
        decode(&d, &c, packet, samples);
        calls++;
      } while (c.more_internal_frames == 1);
    }
    decode(&d, &c, big, samples);
    decode(&d, &c, big, samples, 1);
    EXPECT_EQ(heap_alloc_count(), before) << rate;
    EXPECT_GT(calls, 100);
  }
}

// A call that ends on a bad API rate may still switch the internal rate; the
// next good call must set the resampler up for the new rate instead of
// running one made for the old rate (which would write past the output).
TEST(SilkDecoder, RateSwitchDuringBadRateCallResetsResampler) {
  std::vector<uint8_t> bits;
  if (!silktest::read_bytes(silktest::vector_dir() + "/silk_pub04_swb24k_80ms_40kbps_c2.bit", &bits))
    GTEST_SKIP() << "no SILK vectors in " << silktest::vector_dir();
  const auto swb = silktest::split_packets(bits);
  const auto nb = narrowband_packets();
  NEED_PACKETS(nb);
  for (int32_t rate : {47999, 44100, 32000}) {
    Decoder d;
    SilkDecControl c = {rate, 0, 1, 0, 0};
    int16_t samples[kSilkMaxFrameSamples + 8];
    // 8 kHz first: the resampler is made for 8 kHz input.
    ASSERT_EQ(decode(&d, &c, nb[0], samples).ret, 0);
    // This call switches to 24 kHz but returns early.
    c.api_sample_rate = 7999;
    ASSERT_EQ(decode(&d, &c, swb[0], samples).ret, kSilkInvalidApiRate);
    c.api_sample_rate = rate;
    std::fill(samples, samples + kSilkMaxFrameSamples + 8, int16_t{0x7777});
    Call r = decode(&d, &c, swb[1], samples);
    EXPECT_EQ(r.ret, 0);
    EXPECT_EQ(r.count, rate / 50);
    for (int i = kSilkMaxFrameSamples; i < kSilkMaxFrameSamples + 8; i++) EXPECT_EQ(samples[i], 0x7777) << rate;
  }
}

// Random payloads, real packets cut short or with flipped bits, random API
// rates and losses: every call must stay inside its buffers (checked by the
// sanitizer build), return a known code and a sane sample count.
TEST(SilkDecoder, RandomAndDamagedInputIsHandled) {
  auto packets = wideband_fec_packets();
  auto narrow = narrowband_packets();
  packets.insert(packets.end(), narrow.begin(), narrow.end());
  std::mt19937 rng(20240601);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const int32_t rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 7999, 48001, 9000, 47999};

  int16_t samples[kSilkMaxFrameSamples + 16];
  const char* rounds_text = getenv("SELVANA_SILK_FUZZ_ROUNDS");  // longer runs on demand
  const int rounds = rounds_text ? atoi(rounds_text) : 40;
  for (int round = 0; round < rounds; round++) {
    Decoder d;
    SilkDecControl c = {rates[pick(0, 12)], 0, 1, 0, 0};
    for (int call = 0; call < 150; call++) {
      if (pick(0, 9) == 0) c.api_sample_rate = rates[pick(0, 12)];
      std::vector<uint8_t> payload;
      int kind = packets.empty() ? 0 : pick(0, 3);
      if (kind == 0) {
        payload.resize(static_cast<size_t>(pick(0, 1100)));
        for (uint8_t& b : payload) b = static_cast<uint8_t>(pick(0, 255));
      } else {
        payload = packets[static_cast<size_t>(pick(0, static_cast<int>(packets.size()) - 1))];
        if (kind == 1) payload.resize(static_cast<size_t>(pick(0, static_cast<int>(payload.size()))));
        if (kind == 2 && !payload.empty())
          for (int f = pick(1, 4); f > 0; f--) payload[static_cast<size_t>(pick(0, static_cast<int>(payload.size()) - 1))] ^= static_cast<uint8_t>(pick(1, 255));
      }
      const int lost = pick(0, 15) == 0 ? 1 : 0;
      const bool rate_ok = c.api_sample_rate >= 8000 && c.api_sample_rate <= 48000;
      int frames = 0;
      Call r{0, 0};
      do {
        samples[kSilkMaxFrameSamples] = 0x7777;
        r = decode(&d, &c, payload, samples, lost);
        ASSERT_TRUE(r.ret == 0 || r.ret == kSilkPayloadTooLarge || r.ret == kSilkPayloadError ||
                    r.ret == kSilkInvalidApiRate)
            << r.ret;
        ASSERT_EQ(r.ret == kSilkInvalidApiRate, !rate_ok);
        if (rate_ok) {
          ASSERT_EQ(r.count, c.api_sample_rate / 50);
        } else {
          ASSERT_TRUE(r.count == 160 || r.count == 240 || r.count == 320 || r.count == 480) << r.count;
        }
        ASSERT_EQ(samples[kSilkMaxFrameSamples], 0x7777) << c.api_sample_rate << " " << r.count << " " << r.ret << " kind " << kind << " lost " << lost << " len " << payload.size();
        ASSERT_TRUE(c.more_internal_frames == 0 || c.more_internal_frames == 1);
        ASSERT_LE(++frames, 5);
        // A bad API rate leaves the control's out fields as they were.
      } while (c.more_internal_frames == 1 && !lost && r.ret != kSilkInvalidApiRate);
    }
  }
}

}  // namespace
