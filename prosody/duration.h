// Segment durations: z-scores from a decision tree, scaled by each phone's
// mean and standard deviation, and fixed pauses that depend on the phrase
// break before them.
#pragma once

#include <cstdint>

#include "core/item.h"
#include "core/value.h"

// The compact tree set (payload of a `zdur_cart` Value): three static byte
// tables, then their sizes.
//
// stats:   6-byte records {name index u8, 0, mean ms s16le, sd ms s16le},
//          ended by a record whose first byte is 255.
// strings: 64-byte NUL-padded slots.  A question slot is an operator
//          character ('=', '<' or '>') followed by a feature path; value
//          slots hold the text to compare with (phone names included).
// nodes:   4-byte records {question index u8 (255: leaf), value index u8,
//          u16le no-node for a question / s16le z-score x 1000 for a leaf};
//          node 0 is the root and the yes branch is always the next node.
struct ZdurCart {
  const uint8_t* stats;
  const char (*strings)[64];
  const uint8_t* nodes;
  uint16_t num_strings;
  uint16_t num_nodes;
};

constexpr int kZdurStatSize = 6;
constexpr int kZdurStringSize = 64;
constexpr int kZdurNodeSize = 4;
constexpr uint8_t kZdurLeaf = 255;
constexpr uint8_t kZdurStatsEnd = 255;

// The voice's own tree set.
extern const ZdurCart kZdurCartPtBr;

// Leaf value (z-score x 1000) reached by the segment.
int16_t zdur_predict(const ZdurCart* cart, const Item* seg);
// Duration of the segment in milliseconds.
int16_t zdur_duration(const ZdurCart* cart, const Item* seg);

// The statistics record of a phone: the first whose name equals `name`, or
// else the first record.  Returns a pointer to the 6-byte record.
const uint8_t* zdur_stats_lookup(const ZdurCart* cart, const char* name);
int16_t zdur_stats_mean(const uint8_t* record);
int16_t zdur_stats_sd(const uint8_t* record);

// Statistics of the alternative model (payload of a `dur_stats` Value): an
// array ended by a record whose name is null.  Seconds.
struct DurStat {
  const char* name;
  float mean;
  float sd;
};

// The first record whose name equals `name`; if none does, the first record.
const DurStat* dur_stats_lookup(const DurStat* stats, const char* name);

// Default of the voice feature `pause_base_len`, in seconds.
constexpr float kPauseBaseLen = 0.35f;

// Sets the float feature "end" (seconds from the start) on every segment.
// Reads `zdur_cart`, or else `dur_cart` and `dur_stats`, and
// `pause_base_len` from the utterance's features.
Utterance* duration_func(Utterance* utt);
