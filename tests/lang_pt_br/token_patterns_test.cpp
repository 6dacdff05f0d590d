// The stored patterns of Portuguese tokens: each on its examples, and on
// near misses of them against the standard library's reading of the same
// sources.
#include "lang_pt_br/token_patterns.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <random>
// The standard library's regex (only the oracle of these tests) draws a false
// maybe-uninitialized warning from g++ 12 in the sanitizer build.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#pragma GCC diagnostic pop
#include <string>
#include <vector>

#include "trees/regex_compile.h"

namespace {


struct Case {
  const Regex* regex;
  const char* name;
  std::vector<std::string> yes;
  std::vector<std::string> no;
};

// Texts are ISO-8859-15 bytes: \xba º, \xaa ª, \xe7 ç, \xc9 É, \xe3 ã,
// \xf5 õ, \xa4 €, \xa3 £, \xa5 ¥, \xe9 é, \xf1 ñ (not a Portuguese letter).
const std::vector<Case>& cases() {
  static const std::vector<Case> kCases = {
      {&ordinal_pattern, "ordinal",
       {"1\xba", "2\xaa", "3o", "3os", "21a", "21as", "0o", "1.000as", "100\xba"},
       {"", "\xba", "01o", "1", "1oo", "1\xbas", "1.00o", "1,5o", "-1o", "1A"}},
      {&number_pattern, "number",
       {"0", "12", "-3", "+3", "1.234", "3,14", "0,05", "1,5e-3", "2E10", "1.234.567,89", "-0,5e+2"},
       {"", "-", "01", "1.23", "1,", ",5", "1e", "1e+", "1,5,3", "12a", "1 000", "1.2345"}},
      {&integer_pattern, "integer",
       {"0", "7", "1.234.567", "999.999", "123456789012"},
       {"", "01", "1.23", "1.2345", ".123", "1.", "-1", "1,0", "00"}},
      {&digits_pattern, "digits", {"0", "007", "12345678901234567890"}, {"", "1a", " 1", "1.0", "-1"}},
      {&roman_pattern, "roman", {"XIV", "xiv", "I", "MCMXCIX", "mmm"}, {"", "XiV", "XIVa", "IIV1", "A"}},
      {&abbreviation_pattern, "abbreviation",
       {"a.b.", "A.B.C", "a.b", "\xc9.U.A.", "a.\xe7."},
       {"", "a", "a.", "ab.", "a..b", "a.b..", ".a.b", "a.\xf1."}},
      {&word_pattern, "word",
       {"casa", "a", "guarda-chuva", "d'\xe1gua", "CORA\xc7\xc3O", "bem-te-vi"},
       {"", "-casa", "casa-", "a--b", "casa1", "a b", "na\xefve", "a'-b"}},
      {&letters_pattern, "letters", {"a", "Z", "a\xe7\xe3o", "ABCdef"}, {"", "a-b", "a1", "\xf1", "a."}},
      {&time_pattern, "time",
       {"7:05", "23:59", "10:30pm", "00:00", "24:00", "7:05a.m.", "7:05AM", "12:00P.M", "09:15"},
       {"", "25:00", "7:5", "7:60", "123:00", "7:05pmx", "7:05p", "7.05", ":05"}},
      {&duration_pattern, "duration", {"3'25\"", "0'0\"", "120'05\""}, {"", "3'25", "'25\"", "3'\"", "3''25\"", "3'25\"x"}},
      {&date_dmy_pattern, "date dmy",
       {"25/12/2013", "1.1.1000", "31-12-2999", "5/mar/2013", "05/XII/1999", "9/Jun\xe7/2000", "07-09-1822"},
       {"", "32/12/2013", "0/12/2013", "25/13/2013", "25/12/3000", "25/12/13", "25/x1i/2013", "25:12:2013",
        "25/12/0999"}},
      {&date_mdy_pattern, "date mdy",
       {"12/25/2013", "1/1/1999", "Dec/25/2013", "IV-30-2001"},
       {"", "13/25/2013", "12/32/2013", "12/25/13", "12/25/3013"}},
      {&date_ymd_pattern, "date ymd",
       {"2013/12/25", "1999-1-1", "2001.jan.31", "2000/XII/03"},
       {"", "2013/13/25", "2013/12/32", "13/12/25", "3013/12/25", "2013/12/25/1"}},
      {&date_fields_pattern, "date fields",
       {"1", "12", "1999", "25/12", "25/12/2013", "2013-12-25", "1.2.3", "12/5"},
       {"", "12345", "1//2", "1/2/3/4", "/1", "1/", "a/b", "1/12345"}},
      {&date_format_pattern, "date format",
       {"m", "d", "y", "md", "my", "mdy", "dm", "dmy", "ym", "ymd", "yd", "dy"},
       {"", "mm", "dd", "yy", "ydm", "myd", "dym", "x", "mdyx"}},
      {&scale_word_pattern, "scale word",
       {"mil", "Mil", "milh\xe3o", "Milh\xe3o", "bilh\xe3o", "Bilh\xf5" "es", "milh\xf5" "es"},
       {"", "MIL", "mill", "trilh\xe3o", "milhao", "bilh\xf5"}},
      {&money_pattern, "money",
       {"R$10,50", "USD1.000", "$5", "\xa4" "3", "\xa3" "0,99", "\xa5" "100", "EUR-5", "BRL+1.000,00", "GBP7", "JPY12"},
       {"", "R$", "USD", "R$01", "R$1.00", "10R$", "US$10", "R$1e5", "R$ 10", "CHF10"}},
  };
  return kCases;
}

TEST(TokenPatterns, EveryPatternOnItsExamples) {
  for (const Case& c : cases()) {
    for (const std::string& text : c.yes)
      EXPECT_TRUE(regex_matches(c.regex, text.c_str())) << c.name << " should match \"" << text << "\"";
    for (const std::string& text : c.no)
      EXPECT_FALSE(regex_matches(c.regex, text.c_str())) << c.name << " should not match \"" << text << "\"";
  }
}

// The standard library's ECMAScript regex reads the same sources with the
// same meaning; on near misses of the examples (bytes replaced, inserted or
// removed) both must give the same answer.
TEST(TokenPatterns, AgreeWithStdRegexOnNearMisses) {
  const std::string alphabet =
      "0123456789.,:/-+eE'\"aAoOsSmMpPIVXxivRUDCLB$ \xba\xaa\xa4\xa3\xa5\xe7\xe3\xf5\xc9\xf1";
  std::mt19937 rng(20131225);
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  int checked = 0;
  for (size_t i = 0; i < cases().size(); ++i) {
    const Case& c = cases()[i];
    const StoredPattern& stored = token_patterns[i];
    ASSERT_EQ(stored.regex, c.regex);
    std::regex oracle(stored.source, std::regex::ECMAScript);
    std::vector<std::string> seeds = c.yes;
    seeds.insert(seeds.end(), c.no.begin(), c.no.end());
    for (const std::string& seed : seeds) {
      for (int round = 0; round < 60; ++round) {
        std::string text = seed;
        int edits = 1 + static_cast<int>(pick(3));
        for (int e = 0; e < edits; ++e) {
          size_t kind = pick(3);
          if (kind == 0 && !text.empty())
            text[pick(text.size())] = alphabet[pick(alphabet.size())];
          else if (kind == 1 && !text.empty())
            text.erase(pick(text.size()), 1);
          else
            text.insert(text.begin() + static_cast<long>(pick(text.size() + 1)), alphabet[pick(alphabet.size())]);
        }
        bool expected = std::regex_match(text, oracle);
        ASSERT_EQ(regex_matches(c.regex, text.c_str()), expected) << stored.name << " on \"" << text << "\"";
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 10000);
}

TEST(TokenPatterns, EveryStoredPatternIsAnchoredAtBothEnds) {
  ASSERT_EQ(static_cast<int>(cases().size()), kTokenPatternCount);
  std::vector<StoredPattern> all(std::begin(token_patterns), std::end(token_patterns));
  all.insert(all.end(), std::begin(cart_stored_patterns), std::end(cart_stored_patterns));
  for (const StoredPattern& p : all) {
    SCOPED_TRACE(p.name);
    const Regex* r = p.regex;
    EXPECT_EQ(r->first_char, 0);
    EXPECT_EQ(r->anchored, 1);
    EXPECT_EQ(r->must, nullptr);
    ASSERT_GT(r->program_size, 4);
    EXPECT_EQ(r->program[0], kRegexCheckByte);
    EXPECT_EQ(r->program[1], kRegexBranch);  // the outermost BRANCH comes first
    EXPECT_EQ(r->program[4], kRegexBol);
    EXPECT_EQ(p.source[0], '^');
    EXPECT_EQ(p.source[std::strlen(p.source) - 1], '$');
    EXPECT_FALSE(regex_matches(r, "")) << "the empty text fits no stored pattern";
  }
}

TEST(TokenPatterns, MinimumFormsAndLatin1Sets) {
  // Texts of exactly the minimum form of each pattern.
  EXPECT_TRUE(regex_matches(&digits_pattern, "5"));
  EXPECT_TRUE(regex_matches(&letters_pattern, "\xe7"));
  EXPECT_TRUE(regex_matches(&word_pattern, "\xc3"));
  EXPECT_TRUE(regex_matches(&abbreviation_pattern, "a.b"));
  EXPECT_TRUE(regex_matches(&time_pattern, "0:00"));
  EXPECT_TRUE(regex_matches(&duration_pattern, "0'0\""));
  EXPECT_TRUE(regex_matches(&money_pattern, "$0"));
  EXPECT_TRUE(regex_matches(&ordinal_pattern, "0\xba"));
  // Every accented letter of the set, both cases; neighbours outside it fail.
  const char* in_set = "\xe1\xe9\xed\xf3\xfa\xe0\xe2\xea\xf4\xe3\xf5\xfc\xe7\xc1\xc9\xcd\xd3\xda\xc0\xc2\xca\xd4\xc3\xd5\xdc\xc7";
  EXPECT_TRUE(regex_matches(&letters_pattern, in_set));
  for (int b = 0x80; b < 0x100; ++b) {
    char text[2] = {static_cast<char>(b), 0};
    bool expected = std::strchr(in_set, b) != nullptr;
    EXPECT_EQ(regex_matches(&letters_pattern, text), expected) << "byte " << b;
  }
}

}  // namespace
