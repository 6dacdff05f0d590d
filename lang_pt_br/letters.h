// Names of characters and letters in Brazilian Portuguese.
#pragma once

struct Value;

// Name of every ISO-8859-15 byte ("" for bytes without a name); a name may
// hold several words separated by spaces.
extern const char* const character_names[256];

// The words of the name of every byte of `text`, in order (null when none).
Value* spell_characters(const char* text);
// Letter names of a word for word-to-segments: one element "á-bê-cê" when no
// name holds a space, else one element per word; a final "'s" is kept.
Value* spell_word_letters(const char* word);
