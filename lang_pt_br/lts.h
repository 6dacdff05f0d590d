// Letter-to-sound rewrite rules, their engine, the word-entry table format
// and the voice's static lexicon object.
//
// A rule rewrites its target letters into its output when the letters before
// and after the target fit its left and right contexts.  The same engine
// runs the Brazilian Portuguese letter-to-sound rules and both phone-name
// conversion tables.
#pragma once

#include <cstdint>

struct Value;

// One context element: a null-terminated array of alternative strings.  An
// element matches where one of its alternatives matches; the empty string
// always matches.  An element whose first alternative is "*" stands for zero
// or more repetitions of the element before it, "+" for one or more.
using LtsElement = const char* const*;
// A context: a null-terminated array of elements.  It ends at its first null
// element or at its first element without alternatives, so an array holding
// only such an element is the empty context, which matches anything.
using LtsContext = const LtsElement*;

struct LtsRule {
  LtsContext left;     // read from the target outwards (last element first)
  const char* target;  // letters consumed, at least one
  LtsContext right;    // read forwards from the end of the target
  const char* output;  // appended when the rule fires; may be empty
};
// A rule set ends with a rule whose `left` is null.

// Growable output text.  `text` has room for `capacity` characters plus the
// terminating NUL; a zero-filled buffer is a valid empty one.
struct LtsBuffer {
  char* text;
  int32_t capacity;
  int32_t length;
};

void lts_buffer_free(LtsBuffer* buffer);

// Rewrites input[start, start + length) with `rules` into `out` (emptied
// first).  Characters that no rule takes are dropped.  Allocates only when
// `out` must grow.
void lts_apply(const char* input, int32_t start, int32_t length, const LtsRule* rules, LtsBuffer* out);
// The whole input.
void lts_apply(const char* input, const LtsRule* rules, LtsBuffer* out);

// An index of a rule set by the first byte of the targets: for each byte, the
// positions of the rules whose target begins with it, in table order, ended
// by kLtsIndexEnd (null for a byte that begins no target).
constexpr uint16_t kLtsIndexEnd = 0xFFFF;
using LtsIndex = const uint16_t* const*;

// lts_apply for a rule set with its index: the same output, without walking
// the rules that cannot fire at a position.
void lts_apply_indexed(const char* input, int32_t start, int32_t length, const LtsRule* rules, LtsIndex index,
                       LtsBuffer* out);

// The Brazilian Portuguese letter-to-sound rules (null-terminated) and their
// index (256 entries).
extern const LtsRule pt_br_lts_rules[];
extern const uint16_t* const pt_br_lts_index[256];
// Number of rules before the terminator.
int32_t pt_br_lts_rule_count();

// The phones of one lower-case word: "#word#" through the rules, split with
// phone_string_to_list.  An empty word gives an empty list (null).
Value* lts_word(const char* word);

// Splits a rule output such as "b|oh|k|s|" into a list of string Values,
// one per phone; "-" is an element of its own and empty pieces are skipped.
Value* phone_string_to_list(const char* phones);

// ---------------------------------------------------------------------------
// Word entries

// A word entry: a null-terminated array of strings.  Element 0 is the key, a
// part-of-speech character ("0" any, "*" any as well) followed by the word;
// the rest are the word's phones with "-" between syllables and "1" on the
// stressed vowel.  A word-entry table is a null-terminated array of entries.
using WordEntry = const char* const*;

// The phones of the first entry of `table` that fits `word` and the part of
// speech (its first character; null or "" means "0"), as a new list of
// string Values, or null when nothing fits or the entry has no phones.
Value* lexicon_lookup(const WordEntry* table, const char* word, const char* pos);

struct Lexicon {
  const char* name;
  const WordEntry* entries;
};

// The voice's lexicon object "vox_pt_br_selvana" (22 entries), handed to the
// host as the voice feature vox_lexicon.
extern const Lexicon vox_pt_br_selvana_lexicon;

// ---------------------------------------------------------------------------
// Building phone lists

// Appends string Values to a list in order.
struct PhoneListBuilder {
  Value* head = nullptr;
  Value* tail = nullptr;
  // Appends a new string Value holding a copy of `text`.
  void add(const char* text);
  // Appends the cells of `list` (taken over, not copied).
  void splice(Value* list);
};
