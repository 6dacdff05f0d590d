// Feature lists: the one associative container, name -> Value.
//
// New names go in front, so a walk meets the most recently added names
// first; replacing an existing name keeps its place.  Names are not copied.
#pragma once

#include <cstdint>

#include "core/value.h"

struct PrivateHeap;

struct FeaturePair {
  const char* name;
  Value* val;
  FeaturePair* next;
};

struct Features {
  FeaturePair* head;
  PrivateHeap* heap;  // null: the process heap
};

Features* features_new();
Features* features_new_in_heap(PrivateHeap* heap);
void features_free(Features* f);

bool features_present(const Features* f, const char* name);
int features_count(const Features* f);
Value* features_get(const Features* f, const char* name);
int32_t features_get_int(const Features* f, const char* name);
float features_get_float(const Features* f, const char* name);
const char* features_get_string(const Features* f, const char* name);
Value* features_get_or(const Features* f, const char* name, Value* fallback);
int32_t features_get_int_or(const Features* f, const char* name, int32_t fallback);
float features_get_float_or(const Features* f, const char* name, float fallback);
const char* features_get_string_or(const Features* f, const char* name, const char* fallback);

void features_set(Features* f, const char* name, Value* v);
void features_set_int(Features* f, const char* name, int32_t i);
void features_set_float(Features* f, const char* name, float x);
void features_set_string(Features* f, const char* name, const char* text);
bool features_remove(Features* f, const char* name);
