#include "trees/regex.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <array>
#include <cstring>
#include <random>
// The standard library's regex (only the oracle of these tests) draws a false
// maybe-uninitialized warning from g++ 12 in the sanitizer build.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <regex>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#include <string>
#include <vector>

#include "core/platform.h"
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
      {&ascii_abbreviation_pattern, "ascii abbreviation",
       {"a", "A.B", "u.s.a", "X"},
       {"", "a.", "a..b", "ab", "\xe9", "a.b."}},
  };
  return kCases;
}

TEST(RegexPatterns, EveryStoredPatternOnItsExamples) {
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
TEST(RegexPatterns, AgreeWithStdRegexOnNearMisses) {
  const std::string alphabet =
      "0123456789.,:/-+eE'\"aAoOsSmMpPIVXxivRUDCLB$ \xba\xaa\xa4\xa3\xa5\xe7\xe3\xf5\xc9\xf1";
  std::mt19937 rng(20131225);
  auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  int checked = 0;
  for (size_t i = 0; i < cases().size(); ++i) {
    const Case& c = cases()[i];
    const StoredPattern& stored = stored_patterns[i];
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

TEST(RegexPatterns, StoredTableIsCompleteAndAnchored) {
  ASSERT_EQ(static_cast<int>(cases().size()), kStoredPatternCount);
  for (const StoredPattern& p : stored_patterns) {
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
  ASSERT_EQ(kCartPatternCount, 1);
  EXPECT_EQ(cart_patterns[0], &ascii_abbreviation_pattern);
}

TEST(RegexPatterns, MinimumFormsAndLatin1Sets) {
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

template <size_t N>
std::vector<int> bytes(const std::array<uint8_t, N>& program) {
  return std::vector<int>(program.begin(), program.end());
}

TEST(RegexCompile, ProgramLayout) {
  // A repeated single character is a STAR around its node.
  EXPECT_EQ(bytes(regex_program<"^a*$">),
            (std::vector<int>{0x9C, 6, 0, 17, 1, 0, 3, 10, 0, 8, 8, 0, 0, 'a', 0, 2, 0, 3, 0, 0, 0}));
  // An optional group is a BRANCH pair whose second alternative is NOTHING.
  EXPECT_EQ(bytes(regex_program<"(ab)?">),
            (std::vector<int>{0x9C, 6, 0, 27, 6, 0, 18, 21, 0, 3, 6, 0, 9, 8, 0, 6, 'a', 'b', 0, 31, 0, 6, 6, 0, 3,
                              9, 0, 3, 0, 0, 0}));
  // A repeated group loops through BRANCH and a BACK node pointing back to
  // the OPEN node; a group's body is a BRANCH chain of its own.
  EXPECT_EQ(bytes(regex_program<"x(ab)+">),
            (std::vector<int>{0x9C, 6, 0, 35, 8, 0, 5, 'x', 0, 21, 0, 3, 6, 0, 9, 8, 0, 6, 'a', 'b', 0, 31, 0, 3, 6,
                              0, 6, 7, 0, 18, 6, 0, 3, 9, 0, 3, 0, 0, 0}));
  static_assert(regex_constant<"x(ab)+">.first_char == 'x');
  static_assert(regex_constant<"x(ab)+">.anchored == 0);
  static_assert(regex_constant<"^x|^y">.anchored == 0, "two alternatives: no single start");
  // Set syntax: ranges, a literal "-" first or last, bytes above 0x9F as themselves.
  EXPECT_EQ(bytes(regex_program<"[-a-c\xe7.-]">),
            (std::vector<int>{0x9C, 6, 0, 14, 4, 0, 11, '-', 'a', 'b', 'c', 0xE7, '.', '-', 0, 0, 0, 0}));
}

TEST(RegexFind, NullRegexIsNoMatchAndEmptyTextsFail) {
  EXPECT_FALSE(regex_matches(nullptr, "123"));
  EXPECT_FALSE(regex_matches(&digits_pattern, ""));
  EXPECT_FALSE(regex_matches(&letters_pattern, ""));
}

TEST(RegexFind, RecordsGroupsUpToNine) {
  static constexpr const Regex& nine = regex_constant<"(a)(b)(c)(d)(e)(f)(g)(h)(i+)">;
  const char* text = "xxabcdefghiiiy";
  RegexMatch* m = regex_find(&nine, text);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->start[0], text + 2);
  EXPECT_EQ(m->end[0], text + 13);
  for (int g = 1; g <= 8; ++g) {
    EXPECT_EQ(m->start[g], text + 1 + g) << g;
    EXPECT_EQ(m->end[g], text + 2 + g) << g;
  }
  EXPECT_EQ(m->start[9], text + 10);
  EXPECT_EQ(m->end[9], text + 13);
  EXPECT_EQ(m->text_start, text);
  heap_free(m);
  EXPECT_EQ(regex_find(&nine, "abcdefgh"), nullptr);
}

TEST(RegexFind, UnanchoredSearchIsLeftmostAndGreedy) {
  static constexpr const Regex& r = regex_constant<"b[0-9]*c">;
  EXPECT_EQ(r.anchored, 0);
  EXPECT_EQ(r.first_char, 'b');
  const char* text = "abcab12c";
  RegexMatch* m = regex_find(&r, text);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->start[0], text + 1);
  EXPECT_EQ(m->end[0], text + 3);
  heap_free(m);

  static constexpr const Regex& group_star = regex_constant<"x(ab)*y">;
  EXPECT_TRUE(regex_matches(&group_star, "--xy"));
  EXPECT_TRUE(regex_matches(&group_star, "xababy"));
  EXPECT_FALSE(regex_matches(&group_star, "xabay"));

  // An empty pattern matches at the terminating NUL of an empty text.
  static constexpr const Regex& dollar = regex_constant<"$">;
  m = regex_find(&dollar, "");
  ASSERT_NE(m, nullptr);
  heap_free(m);

  static constexpr const Regex& any_but = regex_constant<"^[^0-9]+\\.$">;
  EXPECT_TRUE(regex_matches(&any_but, "abc."));
  EXPECT_FALSE(regex_matches(&any_but, "a1c."));
  static constexpr const Regex& dot = regex_constant<"^a.*z$">;
  EXPECT_TRUE(regex_matches(&dot, "az"));
  EXPECT_TRUE(regex_matches(&dot, "a--z-z"));
  EXPECT_FALSE(regex_matches(&dot, "a--z-"));
}

TEST(RegexFind, MustTextIsRequired) {
  static constexpr const Regex& base = regex_constant<"[a-z]+">;
  Regex with_must = base;
  with_must.must = "cd";
  with_must.must_length = 2;
  EXPECT_TRUE(regex_matches(&with_must, "xxcdx"));
  EXPECT_FALSE(regex_matches(&with_must, "xxcxd"));
  EXPECT_TRUE(regex_matches(&base, "xxcxd"));
}

// WORDA and WORDZ come from no source syntax: a hand-built program for a
// word "ab" standing alone.
constexpr uint8_t kWordProgram[] = {
    kRegexCheckByte,
    kRegexBranch, 0, 15,   // 1: the only alternative, next is END
    kRegexWordA, 0, 3,     // 4
    kRegexExactly, 0, 6, 'a', 'b', 0,  // 7
    kRegexWordZ, 0, 3,     // 13
    kRegexEnd, 0, 0,       // 16
};

TEST(RegexFind, WordBoundaries) {
  Regex r{0, 0, nullptr, 0, sizeof kWordProgram, kWordProgram};
  EXPECT_TRUE(regex_matches(&r, "ab"));
  EXPECT_TRUE(regex_matches(&r, "x ab."));
  EXPECT_FALSE(regex_matches(&r, "xab"));
  EXPECT_FALSE(regex_matches(&r, "ab_"));
  EXPECT_FALSE(regex_matches(&r, "_ab"));
  EXPECT_TRUE(regex_matches(&r, "\xe9" "ab"));  // only ASCII counts as a word character
}

TEST(RegexFind, HotPathAllocatesNothing) {
  uint64_t before = heap_alloc_count();
  for (int i = 0; i < 100; ++i) {
    EXPECT_TRUE(regex_matches(&number_pattern, "-1.234.567,8"));
    EXPECT_FALSE(regex_matches(&number_pattern, "1.234.567,8x"));
  }
  EXPECT_EQ(heap_alloc_count(), before);
  RegexMatch* m = regex_find(&number_pattern, "12");
  EXPECT_EQ(heap_alloc_count(), before + 1);  // one match record and nothing else
  heap_free(m);
}

TEST(RegexFind, VeryLongTextsDoNotExhaustTheStack) {
  std::string dotted;
  for (int i = 0; i < 200000; ++i) dotted += "a.";
  dotted += "b";
  // Far past the matcher's nesting limit: answered, not crashed.
  EXPECT_FALSE(regex_matches(&abbreviation_pattern, dotted.c_str()));
  std::string digits(100000, '7');
  EXPECT_TRUE(regex_matches(&digits_pattern, digits.c_str()));
  EXPECT_TRUE(regex_matches(&number_pattern, digits.c_str()));
  std::string shortish;
  for (int i = 0; i < 800; ++i) shortish += "a.";
  shortish += "b";
  EXPECT_TRUE(regex_matches(&abbreviation_pattern, shortish.c_str()));
}

// The deepest search fits a 1 MB thread stack (the usual size of a Windows
// thread); the sanitizer's larger frames get four.
void* deep_search(void* text) {
  bool matched = regex_matches(&abbreviation_pattern, static_cast<const char*>(text));
  return matched ? text : nullptr;
}

TEST(RegexFind, DeepestSearchFitsASmallThreadStack) {
  std::string dotted;
  for (int i = 0; i < 100000; ++i) dotted += "a.";
  dotted += "b";
#ifdef SELVANA_SANITIZE
  size_t stack = 4u << 20;
#else
  size_t stack = 1u << 20;
#endif
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, stack);
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, &attr, deep_search, dotted.data()), 0);
  void* result = dotted.data();
  pthread_join(thread, &result);
  pthread_attr_destroy(&attr);
  EXPECT_EQ(result, nullptr);
}

// Damaged programs.
std::vector<uint8_t> copy_program(const Regex& r) {
  return std::vector<uint8_t>(r.program, r.program + r.program_size);
}

using RegexDeathTest = testing::Test;

TEST(RegexDeathTest, FailuresPrintTheirReasonAndExit) {
  EXPECT_EXIT(regex_find(nullptr, "1"), testing::ExitedWithCode(255), "^regexp failure: NULL parameter\n$");
  EXPECT_EXIT(regex_matches(&digits_pattern, nullptr), testing::ExitedWithCode(255),
              "regexp failure: NULL parameter");

  std::vector<uint8_t> bad = copy_program(digits_pattern);
  bad[0] = 0x9D;
  Regex r = digits_pattern;
  r.program = bad.data();
  EXPECT_EXIT(regex_matches(&r, "1"), testing::ExitedWithCode(255), "^regexp failure: corrupted program\n$");

  bad = copy_program(digits_pattern);
  bad[4] = 17;  // BOL becomes an invalid opcode
  r.program = bad.data();
  EXPECT_EXIT(regex_matches(&r, "1"), testing::ExitedWithCode(255), "^regexp failure: memory corruption\n$");

  bad = copy_program(digits_pattern);
  bad[5] = 0;  // BOL loses its next node
  bad[6] = 0;
  r.program = bad.data();
  EXPECT_EXIT(regex_matches(&r, "1"), testing::ExitedWithCode(255), "^regexp failure: corrupted pointers\n$");

  bad = copy_program(digits_pattern);
  bad[5] = 0x7F;  // BOL points far outside the program
  r.program = bad.data();
  EXPECT_EXIT(regex_matches(&r, "1"), testing::ExitedWithCode(255), "^regexp failure: corrupted pointers\n$");

  // digits: BRANCH BOL ANYOF STAR(ANYOF) EOL END; the STAR's operand becomes a BRANCH.
  bad = copy_program(digits_pattern);
  size_t star = 0;
  for (size_t i = 7; i < bad.size(); ++i)
    if (bad[i] == kRegexStar) {
      star = i;
      break;
    }
  ASSERT_NE(star, 0u);
  bad[star + 3] = kRegexBranch;
  r.program = bad.data();
  EXPECT_EXIT(regex_matches(&r, "1"), testing::ExitedWithCode(255), "^regexp failure: internal foulup\n$");
}

}  // namespace
