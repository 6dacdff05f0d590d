// Number readers: cardinals, ordinals, signed decimals, digit strings and
// roman numerals in Brazilian Portuguese.
#include "lang_pt_br/numbers.h"

#include <cstring>

#include "core/platform.h"
#include "core/value.h"

namespace {

const char kWordAnd[] = "e";
const char kWordMinus[] = "menos";
const char kWordPlus[] = "mais";
const char kWordComma[] = "v\xedrgula";  // vírgula
const char kWordOneFeminine[] = "uma";
const char kWordTwoFeminine[] = "duas";

// A word list under construction, appended at its tail.
struct WordList {
  Value* head = nullptr;
  Value* tail = nullptr;

  void add_list(Value* list) {
    if (list == nullptr) return;
    if (head == nullptr)
      head = list;
    else
      value_set_cdr(tail, list);
    tail = value_last_cell(list);
  }
  void add(const char* word) { add_list(value_cons(value_new_string(word), nullptr)); }
};

int digit_value(char c) { return c - '0'; }

int32_t digits_value(const char* s, int n) {
  int32_t v = 0;
  for (int i = 0; i < n; ++i) v = v * 10 + digit_value(s[i]);
  return v;
}

NumberForm multiplier_form(NumberForm f) {
  NumberForm m = f;
  if (!f.ordinal) m.feminine = false;
  return m;
}

NumberForm with_after_group(NumberForm f) {
  f.after_group = true;
  return f;
}

void add_digit_names(WordList* out, const char* s, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (s[i] >= '0' && s[i] <= '9') out->add(number_units[digit_value(s[i])].cardinal);
}

void read_digits(WordList* out, const char* s, int n, NumberForm f);

void read_one(WordList* out, const char* s, NumberForm f) {
  int d = digit_value(s[0]);
  if (!f.ordinal && f.feminine && d == 1)
    out->add(kWordOneFeminine);
  else if (!f.ordinal && f.feminine && d == 2)
    out->add(kWordTwoFeminine);
  else
    out->add_list(number_word(number_units[d], f));
}

void read_two(WordList* out, const char* s, NumberForm f) {
  int v = digits_value(s, 2);
  if (v < 10) {
    read_one(out, s + 1, f);
  } else if (v < 20) {
    out->add_list(number_word(number_units[v], f));
  } else {
    out->add_list(number_word(number_tens[v / 10], f));
    if (v % 10 != 0) {
      if (!f.ordinal) out->add(kWordAnd);
      read_one(out, s + 1, f);
    }
  }
}

void read_three(WordList* out, const char* s, NumberForm f) {
  int h = digit_value(s[0]);
  int r = digits_value(s + 1, 2);
  bool cardinal = !f.ordinal;
  if (h == 1 && r == 0) {
    if (cardinal && f.after_group) out->add(kWordAnd);
    out->add_list(number_word(number_hundred_exact, f));
    return;
  }
  if (r == 0) {
    // An exact hundred after a larger group takes "e" ("mil e duzentos").
    if (h != 0) {
      if (cardinal && f.after_group) out->add(kWordAnd);
      out->add_list(number_word(number_hundreds[h], f));
    }
    return;
  }
  if (h != 0) out->add_list(number_word(number_hundreds[h], f));
  if (cardinal) out->add(kWordAnd);
  read_two(out, s + 1, f);
}

// Thousands, millions or billions: `count` is the leading n - group digits.
void read_thousands(WordList* out, const char* s, int n, NumberForm f) {
  int count_len = n - 3;
  int32_t c = digits_value(s, count_len);
  int32_t r = digits_value(s + count_len, 3);
  if (c > 1) read_digits(out, s, count_len, multiplier_form(f));
  if (c != 0) out->add_list(number_word(number_thousand, f));
  if (r > 0) read_digits(out, s + count_len, 3, with_after_group(f));
}

void read_millions(WordList* out, const char* s, int n, NumberForm f) {
  int count_len = n - 6;
  int32_t c = digits_value(s, count_len);
  if (!(f.ordinal && c < 2)) read_digits(out, s, count_len, multiplier_form(f));
  if (c >= 1) out->add_list(number_word(c == 1 ? number_million : number_millions, f));
  read_digits(out, s + count_len, 6, with_after_group(f));
}

void read_billions(WordList* out, const char* s, int n, NumberForm f) {
  int count_len = n - 9;
  int32_t c = digits_value(s, count_len);
  if (!(f.ordinal && c < 2)) read_digits(out, s, count_len, multiplier_form(f));
  out->add_list(number_word(c == 1 ? number_billion : number_billions, f));
  read_digits(out, s + count_len, 9, f);
}

void read_digits(WordList* out, const char* s, int n, NumberForm f) {
  if (n <= 0) return;
  if (n == 1)
    read_one(out, s, f);
  else if (n == 2)
    read_two(out, s, f);
  else if (n == 3)
    read_three(out, s, f);
  else if (n <= 6)
    read_thousands(out, s, n, f);
  else if (n <= 9)
    read_millions(out, s, n, f);
  else if (n <= 12)
    read_billions(out, s, n, f);
  else
    add_digit_names(out, s, static_cast<size_t>(n));
}

// Digits of `text` with every "." removed, in a fresh heap string.
char* strip_dots(const char* text) {
  char* out = string_copy(text);
  char* w = out;
  for (const char* r = text; *r; ++r)
    if (*r != '.') *w++ = *r;
  *w = '\0';
  return out;
}

void read_number_string(WordList* out, const char* text, size_t n, NumberForm f) {
  char* part = string_sub(text, 0, static_cast<int>(n));
  out->add_list(number_string_to_words(part, f));
  heap_free(part);
}

void read_signed(WordList* out, const char* s, NumberForm f) {
  if (s[0] == '-' || s[0] == '+') {
    out->add(s[0] == '-' ? kWordMinus : kWordPlus);
    read_signed(out, s + 1, f);
    return;
  }
  const char* exponent = std::strchr(s, 'e');
  if (exponent == nullptr) exponent = std::strchr(s, 'E');
  if (exponent != nullptr) {
    char* mantissa = string_sub(s, 0, static_cast<int>(exponent - s));
    read_signed(out, mantissa, f);
    heap_free(mantissa);
    out->add(kWordAnd);
    read_signed(out, exponent + 1, f);
    return;
  }
  const char* comma = std::strchr(s, ',');
  if (comma == nullptr) {
    out->add_list(number_string_to_words(s, f));
    return;
  }
  read_number_string(out, s, static_cast<size_t>(comma - s), f);
  out->add(kWordComma);
  const char* decimals = comma + 1;
  while (*decimals == '0') {
    out->add(number_units[0].cardinal);
    ++decimals;
  }
  size_t left = std::strlen(decimals);
  if (left > 3)
    add_digit_names(out, decimals, left);
  else if (left > 0)
    out->add_list(number_string_to_words(decimals, f));
}

}  // namespace

Value* number_word(const NumberWord& word, NumberForm form) {
  if (form.ordinal) {
    size_t stem = std::strlen(word.ordinal_stem);
    char text[64];
    if (stem + 3 > sizeof text) return nullptr;
    std::memcpy(text, word.ordinal_stem, stem);
    size_t n = stem;
    text[n++] = form.feminine ? 'a' : 'o';
    if (form.plural) text[n++] = 's';
    text[n] = '\0';
    return value_cons(value_new_string(text), nullptr);
  }
  if (form.feminine && string_ends_with(word.cardinal, "tos")) {
    // "duzentos" agrees as "duzentas": the last "o" becomes "a".
    Value* v = value_new_string(word.cardinal);
    char* text = const_cast<char*>(value_string(v));
    text[std::strlen(text) - 2] = 'a';
    return value_cons(v, nullptr);
  }
  return value_cons(value_new_string(word.cardinal), nullptr);
}

Value* number_to_words(const char* digits, NumberForm form) {
  // Only ASCII digits index the word tables; any other text reads as nothing.
  size_t n = 0;
  for (; digits[n] != '\0'; ++n)
    if (digits[n] < '0' || digits[n] > '9') return nullptr;
  WordList out;
  read_digits(&out, digits, static_cast<int>(n), form);
  return out.head;
}

Value* number_string_to_words(const char* digits, NumberForm form) {
  char* plain = strip_dots(digits);
  Value* words = number_to_words(plain, form);
  heap_free(plain);
  return words;
}

Value* cardinal_to_words(const char* digits) { return number_string_to_words(digits, NumberForm{}); }

Value* ordinal_to_words(const char* digits, NumberForm form) {
  form.ordinal = true;
  return number_string_to_words(digits, form);
}

Value* signed_number_to_words(const char* text, NumberForm form) {
  WordList out;
  read_signed(&out, text, form);
  return out.head;
}

Value* digits_to_words(const char* text) {
  WordList out;
  add_digit_names(&out, text, std::strlen(text));
  return out.head;
}

int32_t roman_to_int(const char* text) {
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
  int64_t value = 0;
  for (size_t i = 0; text[i] != '\0'; ++i) {
    char c = upper(text[i]);
    char next = text[i + 1] != '\0' ? upper(text[i + 1]) : '\0';
    switch (c) {
      case 'M': value += 1000; break;
      case 'D': value += 500; break;
      case 'L': value += 50; break;
      case 'V': value += 5; break;
      case 'C':
        if (next == 'M') { value += 900; ++i; }
        else if (next == 'D') { value += 400; ++i; }
        else value += 100;
        break;
      case 'X':
        if (next == 'C') { value += 90; ++i; }
        else if (next == 'L') { value += 40; ++i; }
        else value += 10;
        break;
      case 'I':
        if (next == 'X') { value += 9; ++i; }
        else if (next == 'V') { value += 4; ++i; }
        else value += 1;
        break;
      default: break;
    }
    // A numeral too long for 32 bits stays at the largest value.
    if (value > INT32_MAX) return INT32_MAX;
  }
  return static_cast<int32_t>(value);
}
