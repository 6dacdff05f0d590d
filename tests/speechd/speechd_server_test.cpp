// spd-say through a real speech-dispatcher server that runs sd_selvana: the
// server is started by the test in its own folder, with its own
// configuration, and plays through libao into an ALSA file device whose file
// is a FIFO that the test reads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

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

// The device's output: a FIFO that the test drains, at full speed or paced
// to a few times real time so that a long text is still playing when it is
// stopped.
class Sink {
 public:
  explicit Sink(const std::string& path) {
    mkfifo(path.c_str(), 0600);
    read_fd_ = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    hold_fd_ = open(path.c_str(), O_WRONLY | O_NONBLOCK);  // never an end of file between messages
    reader_ = std::thread([this] { drain(); });
  }
  ~Sink() {
    done_ = true;
    reader_.join();
    close(read_fd_);
    close(hold_fd_);
  }
  uint64_t bytes() const { return bytes_; }
  void pace(bool on) { paced_ = on; }
  // The byte count once nothing arrived for `quiet`.
  uint64_t settled(std::chrono::milliseconds quiet) const {
    for (uint64_t last = bytes_;; last = bytes_) {
      std::this_thread::sleep_for(quiet);
      if (bytes_ == last) return last;
    }
  }

 private:
  void drain() {
    std::vector<char> buf(8192);
    while (!done_) {
      pollfd p{read_fd_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      ssize_t n = read(read_fd_, buf.data(), paced_ ? 2048 : buf.size());
      if (n > 0) bytes_ += static_cast<uint64_t>(n);
      if (paced_) std::this_thread::sleep_for(10ms);
    }
  }

  int read_fd_ = -1, hold_fd_ = -1;
  std::atomic<uint64_t> bytes_{0};
  std::atomic<bool> paced_{false}, done_{false};
  std::thread reader_;
};

class Server {
 public:
  explicit Server(const testutil::TempDir& dir) : dir_(dir), sink_(dir.file("out.raw")) {
    // libao's ALSA output asks for a short buffer, so the file device writes
    // as it plays and the FIFO paces the server.
    std::ofstream(dir.file(".libao")) << "default_driver=alsa\ndev=selvana_test\nquiet\n";
    std::ofstream(dir.file(".asoundrc")) << "pcm.selvana_test {\n  type file\n  slave.pcm \"null\"\n  file \""
                                         << dir.file("out.raw") << "\"\n  format \"raw\"\n}\n";
    fs::create_directories(dir.file("conf"));
    fs::create_directories(dir.file("run"));
    std::ofstream(dir.file("selvana.conf")) << "SelvanaVoiceDir \"" << kVoiceDir << "\"\n";
    std::ofstream(dir.file("conf/speechd.conf"))
        << "CommunicationMethod \"unix_socket\"\nSocketPath \"" << socket() << "\"\nLogDir \"" << dir.path()
        << "\"\nAudioOutputMethod \"libao\"\nDefaultVolume 100\n"
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
  Sink& sink() { return sink_; }
  std::string log() const { return tail_of(dir_.file("server.out")) + tail_of(dir_.file("speech-dispatcher.log")); }

  int spd_say(const std::string& args) const {
    return std::system(("SPEECHD_ADDRESS=unix_socket:" + socket() + " spd-say " + args + " >/dev/null 2>&1").c_str());
  }

 private:
  const testutil::TempDir& dir_;
  Sink sink_;
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
  const double played = static_cast<double>(server.sink().settled(300ms) / 2);
  ASSERT_GT(expected, 0.0);
  EXPECT_NEAR(played, expected, expected * 0.05 + 4096) << server.log();

  // A long text, stopped once it is playing.
  std::string text;
  for (int i = 0; i < 100; ++i) text += sentence + " ";
  const uint64_t before = server.sink().bytes();
  server.sink().pace(true);
  ASSERT_EQ(server.spd_say("-o selvana -l pt-BR \"" + text + "\""), 0);
  for (int i = 0; i < 500 && server.sink().bytes() == before; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(server.spd_say("-S"), 0);
  const uint64_t stopped = server.sink().settled(500ms);
  EXPECT_GT(stopped, before) << "nothing was played";
  EXPECT_LT(static_cast<double>(stopped - before) / 2, 10 * expected) << "the text was not stopped";
}

}  // namespace
