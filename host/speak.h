// Speaking a whole text: UTF-8 text or SSML cut into sentences, each sentence
// synthesised in turn and its audio handed out in chunks with the events that
// fall inside them.  Memory stays bounded by one sentence: only the sentence
// being spoken has an utterance and a wave.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/synth.h"

// One sentence: runs of ISO-8859-15 text, and for every byte of each run the
// byte offset in the caller's text it comes from.
struct SpeechSentence {
  std::vector<TextRun> runs;
  std::vector<std::vector<uint32_t>> origins;  // parallel to runs
  int32_t pause_ms = 0;                         // silence after the sentence
  // SSML marks: names with their byte offset in the sentence's joined text
  // (the runs joined by single spaces, as the front end reads them).
  std::vector<std::pair<size_t, std::string>> marks;
  // SSML prosody of the sentence's first text, as factors on the engine's.
  ProsodyControl prosody;
};

enum class SpeechInput { kOk, kBadUtf8, kBadSsml };

// Cuts `text` (UTF-8; SSML when `ssml`) into sentences.  Characters outside
// ISO-8859-15 are left out.  kBadUtf8 / kBadSsml with a one-line `error`.
SpeechInput speech_sentences(const std::string& text, bool ssml, std::vector<SpeechSentence>* out,
                             std::string* error, std::vector<std::string>* warnings);

struct SpeechEvent {
  int type;  // selvana_event_type
  uint64_t sample;
  size_t text_offset = 0, text_length = 0;
  std::string name;
  uint32_t duration = 0;
};

// Receives one chunk (possibly without samples) and its events; false stops.
using SpeechSink = std::function<bool(const int16_t* samples, size_t count, const std::vector<SpeechEvent>& events)>;

enum class SpeechResult { kDone, kStopped, kFailed };

struct SpeechStream {
  const SynthEngine* engine = nullptr;
  const std::string* text = nullptr;        // the caller's text, for the byte lengths of its characters
  const std::atomic<bool>* cancel = nullptr;
  size_t chunk = 320;                       // samples per chunk
  // Diagnostics: level 0 for what the module reports and sentences left
  // out, 1 for details (substitutions, sentences, timings).
  std::function<void(int level, const std::string& line)> log;
};

// Speaks the sentences through `sink`, ending with an END event.  A sentence
// that cannot be spoken is left out (reported through the log and in
// `error`) and the others are still spoken: kFailed at the end.  kStopped
// when the sink or `cancel` stops it, within one chunk.
SpeechResult speech_speak(const SpeechStream& stream, const std::vector<SpeechSentence>& sentences,
                          const SpeechSink& sink, std::string* error);
