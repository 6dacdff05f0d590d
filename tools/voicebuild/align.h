// Phone alignment of a recording by dynamic time warping onto a reference
// rendering of the same phones whose times are known.
//
// Both are described by frames of 25 ms every 10 ms: 12 mel cepstra (mean
// and variance normalised over the speech frames), the level relative to
// the loudest frame, and their deltas.  The reference keeps its speech
// frames; each of its pauses shrinks to two silent frames that may take any
// number of recording frames, and a silent frame that may be skipped
// (an optional pause) stands between the words of a phrase.  Each recording
// frame takes one reference frame, in order, moving on by 0, 1 or 2 frames:
// at most three recording frames stay on one speech frame, no phone's first
// frame is skipped (no phone ends up empty), and staying or skipping costs a
// little so that the reference's durations hold where the sound does not
// say otherwise.  A phone's recording frames give its times; the boundaries
// between speech phones then move to the strongest spectral change within
// 20 ms (not after a stop, whose release comes before its end), those at
// pauses to where the level crosses half way between silence and speech.
//
// The confidence measures, over the speech, how much the path bends (stays
// and skips, where the recording's timing departs from the reference's) and
// how much more it costs than a phone loop (the same reference frames with
// the phones in any order): a recording of its text follows the reference
// nearly straight and almost as closely as the loop; a wrong text, a noise
// or a recording cut short bends the path and costs more.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/voicebuild/labels.h"
#include "tools/voicebuild/wavfile.h"

struct AlignSettings {
  double min_confidence = 45;  // percent; below it the recording is left out
  double min_pause = 0.08;     // seconds of silence between words that count as a pause
  bool refine = true;          // move boundaries to the spectral change nearby
};

struct AlignResult {
  bool ok = false;
  std::string problem;  // why the recording is left out
  std::vector<PhoneLabel> labels;
  double confidence = 0;                  // percent
  double worst_start = 0, worst_end = 0;  // the half second that matches worst, seconds
  double worst_confidence = 0;            // percent, over that region
  std::string worst_phones;               // the phones there
  size_t pauses = 0;                      // pauses found between words
};

// Frame features of a recording.
struct FrameFeatures {
  static constexpr int kDims = 26;
  uint32_t hop = 0;             // samples per frame step
  std::vector<float> values;    // frames x kDims
  std::vector<float> level_db;  // per frame, relative to the loudest frame (0 to -60)
  size_t frames() const { return level_db.size(); }
  const float* frame(size_t i) const { return values.data() + i * kDims; }
};

// `top_hz`: the highest frequency described (compare recordings at
// different rates with the same, below half the lower rate).
FrameFeatures frame_features(const Recording& recording, double top_hz = 7600);

// The seconds of speech in a recording: frames above the level half way
// between its noise floor and its loudest frames.
double speech_seconds(const FrameFeatures& features, uint32_t sample_rate);

// What makes a recording unusable on its own (no speech, clipping), "" when
// nothing does; `at` is where (seconds).
std::string recording_problem(const Recording& recording, const FrameFeatures& features, double* at);

// Places the phones of `reference` on `recording`, each with its features.  `word_start` marks,
// per reference label, a phone that starts a word inside a phrase, where a
// pause may be found.  The labels come out with the reference's phones,
// pauses at the same places, and gaps where pauses between words were found.
AlignResult align_to_reference(const Recording& recording, const FrameFeatures& features,
                               const Recording& reference, const FrameFeatures& reference_features,
                               const std::vector<PhoneLabel>& reference_labels, const std::vector<bool>& word_start,
                               const AlignSettings& settings);
