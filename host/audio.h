// Concatenation: the chosen units decoded through the database's codec slots
// and joined at the phone middles.  Where both units are voiced at the join
// (their pitch marks, layout version 2) and were not neighbours in a
// recording, the epoch of one nearest its cut is laid on the epoch of the
// other (moved by up to half a period to where the two periods match best)
// and the two overlap by half a period on each side, so the mixed waves are
// in step; elsewhere a short linear crossfade joins them.  Then, when the plan asks for another rate, pitch
// or volume, or a voiced join left a pitch step, the joined samples are
// made again by pitch-synchronous overlap-add: two-sided Hann windows on the
// pitch marks (every 5 ms in unvoiced stretches), periods repeated or left
// out for the rate, spaced anew for the pitch, each join's pitch step
// spread over the twelve periods on either side.
#pragma once

#include <cstdint>
#include <string>

#include "core/contract.h"
#include "host/search.h"

// Half the length of the crossfade at each join, in milliseconds.  A join
// fades over less when the units have less context beyond their cut points.
constexpr float kCrossfadeHalfMs = 2.5f;

// Opens the synthesis's decoder context on the database file (ws->decoder):
// its own read handle and, for the codings that have one, the codec state.
// False with a one-line reason.
bool audio_open_decoder(WaveSynth* ws, const HostVoiceDb& db, std::string* error);

// Decodes the units of plan->path and writes the joined samples into a new
// wave (ws->wave) at plan->prosody and plan->stretch; records where each
// unit landed in plan->placements and how each join was made in plan->joins.
// Every buffer is a heap block of the synthesis state.
// False with a one-line reason when a unit does not decode.
bool audio_render(WaveSynth* ws, SearchPlan* plan, std::string* error);


// The number of samples that the units of plan->path (or its silences) hold
// between their cut points: the length of the joined speech before any
// change of rate.
double audio_path_length(const SearchPlan& plan);
