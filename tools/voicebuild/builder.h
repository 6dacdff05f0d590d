// The voice builder's core: the project's own front end run on each
// recording's text, the check of the recording's labels against it, and the
// diphone units cut from the recording at the phone middles with their unit
// blocks and join edges.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/item.h"
#include "host/voice_host.h"
#include "tools/voicebuild/acoustics.h"
#include "tools/voicebuild/labels.h"
#include "tools/voicebuild/pitch.h"
#include "tools/voicebuild/wavfile.h"
#include "tools/voicedb.h"

// The voice module loaded for its front end only: it is registered with an
// empty unit database written to a scratch folder, since the front end does
// not read units.
class FrontEnd {
 public:
  FrontEnd() = default;
  FrontEnd(const FrontEnd&) = delete;
  FrontEnd& operator=(const FrontEnd&) = delete;
  ~FrontEnd();

  // `module` empty: the module next to the tool.
  bool open(const std::string& module, const std::string& scratch_dir, std::string* error);

  // An utterance of ISO-8859-15 text through every front-end stage, with its
  // Segment relation and durations; null with a reason.  The caller deletes it.
  Utterance* utterance(const std::string& latin9, std::string* error) const;

  bool is_phone(const std::string& name) const;
  Voice* voice() const { return host_.voice; }

 private:
  HostVoice host_;
  std::string scratch_;
};

// The phone names of an utterance's Segment relation.
std::vector<std::string> segment_names(const Utterance* utterance);

// The diphone names of an utterance: each pair of neighbouring segments.
std::vector<std::string> utterance_diphones(const Utterance* utterance);

// Compares labels with the front end's phones; "" when they match, else
// the reason.
std::string compare_phones(const std::vector<PhoneLabel>& labels, const std::vector<std::string>& phones);

class VoiceBuilder {
 public:
  explicit VoiceBuilder(const FrontEnd& front_end) : front_end_(front_end) {}

  // Cuts one recording into units.  A recording whose labels do not match
  // the front end, whose rate differs from the others', or whose labels run
  // past its end is left out: false with the reason, nothing added.
  bool add_recording(const std::string& text_utf8, const std::vector<PhoneLabel>& labels,
                     const Recording& recording, std::string* reason);

  // The database so far; its sample rate is the recordings' rate.
  VoiceDbRecipe& recipe() { return recipe_; }
  uint32_t recordings() const { return next_recording_; }
  // Units left out because they would not fit a unit record (over 65535
  // samples: the middle of a very long pause).
  size_t too_long() const { return too_long_; }
  // The pitch-mark detector's findings over every recording added.
  const PitchMarks& pitch_report() const { return pitch_report_; }
  std::set<std::string> diphones() const;

 private:
  const char* intern(const char* text);

  const FrontEnd& front_end_;
  VoiceDbRecipe recipe_;
  uint32_t next_recording_ = 0;
  size_t too_long_ = 0;
  PitchMarks pitch_report_;  // counts only
  std::set<std::string> strings_;  // node-based: the pointers stay valid
  std::unique_ptr<EdgeAnalyzer> analyzer_;
};

struct Coverage {
  size_t distinct = 0;             // distinct diphones of the text
  size_t distinct_covered = 0;     // of those, with units
  size_t occurrences = 0;          // diphone occurrences of the text
  size_t occurrences_covered = 0;  // of those, with units
  std::map<std::string, size_t> missing;  // missing diphones and how often they occur
};

// Diphone coverage of `have` over the sentences (ISO-8859-15) as the front
// end reads them.
Coverage diphone_coverage(const FrontEnd& front_end, const std::vector<std::string>& sentences,
                          const std::set<std::string>& have);
