// Text operations shared by every subsystem (platform independent).
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "core/platform.h"
#include "core/value.h"

char* string_copy(const char* text) {
  if (!text) return nullptr;
  size_t n = strlen(text);
  if (n >= INT32_MAX) fatal_exit();
  auto* copy = static_cast<char*>(heap_alloc(static_cast<int32_t>(n + 1)));
  memcpy(copy, text, n);
  return copy;
}

char* string_sub(const char* text, int start, int length) {
  if (!text) return nullptr;
  if (start < 0 || length < 0) fatal_exit();
  auto* copy = static_cast<char*>(heap_alloc(length + 1));
  memcpy(copy, text + start, static_cast<size_t>(length));
  return copy;
}

bool string_ends_with(const char* text, const char* suffix) {
  size_t n = strlen(text), m = strlen(suffix);
  return m <= n && memcmp(text + n - m, suffix, m) == 0;
}

bool string_in_list(const char* text, const char* const* list) {
  for (; *list; ++list)
    if (strcmp(text, *list) == 0) return true;
  return false;
}

const char* string_suffix_in_list(const char* text, const char* const* list) {
  size_t n = strlen(text);
  for (; *list; ++list) {
    size_t m = strlen(*list);
    if (m <= n && memcmp(text + n - m, *list, m) == 0) return text + n - m;
  }
  return nullptr;
}

const char* string_find_char(const char* text, int c) { return strchr(text, c); }

double string_to_double(const char* text) { return strtod(text, nullptr); }

int32_t string_to_int(const char* text) {
  // As the C library's atoi: the number is read as a long (saturating at its
  // limits) and then narrowed to 32 bits, so that "2718093645" reads as the
  // same 32-bit pattern as the unsigned checksum 2718093645.
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (isspace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  uint64_t n = 0;
  const uint64_t limit = negative ? static_cast<uint64_t>(INT64_MAX) + 1 : static_cast<uint64_t>(INT64_MAX);
  for (; *p >= '0' && *p <= '9'; ++p) {
    unsigned digit = *p - '0';
    n = n > (limit - digit) / 10 ? limit : n * 10 + digit;
  }
  uint64_t bits = negative ? 0 - n : n;
  return static_cast<int32_t>(static_cast<uint32_t>(bits));
}

Value* value_string_append(Value* value, const char* text) {
  if (!value) return value;
  const char* old = value_string(value);
  size_t a = old ? strlen(old) : 0, b = strlen(text);
  if (a + b >= INT32_MAX) fatal_exit();
  auto* grown = static_cast<char*>(heap_realloc(const_cast<char*>(old), static_cast<int32_t>(a + b + 1)));
  memcpy(grown + a, text, b + 1);
  value->body.s = grown;
  return value;
}
