// Small inline string tests used by the cost functions and the graph builder.
// They stop at the first differing byte, so they never read past the NUL of
// either string; most tests in the costs are decided by the first byte.
#pragma once

namespace unitsel {

// True when the two NUL-terminated strings are equal byte for byte.
inline bool str_eq(const char* a, const char* b) {
  if (*a != *b) return false;
  while (*a != '\0') {
    ++a;
    ++b;
    if (*a != *b) return false;
  }
  return true;
}

inline bool str_differs(const char* a, const char* b) { return !str_eq(a, b); }

// True when `s` is exactly the constant text `lit` (a string literal).
template <unsigned N>
inline bool str_is(const char* s, const char (&lit)[N]) {
#pragma GCC unroll 16
  for (unsigned k = 0; k < N; ++k)
    if (s[k] != lit[k]) return false;
  return true;
}

}  // namespace unitsel
