// espeak-ng speaking the project front end's phones through its library,
// with each phone's start taken from the library's phoneme events: the
// reference rendering that the aligner warps onto a recording, and the
// recordings with known phone times that the aligner is measured on.
#pragma once

#include <string>
#include <vector>

#include "tools/voicebuild/builder.h"
#include "tools/voicebuild/labels.h"
#include "tools/voicebuild/wavfile.h"

// A sentence spoken with known phone times.
struct SpokenSentence {
  Recording audio;
  std::vector<PhoneLabel> labels;  // the front end's phones, pauses included, end to end
  std::vector<bool> word_start;    // per label: a phone that starts a word inside a phrase
};

// espeak-ng's library holds one voice for the whole process: keep a single
// speaker open at a time.
class EspeakSpeaker {
 public:
  EspeakSpeaker() = default;
  EspeakSpeaker(const EspeakSpeaker&) = delete;
  EspeakSpeaker& operator=(const EspeakSpeaker&) = delete;
  ~EspeakSpeaker();

  // Starts the library (once for the process) with `voice` (e.g. "pt-br", "pt-br+f3"); false with a
  // reason when the library or the voice is missing.
  bool open(const std::string& voice, std::string* error);
  // Speaking rate in words per minute (80 to 450, 175 normal).
  bool set_rate(int words_per_minute);
  int rate() const { return words_per_minute_; }
  uint32_t sample_rate() const { return sample_rate_; }
  // Whether each phrase's audio stops where its last phone ends (the
  // default) or keeps the silence espeak-ng makes after it, before the
  // added pause, as the default voice's recordings do.
  void set_trim_phrases(bool trim) { trim_phrases_ = trim; }

  // Speaks the ISO-8859-15 text: `lead` seconds of silence, each phrase
  // followed by `pause` seconds (or pauses[k] for phrase k when given).
  // False with a reason when the front end's phones cannot be spoken or
  // the events do not line up with them.
  bool speak(const FrontEnd& front_end, const std::string& latin9, double lead, const std::vector<double>& pauses,
             double pause, SpokenSentence* out, std::string* reason);

 private:
  bool open_ = false;
  int words_per_minute_ = 175;
  bool trim_phrases_ = true;
  uint32_t sample_rate_ = 0;
};
