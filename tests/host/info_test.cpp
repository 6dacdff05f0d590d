#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "tests/host/run_tool.h"

namespace {

using testutil::run_selvana;

TEST(SelvanaInfo, PrintsEveryFeatureOfTheTestVoice) {
  auto r = run_selvana("info");
  ASSERT_EQ(r.status, 0);
  std::istringstream lines(r.out);
  std::string line;
  int count = 0;
  bool saw_name = false, saw_db = false, saw_beam = false;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
    saw_name |= line == "name\tstring\tvox_pt_br_selvana";
    saw_db |= line == "diphonedb\tdiphonedb\tdiphonedb";
    saw_beam |= line == "viterbi_beam\tint\t50";
  }
  EXPECT_TRUE(saw_name && saw_db && saw_beam) << r.out;
  EXPECT_EQ(r.out.substr(0, 12), "eng_version\t");  // newest first, as the list holds them
  EXPECT_GE(count, 12);
}

TEST(SelvanaInfo, BadVoiceIsOneLineAndStatusOne) {
  auto r = run_selvana("info --voice /nonexistent/voice", true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
  EXPECT_NE(r.out.find("cannot open or incorrect file"), std::string::npos) << r.out;
  r = run_selvana("info --voice", true);
  EXPECT_EQ(r.status, 2);
  r = run_selvana("info --module /nonexistent.so", true);
  EXPECT_EQ(r.status, 1);
}

TEST(Selvana, HelpListsTheCommands) {
  auto r = run_selvana("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("info"), std::string::npos);
  EXPECT_EQ(run_selvana("no-such-command").status, 2);
  EXPECT_EQ(run_selvana("").status, 2);
}

}  // namespace
