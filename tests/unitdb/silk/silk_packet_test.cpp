// Packet bookkeeping of the SILK decoder on packets built here with a small
// range encoder: the five-frame limit, frame counts and the in-band FEC
// offset that the frame termination codes announce.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/unitdb/silk/silk_test_util.h"
#include "unitdb/silk/silk_tables.h"

namespace {

// Range encoder matching the decoder: 16-bit range, 32-bit base, bytes out
// as the range shrinks, carries propagated back into the written bytes.
class RangeEncoder {
 public:
  void encode(int symbol, const uint16_t* cdf) {
    const uint32_t low = cdf[symbol];
    const uint32_t high = cdf[symbol + 1];
    const uint32_t old_base = base_;
    base_ += range_ * low;
    const uint32_t range32 = range_ * (high - low);
    if (base_ < old_base) {
      size_t i = bytes_.size();
      while (++bytes_[--i] == 0) {
      }
    }
    if (range32 & 0xff000000u) {
      range_ = range32 >> 16;
      return;
    }
    if (range32 & 0xffff0000u) {
      range_ = range32 >> 8;
    } else {
      range_ = range32;
      put_byte();
    }
    put_byte();
  }
  // Writes out the whole base, which any decoder state accepts.
  std::vector<uint8_t> finish() {
    for (int i = 0; i < 4; i++) put_byte();
    return bytes_;
  }

 private:
  void put_byte() {
    bytes_.push_back(static_cast<uint8_t>(base_ >> 24));
    base_ <<= 8;
  }
  uint32_t base_ = 0;
  uint32_t range_ = 0xffff;
  std::vector<uint8_t> bytes_;
};

// One silent-ish unvoiced 16 kHz frame with the given termination code.
void encode_frame(RangeEncoder* rc, bool first_in_packet, int vad, int termination) {
  using namespace silk;
  if (first_in_packet) rc->encode(2, kSamplingRatesCdf);  // 16 kHz
  // Unvoiced, low quantisation offset: type-offset symbol 2.
  rc->encode(2, first_in_packet ? kTypeOffsetCdf : kTypeOffsetJointCdf[2]);
  if (first_in_packet) {
    rc->encode(20, kGainCdf[1]);
  } else {
    rc->encode(4, kDeltaGainCdf);  // index change 0
  }
  for (int i = 1; i < 4; i++) rc->encode(4, kDeltaGainCdf);
  const NlsfCodebook& cb = kNlsfCodebook1Order16;
  for (int s = 0; s < cb.stages; s++) rc->encode(0, cb.cdf + cb.cdf_starts[s]);
  rc->encode(4, kNlsfInterpFactorCdf);
  rc->encode(0, kSeedCdf);
  rc->encode(0, kRateLevelsCdf[1]);
  for (int block = 0; block < 320 / 16; block++) rc->encode(0, kPulsesPerBlockCdf[0]);
  rc->encode(vad, kVadFlagCdf);
  rc->encode(termination, kFrameTerminationCdf);
}

std::vector<uint8_t> make_packet(const std::vector<int>& terminations, int vad = 1) {
  RangeEncoder rc;
  for (size_t f = 0; f < terminations.size(); f++) encode_frame(&rc, f == 0, vad, terminations[f]);
  return rc.finish();
}

struct PacketResult {
  int calls = 0;
  int last_ret = 0;
  SilkDecControl control = {};
};

// Decodes one packet the usual way: again while more frames follow.
PacketResult decode_packet(silktest::Decoder* d, SilkDecControl* control, const std::vector<uint8_t>& packet) {
  PacketResult r;
  int16_t samples[kSilkMaxFrameSamples];
  do {
    int16_t count = 0;
    r.last_ret = silk_decode(d->state(), control, 0, packet.data(), static_cast<int32_t>(packet.size()), samples,
                             &count);
    EXPECT_EQ(count, 320);
    if (++r.calls > 10) break;
  } while (control->more_internal_frames == 1);
  r.control = *control;
  return r;
}

TEST(SilkPackets, FramesUpToTerminationAreDecoded) {
  silktest::Decoder d;
  SilkDecControl c = {16000, 0, 1, 0, 0};
  PacketResult r = decode_packet(&d, &c, make_packet({1, 1, 0}));
  EXPECT_EQ(r.last_ret, 0);
  EXPECT_EQ(r.calls, 3);
  EXPECT_EQ(r.control.frames_per_packet, 3);
  EXPECT_EQ(r.control.more_internal_frames, 0);

  r = decode_packet(&d, &c, make_packet({0}));
  EXPECT_EQ(r.calls, 1);
  EXPECT_EQ(r.control.frames_per_packet, 1);
}

TEST(SilkPackets, PacketStopsAfterFiveFrames) {
  silktest::Decoder d;
  SilkDecControl c = {16000, 0, 1, 0, 0};
  // Every frame says that more follow.
  PacketResult r = decode_packet(&d, &c, make_packet({1, 1, 1, 1, 1, 1}));
  EXPECT_EQ(r.last_ret, 0);
  EXPECT_EQ(r.calls, 5);
  EXPECT_EQ(r.control.more_internal_frames, 0);
  EXPECT_EQ(r.control.frames_per_packet, 5);

  // The next packet starts afresh.
  r = decode_packet(&d, &c, make_packet({1, 0}));
  EXPECT_EQ(r.calls, 2);
  EXPECT_EQ(r.control.frames_per_packet, 2);
}

TEST(SilkPackets, InbandFecOffsetFollowsTerminationCodes) {
  silktest::Decoder d;
  SilkDecControl c = {16000, 0, 1, 0, 0};
  EXPECT_EQ(decode_packet(&d, &c, make_packet({1, 2})).control.inband_fec_offset, 1);
  EXPECT_EQ(decode_packet(&d, &c, make_packet({3})).control.inband_fec_offset, 2);
  // Without voice activity the offset is left alone.
  EXPECT_EQ(decode_packet(&d, &c, make_packet({0}, 0)).control.inband_fec_offset, 2);
  // Ten packets without FEC keep it; the eleventh drops it.
  for (int i = 0; i < 10; i++) EXPECT_EQ(decode_packet(&d, &c, make_packet({0})).control.inband_fec_offset, 2) << i;
  EXPECT_EQ(decode_packet(&d, &c, make_packet({0})).control.inband_fec_offset, 0);
  // FEC again resets the count.
  EXPECT_EQ(decode_packet(&d, &c, make_packet({2})).control.inband_fec_offset, 1);
}

}  // namespace
