// The token-to-words dispatcher: order of the shape tests, default rules,
// abbreviations, tone marks, markup hints and the features written back.
#include "lang_pt_br/token_to_words.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/item.h"
#include "core/platform.h"
#include "core/value.h"
#include "tests/lang_pt_br/token_test_support.h"

using toktest::feature;
using toktest::latin9;
using toktest::read;
using toktest::read_hint;
using toktest::read_punc;
using toktest::take;
using toktest::Tokens;

namespace {

// The words of a sequence of tokens, each read in its context.
std::vector<std::string> read_all(const std::vector<std::string>& names) {
  Tokens t;
  std::vector<Item*> items;
  for (const std::string& n : names) items.push_back(t.add(n));
  std::vector<std::string> out;
  for (Item* i : items) out.push_back(take(token_to_words(i)));
  return out;
}

TEST(ToneMarks, RaisedAndLoweredEndingsAreCutFromTheName) {
  Tokens t;
  Item* up = t.add("sim?^");
  EXPECT_EQ(take(token_to_words(up)), "sim");
  EXPECT_EQ(feature(up, "endtone"), "H");
  EXPECT_EQ(feature(up, "punc"), "?");
  EXPECT_EQ(feature(up, "name"), "sim");

  Item* down = t.add("não?_", ".");
  EXPECT_EQ(take(token_to_words(down)), "não");
  EXPECT_EQ(feature(down, "endtone"), "L");
  EXPECT_EQ(feature(down, "punc"), "?");
  EXPECT_EQ(feature(down, "name"), "não");
}

TEST(ToneMarks, TwoCharactersAloneAreNoToneMark) {
  Tokens t;
  Item* token = t.add("?^");
  EXPECT_EQ(take(token_to_words(token)), "ponto de interrogação circunflexo");
  EXPECT_FALSE(item_feature_present(token, "endtone"));
  EXPECT_EQ(feature(token, "name"), "?^");
  // A mark in the middle is not an ending.
  Item* inner = t.add("a?^b");
  take(token_to_words(inner));
  EXPECT_FALSE(item_feature_present(inner, "endtone"));
}

TEST(Titles, ReadAsWordsAndTakeTheirPeriodFromPunc) {
  EXPECT_EQ(read_punc("Sr", "."), "senhor | ");
  EXPECT_EQ(read_punc("Sra", ".,"), "senhora | ,");
  EXPECT_EQ(read_punc("sr", ","), "senhor | ,");
  EXPECT_EQ(read("Srs"), "senhores");
  EXPECT_EQ(read("sras"), "senhoras");
  EXPECT_EQ(read("Srta"), "senhorita");
  EXPECT_EQ(read("etc", "."), "etcétera");
  // Matching is exact and case-sensitive.
  EXPECT_EQ(read("SR"), "sr");
}

TEST(Abbreviations, DottedAbbreviationNeedsItsFinalPeriod) {
  EXPECT_EQ(read_punc("E.U.A", "."), "e.u.a. | ");
  EXPECT_EQ(read_punc("E.U.A.", ""), "e.u.a. | ");
  EXPECT_EQ(read_punc("a.b.", "."), "a.b. | .");  // its own period was written
  // Without any period it is cut at its class boundaries instead.
  Tokens t;
  Item* bare = t.add("E.U.A");
  EXPECT_EQ(take(token_to_words(bare)), "e ponto u ponto a");
  EXPECT_EQ(feature(bare, "nsw"), "nide");
  // Two characters are too short to be an abbreviation.
  EXPECT_EQ(read("a.", "."), "a ponto");
}

TEST(DefaultRules, DigitsOrdinalsAndNumbers) {
  EXPECT_EQ(read("800"), "oitocentos");
  EXPECT_EQ(read("0800"), "zero oito zero zero");
  EXPECT_EQ(read("0"), "zero");
  EXPECT_EQ(read("1234567890123"), "um dois três quatro cinco seis sete oito nove zero um dois três");
  EXPECT_EQ(read("2ª"), "segunda");
  EXPECT_EQ(read("1º"), "primeiro");
  EXPECT_EQ(read("3os"), "terceiros");
  EXPECT_EQ(read("1.000as"), "milésimas");
  EXPECT_EQ(read("21a"), "vigésima primeira");
  EXPECT_EQ(read("-5"), "menos cinco");
  EXPECT_EQ(read("+3"), "mais três");
  EXPECT_EQ(read("1.000.000"), "um milhão");
  EXPECT_EQ(read("3,14"), "três vírgula catorze");
  EXPECT_EQ(read("1,5e-3"), "um vírgula cinco e menos três");
}

TEST(DefaultRules, Percent) {
  EXPECT_EQ(read("50%"), "cinquenta porcento");
  EXPECT_EQ(read("12,5%"), "doze vírgula cinco porcento");
  EXPECT_EQ(read("%"), "porcento");
  EXPECT_EQ(read("100%%"), "cem porcento porcento");
}

TEST(DefaultRules, WordsAndSingleLetters) {
  EXPECT_EQ(read("Olá"), "olá");
  EXPECT_EQ(read("ÁRVORE"), "árvore");
  EXPECT_EQ(read("guarda-chuva"), "guarda-chuva");
  EXPECT_EQ(read("d'Água"), "d'água");
  EXPECT_EQ(read("a"), "a");
  EXPECT_EQ(read("É"), "é");
  EXPECT_EQ(read("Ó"), "ó");
  EXPECT_EQ(read("x"), "xis");
  EXPECT_EQ(read("Ñ"), "éne com til");
}

TEST(DefaultRules, AnOrdinaryWordCostsOnlyItsOwnResult) {
  Tokens t;
  Item* word = t.add("Palavra", ",");
  uint64_t start = heap_alloc_count();
  value_release(value_cons(value_new_string("palavra"), nullptr));
  uint64_t one_word_list = heap_alloc_count() - start;

  start = heap_alloc_count();
  Value* words = token_to_words(word);
  EXPECT_EQ(heap_alloc_count() - start, one_word_list);
  EXPECT_EQ(take(words), "palavra");
}

TEST(DefaultRules, MixedTokensSplitAtHyphensAndClassBoundaries) {
  Tokens t;
  Item* hyphen = t.add("abc-123");
  EXPECT_EQ(take(token_to_words(hyphen)), "abc cento e vinte e três");
  EXPECT_EQ(feature(hyphen, "nsw"), "nide");

  EXPECT_EQ(read("12345-6789"), "um dois três quatro cinco seis mil setecentos e oitenta e nove");
  EXPECT_EQ(read("A4"), "a quatro");
  EXPECT_EQ(read("abc123def"), "abc cento e vinte e três def");
  EXPECT_EQ(read("25:00"), "vinte e cinco dois pontos zero zero");
  EXPECT_EQ(read("-abc-"), "abc");
  EXPECT_EQ(read("'ok"), "apóstrofo ok");
}

TEST(DefaultRules, NideStaysOnTheTokenForEveryLaterPiece) {
  Tokens t;
  // Once split, a piece that looks like an abbreviation is no longer read as
  // one, and numbers of five digits or more are read digit by digit.
  Item* token = t.add("x-a.b.");
  EXPECT_EQ(take(token_to_words(token)), "xis a ponto bê ponto");
  EXPECT_EQ(feature(token, "nsw"), "nide");
  EXPECT_EQ(take(token_to_words(token)), "xis a ponto bê ponto");  // nsw was never cleared

  Item* number = t.add("-12345");
  item_set_string(number, "nsw", "nide");
  EXPECT_EQ(take(token_to_words(number)), "um dois três quatro cinco");
  Item* four = t.add("1234");
  item_set_string(four, "nsw", "nide");
  EXPECT_EQ(take(token_to_words(four)), "mil duzentos e trinta e quatro");
  // An empty nsw counts as no nsw.
  Item* empty = t.add("-5");
  item_set_string(empty, "nsw", "");
  EXPECT_EQ(take(token_to_words(empty)), "menos cinco");
}

TEST(DefaultRules, Possessives) {
  EXPECT_EQ(read("ABC's"), "abc's");
  EXPECT_EQ(read("'s"), "'s");
  EXPECT_EQ(read("'S"), "'s");
  EXPECT_EQ(read("12's"), "doze's");
  EXPECT_EQ(read("x's's"), "xis's's");
  EXPECT_EQ(read("''s"), "apóstrofo's");
  // A base that gives no words leaves the bare possessive.
  EXPECT_EQ(read("\x01's"), "'s");
}

TEST(DefaultRules, PiecesOfAGivenTextCanBeReadDirectly) {
  Tokens t;
  Item* token = t.add("ignored");
  EXPECT_EQ(take(default_token_to_words(token, latin9("duas-palavras").c_str())), "duas-palavras");
  EXPECT_EQ(take(default_token_to_words(token, "")), "");
  EXPECT_FALSE(item_feature_present(token, "nsw"));
}

TEST(MarkupHints, ForceAReading) {
  EXPECT_EQ(read_hint("XII", "ordinal"), "décimo-segundo");
  EXPECT_EQ(read_hint("xii", "cardinal"), "doze");
  EXPECT_EQ(read_hint("XII", "digits"), "um dois");
  EXPECT_EQ(read_hint("2013", "digits"), "dois zero um três");
  EXPECT_EQ(read_hint("2013", "number"), "dois mil e treze");
  EXPECT_EQ(read_hint("21", "ordinal"), "vigésimo primeiro");
  EXPECT_EQ(read_hint("Sr", "characters"), "ésse érre");
  EXPECT_EQ(read_hint("1999", "date"), "mil novecentos e noventa e nove");
  EXPECT_EQ(read_hint("3/4", "fraction"), "três quartos");
}

TEST(MarkupHints, AHintThatDoesNotFitIsIgnored) {
  EXPECT_EQ(read_hint("abc", "ordinal"), "abc");
  EXPECT_EQ(read_hint("10", "unknown"), "dez");
  EXPECT_EQ(read_hint("10:30", "time"), "dez e trinta");
  EXPECT_EQ(read_hint("12/2013", "date", "dd"), "doze barra dois mil e treze");
  EXPECT_EQ(read_hint("/2", "fraction"), "barra dois");
  Tokens t;
  Item* token = t.add("10");
  item_set_int(token, "interpret-as", 3);  // not a text: no hint
  EXPECT_EQ(take(token_to_words(token)), "dez");
  EXPECT_EQ(take(markup_hint_to_words(t.add("10"), "10")), "");
}

TEST(ScaleWords, MoneyBeforeAScaleWordLetsItNameTheCurrency) {
  EXPECT_EQ(read_all({"R$1", "mil"}), (std::vector<std::string>{"", "mil reais"}));
  EXPECT_EQ(read_all({"R$3", "milhões"}), (std::vector<std::string>{"três", "milhões reais"}));
  EXPECT_EQ(read_all({"R$2", "mil"}), (std::vector<std::string>{"dois", "mil reais"}));
  EXPECT_EQ(read_all({"£2", "mil"}), (std::vector<std::string>{"dois", "mil libras"}));
  EXPECT_EQ(read_all({"USD1,5", "Bilhão"}), (std::vector<std::string>{"um vírgula cinco", "Bilhão dólares"}));
  // Without money before it a scale word is a plain word.
  EXPECT_EQ(read_all({"10", "mil"}), (std::vector<std::string>{"dez", "mil"}));
  EXPECT_EQ(read("Mil"), "mil");
  // A signed amount names no currency: the default rules read it.
  EXPECT_EQ(read("R$-5"), "érre dólar cinco");
  EXPECT_EQ(read_all({"R$-5", "mil"}), (std::vector<std::string>{"cinco", "mil"}));
  EXPECT_EQ(read_all({"R$-5", "Milhões"}), (std::vector<std::string>{"cinco", "Milhões"}));
}

TEST(ClassBoundary, SplitsBetweenRunsAndAfterOtherCharacters) {
  EXPECT_TRUE(is_class_boundary("'a", 0));
  EXPECT_FALSE(is_class_boundary("ab", 0));
  EXPECT_FALSE(is_class_boundary("a'", 0));
  EXPECT_FALSE(is_class_boundary("x'a", 1));
  EXPECT_FALSE(is_class_boundary("\xe7\xe3", 0));  // çã
  EXPECT_TRUE(is_class_boundary("a1", 0));
  EXPECT_TRUE(is_class_boundary("1a", 0));
  EXPECT_FALSE(is_class_boundary("12", 0));
  EXPECT_TRUE(is_class_boundary("1.", 0));
  EXPECT_TRUE(is_class_boundary(".1", 0));
  EXPECT_TRUE(is_class_boundary("..", 0));
  EXPECT_TRUE(is_class_boundary("a\xf1", 0));  // ñ is not in the letter set

  uint64_t before = heap_alloc_count();
  for (int i = 0; i < 100; ++i) is_class_boundary("abc123", i % 5);
  EXPECT_EQ(heap_alloc_count(), before);
}

TEST(Lowercase, PortugueseCapitalsOnly) {
  char* lower = lowercase_pt(latin9("ÁÉÍÓÚÀÂÊÔÃÕÜÇ ABC xyz 12 ÑÈ€").c_str());
  EXPECT_EQ(toktest::utf8(lower), "áéíóúàâêôãõüç abc xyz 12 ÑÈ€");
  heap_free(lower);
  char* empty = lowercase_pt("");
  EXPECT_STREQ(empty, "");
  heap_free(empty);
}

TEST(DroppingAPeriod, OnlyWhenTheTextLacksOne) {
  Tokens t;
  Item* token = t.add("x", "..");
  drop_abbreviation_period(token, "Sr.");
  EXPECT_EQ(feature(token, "punc"), "..");
  drop_abbreviation_period(token, "Sr");
  EXPECT_EQ(feature(token, "punc"), ".");
  drop_abbreviation_period(token, "");
  EXPECT_EQ(feature(token, "punc"), "");
  drop_abbreviation_period(token, "");
  EXPECT_EQ(feature(token, "punc"), "");

  EXPECT_TRUE(is_dotted_abbreviation(t.add("x", ""), "a.b."));
  EXPECT_TRUE(is_dotted_abbreviation(t.add("x", ".!"), "a.b"));
  EXPECT_FALSE(is_dotted_abbreviation(t.add("x", "!"), "a.b"));
  EXPECT_FALSE(is_dotted_abbreviation(t.add("x", "."), "ab"));
  EXPECT_FALSE(is_dotted_abbreviation(t.add("x", "."), "ab.c"));
}

TEST(TokenContractDeathTest, AMissingNameEndsTheProcess) {
  EXPECT_EXIT(
      {
        Tokens t;
        Item* token = t.add("x");
        features_remove(token->contents->features, "name");
        token_to_words(token);
      },
      testing::ExitedWithCode(255), "");
}

TEST(TokenContractDeathTest, AMissingPuncEndsTheProcessWhenAnAbbreviationNeedsIt) {
  EXPECT_EXIT(
      {
        Tokens t;
        Item* token = t.add("Sr");
        features_remove(token->contents->features, "punc");
        token_to_words(token);
      },
      testing::ExitedWithCode(255), "");
}

}  // namespace
