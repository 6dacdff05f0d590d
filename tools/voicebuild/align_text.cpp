#include "tools/voicebuild/align_text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/text_io.h"

namespace {

constexpr int kNormalRate = 175;  // espeak-ng's words per minute

}  // namespace

bool TextAligner::open(const FrontEnd* front_end, const std::string& reference_voice, std::string* error) {
  front_end_ = front_end;
  return speaker_.open(reference_voice, error);
}

AlignResult TextAligner::align(const std::string& text_utf8, const Recording& recording,
                               const AlignSettings& settings) {
  AlignResult result;
  std::vector<TextIssue> issues;
  const std::string text = utf8_to_latin9(text_utf8, &issues);
  if (!issues.empty()) {
    char what[160];
    const TextIssue& i = issues[0];
    if (i.invalid_utf8)
      snprintf(what, sizeof what, "its text is not UTF-8 (byte %zu)", i.byte);
    else
      snprintf(what, sizeof what, "its text has %zu character(s) outside the voice's alphabet, the first U+%04X at character %zu",
               issues.size(), i.codepoint, i.character);
    result.problem = what;
    return result;
  }
  const double top_hz = std::min(7600.0, 0.45 * std::min(recording.sample_rate, speaker_.sample_rate()));
  const FrameFeatures features = frame_features(recording, top_hz);
  double at = 0;
  result.problem = recording_problem(recording, features, &at);
  if (!result.problem.empty()) return result;  // the problem says where
  // The reference at the normal rate, then again at the recording's rate
  // when that differs by more than a tenth.
  SpokenSentence reference;
  speaker_.set_rate(kNormalRate);
  if (!speaker_.speak(*front_end_, text, 0.1, {}, 0.1, &reference, &result.problem)) return result;
  FrameFeatures reference_features = frame_features(reference.audio, top_hz);
  const double spoken = speech_seconds(features, recording.sample_rate);
  const double said = speech_seconds(reference_features, reference.audio.sample_rate);
  if (spoken > 0 && said > 0 && std::abs(std::log(spoken / said)) > 0.1) {
    speaker_.set_rate(static_cast<int>(std::lround(kNormalRate * said / spoken)));
    if (!speaker_.speak(*front_end_, text, 0.1, {}, 0.1, &reference, &result.problem)) return result;
    reference_features = frame_features(reference.audio, top_hz);
  }
  return align_to_reference(recording, features, reference.audio, reference_features, reference.labels,
                            reference.word_start, settings);
}

namespace {

const char kMark[] = "# selvana-align";

}  // namespace

std::string align_problem_text(const AlignResult& result) {
  std::string out = result.problem;
  if (result.worst_end > result.worst_start) {
    char where[80];
    snprintf(where, sizeof where, "; worst at %.2f-%.2f s", result.worst_start, result.worst_end);
    out += where;
    if (!result.worst_phones.empty()) out += " (" + result.worst_phones + ")";
  } else if (result.worst_start > 0) {
    char where[40];
    snprintf(where, sizeof where, "; at %.2f s", result.worst_start);
    out += where;
  }
  return out;
}

std::string aligned_label_text(const AlignResult& result) {
  char head[120];
  snprintf(head, sizeof head, "%s: confidence %.0f%%, worst half second %.0f%% at %.2f s, %zu pause(s) between words\n",
           kMark, result.confidence, result.worst_confidence, result.worst_start, result.pauses);
  return head + format_labels(result.labels);
}

bool is_aligned_label_text(const std::string& text) { return text.rfind(kMark, 0) == 0; }
