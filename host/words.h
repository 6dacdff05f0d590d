// The host's second stage: phrases over the words, and syllables and
// segments from the phone lists of the voice's `wordtosegments_func`.
#pragma once

#include "core/contract.h"
#include "core/item.h"

// A new `Phrase` relation over the words of the `Token` relation (each
// token's daughters, in order).  A phrase ends after a token whose
// punctuation holds ".", "!" or "?" (named "BB") or ",", ";" or ":" (named
// "B"); the last phrase is "BB".  Returns the relation.
Relation* build_phrases(Utterance* utterance);

// The voice's `wordtosegments_func` from the utterance's features, or null.
ItemFunc utterance_wordtosegments_function(const Utterance* utterance);

// Adds one word's syllables and segments: the word joins `SylStructure`, a
// `Syllable` begins at the start and after each "-" (with `stress` 1 when
// one of its phones carries the digit "1", else 0) and each phone becomes a
// `Segment` named without its stress digit.  A "-" with no phone after it
// makes no syllable.
void word_phones_to_items(Utterance* utterance, Item* word, const Value* phones);

// Calls `wordtosegments_func` on every item of `Word` and builds the
// relations `Syllable`, `SylStructure` and `Segment` (new, replacing old
// ones).  False when the voice has no such function.
bool words_to_segments(Utterance* utterance);
