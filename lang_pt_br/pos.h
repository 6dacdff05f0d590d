// Guessed part of speech of Brazilian Portuguese function words.
//
// Words are looked up byte-wise and case-sensitively (ISO-8859-15) in a fixed
// sequence of closed classes; the first class holding the word gives its tag,
// every other word is "content".
#pragma once

#include "core/item.h"
#include "core/value.h"

// The classes: a null-terminated list of classes, each an array of constant
// string Values whose first element is the tag and whose further elements are
// the words, ended by a Value whose text is null.
extern const Value* const kPosClasses[];

// The tag Value of a word (a constant Value, never to be released).
Value* pos_tag_of(const char* word);

// Feature function `gpos`: the tag of the item's "name".
Value* gpos(Item* word);
