// Slots of the SILK-coded layout (type 14).
#pragma once

#include "core/contract.h"

void silk_set_slots(UnitDbFile* file);
