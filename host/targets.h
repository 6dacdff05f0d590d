// Unit-selection targets: one SegmentTarget per segment of an utterance,
// filled from the utterance's features.  The voice builder fills the unit
// blocks of its database with the same mapping (docs/voice-database.md), so
// targets and units are described alike.
#pragma once

#include <cstdint>

#include "core/contract.h"
#include "core/item.h"

// Number of items in the utterance's Segment relation (0 without one).
int32_t targets_count(const Utterance* utterance);

// Fills out[0 .. count) from the Segment relation, in order.  Strings point
// at Values of the utterance or at permanent texts, so the targets live as
// long as the utterance does.
void targets_fill(const Utterance* utterance, SegmentTarget* out, int32_t count);

// The target of one segment (an item of the Segment relation).
void target_from_segment(const Item* segment, SegmentTarget* out);
