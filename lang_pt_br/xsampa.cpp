// X-SAMPA transcriptions to syllabified, stressed phone lists.
#include "lang_pt_br/xsampa.h"

#include <cstring>

#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/word_to_segments.h"

namespace {

// The diacritics that survive tokenising; all others are dropped.
constexpr const char* kKeptDiacritics[] = {":", "=", "_=", "_^", "_~", "~", nullptr};

// Vowel phones that can carry a stress digit and close a syllable mark.
constexpr const char* kVowelPhones[] = {"a", "an", "e", "eh", "en", "i", "in", "o", "oh", "on", "u", "un", nullptr};

void append(LtsBuffer* out, const char* text, size_t n) {
  if (out->text == nullptr || out->length + static_cast<int32_t>(n) > out->capacity) {
    int32_t want = out->capacity > 0 ? out->capacity : 64;
    while (want < out->length + static_cast<int32_t>(n)) want += want / 2;
    out->text = static_cast<char*>(heap_realloc(out->text, want + 1));
    out->capacity = want;
  }
  memcpy(out->text + out->length, text, n);
  out->length += static_cast<int32_t>(n);
  out->text[out->length] = '\0';
}

void append(LtsBuffer* out, const char* text) { append(out, text, strlen(text)); }

bool starts_with(const char* text, const char* prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

bool is_lower(char c) { return c >= 'a' && c <= 'z'; }

// Is text[0, n) one of the vowel phones?
bool is_vowel_run(const char* text, size_t n) {
  for (const char* const* v = kVowelPhones; *v; ++v)
    if (strlen(*v) == n && memcmp(*v, text, n) == 0) return true;
  return false;
}

// Copies the run of lower-case letters at *r to *w (in place: *w is never
// ahead of *r), moving both past it; returns the run's length.
// The copy may overwrite the run's old place: read it at *w - n afterwards.
size_t copy_letters(const char** r, char** w) {
  const char* start = *r;
  while (is_lower(**r)) ++*r;
  const size_t n = static_cast<size_t>(*r - start);
  memmove(*w, start, n);
  *w += n;
  return n;
}

}  // namespace

void xsampa_tokenize(const char* xsampa, LtsBuffer* out) {
  out->length = 0;
  append(out, "[$]");
  const char* p = xsampa;
  while (*p) {
    const XsampaSymbol* found = nullptr;
    for (const XsampaSymbol& s : xsampa_symbols)
      if (starts_with(p, s.symbol)) {
        found = &s;
        break;
      }
    if (!found) {
      ++p;  // nothing known starts here
      continue;
    }
    p += strlen(found->symbol);
    bool present[kXsampaDiacriticCount] = {};
    for (;;) {
      int hit = -1;
      for (int d = 0; d < kXsampaDiacriticCount && *p; ++d)
        if (starts_with(p, xsampa_diacritics[d].diacritic)) {
          hit = d;
          break;
        }
      if (hit < 0) break;
      present[hit] = true;
      p += strlen(xsampa_diacritics[hit].diacritic);
    }
    append(out, "[");
    append(out, found->symbol);
    append(out, "]");
    for (int d = 0; d < kXsampaDiacriticCount; ++d)
      if (present[d] && (xsampa_diacritics[d].follows & found->klass) &&
          string_in_list(xsampa_diacritics[d].diacritic, kKeptDiacritics))
        append(out, xsampa_diacritics[d].diacritic);
  }
  append(out, "[$]");
}

void fix_stress_marks(char* phones) {
  char pending = 0;
  char* w = phones;
  const char* r = phones;
  while (*r) {
    char c = *r;
    if (c == '1' || c == '2') {
      pending = c;  // an earlier pending digit is dropped
      ++r;
    } else if (c == '-') {
      pending = 0;
      *w++ = *r++;
    } else if (is_lower(c)) {
      const size_t n = copy_letters(&r, &w);
      if (pending && is_vowel_run(w - n, n)) {
        *w++ = pending;
        pending = 0;
      }
    } else {
      *w++ = *r++;
    }
  }
  *w = '\0';
}

void fix_syllable_marks(char* phones) {
  char* pending = nullptr;  // where the kept, still unconfirmed "-" stands
  char* w = phones;
  const char* r = phones;
  while (*r) {
    char c = *r;
    if (c == '-') {
      if (r == phones || pending) {
        ++r;  // at the very start, or a second mark before any vowel
      } else {
        pending = w;
        *w++ = *r++;
      }
    } else if (is_lower(c)) {
      const size_t n = copy_letters(&r, &w);
      if (is_vowel_run(w - n, n)) pending = nullptr;
    } else {
      *w++ = *r++;
    }
  }
  *w = '\0';
  if (pending) memmove(pending, pending + 1, strlen(pending + 1) + 1);
}

Value* xsampa_to_xkelto_func(const char* xsampa) {
  if (!xsampa) return nullptr;
  LtsBuffer bracketed{};
  LtsBuffer converted{};
  xsampa_tokenize(xsampa, &bracketed);
  lts_apply(bracketed.text, xsampa_to_xkelto_rules, &converted);
  fix_stress_marks(converted.text);
  fix_syllable_marks(converted.text);
  Value* phones = syllabify(phone_string_to_list(converted.text));
  lts_buffer_free(&bracketed);
  lts_buffer_free(&converted);
  return phones;
}
