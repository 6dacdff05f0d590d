// Pitch of speech: the period of a stretch of samples, and the glottal
// epochs (pitch marks) of a whole recording.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The fundamental frequency in Hz of samples[from, to) (`rate` Hz), 0 when
// the stretch is silent or unvoiced.  Normalised autocorrelation over lags
// for `min_hz` to `max_hz`; among the peaks that reach nine tenths of the
// best one the shortest lag wins, so that a period is never taken for two.
// `strength`, when given, receives the best correlation.
float pitch_of(const int16_t* samples, size_t from, size_t to, uint32_t rate, float min_hz = 60.0f,
               float max_hz = 500.0f, float* strength = nullptr);
