// Clock times, durations and dates read as Brazilian Portuguese words.
//
// Every reader returns a list Value of string Values (ISO-8859-15), one per
// word; null means no words.
#pragma once

struct Item;
struct Value;

// A clock time matched by time_pattern ("10:30", "9:05pm", "10:30a.m").  When
// the am/pm suffix lost its final period to the token's `punc`, that period
// is taken back from `punc`.
Value* time_to_words(Item* token, const char* name);

// Minutes and seconds written 3'25" (digits, apostrophe, digits, quote).
Value* duration_to_words(const char* text);

// A date whose fields are separated by ".", "/" or "-", read in the order
// that `format` gives with the letters "d", "m" and "y" ("dmy", "my", "y").
// Fields that fail their test are left out of the reading.
Value* date_to_words(Item* token, const char* text, const char* format);

// The words of a date from its parts; each part may be null (absent).
Value* date_words(const char* month, const char* day, const char* year);

// The month name a text denotes: a number 1..12, a roman numeral I..XII, or
// the first three or more letters of a name ("dez", "Set"); null for none.
const char* month_name(const char* text);

// Month names, January first.
extern const char* const month_names[12];
