#include "tools/voicebuild/wavfile.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#include "host/voicedb.h"
#include "host/wav.h"

namespace {

uint32_t le16(const uint8_t* p) { return p[0] | p[1] << 8; }
uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

}  // namespace

bool read_wav(const std::string& path, Recording* out, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (b.size() < 12 || le32(b.data()) != 0x46464952 || le32(b.data() + 8) != 0x45564157) {
    *error = path + ": not a RIFF/WAVE file";
    return false;
  }
  bool have_format = false;
  uint32_t rate = 0;
  for (size_t at = 12; at + 8 <= b.size();) {
    const uint32_t id = le32(b.data() + at);
    const uint32_t size = le32(b.data() + at + 4);
    const size_t body = at + 8;
    const size_t avail = b.size() - body;
    if (id == 0x20746d66) {  // "fmt "
      if (size < 16 || avail < 16) break;
      const uint32_t format = le16(b.data() + body), channels = le16(b.data() + body + 2);
      const uint32_t bits = le16(b.data() + body + 14);
      rate = le32(b.data() + body + 4);
      // 0xfffe is the extensible header; its sub-format must then be PCM.
      bool pcm = format == 1 || (format == 0xfffe && size >= 26 && avail >= 26 && le16(b.data() + body + 24) == 1);
      if (!pcm || channels != 1 || bits != 16 || rate == 0) {
        *error = path + ": not 16-bit mono PCM (format " + std::to_string(format) + ", " + std::to_string(channels) +
                 " channels, " + std::to_string(bits) + " bits)";
        return false;
      }
      if (rate < kVoiceMinSampleRate || rate > kVoiceMaxSampleRate) {
        *error = path + ": sample rate " + std::to_string(rate) + " Hz is outside " +
                 std::to_string(kVoiceMinSampleRate) + " to " + std::to_string(kVoiceMaxSampleRate);
        return false;
      }
      have_format = true;
    } else if (id == 0x61746164) {  // "data"
      if (!have_format) break;
      const size_t n = (size < avail ? size : avail) / 2;
      out->sample_rate = rate;
      out->samples.resize(n);
      for (size_t i = 0; i < n; ++i) out->samples[i] = static_cast<int16_t>(le16(b.data() + body + 2 * i));
      return true;
    }
    if (size > avail) break;
    at = body + size + (size & 1);
  }
  *error = path + ": no format or data chunk";
  return false;
}

bool write_wav(const std::string& path, const Recording& recording, std::string* error) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    *error = "cannot write " + path;
    return false;
  }
  bool ok = wav_write(f, recording.sample_rate, recording.samples.data(), recording.samples.size());
  ok = fclose(f) == 0 && ok;
  if (!ok) *error = "cannot write " + path;
  return ok;
}
