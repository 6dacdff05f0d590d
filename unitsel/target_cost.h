// Target cost: how well a unit instance from the database fits a diphone
// target of the utterance.  Both are described by SegmentTarget blocks, one
// per phone; smaller is better.
#pragma once

#include <cstdint>

#include "core/contract.h"

// The penalties of one phone summed, before the final scaling by 0.4.
uint32_t segment_cost_unscaled(const SegmentTarget* t, const SegmentTarget* u);

// The penalties of one phone that read only its byte members (positions,
// mark, levels, flags, label_value), without the surcharge of a mark
// mismatch on a vowel; vectorised where the processor allows, and the same
// sum written member by member.
uint32_t segment_byte_terms(const SegmentTarget* t, const SegmentTarget* u);
uint32_t segment_byte_terms_portable(const SegmentTarget* t, const SegmentTarget* u);

// Cost of one phone: target block `t` against unit block `u`.
uint32_t segment_cost(const SegmentTarget* t, const SegmentTarget* u);

// Cost of a diphone: both phone costs plus the penalty for a word-boundary
// pattern that only one of the two sides shows.  Installed on every candidate
// graph as its target cost.
uint32_t target_cost(const SegmentTarget* target_left, const SegmentTarget* target_right,
                     const SegmentTarget* unit_left, const SegmentTarget* unit_right);
