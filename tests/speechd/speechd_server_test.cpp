// spd-say through a real speech-dispatcher server that runs sd_selvana: the
// server is started by the test in its own folder, with its own
// configuration, and plays into an ALSA file device that the test reads.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "speechd/module_client.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kModule = std::string(SELVANA_BIN_DIR) + "/sd_selvana";
const std::string kVoiceDir = std::string(SELVANA_BIN_DIR) + "/voices/tones";

bool on_path(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

uintmax_t size_of(const std::string& path) {
  std::error_code ec;
  uintmax_t n = fs::file_size(path, ec);
  return ec ? 0 : n;
}

std::string tail_of(const std::string& path) {
  std::ifstream in(path);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return all.size() > 600 ? all.substr(all.size() - 600) : all;
}

// The samples sd_selvana makes for `text`, asked directly.
size_t samples_for(const std::string& text) {
  speechd::ModuleClient m;
  std::string error;
  if (!m.start({kModule}, {"SELVANA_VOICE_DIR=" + kVoiceDir}, "/dev/null", &error)) return 0;
  m.send("INIT\nAUDIO\naudio_output_method=server\n.\nSPEAK\n" + text + "\n.\n");
  size_t n = 0;
  for (speechd::ModuleMessage r = m.read(10000); r.code > 0 && r.code != 702; r = m.read(10000))
    if (r.code == 705) n += r.audio.size();
  return n;
}

class Server {
 public:
  explicit Server(const testutil::TempDir& dir) : dir_(dir) {
    std::ofstream(dir.file(".asoundrc")) << "pcm.selvana_test {\n  type file\n  slave.pcm \"null\"\n  file \""
                                         << dir.file("out.raw") << "\"\n  format \"raw\"\n}\n";
    fs::create_directories(dir.file("conf"));
    fs::create_directories(dir.file("run"));
    std::ofstream(dir.file("selvana.conf")) << "SelvanaVoiceDir \"" << kVoiceDir << "\"\n";
    std::ofstream(dir.file("conf/speechd.conf"))
        << "CommunicationMethod \"unix_socket\"\nSocketPath \"" << socket() << "\"\nLogDir \"" << dir.path()
        << "\"\nAudioOutputMethod \"alsa\"\nAudioALSADevice \"selvana_test\"\nDefaultVolume 100\n"
        << "AddModule \"selvana\" \"" << kModule << "\" \"" << dir.file("selvana.conf") << "\"\n"
        << "DefaultModule selvana\n";
    // Everything the server reads or writes stays in the test's folder.
    std::string env = "HOME=" + dir.path() + " XDG_RUNTIME_DIR=" + dir.file("run") +
                      " XDG_CONFIG_HOME=" + dir.file("config") + " ";
    std::string cmd = env + "speech-dispatcher -s -t 60 -C " + dir.file("conf") + " -P " + dir.file("run/pid") +
                      " >" + dir.file("server.out") + " 2>&1 & echo $!";
    FILE* p = popen(cmd.c_str(), "r");
    if (p && fscanf(p, "%d", &pid_) != 1) pid_ = -1;
    if (p) pclose(p);
    for (int i = 0; i < 250 && !fs::exists(socket()); ++i) std::this_thread::sleep_for(20ms);
  }
  ~Server() {
    if (pid_ > 0) kill(pid_, SIGTERM);
  }

  bool running() const { return pid_ > 0 && fs::exists(socket()); }
  std::string socket() const { return dir_.file("run/speechd.sock"); }
  std::string output() const { return dir_.file("out.raw"); }
  std::string log() const { return tail_of(dir_.file("server.out")) + tail_of(dir_.file("speech-dispatcher.log")); }

  int spd_say(const std::string& args) const {
    return std::system(("SPEECHD_ADDRESS=unix_socket:" + socket() + " spd-say " + args + " >/dev/null 2>&1").c_str());
  }

 private:
  const testutil::TempDir& dir_;
  int pid_ = -1;
};

TEST(SpeechDispatcher, SpdSaySpeaksWithSelvanaAndStops) {
  if (!on_path("speech-dispatcher") || !on_path("spd-say")) GTEST_SKIP() << "speech-dispatcher is not installed";
  testutil::TempDir dir;
  Server server(dir);
  if (!server.running()) GTEST_SKIP() << "speech-dispatcher did not start:\n" << server.log();

  const std::string sentence = "Olá! Eu sou a Selvana, uma voz do português do Brasil.";
  ASSERT_EQ(server.spd_say("-o selvana -l pt-BR -w \"" + sentence + "\""), 0) << server.log();
  // The whole message reached the device (give or take a period of padding).
  const double expected = static_cast<double>(samples_for(sentence));
  const double played = static_cast<double>(size_of(server.output()) / 2);
  ASSERT_GT(expected, 0.0);
  EXPECT_NEAR(played, expected, expected * 0.05 + 4096) << server.log();

  // A long text, stopped once it is playing.
  std::string text;
  for (int i = 0; i < 100; ++i) text += sentence + " ";
  const uintmax_t before = size_of(server.output());
  ASSERT_EQ(server.spd_say("-o selvana -l pt-BR \"" + text + "\""), 0);
  for (int i = 0; i < 500 && size_of(server.output()) == before; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(server.spd_say("-S"), 0);
  std::this_thread::sleep_for(500ms);
  const uintmax_t stopped = size_of(server.output());
  std::this_thread::sleep_for(500ms);
  EXPECT_EQ(size_of(server.output()), stopped) << "still playing after spd-say -S";
  EXPECT_LT(static_cast<double>(stopped - before) / 2, 50 * expected) << "the text was not stopped";
}

}  // namespace
