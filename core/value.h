// Reference-counted typed values and the value type registry.
//
// A Value is two machine words.  An atom has a 16-bit odd type id and a
// 16-bit reference count in its first word and its payload in the second; a
// list cell has its car pointer in the first word and its cdr in the second.
// Read as a signed 16-bit number the first field is odd for atoms and even
// (an aligned pointer, or zero) for cells.
#pragma once

#include <atomic>
#include <cstdint>

enum ValueType : int16_t {
  kTypeInt = 1,
  kTypeFloat = 3,
  kTypeString = 5,
  kTypeUtterance = 7,
  kTypeWave = 9,
  kTypeTrack = 11,
  kTypeUttFunc = 15,
  kTypeFFunc = 17,
  kTypeRelation = 19,
  kTypeItem = 21,
  kTypeCart = 23,
  kTypePhoneset = 25,
  kTypeLexicon = 27,
  kTypeDurStats = 29,
  kTypeDiphoneDb = 31,
  kTypeWaveSynth = 35,
  kTypeAudioTag = 37,
  kTypeUserData = 41,
  kTypeItemFunc = 43,
  kTypeFeatures = 45,
  kTypePhoneFunc = 47,
  kTypeXsampaFunc = 49,
  kTypeAllWordPosFunc = 51,
  kTypeZdurCart = 53,
  kTypeValFunc = 55,
};

constexpr uint16_t kPermanentRefcount = 65535;

struct Value {
  struct Atom {
    int16_t type;
    uint16_t refcount;
  };
  union Head {
    Atom atom;
    Value* car;
  } head;
  union Body {
    int32_t i;
    float f;
    const char* s;
    void* p;
    Value* cdr;
  } body;
};
static_assert(sizeof(void*) != 8 || sizeof(Value) == 16, "a Value is two 64-bit words");

// Registry row: the type's name and the destructor of its payload.
struct ValueTypeEntry {
  const char* name;
  void (*destructor)(void* payload);
};
// The row of a type id, or null outside the table.
const ValueTypeEntry* value_type_entry(int type);
// The registry name of a type id ("" for unknown ids).
const char* value_type_name(int type);

// The reference count of an atom.  Several threads may hold one value at once
// (each thread's utterances hold the voice's parameters), so counts are read
// and changed atomically.
inline uint16_t value_refcount(const Value* v) {
  return std::atomic_ref<uint16_t>(const_cast<Value*>(v)->head.atom.refcount).load(std::memory_order_relaxed);
}

inline bool value_is_cell(const Value* v) { return v && (v->head.atom.type & 1) == 0; }
inline bool value_is_atom(const Value* v) { return v && (v->head.atom.type & 1) != 0; }
// Type id of an atom, 0 for a list cell, -1 for none.
inline int value_type(const Value* v) {
  if (!v) return -1;
  return value_is_atom(v) ? v->head.atom.type : 0;
}

// Makers (count 0).
Value* value_new_int(int32_t i);
Value* value_new_float(float f);
Value* value_new_string(const char* text);
Value* value_new_object(int type, void* pointer);

// Accessors; unsuitable Values end the process.
int32_t value_int(const Value* v);
float value_float(const Value* v);
const char* value_string(const Value* v);
// Payload of an atom of the given object type; any other Value prints the
// type-mismatch message and ends the process.
void* value_object(const Value* v, int type);

Value* value_retain(Value* v);
void value_release(Value* v);

// Lists.
Value* value_cons(Value* car, Value* cdr);
Value* value_car(const Value* cell);
Value* value_cdr(const Value* cell);
Value* value_set_car(Value* cell, Value* v);
Value* value_set_cdr(Value* cell, Value* v);
Value* value_last_cell(Value* list);
Value* value_append(Value* a, Value* b);
Value* value_reverse(Value* list);
int value_list_length(const Value* list);

bool value_equal(const Value* a, const Value* b);
bool value_less(const Value* a, const Value* b);
bool value_greater(const Value* a, const Value* b);
bool value_member(const Value* v, const Value* list);

// Permanent shared Values: the ints 0..19 and the strings "0".."19";
// n >= 20 (as unsigned) gives the Value for 19.
Value* value_small_int(int32_t n);
Value* value_small_int_string(int32_t n);
// Permanent string Values "1" and "0" (the "0" is the feature-path default).
Value* value_true_string();
Value* value_default_string();

// Builds a permanent string Value at compile time (for constant tables).
constexpr Value value_permanent_string(const char* text) {
  Value v{};
  v.head.atom = {kTypeString, kPermanentRefcount};
  v.body.s = text;
  return v;
}
constexpr Value value_permanent_int(int32_t i) {
  Value v{};
  v.head.atom = {kTypeInt, kPermanentRefcount};
  v.body.i = i;
  return v;
}

// Thin typed makers and accessors for the object types.
inline Value* value_new_userdata(void* p) { return value_new_object(kTypeUserData, p); }
inline Value* value_new_uttfunc(void* p) { return value_new_object(kTypeUttFunc, p); }
inline Value* value_new_itemfunc(void* p) { return value_new_object(kTypeItemFunc, p); }
inline Value* value_new_ffunc(void* p) { return value_new_object(kTypeFFunc, p); }
inline Value* value_new_phoneset(void* p) { return value_new_object(kTypePhoneset, p); }
inline Value* value_new_lexicon(void* p) { return value_new_object(kTypeLexicon, p); }
inline Value* value_new_phonefunc(void* p) { return value_new_object(kTypePhoneFunc, p); }
inline Value* value_new_xsampafunc(void* p) { return value_new_object(kTypeXsampaFunc, p); }
inline Value* value_new_zdur_cart(void* p) { return value_new_object(kTypeZdurCart, p); }
inline Value* value_new_diphonedb(void* p) { return value_new_object(kTypeDiphoneDb, p); }

inline void* value_userdata(const Value* v) { return value_object(v, kTypeUserData); }
inline void* value_diphonedb(const Value* v) { return value_object(v, kTypeDiphoneDb); }
inline void* value_cart(const Value* v) { return value_object(v, kTypeCart); }
inline void* value_dur_stats(const Value* v) { return value_object(v, kTypeDurStats); }
inline void* value_zdur_cart(const Value* v) { return value_object(v, kTypeZdurCart); }
inline void* value_phoneset(const Value* v) { return value_object(v, kTypePhoneset); }
inline void* value_ffunc(const Value* v) { return value_object(v, kTypeFFunc); }
