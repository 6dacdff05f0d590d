// End-to-end: `selvana words` with the built module and the test voice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "tests/host/run_tool.h"

namespace {

using testutil::run_selvana;

// Runs `selvana words` with `input` on standard input.
testutil::ToolResult words_from_stdin(const std::string& input, bool merge_stderr) {
  std::string path = testing::TempDir() + "selvana_words_input.txt";
  std::ofstream(path, std::ios::binary) << input;
  auto r = run_selvana("words < '" + path + "'", merge_stderr);
  std::remove(path.c_str());
  return r;
}

TEST(SelvanaWords, ASentenceWithNumbersDatesMoneyAndAbbreviations) {
  auto r = run_selvana(
      "words 'O Sr. Silva pagou R$1,50 em 25/12/2013 às 10:30, e 50% dos E.U.A. disseram sim?^'");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "O\to\n"
            "Sr\tsenhor\n"
            "Silva\tsilva\n"
            "pagou\tpagou\n"
            "R$1,50\tum real e cinquenta centavos\n"
            "em\tem\n"
            "25/12/2013\tvinte e cinco de dezembro de dois mil e treze\n"
            "às\tàs\n"
            "10:30\tdez e trinta\n"
            "e\te\n"
            "50%\tcinquenta porcento\n"
            "dos\tdos\n"
            "E.U.A\te.u.a.\n"
            "disseram\tdisseram\n"
            "sim\tsim\n");
}

TEST(SelvanaWords, MixedTokensAndMoneyAcrossTokens) {
  auto r = run_selvana("words 'A4' 'abc-123' '0800' 'R$1' 'mil' '€1.000.000' '£2,50' '2ª' 'ABC'\"'\"'s' '3,14'");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "A4\ta quatro\n"
            "abc-123\tabc cento e vinte e três\n"
            "0800\tzero oito zero zero\n"
            "R$1\t\n"
            "mil\tmil reais\n"
            "€1.000.000\tum milhão euros\n"
            "£2,50\tduas libras e cinquenta pence\n"
            "2ª\tsegunda\n"
            "ABC's\tabc's\n"
            "3,14\ttrês vírgula catorze\n");
}

TEST(SelvanaWords, HintsApplyToEveryToken) {
  auto r = run_selvana("words --interpret-as fraction 3/4 1+1/2 abc");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "3/4\ttrês quartos\n1+1/2\tum e um meio\nabc\tabc\n");
  r = run_selvana("words --interpret-as=date --format=my 12/2013");
  EXPECT_EQ(r.out, "12/2013\tdezembro de dois mil e treze\n");
  r = run_selvana("words --interpret-as digits 2013 --interpret-as ordinal XII");
  EXPECT_EQ(r.out, "2013\tsegundo milésimo décimo-terceiro\nXII\tdécimo-segundo\n");  // the last hint wins
  r = run_selvana("words --interpret-as time \"3'25\\\"\"");
  EXPECT_EQ(r.out, "3'25\"\ttrês minutos e vinte e cinco segundos\n");
}

TEST(SelvanaWords, StandardInputAndCharactersOutsideIso885915) {
  auto r = words_from_stdin("Ação\tfoi às 9:05pm.\n\xe4\xb8\xadx\n", false);
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "Ação\tação\n"
            "foi\tfoi\n"
            "às\tàs\n"
            "9:05pm\tnove e cinco pê éme\n"
            "x\txis\n");
  r = words_from_stdin("a \xe4\xb8\xad b", true);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("U+4E2D at character 3"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("a\ta\n"), std::string::npos) << r.out;
  EXPECT_EQ(words_from_stdin("", false).out, "");
}

TEST(SelvanaWords, BadUsageIsOneLineAndNonZero) {
  for (const char* args : {"words --bogus x", "words --interpret-as", "words --format", "words --voice"}) {
    auto r = run_selvana(args, true);
    EXPECT_EQ(r.status, 2) << args;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << args << ": " << r.out;
  }
  auto r = run_selvana("words --voice /nonexistent/voice x", true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  r = run_selvana("words --help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--interpret-as HINT"), std::string::npos);
  // Text that begins with "-" is text, and "--" ends the options.
  r = run_selvana("words -5 -- --x");
  EXPECT_EQ(r.out, "-5\tmenos cinco\n--x\txis\n");
}

}  // namespace
