#include "core/value.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/contract.h"
#include "core/features.h"
#include "core/item.h"
#include "core/platform.h"

namespace {

void destroy_nothing(void*) {}
void destroy_utterance(void* p) { utterance_delete(static_cast<Utterance*>(p)); }
void destroy_features(void* p) { features_free(static_cast<Features*>(p)); }

// Indexed by type id / 2.
constexpr ValueTypeEntry kRegistry[] = {
    {"int", destroy_nothing},              // 1
    {"float", destroy_nothing},            // 3
    {"string", destroy_nothing},           // 5 (the copy is freed directly)
    {"utterance", destroy_utterance},      // 7
    {"wave", wave_free},                   // 9
    {"track", track_free},                 // 11
    {"", destroy_nothing},                 // 13 reserved
    {"uttfunc", destroy_nothing},          // 15
    {"ffunc", destroy_nothing},            // 17
    {"relation", destroy_nothing},         // 19
    {"item", destroy_nothing},             // 21
    {"cart", destroy_nothing},             // 23
    {"phoneset", destroy_nothing},         // 25
    {"lexicon", destroy_nothing},          // 27
    {"dur_stats", destroy_nothing},        // 29
    {"diphonedb", unit_database_free},     // 31
    {nullptr, nullptr},                    // 33 no row
    {"wavesynth", wavesynth_free},         // 35
    {"audiotag", audiotag_free},           // 37
    {nullptr, nullptr},                    // 39 no row
    {"userdata", destroy_nothing},         // 41
    {"itemfunc", destroy_nothing},         // 43
    {"features", destroy_features},        // 45
    {"phonefunc", destroy_nothing},        // 47
    {"xsampafunc", destroy_nothing},       // 49
    {"allwordposfunc", destroy_nothing},   // 51
    {"zdur_cart", destroy_nothing},        // 53
    {"valfunc", destroy_nothing},          // 55
};
constexpr int kRegistrySize = static_cast<int>(sizeof(kRegistry) / sizeof(kRegistry[0]));

constexpr const char* kDigitTexts[20] = {"0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",
                                         "10", "11", "12", "13", "14", "15", "16", "17", "18", "19"};

constexpr std::array<Value, 20> make_small_ints() {
  std::array<Value, 20> a{};
  for (int i = 0; i < 20; ++i) a[i] = value_permanent_int(i);
  return a;
}
constexpr std::array<Value, 20> make_small_strings() {
  std::array<Value, 20> a{};
  for (int i = 0; i < 20; ++i) a[i] = value_permanent_string(kDigitTexts[i]);
  return a;
}

constinit const std::array<Value, 20> kSmallInts = make_small_ints();
constinit const std::array<Value, 20> kSmallStrings = make_small_strings();

Value* new_atom(int type) {
  auto* v = static_cast<Value*>(heap_alloc(sizeof(Value)));
  v->head.atom.type = static_cast<int16_t>(type);
  v->head.atom.refcount = 0;
  return v;
}

void destroy(Value* v) {
  int type = v->head.atom.type;
  if (type == kTypeString) {
    heap_free(const_cast<char*>(v->body.s));
  } else if (type >= kTypeUtterance) {
    const ValueTypeEntry* row = value_type_entry(type);
    if (row && row->destructor) row->destructor(v->body.p);
  }
  heap_free(v);
}

bool is_scalar_type(int type) { return type == kTypeInt || type == kTypeFloat || type == kTypeString; }

}  // namespace

const ValueTypeEntry* value_type_entry(int type) {
  if (type < 1 || (type & 1) == 0 || type / 2 >= kRegistrySize) return nullptr;
  const ValueTypeEntry* row = &kRegistry[type / 2];
  return row->name ? row : nullptr;
}

const char* value_type_name(int type) {
  const ValueTypeEntry* row = value_type_entry(type);
  return row ? row->name : "";
}

Value* value_new_int(int32_t i) {
  Value* v = new_atom(kTypeInt);
  v->body.i = i;
  return v;
}

Value* value_new_float(float f) {
  Value* v = new_atom(kTypeFloat);
  v->body.f = f;
  return v;
}

Value* value_new_string(const char* text) {
  Value* v = new_atom(kTypeString);
  v->body.s = text ? string_copy(text) : nullptr;
  return v;
}

Value* value_new_object(int type, void* pointer) {
  Value* v = new_atom(type);
  v->body.p = pointer;
  return v;
}

int32_t value_int(const Value* v) {
  switch (value_type(v)) {
    case kTypeInt: return v->body.i;
    case kTypeFloat: return static_cast<int32_t>(v->body.f);
    case kTypeString: return v->body.s ? string_to_int(v->body.s) : 0;
    default: fatal_exit();
  }
}

float value_float(const Value* v) {
  switch (value_type(v)) {
    case kTypeInt: return static_cast<float>(v->body.i);
    case kTypeFloat: return v->body.f;
    case kTypeString: return v->body.s ? static_cast<float>(string_to_double(v->body.s)) : 0.0f;
    default: fatal_exit();
  }
}

const char* value_string(const Value* v) {
  if (value_type(v) != kTypeString) fatal_exit();
  return v->body.s;
}

void* value_object(const Value* v, int type) {
  int actual = value_type(v);
  if (actual != type) {
    error_print("VAL: tried to access %s in %d type val\n", value_type_name(type), actual);
    fatal_exit();
  }
  return v->body.p;
}

Value* value_retain(Value* v) {
  if (!value_is_atom(v)) return v;
  // Permanent values lie in read-only data: they are tested, never written.
  std::atomic_ref<uint16_t> count(v->head.atom.refcount);
  if (count.load(std::memory_order_relaxed) != kPermanentRefcount) count.fetch_add(1, std::memory_order_relaxed);
  return v;
}

void value_release(Value* v) {
  while (v) {
    if (value_is_cell(v)) {
      value_release(v->head.car);
      Value* next = v->body.cdr;
      heap_free(v);
      v = next;  // the rest of the list, without recursion along the chain
      continue;
    }
    std::atomic_ref<uint16_t> count(v->head.atom.refcount);
    const uint16_t now = count.load(std::memory_order_relaxed);
    if (now == kPermanentRefcount) return;
    // A fresh value (count 0) has one owner; otherwise the holder that takes
    // the count from 1 to 0 frees it.
    if (now > 0 && count.fetch_sub(1, std::memory_order_acq_rel) > 1) return;
    destroy(v);
    return;
  }
}

Value* value_cons(Value* car, Value* cdr) {
  auto* c = static_cast<Value*>(heap_alloc(sizeof(Value)));
  if (value_is_atom(car)) value_retain(car);
  if (value_is_atom(cdr)) value_retain(cdr);
  c->head.car = car;
  c->body.cdr = cdr;
  return c;
}

Value* value_car(const Value* cell) {
  if (!value_is_cell(cell)) fatal_exit();
  return cell->head.car;
}

Value* value_cdr(const Value* cell) {
  if (!value_is_cell(cell)) fatal_exit();
  return cell->body.cdr;
}

namespace {
void drop_replaced(Value* old) {
  if (!value_is_atom(old)) return;
  std::atomic_ref<uint16_t> count(old->head.atom.refcount);
  const uint16_t now = count.load(std::memory_order_relaxed);
  if (now != kPermanentRefcount && now > 0) count.fetch_sub(1, std::memory_order_acq_rel);
}
}  // namespace

Value* value_set_car(Value* cell, Value* v) {
  if (!value_is_cell(cell)) fatal_exit();
  drop_replaced(cell->head.car);
  cell->head.car = v;
  return cell;
}

Value* value_set_cdr(Value* cell, Value* v) {
  if (!value_is_cell(cell)) fatal_exit();
  drop_replaced(cell->body.cdr);
  cell->body.cdr = v;
  return cell;
}

Value* value_last_cell(Value* list) {
  if (!value_is_cell(list)) fatal_exit();
  Value* c = list;
  while (c->body.cdr) {
    c = c->body.cdr;
    if (!value_is_cell(c)) fatal_exit();
  }
  return c;
}

Value* value_append(Value* a, Value* b) {
  if (!a) return b;
  value_last_cell(a)->body.cdr = b;
  return a;
}

Value* value_reverse(Value* list) {
  Value* prev = nullptr;
  while (list) {
    Value* next = value_cdr(list);
    list->body.cdr = prev;
    prev = list;
    list = next;
  }
  return prev;
}

int value_list_length(const Value* list) {
  int n = 0;
  for (; list; list = value_cdr(list)) ++n;
  return n;
}

bool value_equal(const Value* a, const Value* b) {
  if (a == b) return true;
  if (!a || !b) return false;
  bool ca = value_is_cell(a), cb = value_is_cell(b);
  if (ca && cb) return value_equal(a->head.car, b->head.car) && value_equal(a->body.cdr, b->body.cdr);
  if (ca || cb) return false;
  int ta = a->head.atom.type, tb = b->head.atom.type;
  if (ta == tb) {
    switch (ta) {
      case kTypeInt: return a->body.i == b->body.i;
      case kTypeFloat: return a->body.f == b->body.f;
      case kTypeString:
        if (!a->body.s || !b->body.s) return a->body.s == b->body.s;
        return strcmp(a->body.s, b->body.s) == 0;
      default: return a->body.p == b->body.p;
    }
  }
  if (is_scalar_type(ta) && is_scalar_type(tb)) return value_float(a) == value_float(b);
  return false;
}

bool value_less(const Value* a, const Value* b) {
  if (!value_is_atom(a) || !value_is_atom(b) || !is_scalar_type(value_type(a)) || !is_scalar_type(value_type(b)))
    fatal_exit();
  return value_float(a) < value_float(b);
}

bool value_greater(const Value* a, const Value* b) {
  if (!value_is_atom(a) || !value_is_atom(b) || !is_scalar_type(value_type(a)) || !is_scalar_type(value_type(b)))
    fatal_exit();
  return value_float(a) > value_float(b);
}

bool value_member(const Value* v, const Value* list) {
  for (const Value* c = list; c; c = c->body.cdr) {
    if (!value_is_cell(c)) fatal_exit();
    if (value_equal(v, c->head.car)) return true;
  }
  return false;
}

Value* value_small_int(int32_t n) {
  uint32_t u = static_cast<uint32_t>(n);
  return const_cast<Value*>(&kSmallInts[u >= 20 ? 19 : u]);
}

Value* value_small_int_string(int32_t n) {
  uint32_t u = static_cast<uint32_t>(n);
  return const_cast<Value*>(&kSmallStrings[u >= 20 ? 19 : u]);
}

Value* value_true_string() { return value_small_int_string(1); }
Value* value_default_string() { return value_small_int_string(0); }
