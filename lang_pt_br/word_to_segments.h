// From one written word to its phone list: letter-to-sound, syllables,
// lexical stress and the open mid vowels.
//
// A phone list is a list Value of string Values: phone names of the
// phoneset, "-" between syllables and the digit "1" after the stressed
// vowel, e.g. ("k" "a1" "-" "z" "a") for "casa".
#pragma once

#include <cstdint>

#include "core/phoneset.h"

struct Item;
struct Value;

// The voice's itemfunc: the phone list of a word item (its "name"), or null.
Value* wordtosegments_func(Item* word);

// The phone list of a word; phrase_final 1 stresses even the unstressed
// function words.  Words with "-" are built from their parts, words with "."
// or without a vowel letter are spelled.  Null for an empty word.
Value* word_to_phones(const Phoneset* ps, const char* word, int phrase_final);
// The word read letter by letter, letters separated by "-".
Value* spell_word(const Phoneset* ps, const char* word);
// `left` "-" `right`; a final "s" of `left` before a vowel becomes "z".
// Takes over both lists.
Value* join_parts(const Phoneset* ps, Value* left, Value* right);

// Inserts "-" between syllables (keeping those already there); changes the
// list in place and returns its head.  Installed as syl_boundaript_br_func.
Value* syllabify(Value* phones);
// 1 when a syllable boundary follows this cell of a phone list, else 0.
int boundary_after(const Value* cell);

// Puts the stress digit on one syllable of the word's list (see stress.cpp).
Value* assign_stress(const Phoneset* ps, const char* word, Value* phones, int phrase_final);
// Appends `level` to every vowel of syllable `syllable` (from 0).
Value* mark_stress(const Phoneset* ps, Value* phones, int level, int syllable);
// Turns stressed "e1"/"o1" into "eh1"/"oh1" where the word or the context
// asks for an open vowel; in place.
void open_mid_vowels(const Phoneset* ps, const char* word, Value* phones);

// True when the phone name (stress digit and "?" stripped) is a vowel of the
// phoneset.  "-" and silence are not.
bool phone_is_vowel(const Phoneset* ps, const char* phone);

// Word lists (lower-case ISO-8859-15, null-terminated unless said otherwise).
extern const char* const unstressed_words[];
extern const char* const final_stress_endings[];
extern const char* const penultimate_stress_endings[];
extern const char* const close_mid_vowel_words[];
// Sorted by unsigned byte order; open_mid_vowel_word_count entries.
extern const char* const open_mid_vowel_words[];
extern const int32_t open_mid_vowel_word_count;
// True when the word is in open_mid_vowel_words (bisection).
bool is_open_mid_vowel_word(const char* word);
