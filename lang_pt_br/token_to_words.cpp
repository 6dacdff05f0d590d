// The token-to-words dispatcher and its default rules.
#include "lang_pt_br/token_to_words.h"

#include <cstdio>
#include <cstring>

#include "core/item.h"
#include "core/path.h"
#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/abbreviations_pt_br.h"
#include "lang_pt_br/dates.h"
#include "lang_pt_br/fractions.h"
#include "lang_pt_br/letters.h"
#include "lang_pt_br/money.h"
#include "lang_pt_br/numbers.h"
#include "lang_pt_br/token_to_words_util.h"
#include "lang_pt_br/token_patterns.h"

using tokwords::is_digit;
using tokwords::is_letter;
using tokwords::matches;
using tokwords::WordList;

namespace tokwords {

bool is_letter(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
  switch (c) {
    case 0xE1: case 0xE9: case 0xED: case 0xF3: case 0xFA: case 0xE0: case 0xE2:  // á é í ó ú à â
    case 0xEA: case 0xF4: case 0xE3: case 0xF5: case 0xFC: case 0xE7:             // ê ô ã õ ü ç
    case 0xC1: case 0xC9: case 0xCD: case 0xD3: case 0xDA: case 0xC0: case 0xC2:  // Á É Í Ó Ú À Â
    case 0xCA: case 0xD4: case 0xC3: case 0xD5: case 0xDC: case 0xC7:             // Ê Ô Ã Õ Ü Ç
      return true;
    default:
      return false;
  }
}

int64_t digit_value(const char* text) {
  constexpr int64_t kLimit = 1000000000000000000;  // far above any value a reader tests
  int64_t value = 0;
  for (const char* p = text; *p; ++p) {
    if (*p == '.') continue;
    if (!is_digit(static_cast<unsigned char>(*p))) break;
    value = value >= kLimit / 10 ? kLimit : value * 10 + (*p - '0');
  }
  return value;
}

bool all_digits(const char* text) {
  if (!*text) return false;
  for (const char* p = text; *p; ++p)
    if (!is_digit(static_cast<unsigned char>(*p))) return false;
  return true;
}


bool may_match(const Regex* pattern, const char* text) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  size_t n = strlen(text);
  if (pattern == &time_pattern) return is_digit(s[0]) && strchr(text, ':');
  if (pattern == &date_dmy_pattern || pattern == &date_mdy_pattern || pattern == &date_ymd_pattern)
    return n >= 6 && is_digit(s[n - 1]) && strpbrk(text, "./-");
  if (pattern == &scale_word_pattern) return s[0] && strchr("MmBb", s[0]);
  if (pattern == &money_pattern) {
    if (!s[0] || !strchr("$\xa4\xa3\xa5RUEGJB", s[0])) return false;
    for (const unsigned char* p = s; *p; ++p)
      if (is_digit(*p)) return true;
    return false;
  }
  if (pattern == &digits_pattern || pattern == &ordinal_pattern) return is_digit(s[0]);
  if (pattern == &number_pattern) return is_digit(s[0]) || s[0] == '+' || s[0] == '-';
  if (pattern == &word_pattern) return is_letter(s[0]);
  if (pattern == &abbreviation_pattern) return n >= 3 && strchr(text, '.');
  return true;
}

bool matches(const Regex* pattern, const char* text) { return may_match(pattern, text) && regex_matches(pattern, text); }

}  // namespace tokwords

namespace {

// Letters that are read as words on their own rather than spelled:
// a A á Á à À e E é É o O ó Ó.
constexpr char kSingleCharWords[] =
    "aA\xe1\xc1\xe0\xc0"
    "eE\xe9\xc9"
    "oO\xf3\xd3";

// The upper-case accented letters and their lower-case forms, position for
// position: ÁÉÍÓÚÀÂÊÔÃÕÜÇ and áéíóúàâêôãõüç.
constexpr unsigned char kUpperAccented[] = {0xC1, 0xC9, 0xCD, 0xD3, 0xDA, 0xC0, 0xC2,
                                            0xCA, 0xD4, 0xC3, 0xD5, 0xDC, 0xC7};
constexpr unsigned char kLowerAccented[] = {0xE1, 0xE9, 0xED, 0xF3, 0xFA, 0xE0, 0xE2,
                                            0xEA, 0xF4, 0xE3, 0xF5, 0xFC, 0xE7};

void lowercase_in_place(char* text) {
  for (unsigned char* p = reinterpret_cast<unsigned char*>(text); *p; ++p) {
    if (*p >= 'A' && *p <= 'Z') {
      *p = static_cast<unsigned char>(*p - 'A' + 'a');
    } else if (*p >= 0xC0) {
      for (size_t k = 0; k < sizeof kUpperAccented; ++k)
        if (*p == kUpperAccented[k]) {
          *p = kLowerAccented[k];
          break;
        }
    }
  }
}

// A one-word list holding the text in lower case.
Value* lowercase_word(const char* text) {
  Value* word = value_new_string(text);
  lowercase_in_place(const_cast<char*>(value_string(word)));  // the Value's own copy
  return value_cons(word, nullptr);
}

// A one-word list holding the text in lower case with a final ".".
Value* lowercase_abbreviation(const char* text) {
  Value* word = value_new_string(text);
  if (!string_ends_with(text, ".")) value_string_append(word, ".");
  lowercase_in_place(const_cast<char*>(value_string(word)));
  return value_cons(word, nullptr);
}

void set_nsw(Item* token) { item_set_string(token, "nsw", "nide"); }

bool punc_begins_with_period(const Item* token) { return item_feature_string(token, "punc")[0] == '.'; }

// The text that a feature path reaches, as a heap copy ("0" when absent or
// not a string).  A fresh Value made by a feature function is released.
char* path_text(const Item* item, const char* path) {
  Value* v = feature_path_value(item, path);
  char* copy = string_copy(value_type(v) == kTypeString ? value_string(v) : "0");
  if (value_is_atom(v) && value_refcount(v) == 0) value_release(v);
  return copy;
}

const char* title_word(const char* name) {
  for (const PtBrAbbreviation& a : kPtBrAbbreviations)
    if (a.reading && strcmp(name, a.written) == 0) return a.reading;
  return nullptr;
}

// Index of the first character of a money token's amount: its first digit,
// "." or ",".
size_t money_prefix_length(const char* name) {
  size_t k = 0;
  while (name[k] && !is_digit(static_cast<unsigned char>(name[k])) && name[k] != '.' && name[k] != ',') ++k;
  return k;
}

// Appends "'s" to the word of a list cell.  A word that the list does not
// own alone (shared or permanent) is replaced by a grown copy.
void append_possessive(Value* cell) {
  Value* word = value_car(cell);
  if (value_type(word) == kTypeString && value_refcount(word) == 1) {
    value_string_append(word, "'s");
    return;
  }
  Value* grown = value_new_string(value_type(word) == kTypeString ? value_string(word) : "");
  value_string_append(grown, "'s");
  Value* old = word;
  value_set_car(cell, value_retain(grown));
  // value_set_car dropped one count of the old word without destroying it.
  if (value_is_atom(old) && value_refcount(old) == 0) value_release(old);
}

// The shape tests of token_to_words, in order.  `no_fallback` is set when
// an empty result is final: an amount of one before "mil", or the default
// rules that read every other token.
Value* shape_to_words(Item* token, const char* name, bool* no_fallback) {
  if (matches(&time_pattern, name)) return time_to_words(token, name);
  if (matches(&date_dmy_pattern, name)) return date_to_words(token, name, "dmy");
  if (matches(&date_mdy_pattern, name)) return date_to_words(token, name, "mdy");
  if (matches(&date_ymd_pattern, name)) return date_to_words(token, name, "ymd");
  if (matches(&scale_word_pattern, name)) {
    char* previous = path_text(token, "p.name");
    bool after_money = matches(&money_pattern, previous);
    Value* words = nullptr;
    if (after_money) {
      // The scale word as written, then the currency's plural unit (none
      // when the prefix names no currency).
      previous[money_prefix_length(previous)] = '\0';
      words = value_cons(value_new_string(name), currency_plural_word(previous));
    }
    heap_free(previous);
    if (after_money) return words;
  }
  if (matches(&money_pattern, name)) {
    size_t k = money_prefix_length(name);
    const char* amount = name + k;
    char* next = path_text(token, "n.name");
    Value* words = nullptr;
    if (strcmp(amount, "1") == 0 && strcmp(next, "mil") == 0) {
      *no_fallback = true;  // "R$1 mil": the next token reads "mil reais"
    } else if (!matches(&scale_word_pattern, next)) {
      char* prefix = string_sub(name, 0, static_cast<int>(k));
      words = money_to_words(amount, prefix);
      heap_free(prefix);
    } else {
      words = signed_number_to_words(amount, NumberForm{});
    }
    heap_free(next);
    return words;
  }
  if (const char* word = title_word(name)) {
    Value* words = tokwords::one_word(word);
    drop_abbreviation_period(token, name);
    return words;
  }
  *no_fallback = true;  // the default rules have had their say
  return default_token_to_words(token, name);
}

bool is_number_hint(const char* hint) {
  return strcmp(hint, "number") == 0 || strcmp(hint, "cardinal") == 0 || strcmp(hint, "ordinal") == 0;
}

}  // namespace

char* lowercase_pt(const char* text) {
  char* copy = string_copy(text);
  lowercase_in_place(copy);
  return copy;
}

bool is_dotted_abbreviation(Item* token, const char* text) {
  return strlen(text) >= 3 && matches(&abbreviation_pattern, text) &&
         (string_ends_with(text, ".") || punc_begins_with_period(token));
}

void drop_abbreviation_period(Item* token, const char* text) {
  if (text[0] && string_ends_with(text, ".")) return;
  if (!punc_begins_with_period(token)) return;
  char* rest = string_copy(item_feature_string(token, "punc") + 1);
  item_set_string(token, "punc", rest);
  heap_free(rest);
}

bool is_class_boundary(const char* text, int index) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  unsigned char a = s[index], b = s[index + 1];
  if (index == 0 && a == '\'') return true;
  auto letter = [](unsigned char c) { return c == '\'' || is_letter(c); };
  if (letter(a) && letter(b)) return false;
  if (!is_digit(a)) return true;
  return !is_digit(b);
}

Value* markup_hint_to_words(Item* token, const char* text) {
  Value* hint_value = item_feature(token, "interpret-as");
  if (!hint_value || value_type(hint_value) != kTypeString) return nullptr;
  const char* hint = value_string(hint_value);
  bool number_hint = is_number_hint(hint);
  bool digits_hint = strcmp(hint, "digits") == 0;

  if (strcmp(hint, "characters") == 0) return spell_characters(text);
  if ((number_hint || digits_hint) && regex_matches(&roman_pattern, text)) {
    char decimal[16];
    snprintf(decimal, sizeof decimal, "%d", static_cast<int>(roman_to_int(text)));
    return markup_hint_to_words(token, decimal);
  }
  bool digits = regex_matches(&digits_pattern, text);
  if (number_hint && digits)
    return strcmp(hint, "ordinal") == 0 ? ordinal_to_words(text, NumberForm{}) : cardinal_to_words(text);
  if (digits_hint && digits) return digits_to_words(text);
  if (strcmp(hint, "fraction") == 0) return fraction_to_words(token, text);
  if (strcmp(hint, "time") == 0 && regex_matches(&duration_pattern, text)) return duration_to_words(text);
  if (strcmp(hint, "date") == 0) {
    if (regex_matches(&date_fields_pattern, text)) {
      char* format = path_text(token, "interpret-as-format");
      Value* words = nullptr;
      bool usable = regex_matches(&date_format_pattern, format);
      if (usable) words = date_to_words(token, text, format);
      heap_free(format);
      if (usable) return words;
    }
    if (digits) return date_to_words(token, text, "y");
  }
  return nullptr;
}

Value* token_to_words(Item* token) {
  // The name is read in place: the readers below never replace it.
  const char* name = item_feature_string(token, "name");
  size_t n = strlen(name);
  if (n > 2 && name[n - 2] == '?' && (name[n - 1] == '^' || name[n - 1] == '_')) {
    item_set_string(token, "endtone", name[n - 1] == '^' ? "H" : "L");
    item_set_string(token, "punc", "?");
    char* shortened = string_sub(name, 0, static_cast<int>(n - 2));
    item_set_string(token, "name", shortened);
    heap_free(shortened);
    name = item_feature_string(token, "name");
  }
  Value* words = markup_hint_to_words(token, name);
  if (!words) {
    bool no_fallback = false;
    words = shape_to_words(token, name, &no_fallback);
    if (!words && !no_fallback) words = default_token_to_words(token, name);
  }
  return words;
}

// The default rules read a string by cutting it into pieces (at a hyphen or
// a class boundary, or before a final "%" or "'s").  The pieces are kept on an
// explicit stack of tasks instead of recursing, so that a token of any length
// is read in bounded stack depth; the tasks run in exactly the order of the
// recursive reading, piece by piece from left to right.
namespace {

struct ReadTask {
  enum Kind : uint8_t { kRead, kPercent, kPossessive };
  Kind kind;
  int32_t start;  // kRead: the piece [start, end) of the string
  int32_t end;
  Value* mark;  // kPossessive: the last word cell before the base was read
};

class TaskStack {
 public:
  ~TaskStack() {
    if (tasks_ != inline_) heap_free(tasks_);
  }
  bool empty() const { return count_ == 0; }
  ReadTask pop() { return tasks_[--count_]; }
  void push(ReadTask task) {
    if (count_ == capacity_) grow();
    tasks_[count_++] = task;
  }

 private:
  void grow() {
    int32_t capacity = capacity_ * 2;
    auto* tasks = static_cast<ReadTask*>(heap_alloc(static_cast<int32_t>(sizeof(ReadTask)) * capacity));
    memcpy(tasks, tasks_, sizeof(ReadTask) * static_cast<size_t>(count_));
    if (tasks_ != inline_) heap_free(tasks_);
    tasks_ = tasks;
    capacity_ = capacity;
  }
  ReadTask inline_[16];
  ReadTask* tasks_ = inline_;
  int32_t count_ = 0;
  int32_t capacity_ = 16;
};

// The words of one piece `s` (length n) when a rule reads it whole; null
// with `split` filled in when it must be cut first.
struct Split {
  enum Kind : uint8_t { kNone, kPieces, kPercent, kPossessive };
  Kind kind = kNone;
  size_t cut = 0;         // kPieces: the first piece is [0, cut)
  size_t rest_start = 0;  // kPieces: the second is [rest_start, n)
};

Value* read_piece(Item* token, const char* s, size_t n, Split* split) {
  Value* nsw_value = item_feature(token, "nsw");
  bool nsw_empty = !nsw_value || (value_type(nsw_value) == kTypeString && !value_string(nsw_value)[0]);
  bool nide = nsw_value && value_type(nsw_value) == kTypeString && strcmp(value_string(nsw_value), "nide") == 0;
  unsigned char first = static_cast<unsigned char>(s[0]);

  if (is_digit(first)) {
    if (matches(&digits_pattern, s)) {
      if ((s[0] == '0' && n > 1) || (nide && n >= 5)) return spell_characters(s);
      return cardinal_to_words(s);
    }
    if (matches(&ordinal_pattern, s)) {
      NumberForm form;
      char* number = string_copy(s);
      size_t k = n;
      if (number[k - 1] == 's') {
        form.plural = true;
        number[--k] = '\0';
      }
      unsigned char indicator = static_cast<unsigned char>(number[k - 1]);
      form.feminine = indicator == 'a' || indicator == 0xAA;  // ª
      number[--k] = '\0';
      Value* words = ordinal_to_words(number, form);
      heap_free(number);
      return words;
    }
  }
  if (nsw_empty && matches(&number_pattern, s))
    return signed_number_to_words(s, NumberForm{});
  if (n > 0 && s[n - 1] == '%') {
    split->kind = Split::kPercent;
    return nullptr;
  }
  if (nsw_empty && is_dotted_abbreviation(token, s)) {
    Value* words = lowercase_abbreviation(s);
    drop_abbreviation_period(token, s);
    return words;
  }
  bool possessive = n >= 2 && s[n - 2] == '\'' && (s[n - 1] == 's' || s[n - 1] == 'S');
  if (possessive) {
    split->kind = Split::kPossessive;
    return nullptr;
  }
  if (n > 1 && matches(&word_pattern, s)) return lowercase_word(s);
  if (n == 1 && strchr(kSingleCharWords, s[0])) return lowercase_word(s);
  if (n > 1) {
    if (const char* hyphen = strchr(s, '-')) {
      set_nsw(token);
      split->kind = Split::kPieces;
      split->cut = static_cast<size_t>(hyphen - s);
      split->rest_start = split->cut + 1;
      return nullptr;
    }
  }
  if (n < 2) return spell_characters(s);
  size_t i = n - 2;
  for (size_t k = 0; k + 3 <= n; ++k)
    if (is_class_boundary(s, static_cast<int>(k))) {
      i = k;
      break;
    }
  set_nsw(token);
  split->kind = Split::kPieces;
  split->cut = i + 1;
  split->rest_start = i + 1;
  return nullptr;
}

}  // namespace

Value* default_token_to_words(Item* token, const char* text) {
  // Most texts are read whole by one rule: only a text that must be cut gets
  // a working copy in which each piece is ended by a NUL in turn.
  size_t length = strlen(text);
  Split split;
  Value* whole = read_piece(token, text, length, &split);
  if (split.kind == Split::kNone) return whole;

  char* buffer = string_copy(text);
  WordList words;
  TaskStack stack;
  ReadTask first{ReadTask::kRead, 0, static_cast<int32_t>(length), nullptr};
  bool first_done = false;
  stack.push(first);
  while (!stack.empty()) {
    ReadTask task = stack.pop();
    if (task.kind == ReadTask::kPercent) {
      words.word("porcento");
      continue;
    }
    if (task.kind == ReadTask::kPossessive) {
      if (words.tail != task.mark)
        append_possessive(words.tail);  // the base gave words
      else
        words.word("'s");
      continue;
    }
    size_t n = static_cast<size_t>(task.end - task.start);
    Value* piece_words = nullptr;
    if (!first_done) {
      first_done = true;  // the whole text was read above
    } else {
      // Read the piece with a terminating NUL in place.
      char saved = buffer[task.end];
      buffer[task.end] = '\0';
      split = Split{};
      piece_words = read_piece(token, buffer + task.start, n, &split);
      buffer[task.end] = saved;
    }
    switch (split.kind) {
      case Split::kNone:
        words.add(piece_words);
        break;
      case Split::kPieces:
        stack.push({ReadTask::kRead, task.start + static_cast<int32_t>(split.rest_start), task.end, nullptr});
        stack.push({ReadTask::kRead, task.start, task.start + static_cast<int32_t>(split.cut), nullptr});
        break;
      case Split::kPercent:
        stack.push({ReadTask::kPercent, 0, 0, nullptr});
        stack.push({ReadTask::kRead, task.start, task.end - 1, nullptr});
        break;
      case Split::kPossessive:
        if (n == 2) {
          words.word("'s");
        } else {
          stack.push({ReadTask::kPossessive, 0, 0, words.tail});
          stack.push({ReadTask::kRead, task.start, task.end - 2, nullptr});
        }
        break;
    }
  }
  heap_free(buffer);
  return words.take();
}
