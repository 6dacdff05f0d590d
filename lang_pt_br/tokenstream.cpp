// Token stream over a string with whitespace, single-character symbol, pre-
// and postpunctuation sets.
#include "lang_pt_br/tokenstream.h"

#include <cstring>

#include "core/platform.h"
#include "core/value.h"

const char kTokenDefaultWhitespace[] = " \t\n\r";
const char kTokenDefaultSingleChar[] = "(){}[]";
const char kTokenDefaultPrePunctuation[] = "\"'`({[";
const char kTokenDefaultPostPunctuation[] = "\"'`.,:;!?(){}[]";

// Space, tab, line feed, carriage return and no-break space (0xA0).
const char pt_br_text_whitespace[] = " \t\n\r\xa0";
const char pt_br_text_postpunctuation[] = ".,:;!?";
const char pt_br_text_singlecharsymbols[] = "";

namespace {

void buffer_init(TokenBuffer* b) {
  b->capacity = kTokenBufferInitial;
  b->text = static_cast<char*>(heap_alloc(b->capacity + 1));
  b->length = 0;
}

void buffer_clear(TokenBuffer* b) {
  b->length = 0;
  b->text[0] = '\0';
}

// Appends one character; a full buffer grows by a fifth of its capacity.
void buffer_append(TokenBuffer* b, int c) {
  if (b->length >= b->capacity) {
    int32_t capacity = b->capacity + b->capacity / 5;
    char* text = static_cast<char*>(heap_alloc(capacity + 1));
    std::memcpy(text, b->text, static_cast<size_t>(b->length));
    heap_free(b->text);
    b->text = text;
    b->capacity = capacity;
  }
  b->text[b->length++] = static_cast<char>(c);
  b->text[b->length] = '\0';
}

void buffer_set(TokenBuffer* b, const char* text, int32_t length) {
  buffer_clear(b);
  for (int32_t i = 0; i < length; ++i) buffer_append(b, static_cast<unsigned char>(text[i]));
}

// -1 (the end) belongs to no set, and neither does the NUL that ends a set.
bool in_set(int c, const char* set) {
  if (c <= 0) return false;
  for (const char* s = set; *s; ++s)
    if (static_cast<unsigned char>(*s) == c) return true;
  return false;
}

void advance(TokenStream* ts) {
  unsigned char c = static_cast<unsigned char>(ts->text[ts->position]);
  if (c != 0) {
    ts->current = c;
    ++ts->position;
  } else {
    ts->current = -1;
  }
}

void collect_while_in(TokenStream* ts, const char* set, TokenBuffer* b) {
  buffer_clear(b);
  if (!in_set(ts->current, set)) return;
  for (;;) {
    if (ts->current == -1 || in_set(ts->current, ts->singlechar_set)) return;
    buffer_append(b, ts->current);
    advance(ts);
    if (!in_set(ts->current, set)) return;
  }
}

void collect_until_in(TokenStream* ts, const char* set, TokenBuffer* b) {
  buffer_clear(b);
  if (in_set(ts->current, set)) return;
  for (;;) {
    if (ts->current == -1 || in_set(ts->current, ts->singlechar_set)) return;
    buffer_append(b, ts->current);
    advance(ts);
    if (in_set(ts->current, set)) return;
  }
}

}  // namespace

TokenStream* token_stream_open_string(const char* text) {
  auto* ts = static_cast<TokenStream*>(heap_alloc(sizeof(TokenStream)));
  ts->text = string_copy(text);
  ts->position = 0;
  buffer_init(&ts->whitespace);
  buffer_init(&ts->prepunctuation);
  buffer_init(&ts->token);
  buffer_init(&ts->postpunctuation);
  ts->whitespace_set = kTokenDefaultWhitespace;
  ts->singlechar_set = kTokenDefaultSingleChar;
  ts->prepunctuation_set = kTokenDefaultPrePunctuation;
  ts->postpunctuation_set = kTokenDefaultPostPunctuation;
  advance(ts);
  return ts;
}

const char* token_stream_get(TokenStream* ts) {
  collect_while_in(ts, ts->whitespace_set, &ts->whitespace);
  collect_while_in(ts, ts->prepunctuation_set, &ts->prepunctuation);
  if (in_set(ts->current, ts->singlechar_set)) {
    buffer_clear(&ts->token);
    buffer_append(&ts->token, ts->current);
    advance(ts);
  } else {
    collect_until_in(ts, ts->whitespace_set, &ts->token);
  }
  // Opening punctuation standing alone is the token itself.
  if (ts->token.length == 0 && ts->prepunctuation.length > 0) {
    buffer_set(&ts->token, ts->prepunctuation.text, ts->prepunctuation.length);
    buffer_clear(&ts->prepunctuation);
  }
  buffer_clear(&ts->postpunctuation);
  if (ts->token.length > 0) {
    // Trailing postpunctuation moves out, but never the token's first character.
    int32_t cut = ts->token.length;
    while (cut > 1 && in_set(static_cast<unsigned char>(ts->token.text[cut - 1]), ts->postpunctuation_set)) --cut;
    if (cut < ts->token.length) {
      buffer_set(&ts->postpunctuation, ts->token.text + cut, ts->token.length - cut);
      ts->token.length = cut;
      ts->token.text[cut] = '\0';
    }
  }
  return ts->token.text;
}

bool token_stream_at_end(const TokenStream* ts) { return ts->current == -1; }

void token_stream_close(TokenStream* ts) {
  if (ts == nullptr) return;
  heap_free(ts->text);
  heap_free(ts->whitespace.text);
  heap_free(ts->prepunctuation.text);
  heap_free(ts->token.text);
  heap_free(ts->postpunctuation.text);
  heap_free(ts);
}

Value* split_words(const char* text) {
  TokenStream* ts = token_stream_open_string(text);
  ts->singlechar_set = "";
  ts->prepunctuation_set = "";
  ts->postpunctuation_set = "";
  Value* words = nullptr;  // built in reverse, turned round at the end
  while (!token_stream_at_end(ts)) {
    const char* token = token_stream_get(ts);
    if (token[0] == '\0') break;
    words = value_cons(value_new_string(token), words);
  }
  token_stream_close(ts);
  return value_reverse(words);
}
