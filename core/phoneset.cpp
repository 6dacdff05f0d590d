#include "core/phoneset.h"

#include <cstring>

#include "core/item.h"
#include "core/platform.h"

int32_t phone_id(const Phoneset* ps, const char* phone) {
  if (!ps || !phone) return -1;
  if (ps->sorted) {
    int32_t low = 0;
    int32_t high = ps->num_phones;
    while (low < high) {
      int32_t probe = (low + high) / 2;
      int c = string_compare_bytes(phone, ps->phone_names[probe]);
      if (c == 0) return probe;
      if (c > 0)
        low = probe + 1;
      else
        high = probe;
    }
    return -1;
  }
  for (int32_t i = 0; i < ps->num_phones; ++i)
    if (strcmp(phone, ps->phone_names[i]) == 0) return i;
  return -1;
}

Value* phone_feature(const Phoneset* ps, const char* phone, const char* feature) {
  int32_t id = phone_id(ps, phone);
  if (id < 0) return value_default_string();
  const int32_t* row = ps->feature_matrix[id];
  // Walk the row along with the column names so that a short row (ended by
  // -1 early) answers "0" instead of reading past its end.
  for (int column = 0; ps->feature_names[column]; ++column) {
    if (row[column] < 0) break;
    if (strcmp(ps->feature_names[column], feature) == 0)
      return const_cast<Value*>(ps->feature_values[row[column]]);
  }
  return value_default_string();
}

const char* phone_feature_string(const Phoneset* ps, const char* phone, const char* feature) {
  return value_string(phone_feature(ps, phone, feature));
}

const Phoneset* item_phoneset(const Item* item) {
  const Utterance* u = item_utterance(item);
  Value* v = u ? features_get(u->features, "phoneset") : nullptr;
  return static_cast<const Phoneset*>(value_phoneset(v));
}
