// Feature paths such as "R:SylStructure.parent.stress" and the
// feature-function registry.
#pragma once

#include <cstdint>

#include "core/features.h"
#include "core/item.h"
#include "core/value.h"

// Paths must be shorter than this many characters.
constexpr int kFeaturePathMax = 150;

// The feature's Value, never null (the permanent "0" instead).  A Value made
// fresh by a feature function belongs to the caller; others must not be
// released.
Value* feature_path_value(const Item* item, const char* path);
// The item reached by the path's directives (a trailing feature name is
// skipped like any unknown directive).
Item* feature_path_item(const Item* item, const char* path);
const char* feature_path_string(const Item* item, const char* path);
int32_t feature_path_int(const Item* item, const char* path);
float feature_path_float(const Item* item, const char* path);

using FeatureFunction = Value* (*)(Item*);
void feature_function_register(Features* functions, const char* name, FeatureFunction fn);
