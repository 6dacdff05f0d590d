// Concatenation: the chosen units decoded through the database's codec slots
// and joined at the phone middles with a short overlap-add crossfade.
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
// wave (ws->wave); records where each unit landed in plan->placements.
// False with a one-line reason when a unit does not decode.
bool audio_render(WaveSynth* ws, SearchPlan* plan, std::string* error);

