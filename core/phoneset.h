// Phonesets: the phones of a voice and their articulatory features.
//
// A phoneset is constant data.  Every answer is a constant string Value from
// the table (or the shared "0" on a miss); callers never release it.
#pragma once

#include <cstdint>

#include "core/value.h"

struct Item;

struct Phoneset {
  const char* name;
  const char* const* feature_names;   // column names, ended by null
  const Value* const* feature_values;  // the distinct values, ended by null
  const char* const* phone_names;     // num_phones names
  const char* silence;
  int32_t num_phones;
  const int32_t* const* feature_matrix;  // per phone: one index into feature_values per column, then -1
  int32_t sorted;                        // 1: phone_names ascend byte-wise, lookups bisect
};

// Index of the phone in the table, or -1.  Names are compared exactly.
int32_t phone_id(const Phoneset* ps, const char* phone);
// The phone's value in the named column; the shared "0" when the phone or the
// column is not in the table.
Value* phone_feature(const Phoneset* ps, const char* phone, const char* feature);
const char* phone_feature_string(const Phoneset* ps, const char* phone, const char* feature);
// The phoneset held by the `phoneset` feature of the item's utterance.  A
// missing or mistyped feature prints the type-mismatch message and ends the
// process.
const Phoneset* item_phoneset(const Item* item);
