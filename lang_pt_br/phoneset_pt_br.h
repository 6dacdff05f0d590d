// The Brazilian Portuguese phoneset "x-kelto-pt_br": 36 phones, silence
// "pau", seven feature columns.
#pragma once

#include "core/item.h"
#include "core/phoneset.h"
#include "core/value.h"

extern const Phoneset phoneset_pt_br;

// A permanent `phoneset` Value holding phoneset_pt_br, for the voice's
// `phoneset` feature (never counted or freed).
Value* phoneset_pt_br_value();

// Feature function `ph_vcar`: the "vcar" feature of the segment's phone.  The
// table has no such column, so the answer is "0" for every phone.
Value* ph_vcar(Item* segment);
