// The host's prosody stage, after phrases, syllables and segments exist:
// pauses between phrases, phrase-final tones, the voice's post-lexical rule
// and its durations.
#pragma once

#include <string>

#include "core/contract.h"
#include "core/item.h"

// Rebuilds the `Segment` relation from the phrases' words (in `Phrase`,
// through `SylStructure`) with a silence segment "pau" at the start and after
// every phrase.  Segments keep their contents; only the pauses are new.
void add_phrase_pauses(Utterance* utterance);

// Calls the voice's `phrasesylendtone_func` on every phrase and stores the
// tone it gives as `endtone` on the phrase's last syllable (no tone, no
// feature).  False when the voice has no such function.
bool phrase_tones(Utterance* utterance);

// The whole stage: pauses, tones, then the voice's `postlex_func` and
// `duration_func`, which leaves `end` on every segment.  False, with the
// missing function's name in `error`, when the voice lacks one of them.
bool prosody_stage(Utterance* utterance, std::string* error);
