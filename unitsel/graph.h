// The diphone candidate graph: the voice's entry into unit selection.
#pragma once

#include <cstdint>

#include "core/contract.h"

// Pairs neighbouring targets into diphones, looks each one up in the voice's
// unit database (`diphonedb`) and returns a new graph with one candidate per
// diphone found, in target order.  Each candidate carries copies of its two
// targets, the join cost suited to its right phone and, when the voice's
// `tb_min_distance` is positive, a boundary flag where the host may cut its
// search.  The caller releases the graph with candidate_graph_release.
CandidateGraph* diphone_graph_func(Voice* voice, const SegmentTarget* targets, int32_t count);

// Value of `tb_min_distance` when the voice has none: no boundary flags.
constexpr int32_t kTbMinDistanceOff = -1;

// The join cost for a candidate whose right phone is described by `right`
// (its ph_vc, ph_cvox and ph_ctype strings).
JoinCostFn join_cost_for_target(const SegmentTarget* right);

// Longest diphone name: unit names fit in 10 bytes with their NUL.
constexpr int kDiphoneNameMax = 9;

// Writes "<left>-<right>" into `out` (kDiphoneNameMax + 1 bytes).  False, with
// `out` left empty, when the name would not fit: no unit can carry it.
bool diphone_name(const char* left, const char* right, char* out);
