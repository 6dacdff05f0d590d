// Readers of clock times, durations, dates, money and fractions, through the
// dispatcher (as the host calls them) and directly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/item.h"
#include "core/platform.h"
#include "core/value.h"
#include "lang_pt_br/dates.h"
#include "lang_pt_br/fractions.h"
#include "lang_pt_br/money.h"
#include "lang_pt_br/token_to_words.h"
#include "tests/lang_pt_br/token_test_support.h"

using toktest::feature;
using toktest::latin9;
using toktest::read;
using toktest::read_hint;
using toktest::read_punc;
using toktest::take;
using toktest::Tokens;

namespace {

std::string month(const std::string& text) {
  const char* name = month_name(latin9(text).c_str());
  return name ? toktest::utf8(name) : "(none)";
}

std::string money(const char* amount, const std::string& prefix) {
  return take(money_to_words(amount, latin9(prefix).c_str()));
}

std::string part(const FractionPart& p) { return p.start ? std::string(p.start, p.length) : "(absent)"; }

TEST(Times, HoursAreFeminineAndMinutesMasculine) {
  EXPECT_EQ(read("10:30"), "dez e trinta");
  EXPECT_EQ(read("1:05"), "uma e cinco");
  EXPECT_EQ(read("2:01"), "duas e um");
  EXPECT_EQ(read("12:00"), "doze");
  EXPECT_EQ(read("0:00"), "zero e zero");
  EXPECT_EQ(read("00:00"), "zero e zero");
  EXPECT_EQ(read("21:15"), "vinte e uma e quinze");
  EXPECT_EQ(read("24:00"), "vinte e quatro");
  EXPECT_EQ(read("09:59"), "nove e cinquenta e nove");
}

TEST(Times, AmPmSuffixIsSpelled) {
  EXPECT_EQ(read("10:30PM"), "dez e trinta pê éme");
  EXPECT_EQ(read("1:05am"), "uma e cinco á éme");
  EXPECT_EQ(read("9:15p.m."), "nove e quinze pê ponto éme ponto");
}

TEST(Times, APeriodSplitOffTheSuffixIsTakenBack) {
  EXPECT_EQ(read_punc("10:30a.m", "."), "dez e trinta á éme | ");
  EXPECT_EQ(read_punc("10:30P.M", ".!"), "dez e trinta pê éme | !");
  EXPECT_EQ(read_punc("10:30a.m", ""), "dez e trinta á ponto éme | ");
  EXPECT_EQ(read_punc("10:30a.m", ","), "dez e trinta á ponto éme | ,");
}

TEST(Times, ShapesOutsideThePatternAreNotTimes) {
  EXPECT_EQ(read("25:00"), "vinte e cinco dois pontos zero zero");
  EXPECT_EQ(read("7:5"), "sete dois pontos cinco");
}

TEST(Durations, MinutesAndSecondsUnderTheTimeHint) {
  EXPECT_EQ(read_hint("3'25\"", "time"), "três minutos e vinte e cinco segundos");
  EXPECT_EQ(read_hint("0'30\"", "time"), "trinta segundos");
  EXPECT_EQ(read_hint("1'01\"", "time"), "um minuto e um segundo");
  EXPECT_EQ(read_hint("0'00\"", "time"), "zero minutos");
  EXPECT_EQ(read_hint("2'00\"", "time"), "dois minutos");
  EXPECT_EQ(read_hint("01'1\"", "time"), "um minuto e um segundo");
  EXPECT_EQ(take(duration_to_words("no duration")), "");
}

TEST(Dates, DayMonthYearWithNumbers) {
  EXPECT_EQ(read("25/12/2013"), "vinte e cinco de dezembro de dois mil e treze");
  EXPECT_EQ(read("01/05/2013"), "primeiro de maio de dois mil e treze");
  EXPECT_EQ(read("1.5.2013"), "primeiro de maio de dois mil e treze");
  EXPECT_EQ(read("05-03-1999"), "cinco de março de mil novecentos e noventa e nove");
  EXPECT_EQ(read("12/11/2013"), "doze de novembro de dois mil e treze");
  EXPECT_EQ(read("31/02/2013"), "trinta e um de fevereiro de dois mil e treze");  // no calendar check
}

TEST(Dates, MonthFirstAndYearFirst) {
  EXPECT_EQ(read("12/25/2013"), "vinte e cinco de dezembro de dois mil e treze");
  EXPECT_EQ(read("dez/25/2013"), "vinte e cinco de dezembro de dois mil e treze");
  EXPECT_EQ(read("2013-12-25"), "vinte e cinco de dezembro de dois mil e treze");
  EXPECT_EQ(read("2000/1/1"), "primeiro de janeiro de dois mil");
}

TEST(Dates, MonthNamesAbbreviationsAndRomanMonths) {
  const char* december = "vinte e cinco de dezembro de dois mil e treze";
  EXPECT_EQ(read("25/dez/2013"), december);
  EXPECT_EQ(read("25/Dez/2013"), december);
  EXPECT_EQ(read("25.DEZ.2013"), december);
  EXPECT_EQ(read("25-dezembro-2013"), december);
  EXPECT_EQ(read("25/XII/2013"), december);
  EXPECT_EQ(read("3/III/2010"), "três de março de dois mil e dez");
  EXPECT_EQ(read("3/Março/2010"), "três de março de dois mil e dez");
  // Unknown month texts are read as they stand, without "de".
  EXPECT_EQ(read("25/abc/2013"), "vinte e cinco abc dois mil e treze");
  EXPECT_EQ(read("25/ma/2013"), "vinte e cinco ma dois mil e treze");
  EXPECT_EQ(read("25/MARÇO/2013"), "vinte e cinco MARÇO dois mil e treze");
  EXPECT_EQ(read("25/XIII/2013"), "vinte e cinco XIII dois mil e treze");
}

TEST(Dates, MonthName) {
  EXPECT_EQ(month("1"), "janeiro");
  EXPECT_EQ(month("03"), "março");
  EXPECT_EQ(month("12"), "dezembro");
  EXPECT_EQ(month("13"), "(none)");
  EXPECT_EQ(month("0"), "(none)");
  EXPECT_EQ(month("IX"), "setembro");
  EXPECT_EQ(month("xii"), "dezembro");
  EXPECT_EQ(month("XIII"), "(none)");
  EXPECT_EQ(month("set"), "setembro");
  EXPECT_EQ(month("SET"), "setembro");
  EXPECT_EQ(month("ju"), "(none)");
  EXPECT_EQ(month("jun"), "junho");
  EXPECT_EQ(month("jul"), "julho");
  EXPECT_EQ(month("MARÇO"), "(none)");  // only A-Z ignore their case
  EXPECT_EQ(month("março"), "março");
  EXPECT_EQ(month("dezembros"), "(none)");
  EXPECT_EQ(month(""), "(none)");

  uint64_t before = heap_alloc_count();
  EXPECT_STREQ(month_name("dez"), "dezembro");
  EXPECT_STREQ(month_name("7"), "julho");
  EXPECT_EQ(heap_alloc_count(), before);
}

TEST(Dates, FormatHints) {
  EXPECT_EQ(read_hint("12/2013", "date", "my"), "dezembro de dois mil e treze");
  EXPECT_EQ(read_hint("25/12/98", "date", "dmy"), "vinte e cinco de dezembro de mil novecentos e noventa e oito");
  EXPECT_EQ(read_hint("25/12/13", "date", "dmy"), "vinte e cinco de dezembro de dois mil e treze");
  EXPECT_EQ(read_hint("5/25", "date", "md"), "vinte e cinco de maio");
  EXPECT_EQ(read_hint("2013.5", "date", "ym"), "maio de dois mil e treze");
  EXPECT_EQ(read_hint("25/2013", "date", "dy"), "vinte e cinco dois mil e treze");
  EXPECT_EQ(read_hint("13", "date", "y"), "dois mil e treze");
  EXPECT_EQ(read_hint("1999", "date"), "mil novecentos e noventa e nove");
  EXPECT_EQ(read_hint("1999", "date", "zz"), "mil novecentos e noventa e nove");
  // A field that fails its test is left out.
  EXPECT_EQ(read_hint("25/13/2013", "date", "dmy"), "vinte e cinco dois mil e treze");
  EXPECT_EQ(read_hint("32/12/2013", "date", "dmy"), "dezembro de dois mil e treze");
  // The format may name more fields than the text has.
  EXPECT_EQ(read_hint("7", "date", "mdy"), "julho");
}

TEST(Dates, DateWordsFromParts) {
  EXPECT_EQ(take(date_words("dez", "1", nullptr)), "primeiro de dezembro");
  EXPECT_EQ(take(date_words(nullptr, "07", "2001")), "sete dois mil e um");
  EXPECT_EQ(take(date_words("6", nullptr, "45")), "junho de mil novecentos e quarenta e cinco");
  EXPECT_EQ(take(date_words(nullptr, nullptr, "09")), "dois mil e nove");
  EXPECT_EQ(take(date_words(nullptr, nullptr, nullptr)), "");
}

TEST(Money, Reais) {
  EXPECT_EQ(read("R$1"), "um real");
  EXPECT_EQ(read("R$2"), "dois reais");
  EXPECT_EQ(read("R$1,50"), "um real e cinquenta centavos");
  EXPECT_EQ(read("R$2,5"), "dois reais e cinquenta centavos");
  EXPECT_EQ(read("R$0,50"), "cinquenta centavos");
  EXPECT_EQ(read("R$0,01"), "um centavo");
  EXPECT_EQ(read("R$0,00"), "zero reais");
  EXPECT_EQ(read("R$1,00"), "um real");
  EXPECT_EQ(read("R$1.000,00"), "mil reais");
  EXPECT_EQ(read("BRL10,05"), "dez reais e cinco centavos");
  EXPECT_EQ(read("R$1.234.567"), "um milhão duzentos e trinta e quatro mil quinhentos e sessenta e sete reais");
}

TEST(Money, OtherCurrencies) {
  EXPECT_EQ(read("£1"), "uma libra");
  EXPECT_EQ(read("£2,50"), "duas libras e cinquenta pence");
  EXPECT_EQ(read("£21"), "vinte e uma libras");
  EXPECT_EQ(read("£200"), "duzentas libras");
  EXPECT_EQ(read("GBP0,01"), "um penny");
  EXPECT_EQ(read("£1,01"), "uma libra e um penny");
  EXPECT_EQ(read("$1,999"), "um vírgula novecentos e noventa e nove dólares");
  EXPECT_EQ(read("USD5"), "cinco dólares");
  EXPECT_EQ(read("$1"), "um dólar");
  EXPECT_EQ(read("€1.000.000"), "um milhão euros");
  EXPECT_EQ(read("EUR1"), "um euro");
  EXPECT_EQ(read("¥1"), "um iene");
  EXPECT_EQ(read("JPY100"), "cem ienes");
  EXPECT_EQ(read("JPY0,5"), "cinquenta senes");
  EXPECT_EQ(read("¥0,01"), "um sen");
}

TEST(Money, ReaderRules) {
  EXPECT_EQ(money("1", "XYZ"), "");
  EXPECT_EQ(money("1", "r$"), "");
  EXPECT_EQ(money(nullptr, "R$"), "reais");
  EXPECT_EQ(take(currency_plural_word(latin9("£").c_str())), "libras");
  EXPECT_EQ(take(currency_plural_word("?")), "");
  EXPECT_EQ(money("01", "R$"), "um real");
  EXPECT_EQ(money("01,10", "R$"), "um real e dez centavos");
  EXPECT_EQ(money("-5", "R$"), "menos cinco reais");
  EXPECT_EQ(money("-5,50", "R$"), "menos cinco reais e cinquenta centavos");
  EXPECT_EQ(money("2,505", "£"), "duas vírgula quinhentas e cinco libras");
  EXPECT_EQ(money("3,", "R$"), "três reais");  // an empty decimal part has no cents
  EXPECT_EQ(money("1,5e3", "R$"), "um vírgula cinco e três reais");

  uint64_t before = heap_alloc_count();
  EXPECT_EQ(currency_find("USD"), &currencies[1]);
  EXPECT_EQ(currency_find("R$"), &currencies[4]);
  EXPECT_EQ(currency_find("R"), nullptr);
  EXPECT_EQ(heap_alloc_count(), before);
}

TEST(Fractions, Readings) {
  EXPECT_EQ(read_hint("1/2", "fraction"), "um meio");
  EXPECT_EQ(read_hint("3/2", "fraction"), "três meios");
  EXPECT_EQ(read_hint("2/3", "fraction"), "dois terços");
  EXPECT_EQ(read_hint("1/3", "fraction"), "um terço");
  EXPECT_EQ(read_hint("3/4", "fraction"), "três quartos");
  EXPECT_EQ(read_hint("1/10", "fraction"), "um décimo");
  EXPECT_EQ(read_hint("7/100", "fraction"), "sete centésimos");
  EXPECT_EQ(read_hint("1/300", "fraction"), "um trecentésimo");
  EXPECT_EQ(read_hint("1/1000", "fraction"), "um milésimo");
  EXPECT_EQ(read_hint("1/1.000", "fraction"), "um milésimo");
  EXPECT_EQ(read_hint("3/1000000", "fraction"), "três milionésimos");
  EXPECT_EQ(read_hint("1/1000000000", "fraction"), "um bilionésimo");
  EXPECT_EQ(read_hint("5/12", "fraction"), "cinco sobre doze");
  EXPECT_EQ(read_hint("1/110", "fraction"), "um sobre cento e dez");
  EXPECT_EQ(read_hint("1/2000", "fraction"), "um sobre dois mil");
  EXPECT_EQ(read_hint("0/2", "fraction"), "zero meio");
}

TEST(Fractions, SignsAndWholeParts) {
  EXPECT_EQ(read_hint("-1/2", "fraction"), "menos um meio");
  EXPECT_EQ(read_hint("+1/2", "fraction"), "mais um meio");
  EXPECT_EQ(read_hint("1+1/2", "fraction"), "um e um meio");
  EXPECT_EQ(read_hint("-1-1/2", "fraction"), "menos um e um meio");
  EXPECT_EQ(read_hint("+2+3/4", "fraction"), "mais dois e três quartos");
}

TEST(Fractions, OtherShapesAreReadAsADivision) {
  EXPECT_EQ(read_hint("1/0", "fraction"), "um dividido por zero");
  EXPECT_EQ(read_hint("1/x", "fraction"), "um dividido por xis");
  EXPECT_EQ(read_hint("1/-2", "fraction"), "um dividido por menos dois");
  EXPECT_EQ(read_hint("01/2", "fraction"), "zero um dividido por dois");
}

TEST(Fractions, Rejections) {
  Fraction f;
  EXPECT_FALSE(parse_fraction("12", &f));      // no slash
  EXPECT_FALSE(parse_fraction("/2", &f));      // nothing before the slash
  EXPECT_FALSE(parse_fraction("-/2", &f));
  EXPECT_FALSE(parse_fraction("1-1/2", &f));   // "-" without a leading "-"
  EXPECT_FALSE(parse_fraction("-1+1/2", &f));  // signs disagree
  EXPECT_FALSE(parse_fraction("+1-1/2", &f));
  EXPECT_FALSE(parse_fraction("1+/2", &f));    // sign right before the slash
  EXPECT_FALSE(parse_fraction("--1/2", &f));   // empty whole part
  EXPECT_FALSE(parse_fraction("1/", &f));      // empty denominator
  EXPECT_FALSE(parse_fraction("", &f));
  // A rejected text under the hint is read by the default rules.
  EXPECT_EQ(read_hint("1-1/2", "fraction"), "um um barra dois");
  EXPECT_EQ(read_hint("1/", "fraction"), "um barra");
}

TEST(Fractions, PartsPointIntoTheTextWithoutAllocating) {
  Fraction f;
  uint64_t before = heap_alloc_count();
  ASSERT_TRUE(parse_fraction("-12-3/45", &f));
  EXPECT_EQ(heap_alloc_count(), before);
  EXPECT_EQ(f.sign, '-');
  EXPECT_EQ(part(f.whole), "12");
  EXPECT_EQ(part(f.numerator), "3");
  EXPECT_EQ(part(f.denominator), "45");

  ASSERT_TRUE(parse_fraction("7/8/9", &f));
  EXPECT_EQ(f.sign, 0);
  EXPECT_EQ(part(f.whole), "(absent)");
  EXPECT_EQ(part(f.numerator), "7");
  EXPECT_EQ(part(f.denominator), "8/9");

  ASSERT_TRUE(parse_fraction("1++2/3", &f));
  EXPECT_EQ(part(f.whole), "1");
  EXPECT_EQ(part(f.numerator), "+2");
}

}  // namespace
