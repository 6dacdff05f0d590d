// A recording placed on its text: the front end's phones spoken by
// espeak-ng as the reference (at a speaking rate matched to the
// recording's), then warped onto the recording (tools/voicebuild/align.h).
#pragma once

#include <string>

#include "tools/voicebuild/align.h"
#include "tools/voicebuild/align_speaker.h"
#include "tools/voicebuild/builder.h"

class TextAligner {
 public:
  // `reference_voice`: the espeak-ng voice that speaks the reference.
  bool open(const FrontEnd* front_end, const std::string& reference_voice, std::string* error);

  // Aligns one recording with its UTF-8 text.  result.ok false: the
  // recording is to be left out, for result.problem.
  AlignResult align(const std::string& text_utf8, const Recording& recording, const AlignSettings& settings);

 private:
  const FrontEnd* front_end_ = nullptr;
  EspeakSpeaker speaker_;
};

// One line for a recording left out: the problem and, when known, the
// region of the recording that matches worst with its phones.
std::string align_problem_text(const AlignResult& result);

// The label file of an aligned recording: a comment line that marks it as
// the aligner's, with the confidence, then the labels.
std::string aligned_label_text(const AlignResult& result);
// Whether a label file was written by the aligner (and may be replaced).
bool is_aligned_label_text(const std::string& text);
