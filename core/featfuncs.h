// The standard linguistic feature functions: phone classes, sizes and
// positions of syllables, words and phrases, stress and accent counts, break
// levels.
//
// Every function takes one item and answers with a shared permanent Value
// (compare by identity or by text), except segment_duration, which may make a
// fresh float Value that belongs to the caller.  Counts come out as the
// permanent digit strings "0".."19" (20 or more, and -1, as "19").
#pragma once

#include "core/features.h"
#include "core/item.h"
#include "core/value.h"

// The permanent class Values the functions answer with.
Value* featfunc_onset();    // "onset"
Value* featfunc_coda();     // "coda"
Value* featfunc_initial();  // "initial"
Value* featfunc_mid();      // "mid"
Value* featfunc_final();    // "final"
Value* featfunc_single();   // "single"
Value* featfunc_empty();    // ""

// Phone features of a segment's `name`.
Value* ph_vc(Item* seg);
Value* ph_vlng(Item* seg);
Value* ph_vheight(Item* seg);
Value* ph_vfront(Item* seg);
Value* ph_vrnd(Item* seg);
Value* ph_ctype(Item* seg);
Value* ph_cplace(Item* seg);
Value* ph_cvox(Item* seg);

// Segments.
Value* seg_onsetcoda(Item* seg);
Value* seg_coda_fric(Item* seg);
Value* seg_onset_fric(Item* seg);
Value* seg_coda_stop(Item* seg);
Value* seg_onset_stop(Item* seg);
Value* seg_coda_nasal(Item* seg);
Value* seg_onset_nasal(Item* seg);
Value* seg_coda_glide(Item* seg);
Value* seg_onset_glide(Item* seg);
Value* pos_in_syl(Item* seg);
Value* segment_duration(Item* seg);

// Syllables.
Value* syl_onsetsize(Item* syl);
Value* syl_codasize(Item* syl);
Value* syl_num_phones(Item* syl);
Value* syl_vowel(Item* syl);
Value* syl_final(Item* syl);
Value* syl_break(Item* syl);
Value* position_type(Item* syl);
Value* pos_in_word(Item* syl);
Value* accented(Item* syl);
Value* syl_in(Item* syl);
Value* syl_out(Item* syl);
Value* ssyl_in(Item* syl);
Value* ssyl_out(Item* syl);
Value* asyl_in(Item* syl);
Value* asyl_out(Item* syl);
Value* ssyl_from(Item* syl);
Value* ssyl_to(Item* syl);
Value* last_accent(Item* syl);
Value* next_accent(Item* syl);
Value* sub_phrases(Item* syl);

// Words.
Value* word_num_syls(Item* word);
Value* word_break(Item* word);
Value* word_punc(Item* word);
Value* pos_in_phrase(Item* word);
Value* pos_in_utt(Item* word);

// Phrases.
Value* phrase_num_words(Item* phrase);
Value* phrase_num_syls(Item* phrase);
Value* num_phrases(Item* phrase);

// The utterance's own `language_code`.
Value* language_code(Item* item);

// Registers the 48 functions above under their own names, in the standard
// order.
void register_feature_functions(Features* functions);
