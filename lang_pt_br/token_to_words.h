// From tokens to words: the dispatcher that tests a token's shape (tone
// marks, markup hints, times, dates, money, titles, numbers, abbreviations,
// words, mixed strings) and calls the matching reader.
//
// Every reader returns a list Value of string Values (ISO-8859-15), one per
// word in reading order; null means the token yields no words.
#pragma once

struct Item;
struct Value;

// The words of a `Token` item (the voice's `tokentowords_func`).  May write
// `endtone`, `punc`, `nsw` and a name without its final tone mark back on
// the token.
Value* token_to_words(Item* token);

// The words of `text` (the token's name or a piece of it) by the default
// rules: digits, ordinals, numbers, percent, dotted abbreviations, words,
// single letters, and mixed strings split at hyphens and class boundaries.
Value* default_token_to_words(Item* token, const char* text);

// The words that the token's `interpret-as` hint asks for ("characters",
// "number", "cardinal", "ordinal", "digits", "fraction", "time", "date"),
// or null when there is no hint or it does not fit the text.
Value* markup_hint_to_words(Item* token, const char* text);

// A new heap string (heap_free) in which A-Z and the accented capitals of
// Portuguese are lower case; every other byte is unchanged.
char* lowercase_pt(const char* text);

// True when `text` is a dotted abbreviation such as "e.u.a." (at least three
// characters of letters and dots) whose final period is either written or
// was split off into the token's `punc`.
bool is_dotted_abbreviation(Item* token, const char* text);

// When `text` does not end with "." but the token's `punc` begins with one,
// that period belongs to the abbreviation: it is removed from `punc`.
void drop_abbreviation_period(Item* token, const char* text);

// Whether a string splits after its character `index` (which has a
// successor): between a letter run and anything else, between a digit run
// and anything else, and after every other character; always after a
// leading apostrophe.
bool is_class_boundary(const char* text, int index);
