// The host's first stage: cutting a text into the `Token` relation with the
// tokenizer sets the voice publishes, and reading each token into words with
// the voice's `tokentowords_func`.
#pragma once

#include <string>

#include "core/contract.h"
#include "core/item.h"

// The four character sets of the tokenizer (ISO-8859-15 bytes).
struct TokenizerSets {
  std::string whitespace;
  std::string singlechar;
  std::string prepunctuation;
  std::string postpunctuation;
};

// The sets that the utterance's features publish (text_whitespace,
// text_singlecharsymbols, text_prepunctuation, text_postpunctuation); a set
// the voice does not publish keeps its default (" \t\n\r", "(){}[]",
// "\"'`({[", "\"'`.,:;!?(){}[]").
TokenizerSets tokenizer_sets(const Utterance* utterance);

// Cuts ISO-8859-15 `text` into a new `Token` relation of the utterance
// (replacing any old one).  Each token carries `name` (its text without
// punctuation), `whitespace` (what preceded it), `prepunctuation` and `punc`
// (the punctuation split off its end), all strings, possibly empty.
Relation* tokenize_text(Utterance* utterance, const char* text, const TokenizerSets& sets);
Relation* tokenize_text(Utterance* utterance, const char* text);

// The voice's `tokentowords_func` from the utterance's features, or null
// when the voice has none.
ItemFunc utterance_token_function(const Utterance* utterance);

// The words of one token by the voice's `tokentowords_func` (a list of
// string Values that the caller releases); null when it gives none or the
// voice has no such function.
Value* token_words(Utterance* utterance, Item* token);

// Reads every token into words: a new `Word` relation whose items are also
// the daughters of their tokens in `Token`, each with its `name`.  Returns
// the relation (empty when the utterance has no `Token` relation).
Relation* tokens_to_words(Utterance* utterance);
