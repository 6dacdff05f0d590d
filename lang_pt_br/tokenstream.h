// A small token stream that cuts a string into tokens with four character
// sets, and the tokenizer sets the voice publishes for the host engine.
#pragma once

#include <cstdint>

struct Value;

// A growable character buffer: `text` holds room for `capacity` characters
// plus the terminating NUL.
struct TokenBuffer {
  char* text;
  int32_t capacity;
  int32_t length;
};

struct TokenStream {
  int32_t position;  // index in `text` of the next character to read
  char* text;        // the stream's own copy of the input
  int32_t current;   // current character 1..255, or -1 at the end
  TokenBuffer whitespace;       // whitespace before the last token
  TokenBuffer prepunctuation;
  TokenBuffer token;            // the last token
  TokenBuffer postpunctuation;
  // Constant NUL-terminated sets, not owned; replaceable before the first get.
  const char* whitespace_set;
  const char* singlechar_set;
  const char* prepunctuation_set;
  const char* postpunctuation_set;
};

// Initial room of every buffer (plus the NUL).
constexpr int32_t kTokenBufferInitial = 256;

// Default sets of a fresh stream.
extern const char kTokenDefaultWhitespace[];       // " \t\n\r"
extern const char kTokenDefaultSingleChar[];       // "(){}[]"
extern const char kTokenDefaultPrePunctuation[];   // "\"'`({["
extern const char kTokenDefaultPostPunctuation[];  // "\"'`.,:;!?(){}[]"

// The voice's tokenizer sets (values of the voice features text_whitespace,
// text_postpunctuation and text_singlecharsymbols).
extern const char pt_br_text_whitespace[];          // 0x20 0x09 0x0A 0x0D 0xA0
extern const char pt_br_text_postpunctuation[];     // ".,:;!?"
extern const char pt_br_text_singlecharsymbols[];   // ""

// Opens a stream over a copy of `text` (not null) with the default sets and
// reads the first character.
TokenStream* token_stream_open_string(const char* text);
// Reads the next token; the text belongs to the stream and stays valid until
// the next get or the close.
const char* token_stream_get(TokenStream* ts);
bool token_stream_at_end(const TokenStream* ts);
void token_stream_close(TokenStream* ts);

// Splits `text` at " \t\n\r" into a list Value of string Values (null for an
// empty or all-white text).
Value* split_words(const char* text);
