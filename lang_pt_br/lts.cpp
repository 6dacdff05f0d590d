// The rewrite-rule engine, phone strings and word-entry lookup.
#include "lang_pt_br/lts.h"

#include <cstring>

#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/tokenstream.h"

namespace {

bool element_empty(LtsElement e) { return e == nullptr || e[0] == nullptr; }

bool is_repeat(LtsElement e, const char* op) { return !element_empty(e) && strcmp(e[0], op) == 0; }

int32_t context_length(LtsContext c) {
  int32_t n = 0;
  while (!element_empty(c[n])) ++n;
  return n;
}

// The part of the input that the contexts may look at.
struct Span {
  const char* text;
  int32_t lo;  // first readable position
  int32_t hi;  // one past the last readable position
};

// Does `alt` end exactly at `pos`?
bool ends_at(const Span& s, const char* alt, int32_t len, int32_t pos) {
  return pos - len >= s.lo && memcmp(s.text + pos - len, alt, len) == 0;
}

// Does `alt` begin exactly at `pos`?
bool begins_at(const Span& s, const char* alt, int32_t len, int32_t pos) {
  return pos + len <= s.hi && memcmp(s.text + pos, alt, len) == 0;
}

bool match_left(const Span& s, LtsContext c, int32_t idx, int32_t pos);

// Repetitions of element `rep` ending at `pos` (at least `min` more), then
// the context from `rest` backwards.
bool repeat_left(const Span& s, LtsContext c, LtsElement rep, int32_t rest, int32_t pos, int min) {
  if (min == 0 && match_left(s, c, rest, pos)) return true;
  for (const char* const* a = rep; *a; ++a) {
    int32_t len = static_cast<int32_t>(strlen(*a));
    if (len == 0) continue;  // an empty repetition would repeat forever
    if (ends_at(s, *a, len, pos) && repeat_left(s, c, rep, rest, pos - len, 0)) return true;
  }
  return false;
}

// Elements idx, idx-1, ..., 0 of `c`, the first ending at `pos`.
bool match_left(const Span& s, LtsContext c, int32_t idx, int32_t pos) {
  if (idx < 0) return true;
  LtsElement e = c[idx];
  bool star = is_repeat(e, "*");
  if ((star || is_repeat(e, "+")) && idx > 0) return repeat_left(s, c, c[idx - 1], idx - 2, pos, star ? 0 : 1);
  for (const char* const* a = e; *a; ++a) {
    int32_t len = static_cast<int32_t>(strlen(*a));
    if (ends_at(s, *a, len, pos) && match_left(s, c, idx - 1, pos - len)) return true;
  }
  return false;
}

bool match_right(const Span& s, LtsContext c, int32_t idx, int32_t n, int32_t pos);

bool repeat_right(const Span& s, LtsContext c, LtsElement rep, int32_t rest, int32_t n, int32_t pos, int min) {
  if (min == 0 && match_right(s, c, rest, n, pos)) return true;
  for (const char* const* a = rep; *a; ++a) {
    int32_t len = static_cast<int32_t>(strlen(*a));
    if (len == 0) continue;
    if (begins_at(s, *a, len, pos) && repeat_right(s, c, rep, rest, n, pos + len, 0)) return true;
  }
  return false;
}

// Elements idx .. n-1 of `c`, the first beginning at `pos`.
bool match_right(const Span& s, LtsContext c, int32_t idx, int32_t n, int32_t pos) {
  if (idx >= n) return true;
  LtsElement e = c[idx];
  if (idx + 1 < n) {
    bool star = is_repeat(c[idx + 1], "*");
    if (star || is_repeat(c[idx + 1], "+")) return repeat_right(s, c, e, idx + 2, n, pos, star ? 0 : 1);
  }
  for (const char* const* a = e; *a; ++a) {
    int32_t len = static_cast<int32_t>(strlen(*a));
    if (begins_at(s, *a, len, pos) && match_right(s, c, idx + 1, n, pos + len)) return true;
  }
  return false;
}

void buffer_append(LtsBuffer* out, const char* text, int32_t len) {
  if (out->length + len > out->capacity || out->text == nullptr) {
    int32_t want = out->capacity > 0 ? out->capacity : 64;
    while (want < out->length + len) want += want / 2;
    out->text = static_cast<char*>(heap_realloc(out->text, want + 1));
    out->capacity = want;
  }
  memcpy(out->text + out->length, text, len);
  out->length += len;
  out->text[out->length] = '\0';
}

}  // namespace

void lts_buffer_free(LtsBuffer* buffer) {
  heap_free(buffer->text);
  *buffer = LtsBuffer{};
}

namespace {

void start_output(LtsBuffer* out) {
  out->length = 0;
  if (out->text) out->text[0] = '\0';
  else buffer_append(out, "", 0);  // a fresh buffer gets its first block
}

// Fires `r` at p when its target and both contexts fit; returns the length
// consumed, or 0.
int32_t try_rule(const Span& s, const LtsRule* r, int32_t p, LtsBuffer* out) {
  if (static_cast<unsigned char>(r->target[0]) != static_cast<unsigned char>(s.text[p])) return 0;
  int32_t tlen = static_cast<int32_t>(strlen(r->target));
  if (!begins_at(s, r->target, tlen, p)) return 0;
  if (!match_left(s, r->left, context_length(r->left) - 1, p)) return 0;
  if (!match_right(s, r->right, 0, context_length(r->right), p + tlen)) return 0;
  buffer_append(out, r->output, static_cast<int32_t>(strlen(r->output)));
  return tlen;
}

}  // namespace

void lts_apply(const char* input, int32_t start, int32_t length, const LtsRule* rules, LtsBuffer* out) {
  start_output(out);
  const Span s{input, start, start + length};
  int32_t p = start;
  while (p < s.hi) {
    int32_t used = 0;
    for (const LtsRule* r = rules; r->left && used == 0; ++r) used = try_rule(s, r, p, out);
    p += used > 0 ? used : 1;  // a character no rule names is dropped
  }
}

void lts_apply_indexed(const char* input, int32_t start, int32_t length, const LtsRule* rules, LtsIndex index,
                       LtsBuffer* out) {
  start_output(out);
  const Span s{input, start, start + length};
  int32_t p = start;
  while (p < s.hi) {
    int32_t used = 0;
    if (const uint16_t* candidates = index[static_cast<unsigned char>(input[p])])
      for (; *candidates != kLtsIndexEnd && used == 0; ++candidates) used = try_rule(s, &rules[*candidates], p, out);
    p += used > 0 ? used : 1;
  }
}

void lts_apply(const char* input, const LtsRule* rules, LtsBuffer* out) {
  lts_apply(input, 0, static_cast<int32_t>(strlen(input)), rules, out);
}

void PhoneListBuilder::add(const char* text) { splice(value_cons(value_new_string(text), nullptr)); }

void PhoneListBuilder::splice(Value* list) {
  if (!list) return;
  if (tail) value_set_cdr(tail, list);
  else head = list;
  tail = value_last_cell(list);
}

Value* phone_string_to_list(const char* phones) {
  TokenStream* ts = token_stream_open_string(phones);
  ts->whitespace_set = " |";
  ts->singlechar_set = "-";
  ts->prepunctuation_set = "";
  ts->postpunctuation_set = "";
  PhoneListBuilder list;
  while (!token_stream_at_end(ts)) {
    const char* token = token_stream_get(ts);
    if (token[0] != '\0') list.add(token);
  }
  token_stream_close(ts);
  return list.head;
}

Value* lts_word(const char* word) {
  int32_t n = static_cast<int32_t>(strlen(word));
  char local[128];  // words fit here; longer ones go to the heap
  char* framed = n + 3 <= static_cast<int32_t>(sizeof local) ? local : static_cast<char*>(heap_alloc(n + 3));
  framed[0] = '#';
  memcpy(framed + 1, word, n);
  framed[n + 1] = '#';
  framed[n + 2] = '\0';
  LtsBuffer out{};
  lts_apply_indexed(framed, 0, n + 2, pt_br_lts_rules, pt_br_lts_index, &out);
  Value* phones = phone_string_to_list(out.text);
  lts_buffer_free(&out);
  if (framed != local) heap_free(framed);
  return phones;
}

Value* lexicon_lookup(const WordEntry* table, const char* word, const char* pos) {
  char want = (pos && pos[0]) ? pos[0] : '0';
  for (const WordEntry* e = table; *e; ++e) {
    const char* key = (*e)[0];
    if (!key || key[0] == '\0') continue;
    if (want != '0' && key[0] != '*' && key[0] != want) continue;
    if (strcmp(key + 1, word) != 0) continue;
    PhoneListBuilder list;
    for (const char* const* ph = *e + 1; *ph; ++ph) list.add(*ph);
    return list.head;
  }
  return nullptr;
}
