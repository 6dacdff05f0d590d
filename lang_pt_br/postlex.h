// The post-lexical rule that works across word boundaries.
#pragma once

struct Utterance;

// A word-final "s" directly before a vowel-initial next segment becomes
// "z".  The utterance needs its SylStructure relation; it is changed in
// place and returned.
Utterance* postlex_func(Utterance* utt);
