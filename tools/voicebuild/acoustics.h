// The acoustic description of a recording at a unit edge: the JoinEdge
// record of docs/voice-database.md (section_5), measured on the 20 ms of
// audio centred on the cut point:
//   edge_value   RMS amplitude, at least 1;
//   reserved[0..1]  F0 in tenths of a hertz, 0 when unvoiced;
//   edge_level   F0 in semitones above 55 Hz (at least 1) when voiced, else 0;
//   edge_a       zero crossings in the 10 ms around the edge, divided by 4;
//   edge_b       40 log10(RMS / 32768), rounded, -200 for digital silence;
//   edge_c       the number (0 to 15) of the strongest band below;
//   coef         16 equal bands from 0 Hz to half the rate: each band's
//                energy in dB minus the window's total in dB, plus 100.
// Voicing and F0 come from the normalised autocorrelation of 40 ms around
// the edge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/contract.h"

// Sets an edge's f0 members (reserved[0..1] and edge_level) from `f0` in
// Hz; 0 makes the edge unvoiced.
void set_edge_pitch(JoinEdge* edge, float f0);

class EdgeAnalyzer {
 public:
  explicit EdgeAnalyzer(uint32_t sample_rate);

  // The edge at sample `at` of `samples` (the window is cut at the ends).
  JoinEdge analyse(const std::vector<int16_t>& samples, size_t at);

  // Pitch in Hz at sample `at`, or 0 where unvoiced or silent.
  float pitch(const std::vector<int16_t>& samples, size_t at);

 private:
  uint32_t rate_;
  size_t fft_size_;
  std::vector<float> window_;
  std::vector<float> re_, im_;
  std::vector<int> band_first_;  // FFT bins [band_first_[k], band_first_[k + 1])
  std::vector<float> decimated_;
};
