// Unit audio fixtures shared by the decoding tests and benchmarks: test
// signals, Vorbis packets from the reference encoder tool, and the integer
// decoder's own output for the same packets.
#pragma once

#include <tremor/ivorbiscodec.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/coding.h"

namespace unitaudio {

using Bytes = std::vector<uint8_t>;


inline Bytes frame_table(const std::vector<uint32_t>& ends) {
  Bytes b;
  append_le16(b, static_cast<uint32_t>(ends.size()));
  for (uint32_t e : ends) append_le16(b, e);
  return b;
}

inline Bytes read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Length-prefixed packets (2-byte lengths) split into their payloads.
inline std::vector<Bytes> split_packets(const Bytes& data) {
  std::vector<Bytes> out;
  for (size_t i = 0; i + 2 <= data.size();) {
    size_t n = data[i] | data[i + 1] << 8;
    out.emplace_back(data.begin() + static_cast<long>(i + 2), data.begin() + static_cast<long>(i + 2 + n));
    i += 2 + n;
  }
  return out;
}

inline std::vector<int16_t> test_signal(int n, int seed) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> noise(-600, 600);
  std::vector<int16_t> s(n);
  for (int i = 0; i < n; ++i)
    s[i] = static_cast<int16_t>(9000 * std::sin(i * 2 * M_PI * (180 + 40 * seed) / 16000.0) + noise(rng));
  return s;
}

struct Encoded {
  Bytes headers;               // three length-prefixed header packets
  std::vector<Bytes> packets;  // audio packets
};

// Encodes with the reference encoder tool built next to the tests.
inline Encoded vorbis_encode(const std::string& dir, const std::vector<int16_t>& pcm) {
  std::string in = dir + "/in.pcm", h = dir + "/h.bin", p = dir + "/p.bin";
  std::ofstream(in, std::ios::binary).write(reinterpret_cast<const char*>(pcm.data()), 2 * pcm.size());
  std::string cmd = std::string(SELVANA_BIN_DIR) + "/selvana-vorbis-encode --quality 0 16000 " + in + " " + h + " " + p;
  if (std::system(cmd.c_str()) != 0) return {};
  return {read_all(h), split_packets(read_all(p))};
}

// The integer decoder used directly: headers read once, then each call
// decodes a unit's packets from a restarted synthesis, with the shift by 9
// and clamping.
class TremorDirect {
 public:
  explicit TremorDirect(const Bytes& headers) {
    vorbis_info_init(&vi_);
    vorbis_comment_init(&vc_);
    std::vector<Bytes> packets = split_packets(headers);
    for (size_t i = 0; i < packets.size(); ++i) {
      ogg_packet op{};
      op.packet = packets[i].data();
      op.bytes = static_cast<long>(packets[i].size());
      op.b_o_s = i == 0;
      ok_ = vorbis_synthesis_headerin(&vi_, &vc_, &op) == 0 && ok_;
    }
    ok_ = ok_ && vorbis_synthesis_init(&vd_, &vi_) == 0;
  }
  ~TremorDirect() {
    if (ok_) vorbis_dsp_clear(&vd_);
    vorbis_comment_clear(&vc_);
    vorbis_info_clear(&vi_);
  }
  TremorDirect(const TremorDirect&) = delete;
  TremorDirect& operator=(const TremorDirect&) = delete;

  void decode(const std::vector<Bytes>& packets, std::vector<int16_t>* out) {
    out->clear();
    if (!ok_) return;
    vorbis_synthesis_restart(&vd_);
    vorbis_block vb;
    vorbis_block_init(&vd_, &vb);
    Bytes copy;
    for (size_t i = 0; i < packets.size(); ++i) {
      ogg_packet op{};
      copy = packets[i];
      op.packet = copy.data();
      op.bytes = static_cast<long>(copy.size());
      op.e_o_s = i + 1 == packets.size();
      if (vorbis_synthesis(&vb, &op) == 0) vorbis_synthesis_blockin(&vd_, &vb);
      ogg_int32_t** pcm;
      int n;
      while ((n = vorbis_synthesis_pcmout(&vd_, &pcm)) > 0) {
        for (int k = 0; k < n; ++k) out->push_back(static_cast<int16_t>(std::clamp(pcm[0][k] >> 9, -32768, 32767)));
        vorbis_synthesis_read(&vd_, n);
      }
    }
    vorbis_block_clear(&vb);
  }

 private:
  vorbis_info vi_;
  vorbis_comment vc_;
  vorbis_dsp_state vd_{};
  bool ok_ = true;
};

// What the integer decoder gives for these packets decoded directly.
inline std::vector<int16_t> tremor_reference(const Encoded& e) {
  TremorDirect decoder(e.headers);
  std::vector<int16_t> out;
  decoder.decode(e.packets, &out);
  return out;
}

}  // namespace unitaudio
