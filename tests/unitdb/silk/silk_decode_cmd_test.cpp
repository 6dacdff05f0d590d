// The `selvana silk-decode` subcommand: called directly and through the
// built tool, on one shared vector, plus its usage errors.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "tests/unitdb/silk/silk_test_util.h"

namespace {

const char* kVector = "silk_pub03_wb16k_60ms_20kbps_c2_fec";

std::string temp_path(const std::string& leaf) {
  const char* dir = getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/selvana_silk_" + std::to_string(getpid()) + "_" + leaf;
}

int run_command(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return cmd_silk_decode(static_cast<int>(args.size()), argv.data());
}

bool files_equal(const std::string& a, const std::string& b) {
  std::vector<uint8_t> x, y;
  return silktest::read_bytes(a, &x) && silktest::read_bytes(b, &y) && x == y;
}

TEST(SilkDecodeCommand, DecodesAVectorLikeTheReference) {
  const std::string base = silktest::vector_dir() + "/" + kVector;
  std::vector<uint8_t> probe;
  if (!silktest::read_bytes(base + ".bit", &probe)) GTEST_SKIP() << "no SILK vectors in " << silktest::vector_dir();
  const std::string pcm = temp_path("out.pcm");
  const std::string log = temp_path("out.log");
  for (const char* rate : {"16000", "44100"}) {
    ASSERT_EQ(run_command({"silk-decode", "--rate", rate, "--log", log, base + ".bit", pcm}), 0);
    EXPECT_TRUE(files_equal(pcm, base + "." + rate + ".pcm")) << rate;
    EXPECT_TRUE(files_equal(log, base + "." + rate + ".log")) << rate;
  }
  remove(pcm.c_str());
  remove(log.c_str());
}

TEST(SilkDecodeCommand, BadUsage) {
  const std::string pcm = temp_path("bad.pcm");
  EXPECT_EQ(run_command({"silk-decode", "--help"}), 0);
  EXPECT_NE(run_command({"silk-decode"}), 0);
  EXPECT_NE(run_command({"silk-decode", "in.bit", pcm}), 0);                       // no rate
  EXPECT_NE(run_command({"silk-decode", "--rate", "16000", "in.bit"}), 0);         // no output
  EXPECT_NE(run_command({"silk-decode", "--rate", "abc", "in.bit", pcm}), 0);      // bad rate
  EXPECT_NE(run_command({"silk-decode", "--rate"}), 0);                            // missing value
  EXPECT_NE(run_command({"silk-decode", "--frobnicate", "--rate", "8000", "a", pcm}), 0);
  EXPECT_NE(run_command({"silk-decode", "--rate", "16000", "/nonexistent/in.bit", pcm}), 0);
  remove(pcm.c_str());
}

TEST(SilkDecodeCommand, TruncatedPacketsFileFails) {
  const std::string bits = temp_path("trunc.bit");
  const std::string pcm = temp_path("trunc.pcm");
  FILE* f = fopen(bits.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  const uint8_t data[] = {10, 0, 1, 2, 3};  // announces 10 bytes, holds 3
  fwrite(data, 1, sizeof(data), f);
  fclose(f);
  EXPECT_NE(run_command({"silk-decode", "--rate", "16000", bits, pcm}), 0);
  remove(bits.c_str());
  remove(pcm.c_str());
}

// End to end through the built tool.
TEST(SilkDecodeCommand, BuiltToolMatchesReferenceFiles) {
  const std::string tool = std::string(SELVANA_BIN_DIR) + "/selvana";
#ifdef _WIN32
  FILE* probe_tool = fopen((tool + ".exe").c_str(), "rb");
#else
  FILE* probe_tool = fopen(tool.c_str(), "rb");
#endif
  if (!probe_tool) GTEST_SKIP() << "the selvana tool is not built at " << tool;
  fclose(probe_tool);
  int help = system((tool + " silk-decode --help >/dev/null 2>&1").c_str());
  if (!WIFEXITED(help) || WEXITSTATUS(help) != 0) GTEST_SKIP() << "the built selvana tool has no silk-decode yet";
  const std::string base = silktest::vector_dir() + "/" + kVector;
  std::vector<uint8_t> probe;
  if (!silktest::read_bytes(base + ".bit", &probe)) GTEST_SKIP() << "no SILK vectors in " << silktest::vector_dir();
  const std::string pcm = temp_path("tool.pcm");
  const std::string log = temp_path("tool.log");
  const std::string cmd = tool + " silk-decode --rate 24000 --log " + log + " " + base + ".bit " + pcm;
  int status = system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(files_equal(pcm, base + ".24000.pcm"));
  EXPECT_TRUE(files_equal(log, base + ".24000.log"));

  // Usage errors exit non-zero with one line on the error stream.
  const std::string err = temp_path("tool.err");
  status = system((tool + " silk-decode --rate 16000 2>" + err).c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 0);
  std::vector<uint8_t> text;
  ASSERT_TRUE(silktest::read_bytes(err, &text));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
  remove(pcm.c_str());
  remove(log.c_str());
  remove(err.c_str());
}

}  // namespace
