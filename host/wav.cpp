#include "host/wav.h"

namespace {

void put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xffff);
  put16(b, v >> 16);
}
void tag(std::vector<uint8_t>& b, const char* t) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(t[i]));
}

}  // namespace

std::vector<uint8_t> wav_header(uint32_t sample_rate, uint32_t samples) {
  const uint32_t data = 2 * samples;
  std::vector<uint8_t> h;
  tag(h, "RIFF");
  put32(h, 36 + data);
  tag(h, "WAVE");
  tag(h, "fmt ");
  put32(h, 16);
  put16(h, 1);  // PCM
  put16(h, 1);  // mono
  put32(h, sample_rate);
  put32(h, 2 * sample_rate);  // bytes per second
  put16(h, 2);                // bytes per frame
  put16(h, 16);               // bits per sample
  tag(h, "data");
  put32(h, data);
  return h;
}

bool wav_write(FILE* out, uint32_t sample_rate, const int16_t* samples, size_t count) {
  if (count > (0xffffffffu - 36) / 2) return false;
  std::vector<uint8_t> bytes = wav_header(sample_rate, static_cast<uint32_t>(count));
  if (fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) return false;
  uint8_t buf[4096];
  size_t i = 0;
  while (i < count) {
    size_t n = 0;
    for (; n + 2 <= sizeof buf && i < count; ++i, n += 2) {
      uint16_t s = static_cast<uint16_t>(samples[i]);
      buf[n] = static_cast<uint8_t>(s);
      buf[n + 1] = static_cast<uint8_t>(s >> 8);
    }
    if (fwrite(buf, 1, n, out) != n) return false;
  }
  return fflush(out) == 0;
}
