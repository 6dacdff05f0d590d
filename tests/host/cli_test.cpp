// The selvana tool's command line: one argument reader for every subcommand,
// and playback on the default sound device.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tests/host/run_tool.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kTones = std::string(SELVANA_BIN_DIR) + "/voices/tones";

std::string read_all(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(Cli, EverySubcommandReadsOptionsAlike) {
  struct Case {
    std::string args;
    int status;
    std::string output;  // expected inside standard output and error
  };
  const Case cases[] = {
      {"xsampa -h", 0, "usage: selvana xsampa"},
      {"phones -h", 0, "usage: selvana phones"},
      {"say --help", 0, "usage: selvana say"},
      {"info --bogus", 2, "selvana info: unknown option '--bogus' (try --help)"},
      {"unit-decode --bogus", 2, "selvana unit-decode: unknown option '--bogus' (try --help)"},
      {"silk-decode -x", 2, "selvana silk-decode: unknown option '-x' (try --help)"},
      {"segments --voice", 2, "selvana segments: --voice needs a value (try --help)"},
      {"say --stdout -s fast Oi", 2, "selvana say: rate (words per minute) \"fast\" is not a whole number"},
      {"say --stdout -p 100 Oi", 2, "selvana say: pitch \"100\" is not a whole number from 0 to 99"},
      {"say --stdout -a 250% Oi", 2, "selvana say: volume \"250\" is not a number from 0 to 200"},
      {"say --raw -o x.wav Oi", 2, "--raw goes with --stdout"},
      // After "--" everything is text, even what looks like an option.
      {"words -- --help", 0, ""},
      {"xsampa --voice " + kTones + " -- a", 0, "a"},
  };
  for (const Case& c : cases) {
    auto r = testutil::run_selvana(c.args, true);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.output), std::string::npos) << c.args << "\n" << r.out;
    EXPECT_EQ(r.out.find("usage:") != std::string::npos, c.output.rfind("usage:", 0) == 0) << c.args << "\n" << r.out;
  }
  // "--" itself is not text.
  EXPECT_EQ(testutil::run_selvana("xsampa --voice " + kTones + " -- a").out,
            testutil::run_selvana("xsampa --voice " + kTones + " a").out);
  EXPECT_EQ(testutil::run_selvana("words --voice " + kTones + " -- --x").out.rfind("--x\t", 0), 0u);
}

// The default device pointed at a file by an ALSA configuration that the test
// writes: what reached it equals the samples of the WAV file -o writes.
TEST(Cli, SayPlaysOnTheDefaultDeviceWhatItWritesToAFile) {
  testutil::TempDir dir;
  const std::string conf = dir.file("asound.conf"), played = dir.file("played.raw"), wav = dir.file("say.wav");
  std::ofstream(conf) << "pcm.!default { type file slave.pcm { type null } file \"" << played
                      << "\" format \"raw\" }\n";
  const std::string text = "'Bom dia. O sol nasceu cedo hoje.'";
  auto r = testutil::run_selvana("say --voice " + kTones + " -o " + wav + " " + text);
  ASSERT_EQ(r.status, 0);
  const std::string cmd = "ALSA_CONFIG_PATH=" + conf + " " + std::string(SELVANA_BIN_DIR) + "/selvana say --voice " +
                          kTones + " " + text + " 2>&1";
  const int status = system(cmd.c_str());
  if (status != 0 || !std::ifstream(played)) GTEST_SKIP() << "ALSA's file device cannot be opened here";
  const std::string file = read_all(wav);
  ASSERT_GT(file.size(), 44u);
  EXPECT_TRUE(read_all(played) == file.substr(44));
  // --stdout --raw writes the same samples.
  r = testutil::run_selvana("say --voice " + kTones + " --stdout --raw " + text);
  EXPECT_TRUE(r.out == file.substr(44));
}

}  // namespace
