#include "core/path.h"

#include <cstring>

#include "core/platform.h"

namespace {

// Splits the working buffer in place into tokens separated by '.' or ':'.
struct PathCursor {
  char buf[kFeaturePathMax];
  char* rest;  // start of the next token, or null when none is left
  bool last;   // the token just cut had no separator after it

  explicit PathCursor(const char* path) {
    size_t n = strlen(path);
    if (n >= static_cast<size_t>(kFeaturePathMax)) fatal_exit();
    memcpy(buf, path, n + 1);
    rest = buf;
    last = false;
  }

  // The next token, or null when the path is used up.
  char* cut() {
    if (!rest) return nullptr;
    char* tok = rest;
    char* p = tok;
    while (*p && *p != '.' && *p != ':') ++p;
    if (*p) {
      *p = '\0';
      rest = p + 1;
      last = false;
    } else {
      rest = nullptr;
      last = true;
    }
    return tok;
  }
};

constexpr char kEmptyToken[] = "";

// Moves along one directive; unknown tokens leave the item where it is.
const Item* apply_directive(const Item* item, const char* tok, PathCursor& cursor) {
  switch (tok[0]) {
    case 'n':
      if (tok[1] == '\0') return item_next(item);
      if (tok[1] == 'n' && tok[2] == '\0') return item_next(item_next(item));
      return item;
    case 'p':
      if (tok[1] == '\0') return item_prev(item);
      if (tok[1] == 'p' && tok[2] == '\0') return item_prev(item_prev(item));
      if (strcmp(tok, "parent") == 0) return item_parent(item);
      return item;
    case 'd':
      if (strcmp(tok, "daughter") == 0) return item_first_daughter(item);
      if (strcmp(tok, "daughtern") == 0) return item_last_daughter(item);
      return item;
    case 'R':
      if (tok[1] == '\0') {
        const char* rel = cursor.cut();
        return item_in_relation(item, rel ? rel : kEmptyToken);
      }
      return item;
    default:
      return item;
  }
}

// Walks the directives.  In value mode returns at the last token (left in
// `feature`); in item mode returns when the path is used up.
const Item* walk(const Item* item, PathCursor& cursor, bool value_mode, const char** feature) {
  const char* tok = cursor.cut();
  bool last = cursor.last;
  while (item) {
    if (value_mode && last) {
      *feature = tok;
      return item;
    }
    if (!value_mode && tok[0] == '\0') return item;
    item = apply_directive(item, tok, cursor);
    tok = cursor.cut();
    if (!tok) {
      tok = kEmptyToken;
      last = true;
    } else {
      last = cursor.last;
    }
  }
  return nullptr;
}

}  // namespace

Value* feature_path_value(const Item* item, const char* path) {
  PathCursor cursor(path);
  const char* feature = nullptr;
  item = walk(item, cursor, true, &feature);
  if (!item) return value_default_string();
  if (Utterance* u = item_utterance(item)) {
    if (Value* fn = features_get(u->ffunctions, feature)) {
      auto f = reinterpret_cast<FeatureFunction>(value_ffunc(fn));
      Value* result = f(const_cast<Item*>(item));
      return result ? result : value_default_string();
    }
  }
  Value* v = item_feature(item, feature);
  return v ? v : value_default_string();
}

Item* feature_path_item(const Item* item, const char* path) {
  PathCursor cursor(path);
  return const_cast<Item*>(walk(item, cursor, false, nullptr));
}

const char* feature_path_string(const Item* item, const char* path) {
  return value_string(feature_path_value(item, path));
}

int32_t feature_path_int(const Item* item, const char* path) {
  Value* v = feature_path_value(item, path);
  int32_t x = value_int(v);
  if (value_is_atom(v) && value_refcount(v) == 0) value_release(v);
  return x;
}

float feature_path_float(const Item* item, const char* path) {
  Value* v = feature_path_value(item, path);
  float x = value_float(v);
  if (value_is_atom(v) && value_refcount(v) == 0) value_release(v);
  return x;
}

void feature_function_register(Features* functions, const char* name, FeatureFunction fn) {
  features_set(functions, name, value_new_ffunc(reinterpret_cast<void*>(fn)));
}
