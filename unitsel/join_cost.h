// Join costs: how audible the seam is where one unit ends and the next one
// begins.  Each function compares the edge records A and B of the two units
// and returns an unsigned cost, smaller is better; kCostReject (1000000) means
// the pair must not be joined, either because of a hard mismatch or because
// the cheap part of the cost already reaches `bound`.
#pragma once

#include <cstdint>

#include "core/contract.h"

// The component terms shared by all six functions, each symmetric in A and B.
uint32_t join_t1(const JoinEdge* a, const JoinEdge* b);  // from edge_a
uint32_t join_t2(const JoinEdge* a, const JoinEdge* b);  // from edge_value
uint32_t join_t3(const JoinEdge* a, const JoinEdge* b);  // from edge_level; kCostReject on a hard mismatch
uint32_t join_t4(const JoinEdge* a, const JoinEdge* b);  // from edge_b
uint32_t join_t5(const JoinEdge* a, const JoinEdge* b);  // from edge_c
// Weighted distance of the 16 spectral coefficients.
uint32_t join_spectral_distance(const JoinEdge* a, const JoinEdge* b);

// One function per kind of phone in which the units are joined.
uint32_t join_cost_vowel(const JoinEdge* a, const JoinEdge* b, uint32_t bound);
uint32_t join_cost_voiceless_plosive(const JoinEdge* a, const JoinEdge* b, uint32_t bound);
uint32_t join_cost_voiced_plosive(const JoinEdge* a, const JoinEdge* b, uint32_t bound);
uint32_t join_cost_glide_rhotic(const JoinEdge* a, const JoinEdge* b, uint32_t bound);
uint32_t join_cost_voiceless_other(const JoinEdge* a, const JoinEdge* b, uint32_t bound);
uint32_t join_cost_other(const JoinEdge* a, const JoinEdge* b, uint32_t bound);
