// Phrase-final tones: statements, yes/no questions, wh-questions and
// alternative questions.
//
// The host builds the relation "Phrase" (one item per phrase, the words as
// its daughters) and names each phrase by its break: "BB" ends a sentence,
// "B" is a minor break.  These functions only read the utterance.
#pragma once

#include "core/item.h"
#include "core/value.h"

// Tone of the phrase's last syllable: the constant string Value "H" (high,
// rising end), "L" (low end), "L*" (low accent at a minor break), or null.
// The item is read in its "Phrase" relation.
Value* phrasesylendtone_func(Item* phrase);

// 1 when the sentence of the phrase opens (in any of its phrases) with a
// wh-word pattern, else 0.
int is_wh_question(Item* phrase);

// 1 when the sentence of the phrase is a chain of comma-ended "B" phrases
// closed by a "BB" question phrase that begins with "ou", else 0.
int is_alternative_question(Item* phrase);
