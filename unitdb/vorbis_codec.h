// Slots of the two Vorbis layouts (types 8 and 12).
#pragma once

#include "core/contract.h"

void vorbis_set_slots(UnitDbFile* file, bool scrambled);
