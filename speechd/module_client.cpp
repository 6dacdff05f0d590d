#include "speechd/module_client.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace speechd {

namespace {

using Clock = std::chrono::steady_clock;

int remaining_ms(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

std::vector<int16_t> decode_audio_data(std::string_view escaped) {
  std::string bytes;
  bytes.reserve(escaped.size());
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] == 0x7d && i + 1 < escaped.size())
      bytes += static_cast<char>(escaped[++i] ^ 0x20);
    else
      bytes += escaped[i];
  }
  std::vector<int16_t> samples(bytes.size() / 2);
  memcpy(samples.data(), bytes.data(), samples.size() * 2);
  return samples;
}

ModuleClient::~ModuleClient() {
  close_input();
  if (out_ >= 0) close(out_);
  if (pid_ > 0 && wait_exit(2000) < 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

bool ModuleClient::start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                         const std::string& stderr_path, std::string* error) {
  int to_child[2], from_child[2];
  if (pipe2(to_child, O_CLOEXEC) != 0 || pipe2(from_child, O_CLOEXEC) != 0) {
    *error = std::string("pipe: ") + strerror(errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_child[0], 0);
  posix_spawn_file_actions_adddup2(&actions, from_child[1], 1);
  if (!stderr_path.empty())
    posix_spawn_file_actions_addopen(&actions, 2, stderr_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<std::string> names;
  for (const std::string& e : env) names.push_back(e.substr(0, e.find('=') + 1));
  std::vector<char*> envp;
  for (char** e = environ; *e; ++e) {
    bool replaced = false;
    for (const std::string& n : names) replaced |= strncmp(*e, n.c_str(), n.size()) == 0;
    if (!replaced) envp.push_back(*e);
  }
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  int rc = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(to_child[0]);
  close(from_child[1]);
  in_ = to_child[1];
  out_ = from_child[0];
  if (rc != 0) {
    pid_ = -1;
    *error = "cannot start " + argv[0] + ": " + strerror(rc);
    return false;
  }
  return true;
}

bool ModuleClient::send(std::string_view text) {
  while (!text.empty()) {
    ssize_t n = write(in_, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void ModuleClient::close_input() {
  if (in_ >= 0) close(in_);
  in_ = -1;
}

size_t ModuleClient::pending_bytes() const {
  int n = 0;
  return ioctl(out_, FIONREAD, &n) == 0 ? static_cast<size_t>(n) : 0;
}

bool ModuleClient::parse(ModuleMessage* m) {
  *m = ModuleMessage{};
  m->offset = buffer_offset_;
  size_t pos = 0;
  for (;;) {
    size_t nl = buffer_.find('\n', pos);
    if (nl == std::string::npos) return false;
    std::string_view line(buffer_.data() + pos, nl - pos);
    pos = nl + 1;
    bool well_formed = line.size() >= 4 && line[0] >= '0' && line[0] <= '9' && (line[3] == '-' || line[3] == ' ');
    if (!well_formed) {
      m->code = -1;
      m->lines.assign(1, std::string(line));
      break;
    }
    std::string_view text = line.substr(4);
    if (line[3] == ' ') {
      m->code = std::stoi(std::string(line.substr(0, 3)));
      m->lines.emplace_back(text);
      break;
    }
    if (text.starts_with(std::string_view("AUDIO\0", 6))) {
      m->audio = decode_audio_data(text.substr(6));
      m->lines.emplace_back("AUDIO");
    } else {
      if (text.starts_with("sample_rate=")) m->sample_rate = std::stoi(std::string(text.substr(12)));
      m->lines.emplace_back(text);
    }
  }
  buffer_.erase(0, pos);
  buffer_offset_ += pos;
  return true;
}

ModuleMessage ModuleClient::read(int timeout_ms) {
  ModuleMessage m;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!parse(&m)) {
    pollfd p{out_, POLLIN, 0};
    int rc = poll(&p, 1, remaining_ms(deadline));
    if (rc < 0 && errno == EINTR) continue;
    if (rc <= 0) return ModuleMessage{};
    char chunk[65536];
    ssize_t n = ::read(out_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ModuleMessage{};
    buffer_.append(chunk, static_cast<size_t>(n));
    received_ += static_cast<uint64_t>(n);
  }
  return m;
}

int ModuleClient::wait_exit(int timeout_ms) {
  if (pid_ <= 0) return status_;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int st = 0;
    pid_t r = waitpid(pid_, &st, WNOHANG);
    if (r == pid_) {
      pid_ = -1;
      status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
      return status_;
    }
    if (remaining_ms(deadline) == 0) return -1;
    usleep(2000);
  }
}

}  // namespace speechd
