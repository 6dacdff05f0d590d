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

// Hides a value from the optimiser, so that a condition built from two
// tests stays one branch instead of being split into two, one of which would
// depend on the data.
inline unsigned opaque(unsigned v) {
#if defined(__GNUC__)
  asm("" : "+r"(v));
#endif
  return v;
}

// The same test, first on the pointers: strings that a host keeps once are
// equal exactly when their pointers are, and then the bytes are only read
// when the first ones agree at different addresses (a rare case, so the one
// branch is predicted well).
inline bool same_text(const char* a, const char* b) {
  const unsigned same = a == b;
  if (__builtin_expect(opaque((same ^ 1u) & static_cast<unsigned>(*a == *b)), 0)) return str_eq(a, b);
  return same;
}

// True when `s` is exactly the constant text `lit` (a string literal).
template <unsigned N>
inline bool str_is(const char* s, const char (&lit)[N]) {
#pragma GCC unroll 16
  for (unsigned k = 0; k < N; ++k)
    if (s[k] != lit[k]) return false;
  return true;
}

}  // namespace unitsel
