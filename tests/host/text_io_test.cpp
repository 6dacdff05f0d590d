// UTF-8 and ISO-8859-15 conversion of the host.
#include "host/text_io.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

TEST(TextIo, PortugueseTextConvertsBothWays) {
  std::vector<TextIssue> issues;
  std::string latin = utf8_to_latin9("ação, pé, Ç, «aspas» 1º 2ª", &issues);
  EXPECT_TRUE(issues.empty());
  EXPECT_EQ(latin, "a\xe7\xe3o, p\xe9, \xc7, \xab" "aspas\xbb 1\xba 2\xaa");
  EXPECT_EQ(latin9_to_utf8(latin), "ação, pé, Ç, «aspas» 1º 2ª");
}

TEST(TextIo, TheEightReplacedPlacesOfIso885915) {
  std::vector<TextIssue> issues;
  EXPECT_EQ(utf8_to_latin9("€ Š š Ž ž Œ œ Ÿ", &issues), "\xa4 \xa6 \xa8 \xb4 \xb8 \xbc \xbd \xbe");
  EXPECT_TRUE(issues.empty());
  EXPECT_EQ(latin9_to_utf8("\xa4\xa6\xa8\xb4\xb8\xbc\xbd\xbe"), "€ŠšŽžŒœŸ");
  // The Latin-1 characters that ISO-8859-15 gave up have no byte.
  for (uint32_t cp : {0xA4u, 0xA6u, 0xA8u, 0xB4u, 0xB8u, 0xBCu, 0xBDu, 0xBEu})
    EXPECT_EQ(latin9_from_codepoint(cp), -1) << cp;
  EXPECT_EQ(latin9_from_codepoint(0x20AC), 0xA4);
  EXPECT_EQ(latin9_from_codepoint(0xFF), 0xFF);
  EXPECT_EQ(latin9_from_codepoint(0x100), -1);
  EXPECT_EQ(latin9_from_codepoint(0), -1);
}

TEST(TextIo, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  std::vector<TextIssue> issues;
  EXPECT_EQ(utf8_to_latin9(latin9_to_utf8(all), &issues), all);
  EXPECT_TRUE(issues.empty());
}

TEST(TextIo, CharactersOutsideAreSkippedAndListedWithTheirPositions) {
  std::vector<TextIssue> issues;
  EXPECT_EQ(utf8_to_latin9("a中b½c😀", &issues), "abc");
  ASSERT_EQ(issues.size(), 3u);
  EXPECT_EQ(issues[0].character, 2u);
  EXPECT_EQ(issues[0].byte, 2u);
  EXPECT_EQ(issues[0].codepoint, 0x4E2Du);
  EXPECT_FALSE(issues[0].invalid_utf8);
  EXPECT_EQ(issues[1].character, 4u);
  EXPECT_EQ(issues[1].byte, 6u);
  EXPECT_EQ(issues[1].codepoint, 0xBDu);
  EXPECT_EQ(issues[2].character, 6u);
  EXPECT_EQ(issues[2].byte, 9u);
  EXPECT_EQ(issues[2].codepoint, 0x1F600u);
  // Without a list the characters are still left out.
  EXPECT_EQ(utf8_to_latin9("x中", nullptr), "x");
}

TEST(TextIo, BytesThatAreNotUtf8AreSkippedOnce) {
  std::vector<TextIssue> issues;
  EXPECT_EQ(utf8_to_latin9("a\xff" "b", &issues), "ab");
  ASSERT_EQ(issues.size(), 1u);
  EXPECT_TRUE(issues[0].invalid_utf8);
  EXPECT_EQ(issues[0].codepoint, 0xFFu);
  EXPECT_EQ(issues[0].byte, 2u);

  issues.clear();
  // Overlong form, surrogate, truncated sequence at the end, stray
  // continuation byte, embedded NUL.
  std::string bad = std::string("\xc0\xaf" "1\xed\xa0\x80" "2\x80" "3") + '\0' + "4\xe4\xb8";
  EXPECT_EQ(utf8_to_latin9(bad, &issues), "1234");
  ASSERT_EQ(issues.size(), 5u);
  EXPECT_TRUE(issues[0].invalid_utf8);
  EXPECT_TRUE(issues[1].invalid_utf8);
  EXPECT_TRUE(issues[2].invalid_utf8);
  EXPECT_FALSE(issues[3].invalid_utf8);  // NUL is UTF-8 but has no place in module text
  EXPECT_EQ(issues[3].codepoint, 0u);
  EXPECT_TRUE(issues[4].invalid_utf8);
  EXPECT_EQ(issues[4].byte, bad.size() - 1);
}

TEST(TextIo, IssuesAreReportedOneLineEach) {
  std::vector<TextIssue> issues;
  utf8_to_latin9("a中\xff", &issues);
  FILE* out = tmpfile();
  ASSERT_NE(out, nullptr);
  report_text_issues(out, "selvana words", issues);
  rewind(out);
  char buffer[512] = {};
  size_t n = fread(buffer, 1, sizeof buffer - 1, out);
  fclose(out);
  EXPECT_EQ(std::string(buffer, n),
            "selvana words: character U+4E2D at character 2 (byte 2) is not in ISO-8859-15; skipped\n"
            "selvana words: byte 0xFF at byte 5 (character 3) is not UTF-8; skipped\n");
}

}  // namespace
