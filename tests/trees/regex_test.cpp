#include "trees/regex.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/platform.h"
// The real patterns of Portuguese tokens serve as workloads of the engine.
#include "lang_pt_br/token_patterns.h"
#include "trees/regex_compile.h"

namespace {

// The decision trees' `matches` question: ASCII letters joined by single dots.
TEST(CartPattern, AsciiAbbreviations) {
  ASSERT_EQ(cart_patterns[0], &ascii_abbreviation_pattern);
  EXPECT_EQ(cart_stored_patterns[0].regex, &ascii_abbreviation_pattern);
  for (const char* yes : {"a", "A.B", "u.s.a", "X"}) EXPECT_TRUE(regex_matches(&ascii_abbreviation_pattern, yes)) << yes;
  for (const char* no : {"", "a.", "a..b", "ab", "\xe9", "a.b."})
    EXPECT_FALSE(regex_matches(&ascii_abbreviation_pattern, no)) << no;
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
