// Loading of the unit database file and unit lookup by name.
#pragma once

#include <cstdint>

#include "core/contract.h"
#include "core/features.h"

// Finds the voice's unit database from `voxdir`, checks and maps it, and sets
// `sample_rate` and `diphonedb` on the voice's features.  Null on failure.
UnitDatabase* unitdb_load(Features* features, const char* voxdir);

// "<voxdir>/<db>/<checksum>/<db>22v", where db is `voxdbname` or else `name`;
// null when either is missing.  The caller frees the result.
char* unitdb_path(const Features* features, const char* voxdir);

// Index of the record named `name`, or -1.
int32_t unit_index_find(const UnitDatabase* db, const char* name);
