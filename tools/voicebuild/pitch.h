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

// The glottal epochs of a recording and what the detector found.
struct PitchMarks {
  std::vector<uint32_t> marks;  // sample positions, rising, only in voiced stretches
  size_t frames = 0;            // analysis frames that are not silent
  size_t voiced_frames = 0;     // of those, voiced
  size_t octave_corrections = 0;  // voiced frames moved by an octave to agree with their neighbours
};

// Finds the pitch marks of `samples` (`rate` Hz): the period every 5 ms
// from 30 ms frames (pitch_of), voiced stretches of at least three frames,
// frames an octave off the median of the five around them moved back to it;
// in each voiced stretch one mark per period at the strongest extreme of the
// smoothed signal (the stretch's stronger polarity), each mark searched
// between 0.75 and 1.25 periods after the previous one.
PitchMarks find_pitch_marks(const std::vector<int16_t>& samples, uint32_t rate);

// The f0 in Hz that the marks give around sample `at`: the rate over the
// mean distance of neighbouring marks within `reach` samples on either
// side, 0 when fewer than two marks lie there.
float pitch_from_marks(const std::vector<uint32_t>& marks, size_t at, size_t reach, uint32_t rate);
