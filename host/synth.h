// The host's synthesis pipeline: text to utterance (the front-end stages),
// utterance to targets, unit selection, and concatenation into a wave.
//
// The state of one synthesis is a wavesynth Value: its destructor frees the
// candidate graph, the decoder context, the wave and every heap block of
// the search, in that order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/contract.h"
#include "core/item.h"
#include "host/prosody_control.h"
#include "host/voicedb.h"

struct SynthEngine {
  Voice* voice = nullptr;
  HostVoiceDb db;
  DiphoneGraphFn graph_fn = nullptr;
  int32_t beam = 50;
  ProsodyControl prosody;  // rate, pitch and volume of what the engine speaks
};

// Seconds spent in each stage, summed over calls.
struct SynthTimes {
  double front_end = 0;
  double search = 0;
  double audio = 0;
};

// Checks that the voice carries everything the back end needs.
bool synth_engine_open(SynthEngine* engine, Voice* voice, std::string* error);

// A new, empty synthesis state (a wavesynth Value, released with
// value_release).
Value* synth_state_new();
WaveSynth* synth_state(Value* state);

struct SearchPlan;

// Back end: chooses units for `targets` and renders them into the state's
// wave.  Fewer than two targets give an empty wave.  Substitutions for
// missing diphones are reported in `notes`.  `plan`, when given, receives
// the search's plan (owned by the state; null for fewer than two targets).
bool synth_targets(const SynthEngine& engine, Value* state, SegmentTarget* targets, int32_t count,
                   std::vector<std::string>* notes, std::string* error, SynthTimes* times,
                   SearchPlan** plan = nullptr);

// Back end for an utterance that has its Segment relation with `end` times.
bool synth_utterance(const SynthEngine& engine, Value* state, Utterance* utterance, std::vector<std::string>* notes,
                     std::string* error, SynthTimes* times, SearchPlan** plan = nullptr);

// Markup hints for a run of tokens.
struct TokenHints {
  std::string interpret_as;         // "" for none
  std::string interpret_as_format;  // "" for none
  std::string phonemes;             // X-SAMPA text of an explicit pronunciation
};

// A piece of ISO-8859-15 text with the hints for its tokens.
struct TextRun {
  std::string text;
  TokenHints hints;
};

// Front end: a new utterance for the voice from runs of text, with tokens,
// words, phrases, syllables, segments and durations.  Null when the voice
// lacks a stage's function (reason in `error`).
Utterance* synth_front_end(const SynthEngine& engine, const std::vector<TextRun>& runs,
                           std::vector<std::string>* notes, std::string* error);
