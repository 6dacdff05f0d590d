// Regular expressions over ISO-8859-15 text.
//
// Patterns are carried as compiled programs in read-only data and run by a
// backtracking matcher.  A program is the check byte 0x9C followed by a chain
// of nodes: one opcode byte, a big-endian 16-bit offset to the next node
// (counted from the start of the node; backward for BACK; 0 for none) and an
// operand (a NUL-terminated text for ANYOF, ANYBUT and EXACTLY, a whole node
// for STAR and PLUS, nothing for the others).
#pragma once

#include <cstdint>

// Opcodes of the program nodes.
enum RegexOpcode : uint8_t {
  kRegexEnd = 0,
  kRegexBol = 1,
  kRegexEol = 2,
  kRegexAny = 3,
  kRegexAnyOf = 4,
  kRegexAnyBut = 5,
  kRegexBranch = 6,
  kRegexBack = 7,
  kRegexExactly = 8,
  kRegexNothing = 9,
  kRegexStar = 10,
  kRegexPlus = 11,
  kRegexWordA = 12,
  kRegexWordZ = 13,
  kRegexOpen = 20,   // OPEN n is kRegexOpen + n, n = 1..9
  kRegexClose = 30,  // CLOSE n is kRegexClose + n, n = 1..9
};

constexpr uint8_t kRegexCheckByte = 0x9C;
constexpr int kRegexMaxGroups = 10;  // slot 0 is the whole match, 1..9 the groups

// A compiled pattern.
struct Regex {
  uint8_t first_char;  // every match begins with this character; 0 for none
  uint8_t anchored;    // 1: a match may only start at the beginning of the text
  const char* must;    // a text every match contains, or null
  int32_t must_length;
  int32_t program_size;
  const uint8_t* program;
};

// Result of a successful search: the whole match in slot 0, groups 1..9 in
// slots 1..9 (null when the group took no part), the matcher's cursor and the
// start of the searched text.
struct RegexMatch {
  const char* start[kRegexMaxGroups];
  const char* end[kRegexMaxGroups];
  const char* cursor;
  const char* text_start;
  int32_t depth;         // current nesting of the recursive matcher
  bool record_groups;    // false when only the answer matters (regex_matches)
};

// Searches `text` for the leftmost match.  The match record is allocated on
// the process heap and belongs to the caller (heap_free); null when nothing
// matches.  A null Regex or text, or a damaged program, prints
// "regexp failure: <reason>" and ends the process with exit code -1.
RegexMatch* regex_find(const Regex* regex, const char* text);

// True when `text` holds a match of `regex`; false for a null Regex.  Since
// every stored pattern is anchored at both ends, this tells whether the whole
// text has the pattern's form.
bool regex_matches(const Regex* regex, const char* text);

// The pattern of the decision trees' `matches` question (source in
// regex_patterns.cpp); the patterns of Portuguese tokens are declared in
// lang_pt_br/token_patterns.h.
extern const Regex ascii_abbreviation_pattern;

// Pattern table of the decision-tree `matches` question: index 0 is
// ascii_abbreviation_pattern.
constexpr int kCartPatternCount = 1;
extern const Regex* const cart_patterns[kCartPatternCount];

// A stored pattern with its name and source text, for tests and tools.
struct StoredPattern {
  const char* name;
  const char* source;
  const Regex* regex;
};
extern const StoredPattern cart_stored_patterns[kCartPatternCount];
