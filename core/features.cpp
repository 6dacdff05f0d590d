#include "core/features.h"

#include <cstring>

#include "core/platform.h"

namespace {

FeaturePair* find_pair(const Features* f, const char* name) {
  if (!f) return nullptr;
  for (FeaturePair* p = f->head; p; p = p->next)
    if (strcmp(p->name, name) == 0) return p;
  return nullptr;
}

void* list_alloc(PrivateHeap* heap, size_t size) {
  if (!heap) return heap_alloc(static_cast<int32_t>(size));
  void* b = local_alloc(heap, size);
  if (!b) fatal_exit();
  return b;
}

void list_free(PrivateHeap* heap, void* block) {
  if (!heap) heap_free(block);
  else local_free(heap, block);
}

}  // namespace

Features* features_new() { return features_new_in_heap(nullptr); }

Features* features_new_in_heap(PrivateHeap* heap) {
  auto* f = static_cast<Features*>(list_alloc(heap, sizeof(Features)));
  f->heap = heap;
  return f;
}

void features_free(Features* f) {
  if (!f) return;
  PrivateHeap* heap = f->heap;
  for (FeaturePair* p = f->head; p;) {
    FeaturePair* next = p->next;
    value_release(p->val);
    list_free(heap, p);
    p = next;
  }
  list_free(heap, f);
}

bool features_present(const Features* f, const char* name) { return find_pair(f, name) != nullptr; }

int features_count(const Features* f) {
  int n = 0;
  if (f)
    for (FeaturePair* p = f->head; p; p = p->next) ++n;
  return n;
}

Value* features_get(const Features* f, const char* name) {
  FeaturePair* p = find_pair(f, name);
  return p ? p->val : nullptr;
}

int32_t features_get_int(const Features* f, const char* name) { return value_int(features_get(f, name)); }
float features_get_float(const Features* f, const char* name) { return value_float(features_get(f, name)); }
const char* features_get_string(const Features* f, const char* name) {
  return value_string(features_get(f, name));
}

Value* features_get_or(const Features* f, const char* name, Value* fallback) {
  FeaturePair* p = find_pair(f, name);
  return p ? p->val : fallback;
}

int32_t features_get_int_or(const Features* f, const char* name, int32_t fallback) {
  FeaturePair* p = find_pair(f, name);
  return p ? value_int(p->val) : fallback;
}

float features_get_float_or(const Features* f, const char* name, float fallback) {
  FeaturePair* p = find_pair(f, name);
  return p ? value_float(p->val) : fallback;
}

const char* features_get_string_or(const Features* f, const char* name, const char* fallback) {
  FeaturePair* p = find_pair(f, name);
  return p ? value_string(p->val) : fallback;
}

void features_set(Features* f, const char* name, Value* v) {
  if (!v) return;
  FeaturePair* p = find_pair(f, name);
  if (p) {
    value_retain(v);
    value_release(p->val);
    p->val = v;
    return;
  }
  p = static_cast<FeaturePair*>(list_alloc(f->heap, sizeof(FeaturePair)));
  p->name = name;
  p->val = value_retain(v);
  p->next = f->head;
  f->head = p;
}

void features_set_int(Features* f, const char* name, int32_t i) { features_set(f, name, value_new_int(i)); }
void features_set_float(Features* f, const char* name, float x) { features_set(f, name, value_new_float(x)); }
void features_set_string(Features* f, const char* name, const char* text) {
  features_set(f, name, value_new_string(text));
}

bool features_remove(Features* f, const char* name) {
  if (!f) return false;
  for (FeaturePair** link = &f->head; *link; link = &(*link)->next) {
    FeaturePair* p = *link;
    if (strcmp(p->name, name) == 0) {
      *link = p->next;
      value_release(p->val);
      list_free(f->heap, p);
      return true;
    }
  }
  return false;
}
