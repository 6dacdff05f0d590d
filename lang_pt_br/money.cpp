// Amounts of money.
#include "lang_pt_br/money.h"

#include <cstring>

#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/numbers.h"
#include "lang_pt_br/token_to_words_util.h"

using tokwords::WordList;

// Searched in this order.  Symbols: pound 0xA3, dollar, euro 0xA4, yen 0xA5.
const Currency currencies[kCurrencyCount] = {
    {"\xa3", "GBP", "libra", "libras", "penny", "pence", true},
    {"$", "USD", "d\xf3lar" /* dólar */, "d\xf3lares" /* dólares */, "centavo", "centavos", false},
    {"\xa4", "EUR", "euro", "euros", "centavo", "centavos", false},
    {"\xa5", "JPY", "iene", "ienes", "sen", "senes", false},
    {"R$", "BRL", "real", "reais", "centavo", "centavos", false},
};

const Currency* currency_find(const char* prefix) {
  for (const Currency& c : currencies)
    if (strcmp(prefix, c.symbol) == 0 || strcmp(prefix, c.code) == 0) return &c;
  return nullptr;
}

Value* currency_plural_word(const char* prefix) { return money_to_words(nullptr, prefix); }

namespace {

bool is_one(const char* text) { return strcmp(text, "1") == 0 || strcmp(text, "01") == 0; }

}  // namespace

Value* money_to_words(const char* amount, const char* prefix) {
  const Currency* row = currency_find(prefix);
  if (!row) return nullptr;
  if (!amount) return tokwords::one_word(row->units);
  NumberForm form;
  form.feminine = row->feminine;

  WordList words;
  const char* comma = strchr(amount, ',');
  if (comma && strlen(comma + 1) <= 2) {
    // Cents: "5" means fifty; an empty decimal part reads as no cents.
    char cents[3] = {'0', '0', '\0'};
    if (comma[1]) {
      cents[0] = comma[1];
      cents[1] = comma[2] ? comma[2] : '0';
    }
    WordList cent_words;
    if (strcmp(cents, "00") != 0) {
      cent_words.add(number_to_words(cents, NumberForm{}));
      cent_words.word(strcmp(cents, "01") == 0 ? row->subunit : row->subunits);
    }
    char* integer = string_sub(amount, 0, static_cast<int>(comma - amount));
    if (!cent_words.empty() && strcmp(integer, "0") == 0) {
      words.add(cent_words.take());
    } else {
      words.add(signed_number_to_words(integer, form));
      words.word(is_one(integer) ? row->unit : row->units);
      if (!cent_words.empty()) {
        words.word("e");
        words.add(cent_words.take());
      }
    }
    heap_free(integer);
  } else {
    words.add(signed_number_to_words(amount, form));
    words.word(is_one(amount) ? row->unit : row->units);
  }
  return words.take();
}
