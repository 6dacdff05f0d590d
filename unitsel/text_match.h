// Small inline string tests used by the cost functions and the graph builder.
// They stop at the first differing byte, so they never read past the NUL of
// either string, and they call nothing: the cost functions run millions of
// times per utterance.
#pragma once

namespace unitsel {

// True when the two NUL-terminated strings are equal byte for byte.
inline bool str_eq(const char* a, const char* b) {
  if (a == b) return true;
  while (*a == *b) {
    if (*a == '\0') return true;
    ++a;
    ++b;
  }
  return false;
}

inline bool str_differs(const char* a, const char* b) { return !str_eq(a, b); }

// True when `s` is exactly the constant text `lit` (a string literal).
template <unsigned N>
inline bool str_is(const char* s, const char (&lit)[N]) {
  for (unsigned k = 0; k < N; ++k)
    if (s[k] != lit[k]) return false;
  return true;
}

}  // namespace unitsel
