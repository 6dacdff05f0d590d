// RIFF/WAV output: 16-bit mono PCM at the database's rate.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// The 44-byte header of a 16-bit mono PCM file holding `samples` samples.
std::vector<uint8_t> wav_header(uint32_t sample_rate, uint32_t samples);

// Writes header and samples (little-endian) to `out`; false on a write error
// or when the data would not fit a RIFF file.
bool wav_write(FILE* out, uint32_t sample_rate, const int16_t* samples, size_t count);
