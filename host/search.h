// Unit selection: the candidate graph of the voice expanded into unit
// instances, and a Viterbi search with a beam over them.
//
// Each diphone position (between targets i and i + 1) has a set of options:
// the instances of its candidate's unit, or, when the voice has no unit for
// the diphone, the instances of a substitute diphone (a phone related in one
// or two steps on one or both sides), or else a splice of the first half of
// a unit that starts with the left phone and the second half of one that
// ends with the right phone, or as a last resort a short silence.  Splices
// and silences cost nothing in the search.  A path picks one
// option per position; its cost is the sum of the target costs of its options
// and of the join costs between neighbours, where units that were neighbours
// in the same recording join at no cost.
//
// Everything the search needs is allocated by search_prepare as heap blocks
// hung on the synthesis state's userdata list, so the wavesynth value frees
// it; search_run itself allocates nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/contract.h"
#include "host/prosody_control.h"
#include "host/voicedb.h"

constexpr uint32_t kNoInstance = 0xffffffffu;

struct SearchOption {
  const Candidate* candidate;  // null for a silence or a splice
  uint32_t instance;           // kNoInstance for a silence; a splice's first unit
  uint32_t splice;             // 1: the first half of `instance`, then the second half of `splice_instance`
  uint32_t splice_instance;
  uint32_t recording;
  uint32_t position;
  uint32_t silence_samples;  // length of a silence option
  JoinEdge start;
  JoinEdge end;
};

struct BeamState {
  int32_t option;  // index into the plan's options
  int32_t back;    // index of the previous state in its position's beam, -1 at the start
  uint64_t score;
};

// Where one unit sits in the rendered wave: its output samples
// [begin, end), of which [exact_begin, exact_end) are untouched by any
// crossfade.
struct AudioPlacement {
  int32_t begin, exact_begin, exact_end, end;
};

// How the audio stage made the join in front of a unit: the normalised
// correlation of the two waves it overlapped (0 when they did not overlap)
// and the length of the overlap in samples.
struct JoinReport {
  float correlation;
  int32_t overlap;
};

struct SearchPlan {
  int32_t positions;  // number of diphone positions (targets - 1)
  int32_t beam;       // states kept per position
  int32_t* first;     // positions + 1 offsets into options
  SearchOption* options;
  const SegmentTarget* targets;  // the utterance's targets
  TargetCostFn target_cost;
  const HostVoiceDb* db;
  BeamState* states;    // positions x beam
  int32_t* state_count;  // per position
  uint8_t* cut;          // per position: collapse the beam after it
  int32_t* path;         // chosen option per position
  uint64_t cost;         // cost of the chosen path
  AudioPlacement* placements;  // per position, set by the audio stage
  JoinReport* joins;           // per position (the join in front of it), set by the audio stage
  ProsodyControl prosody;      // rate, pitch and volume for the audio stage (neutral from search_prepare)
  double stretch;              // output length over the joined units' length (1 from search_prepare)
};

// Joins at or above this cost are refused by the join functions; the search
// still makes them when nothing else is left, at this price.
constexpr uint32_t kForcedJoinCost = kCostReject;

// Builds the plan for `targets` (count >= 2) from the voice's candidate
// graph, which the synthesis state takes over (ws->graph).  Missing diphones
// are filled by substitutes or silences, each reported in `notes`.
// `targets` must stay alive until the search has run; their host0 members
// are set to the position numbers.
SearchPlan* search_prepare(WaveSynth* ws, Voice* voice, DiphoneGraphFn graph_fn, const HostVoiceDb& db,
                           SegmentTarget* targets, int32_t count, int32_t beam, std::vector<std::string>* notes);

// Runs the Viterbi search and fills plan->path and plan->cost.  No
// allocation.
void search_run(SearchPlan* plan);

// The target cost of one option (0 for a silence).
uint32_t search_target_cost(const SearchPlan* plan, const SearchOption& option);
// The join cost between two neighbouring options: 0 for recording
// neighbours and silences, else the left option's join function bounded by
// `bound` (capped at kForcedJoinCost).
uint32_t search_join_cost(const SearchOption& left, const SearchOption& right, uint32_t bound);

// Appends a heap block to the synthesis state's userdata list, so that the
// wavesynth value frees it; returns the block.
void* synth_block(WaveSynth* ws, int32_t size);
