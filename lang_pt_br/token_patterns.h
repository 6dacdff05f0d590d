// The stored patterns of Portuguese tokens that the token readers match
// whole texts against (sources in token_patterns.cpp).
#pragma once

#include "trees/regex.h"

extern const Regex ordinal_pattern;
extern const Regex number_pattern;
extern const Regex integer_pattern;
extern const Regex digits_pattern;
extern const Regex roman_pattern;
extern const Regex abbreviation_pattern;
extern const Regex word_pattern;
extern const Regex letters_pattern;
extern const Regex time_pattern;
extern const Regex duration_pattern;
extern const Regex date_dmy_pattern;
extern const Regex date_mdy_pattern;
extern const Regex date_ymd_pattern;
extern const Regex date_fields_pattern;
extern const Regex date_format_pattern;
extern const Regex scale_word_pattern;
extern const Regex money_pattern;

// Every token pattern with its name and source text, for tests and tools.
constexpr int kTokenPatternCount = 17;
extern const StoredPattern token_patterns[kTokenPatternCount];
