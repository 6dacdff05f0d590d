#include "lang_pt_br/numbers.h"

#include <gtest/gtest.h>

#include <string>

#include "core/platform.h"
#include "tests/support/text.h"

namespace {

using testtext::latin9;
using testtext::words;

NumberForm feminine() {
  NumberForm f;
  f.feminine = true;
  return f;
}

std::string cardinal(const char* digits) { return words(cardinal_to_words(digits)); }
std::string cardinal_f(const char* digits) { return words(number_string_to_words(digits, feminine())); }
std::string ordinal(const char* digits, bool fem = false, bool plural = false) {
  NumberForm f;
  f.feminine = fem;
  f.plural = plural;
  return words(ordinal_to_words(digits, f));
}

TEST(NumberWord, OrdinalEndingsAndFeminineHundreds) {
  NumberForm f;
  EXPECT_EQ(words(number_word(number_units[1], f)), "um");
  f.ordinal = true;
  EXPECT_EQ(words(number_word(number_units[1], f)), "primeiro");
  f.feminine = true;
  EXPECT_EQ(words(number_word(number_units[1], f)), "primeira");
  EXPECT_EQ(words(number_word(number_units[11], f)), "décimo-primeira");
  f.plural = true;
  EXPECT_EQ(words(number_word(number_units[1], f)), "primeiras");
  f.feminine = false;
  EXPECT_EQ(words(number_word(number_units[1], f)), "primeiros");

  NumberForm fem = feminine();
  EXPECT_EQ(words(number_word(number_hundreds[2], fem)), "duzentas");
  EXPECT_EQ(words(number_word(number_hundreds[9], fem)), "novecentas");
  EXPECT_EQ(words(number_word(number_hundreds[1], fem)), "cento");  // only "-tos" agrees
  EXPECT_EQ(words(number_word(number_tens[2], fem)), "vinte");
  EXPECT_EQ(words(number_word(number_million, fem)), "milhão");
}

TEST(Cardinals, UnitsTensHundreds) {
  EXPECT_EQ(cardinal("0"), "zero");
  EXPECT_EQ(cardinal("3"), "três");
  EXPECT_EQ(cardinal("07"), "sete");
  EXPECT_EQ(cardinal("14"), "catorze");
  EXPECT_EQ(cardinal("20"), "vinte");
  EXPECT_EQ(cardinal("21"), "vinte e um");
  EXPECT_EQ(cardinal("99"), "noventa e nove");
  EXPECT_EQ(cardinal("100"), "cem");
  EXPECT_EQ(cardinal("101"), "cento e um");
  EXPECT_EQ(cardinal("110"), "cento e dez");
  EXPECT_EQ(cardinal("200"), "duzentos");
  EXPECT_EQ(cardinal("999"), "novecentos e noventa e nove");
  EXPECT_EQ(cardinal("007"), "e sete");
  EXPECT_EQ(cardinal("000"), "");
  EXPECT_EQ(cardinal(""), "");
}

TEST(Cardinals, ThousandsWithAfterGroup) {
  EXPECT_EQ(cardinal("1000"), "mil");
  EXPECT_EQ(cardinal("1001"), "mil e um");
  EXPECT_EQ(cardinal("1005"), "mil e cinco");
  EXPECT_EQ(cardinal("1007"), "mil e sete");
  EXPECT_EQ(cardinal("1020"), "mil e vinte");
  EXPECT_EQ(cardinal("1100"), "mil e cem");
  EXPECT_EQ(cardinal("1200"), "mil e duzentos");
  EXPECT_EQ(cardinal("1250"), "mil duzentos e cinquenta");
  EXPECT_EQ(cardinal("2000"), "dois mil");
  EXPECT_EQ(cardinal("21000"), "vinte e um mil");
  EXPECT_EQ(cardinal("100000"), "cem mil");
  EXPECT_EQ(cardinal("999999"), "novecentos e noventa e nove mil novecentos e noventa e nove");
  EXPECT_EQ(cardinal("1.000"), "mil");
  EXPECT_EQ(cardinal("12.345"), "doze mil trezentos e quarenta e cinco");
}

TEST(Cardinals, MillionsAndBillions) {
  EXPECT_EQ(cardinal("1000000"), "um milhão");
  EXPECT_EQ(cardinal("1.000.000"), "um milhão");
  EXPECT_EQ(cardinal("2000000"), "dois milhões");
  EXPECT_EQ(cardinal("1200000"), "um milhão e duzentos mil");
  EXPECT_EQ(cardinal("1020000"), "um milhão e vinte mil");
  EXPECT_EQ(cardinal("1000100"), "um milhão e cem");
  EXPECT_EQ(cardinal("1000000000"), "um bilhão");
  EXPECT_EQ(cardinal("1200000000"), "um bilhão duzentos milhões");
  EXPECT_EQ(cardinal("3000000001"), "três bilhões e um");
  EXPECT_EQ(cardinal("123456789012"),
            "cento e vinte e três bilhões quatrocentos e cinquenta e seis milhões setecentos e oitenta e "
            "nove mil e doze");
  EXPECT_EQ(cardinal("999999999999"),
            "novecentos e noventa e nove bilhões novecentos e noventa e nove milhões novecentos e "
            "noventa e nove mil novecentos e noventa e nove");
  // Thirteen digits and more are read one by one.
  EXPECT_EQ(cardinal("1234567890123"), "um dois três quatro cinco seis sete oito nove zero um dois três");
  EXPECT_EQ(cardinal("1.000.000.000.000"), "um zero zero zero zero zero zero zero zero zero zero zero zero");
}

TEST(Cardinals, FeminineAgreementThroughTheGroups) {
  EXPECT_EQ(cardinal_f("1"), "uma");
  EXPECT_EQ(cardinal_f("2"), "duas");
  EXPECT_EQ(cardinal_f("3"), "três");
  EXPECT_EQ(cardinal_f("02"), "duas");
  EXPECT_EQ(cardinal_f("12"), "doze");
  EXPECT_EQ(cardinal_f("21"), "vinte e uma");
  EXPECT_EQ(cardinal_f("22"), "vinte e duas");
  EXPECT_EQ(cardinal_f("200"), "duzentas");
  EXPECT_EQ(cardinal_f("302"), "trezentas e duas");
  // The multiplier of "mil" and "milhão" stays masculine; the rest agrees.
  EXPECT_EQ(cardinal_f("1000"), "mil");
  EXPECT_EQ(cardinal_f("2000"), "dois mil");
  EXPECT_EQ(cardinal_f("1002"), "mil e duas");
  EXPECT_EQ(cardinal_f("201201"), "duzentos e um mil duzentas e uma");
  EXPECT_EQ(cardinal_f("2000000"), "dois milhões");
  EXPECT_EQ(cardinal_f("1000200"), "um milhão e duzentas");
  EXPECT_EQ(cardinal_f("2001000001"), "dois bilhões e um milhão e uma");
}

TEST(Ordinals, FormsAndScales) {
  EXPECT_EQ(ordinal("0"), "zero");
  EXPECT_EQ(ordinal("1"), "primeiro");
  EXPECT_EQ(ordinal("2", true), "segunda");
  EXPECT_EQ(ordinal("3", false, true), "terceiros");
  EXPECT_EQ(ordinal("11", true), "décimo-primeira");
  EXPECT_EQ(ordinal("21"), "vigésimo primeiro");
  EXPECT_EQ(ordinal("21", true, true), "vigésimas primeiras");
  EXPECT_EQ(ordinal("100"), "centésimo");
  EXPECT_EQ(ordinal("101"), "centésimo primeiro");
  EXPECT_EQ(ordinal("200", true), "ducentésima");
  EXPECT_EQ(ordinal("1000"), "milésimo");
  EXPECT_EQ(ordinal("1.000", true, true), "milésimas");
  EXPECT_EQ(ordinal("2000"), "segundo milésimo");
  EXPECT_EQ(ordinal("2000", true), "segunda milésima");
  EXPECT_EQ(ordinal("1100"), "milésimo centésimo");
  EXPECT_EQ(ordinal("1000000"), "milionésimo");
  EXPECT_EQ(ordinal("3000000"), "terceiro milionésimo");
  EXPECT_EQ(ordinal("1000000000"), "bilionésimo");
  EXPECT_EQ(ordinal("2000000000"), "segundo bilionésimo");
}

TEST(SignedNumbers, SignsCommaAndExponent) {
  NumberForm f;
  auto read = [&](const char* s, NumberForm form) { return words(signed_number_to_words(s, form)); };
  EXPECT_EQ(read("-3", f), "menos três");
  EXPECT_EQ(read("+3", f), "mais três");
  EXPECT_EQ(read("3,14", f), "três vírgula catorze");
  EXPECT_EQ(read("0,05", f), "zero vírgula zero cinco");
  EXPECT_EQ(read("3,14159", f), "três vírgula um quatro um cinco nove");
  EXPECT_EQ(read("2,000", f), "dois vírgula zero zero zero");
  EXPECT_EQ(read("2,0010", f), "dois vírgula zero zero dez");
  EXPECT_EQ(read("1.234,5", f), "mil duzentos e trinta e quatro vírgula cinco");
  EXPECT_EQ(read("1,5e-3", f), "um vírgula cinco e menos três");
  EXPECT_EQ(read("2E10", f), "dois e dez");
  EXPECT_EQ(read("-1.000", f), "menos mil");
  EXPECT_EQ(read("1,2", feminine()), "uma vírgula duas");
  EXPECT_EQ(read("", f), "");
}

TEST(DigitsAndRoman, DigitByDigitAndRomanValues) {
  EXPECT_EQ(words(digits_to_words("2013")), "dois zero um três");
  EXPECT_EQ(words(digits_to_words("1-2 x")), "um dois");
  EXPECT_EQ(words(digits_to_words("")), "");
  EXPECT_EQ(roman_to_int("MCMXCIX"), 1999);
  EXPECT_EQ(roman_to_int("mcmxcix"), 1999);
  EXPECT_EQ(roman_to_int("IIII"), 4);
  EXPECT_EQ(roman_to_int("IL"), 51);
  EXPECT_EQ(roman_to_int("XIV"), 14);
  EXPECT_EQ(roman_to_int("CD"), 400);
  EXPECT_EQ(roman_to_int("XC"), 90);
  EXPECT_EQ(roman_to_int("XL"), 40);
  EXPECT_EQ(roman_to_int("IX"), 9);
  EXPECT_EQ(roman_to_int("A1b"), 0);
  EXPECT_EQ(roman_to_int(""), 0);
  // Far too long for 32 bits: the value stops at the largest int.
  std::string many(3000000, 'M');
  EXPECT_EQ(roman_to_int(many.c_str()), INT32_MAX);
}

TEST(Numbers, NonDigitsAndLongRunsAreSafe) {
  EXPECT_EQ(words(number_to_words("12a", NumberForm{})), "");
  EXPECT_EQ(words(number_to_words("\xff", NumberForm{})), "");
  std::string run(5000, '9');
  Value* w = cardinal_to_words(run.c_str());
  EXPECT_EQ(value_list_length(w), 5000);
  value_release(w);
}

}  // namespace
