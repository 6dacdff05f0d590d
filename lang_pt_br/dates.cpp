// Clock times, durations and dates.
#include "lang_pt_br/dates.h"

#include <cstring>

#include "core/item.h"
#include "core/path.h"
#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/letters.h"
#include "lang_pt_br/numbers.h"
#include "lang_pt_br/token_to_words.h"
#include "lang_pt_br/token_to_words_util.h"
#include "lang_pt_br/token_patterns.h"

using tokwords::WordList;

const char* const month_names[12] = {
    "janeiro", "fevereiro", "mar\xe7o" /* março */, "abril",  "maio",     "junho",
    "julho",   "agosto",    "setembro",             "outubro", "novembro", "dezembro",
};

namespace {

bool is_separator(char c) { return c == '.' || c == '/' || c == '-'; }

// Field `index` (from 0) of a text cut at every separator, as a fresh heap
// string; null when the text has fewer fields.
char* date_field(const char* text, int index) {
  const char* start = text;
  for (int i = 0; i < index; ++i) {
    while (*start && !is_separator(*start)) ++start;
    if (!*start) return nullptr;
    ++start;  // past the separator
  }
  const char* end = start;
  while (*end && !is_separator(*end)) ++end;
  return string_sub(start, 0, static_cast<int>(end - start));
}

// ASCII-only case-insensitive comparison of the first `n` bytes.
bool prefix_equal_ascii_nocase(const char* name, const char* text, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    unsigned char a = static_cast<unsigned char>(name[i]);
    unsigned char b = static_cast<unsigned char>(text[i]);
    if (a >= 'A' && a <= 'Z') a = static_cast<unsigned char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<unsigned char>(b - 'A' + 'a');
    if (a != b || a == 0) return false;
  }
  return true;
}

// The feature `punc` of the token through its feature path, as a heap copy.
char* token_punc(Item* token) {
  Value* v = feature_path_value(token, "punc");
  char* copy = string_copy(value_type(v) == kTypeString ? value_string(v) : "0");
  if (value_is_atom(v) && value_refcount(v) == 0) value_release(v);  // a fresh function result
  return copy;
}

}  // namespace

const char* month_name(const char* text) {
  int64_t value = tokwords::digit_value(text);
  if (value != 0) return value >= 1 && value <= 12 ? month_names[value - 1] : nullptr;
  if (text[0] && strspn(text, "IVXLCDMivxlcdm") == strlen(text) && regex_matches(&roman_pattern, text)) {
    int32_t r = roman_to_int(text);
    if (r >= 1 && r <= 12) return month_names[r - 1];
  }
  size_t n = strlen(text);
  if (n < 3) return nullptr;
  for (const char* name : month_names)
    if (prefix_equal_ascii_nocase(name, text, n)) return name;
  return nullptr;
}

Value* time_to_words(Item* token, const char* name) {
  char* t = lowercase_pt(name);
  Value* suffix_words = nullptr;
  char* suffix = strchr(t, 'a');
  if (!suffix) suffix = strchr(t, 'p');
  if (suffix) {
    if (strcmp(suffix + 1, ".m") == 0) {
      char* punc = token_punc(token);
      if (punc[0] == '.') {
        memmove(suffix + 1, suffix + 2, strlen(suffix + 2) + 1);  // "a.m" becomes "am"
        item_set_string(token, "punc", punc + 1);
      }
      heap_free(punc);
    }
    suffix_words = spell_characters(suffix);
    *suffix = '\0';
  }
  char* colon = strchr(t, ':');
  WordList words;
  if (colon) {
    *colon = '\0';
    const char* hours = t;
    const char* minutes = colon + 1;
    NumberForm feminine;
    feminine.feminine = true;
    words.add(number_to_words(hours, feminine));
    if (strcmp(minutes, "00") == 0) {
      if (strcmp(hours, "0") == 0 || strcmp(hours, "00") == 0) {
        words.word("e");
        words.word("zero");
      }
    } else {
      words.word("e");
      words.add(cardinal_to_words(minutes));
    }
  }
  words.add(suffix_words);
  heap_free(t);
  return words.take();
}

Value* duration_to_words(const char* text) {
  const char* apostrophe = strchr(text, '\'');
  if (!apostrophe) return nullptr;
  const char* quote = strchr(apostrophe + 1, '"');
  size_t seconds_length = quote ? static_cast<size_t>(quote - apostrophe - 1) : strlen(apostrophe + 1);
  char* minutes = string_sub(text, 0, static_cast<int>(apostrophe - text));
  char* seconds = string_sub(apostrophe + 1, 0, static_cast<int>(seconds_length));

  WordList second_words;
  int64_t s = tokwords::digit_value(seconds);
  if (s > 0) {
    second_words.add(cardinal_to_words(seconds));
    second_words.word(s == 1 ? "segundo" : "segundos");
  }
  WordList words;
  int64_t m = tokwords::digit_value(minutes);
  if (m < 1 && !second_words.empty()) {
    words.add(second_words.take());
  } else {
    words.add(cardinal_to_words(minutes));
    words.word(m == 1 ? "minuto" : "minutos");
    if (!second_words.empty()) {
      words.word("e");
      words.add(second_words.take());
    }
  }
  heap_free(minutes);
  heap_free(seconds);
  return words.take();
}

Value* date_to_words(Item* token, const char* text, const char* format) {
  (void)token;
  char* month = nullptr;
  char* day = nullptr;
  char* year = nullptr;
  for (int i = 0; format[i]; ++i) {
    char* field = date_field(text, i);
    if (!field) continue;
    char** slot = nullptr;
    int64_t value = tokwords::digit_value(field);
    switch (format[i]) {
      case 'm':
        if ((value >= 1 && value <= 12) || regex_matches(&letters_pattern, field)) slot = &month;
        break;
      case 'd':
        // Only a plain number can be read as a day.
        if (value >= 1 && value <= 31 && tokwords::all_digits(field)) slot = &day;
        break;
      case 'y':
        if (tokwords::all_digits(field)) slot = &year;
        break;
      default:
        break;
    }
    if (slot) {
      heap_free(*slot);
      *slot = field;
    } else {
      heap_free(field);
    }
  }
  Value* words = date_words(month, day, year);
  heap_free(month);
  heap_free(day);
  heap_free(year);
  return words;
}

Value* date_words(const char* month, const char* day, const char* year) {
  WordList words;
  if (day) {
    if (strcmp(day, "01") == 0 || strcmp(day, "1") == 0)
      words.word("primeiro");
    else if (day[0] == '0')
      words.add(cardinal_to_words(day + 1));
    else
      words.add(cardinal_to_words(day));
  }
  if (month) {
    const char* name = month_name(month);
    if (name) {
      if (!words.empty()) words.word("de");
      words.word(name);
      if (!year) return words.take();
      words.word("de");
    } else {
      words.word(month);
    }
  }
  if (!year) return words.take();
  char widened[5];
  if (strlen(year) == 2) {
    bool this_century = year[0] == '0' || year[0] == '1' || year[0] == '2';
    widened[0] = this_century ? '2' : '1';
    widened[1] = this_century ? '0' : '9';
    widened[2] = year[0];
    widened[3] = year[1];
    widened[4] = '\0';
    year = widened;
  }
  words.add(cardinal_to_words(year));
  return words.take();
}
