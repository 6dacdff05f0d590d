// The stored pattern of the decision trees' `matches` question, compiled into
// a read-only program while this file is compiled.  (The patterns of
// Portuguese tokens live with the token readers, lang_pt_br/token_patterns.cpp.)
#include "trees/regex.h"
#include "trees/regex_compile.h"

STORED_PATTERN(ascii_abbreviation_pattern, "^([A-Za-z]\\.)*[A-Za-z]$");

const Regex* const cart_patterns[kCartPatternCount] = {&ascii_abbreviation_pattern};

const StoredPattern cart_stored_patterns[kCartPatternCount] = {
    {"ascii_abbreviation_pattern", ascii_abbreviation_pattern_source, &ascii_abbreviation_pattern},
};
