// SILK packets from untrusted bytes.  The first byte picks the output rate
// (one of the seven the decoder resamples to, or an invalid one); then
// packets follow as in the test vectors' files: a 16-bit little-endian
// length and that many payload bytes.  A length of 0xffff marks a lost
// packet.  At most kPackets packets are decoded: a longer input finds nothing
// that a short one would not, and only slows the search.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "unitdb/silk/silk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int32_t kRates[] = {8000, 12000, 16000, 24000, 32000, 44100, 48000, 7999};
  static std::vector<uint8_t> memory = [] {
    int32_t n = 0;
    silk_decoder_size(&n);
    return std::vector<uint8_t>(static_cast<size_t>(n));
  }();
  if (size < 1) return 0;
  auto* state = reinterpret_cast<SilkDecoderState*>(memory.data());
  silk_init_decoder(state);
  SilkDecControl control{};
  control.api_sample_rate = kRates[data[0] % 8];
  int16_t out[kSilkMaxFrameSamples];
  constexpr int kPackets = 8;
  size_t at = 1;
  for (int packet = 0; packet < kPackets && at + 2 <= size; ++packet) {
    const uint32_t n = data[at] | data[at + 1] << 8;
    at += 2;
    const bool lost = n == 0xffff;
    const uint32_t len = lost ? 0 : (n <= size - at ? n : static_cast<uint32_t>(size - at));
    // A copy of exactly the payload's size, so that a read past it shows.
    std::vector<uint8_t> payload(data + at, data + at + len);
    at += len;
    for (int frame = 0; frame < 5; ++frame) {
      int16_t count = 0;
      int ret = silk_decode(state, &control, lost, payload.data(), static_cast<int32_t>(len), out, &count);
      if (count < 0 || count > kSilkMaxFrameSamples) abort();
      if (ret == kSilkInvalidApiRate || !control.more_internal_frames) break;
    }
  }
  return 0;
}
