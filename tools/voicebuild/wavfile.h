// Reading and writing the recordings: RIFF/WAV, 16-bit PCM, mono.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Recording {
  uint32_t sample_rate = 0;
  std::vector<int16_t> samples;
};

// Reads a 16-bit mono PCM WAV file; false with a one-line reason.
bool read_wav(const std::string& path, Recording* out, std::string* error);

// Writes one; false with a reason.
bool write_wav(const std::string& path, const Recording& recording, std::string* error);
