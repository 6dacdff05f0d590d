// Amounts of money in reais, dollars, euros, pounds and yen.
#pragma once

struct Value;

// One row of the currency table.
struct Currency {
  const char* symbol;  // "£", "$", "€", "¥", "R$" (ISO-8859-15)
  const char* code;    // "GBP", "USD", "EUR", "JPY", "BRL"
  const char* unit;
  const char* units;
  const char* subunit;
  const char* subunits;
  bool feminine;  // gender of the unit
};

constexpr int kCurrencyCount = 5;
extern const Currency currencies[kCurrencyCount];

// The row whose symbol or code equals `prefix` exactly, or null.
const Currency* currency_find(const char* prefix);

// An amount (digits with optional thousands dots, an optional decimal comma,
// an optional sign) in the currency that `prefix` names: "um real e cinquenta
// centavos".  Null when the prefix names no currency; a null amount gives the
// plural unit alone.
Value* money_to_words(const char* amount, const char* prefix);

// The one-word list with the plural unit of the currency ("reais"), or null.
Value* currency_plural_word(const char* prefix);
