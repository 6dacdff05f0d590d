// X-SAMPA to the voice's phone names and back.
#pragma once

#include <cstdint>

#include "lang_pt_br/lts.h"

struct Value;

// Symbol classes of the X-SAMPA symbol table.
enum XsampaClass : int {
  kXsampaVowel = 1,
  kXsampaConsonant = 2,
  kXsampaOther = 4,
};

struct XsampaSymbol {
  const char* symbol;
  int klass;
};

struct XsampaDiacritic {
  const char* diacritic;
  int follows;  // mask of the symbol classes it may follow
};

constexpr int kXsampaSymbolCount = 120;
constexpr int kXsampaDiacriticCount = 53;
extern const XsampaSymbol xsampa_symbols[kXsampaSymbolCount];
extern const XsampaDiacritic xsampa_diacritics[kXsampaDiacriticCount];

// X-SAMPA (bracketed symbols with their kept diacritics) to voice phones.
extern const LtsRule xsampa_to_xkelto_rules[];
// Voice phones in brackets to X-SAMPA: the table the voice hands to the host
// as xkelto_to_xsampa_rules.
extern const LtsRule xkelto_to_xsampa_rules[];

// The voice's xsampafunc: an X-SAMPA transcription as a syllabified,
// stressed phone list (null when nothing is left).  The caller owns it.
Value* xsampa_to_xkelto_func(const char* xsampa);

// "[$]" + each symbol in brackets followed by its kept diacritics + "[$]",
// written into `out` (emptied first).
void xsampa_tokenize(const char* xsampa, LtsBuffer* out);

// In-place clean-ups of a converted phone string: a stress digit moves onto
// the next vowel phone of its syllable or goes; a "-" without a vowel
// after it goes.
void fix_stress_marks(char* phones);
void fix_syllable_marks(char* phones);
