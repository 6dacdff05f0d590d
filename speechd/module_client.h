// The server's side of speech-dispatcher's output-module protocol, enough to
// drive a module program (sd_selvana, or another synthesiser's module) from
// tests and benchmarks: it starts the program on two pipes, sends commands
// and reads whole replies and events, AUDIO events decoded.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace speechd {

struct ModuleMessage {
  int code = 0;                    // 0: nothing arrived in time; -1: a line that is not the protocol's
  std::vector<std::string> lines;  // each line's text after "NNN-" or "NNN "
  std::vector<int16_t> audio;      // AUDIO (705): the samples
  int sample_rate = 0;             // AUDIO: their rate
  uint64_t offset = 0;             // where the message starts in the module's output, in bytes
};

class ModuleClient {
 public:
  ModuleClient() = default;
  ModuleClient(const ModuleClient&) = delete;
  ModuleClient& operator=(const ModuleClient&) = delete;
  // Closes both pipes and ends the program if it is still running.
  ~ModuleClient();

  // Starts `argv` with `env` ("NAME=value") added to the environment and its
  // standard error appended to `stderr_path` ("" keeps this process's).
  bool start(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             const std::string& stderr_path, std::string* error);

  bool send(std::string_view text);
  // Ends the program's input.
  void close_input();
  // The next message, or code 0 after `timeout_ms` or at the end of the output.
  ModuleMessage read(int timeout_ms);
  // Bytes the module wrote that were not read yet (in the pipe).
  size_t pending_bytes() const;
  // Bytes read from the module so far (including those not yet parsed).
  uint64_t bytes_received() const { return received_; }
  // The program's exit status once it has ended, -1 if it has not within
  // `timeout_ms`, 128 + signal when a signal ended it.
  int wait_exit(int timeout_ms);
  pid_t pid() const { return pid_; }

 private:
  bool parse(ModuleMessage* out);

  pid_t pid_ = -1;
  int in_ = -1;   // the program's standard input
  int out_ = -1;  // its standard output
  int status_ = -1;
  std::string buffer_;
  uint64_t buffer_offset_ = 0;  // stream offset of buffer_[0]
  uint64_t received_ = 0;
};

// The audio of a 705 data line after "705-AUDIO\0", unescaped.
std::vector<int16_t> decode_audio_data(std::string_view escaped);

}  // namespace speechd
