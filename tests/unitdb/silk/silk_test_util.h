// Helpers for the SILK decoder tests: reading the shared vectors and decoding
// a packets file the way the vectors were made.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "unitdb/silk/silk.h"

namespace silktest {

inline std::string vector_dir() { return std::string(SELVANA_SHARED_DIR) + "/testdata/silk"; }

inline bool read_bytes(const std::string& path, std::vector<uint8_t>* data) {
  data->clear();
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0) data->insert(data->end(), chunk, chunk + n);
  fclose(f);
  return true;
}

// Splits a packets file (2-byte little-endian length, payload, repeated).
inline std::vector<std::vector<uint8_t>> split_packets(const std::vector<uint8_t>& file) {
  std::vector<std::vector<uint8_t>> packets;
  size_t pos = 0;
  while (pos + 2 <= file.size()) {
    size_t length = file[pos] | (static_cast<size_t>(file[pos + 1]) << 8);
    pos += 2;
    if (pos + length > file.size()) break;
    packets.emplace_back(file.begin() + static_cast<long>(pos), file.begin() + static_cast<long>(pos + length));
    pos += length;
  }
  return packets;
}

// A decoder in its own zero-filled memory block.
class Decoder {
 public:
  Decoder() {
    int32_t size = 0;
    silk_decoder_size(&size);
    memory_.assign(static_cast<size_t>(size), 0);
    silk_init_decoder(state());
  }
  SilkDecoderState* state() { return reinterpret_cast<SilkDecoderState*>(memory_.data()); }

 private:
  std::vector<uint8_t> memory_;
};

struct DecodeResult {
  std::vector<uint8_t> pcm;       // 16-bit little-endian samples of every call
  std::vector<std::string> log;   // one line per call, as in the .log files
};

// Fresh decoder, same payload again while more frames follow, samples kept
// whatever the return code.
inline DecodeResult decode_packets(const std::vector<std::vector<uint8_t>>& packets, int32_t rate) {
  DecodeResult result;
  Decoder decoder;
  SilkDecControl control = {};
  control.api_sample_rate = rate;
  control.frames_per_packet = 1;
  int16_t samples[kSilkMaxFrameSamples];
  for (size_t p = 0; p < packets.size(); p++) {
    const std::vector<uint8_t>& payload = packets[p];
    do {
      int16_t count = 0;
      int ret = silk_decode(decoder.state(), &control, 0, payload.data(), static_cast<int32_t>(payload.size()),
                            samples, &count);
      for (int i = 0; i < count; i++) {
        result.pcm.push_back(static_cast<uint8_t>(samples[i] & 0xff));
        result.pcm.push_back(static_cast<uint8_t>((static_cast<uint16_t>(samples[i]) >> 8) & 0xff));
      }
      char line[128];
      snprintf(line, sizeof(line), "%zu %d %d %d %d %d %d", p, ret, count, control.frame_size,
               control.frames_per_packet, control.more_internal_frames, control.inband_fec_offset);
      result.log.push_back(line);
    } while (control.more_internal_frames == 1);
  }
  return result;
}

// Lines of a text file without '#' comments and without line ends.
inline std::vector<std::string> read_lines(const std::string& path) {
  std::vector<std::string> lines;
  std::vector<uint8_t> data;
  if (!read_bytes(path, &data)) return lines;
  std::string line;
  for (uint8_t c : data) {
    if (c == '\n') {
      if (!line.empty() && line[0] != '#') lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line.push_back(static_cast<char>(c));
    }
  }
  if (!line.empty() && line[0] != '#') lines.push_back(line);
  return lines;
}

}  // namespace silktest
