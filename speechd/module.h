// sd_selvana: speech-dispatcher's output-module protocol on two descriptors,
// speaking through the engine library.  The main thread reads commands and
// answers them; one worker thread speaks, sending the audio to the server
// (AUDIO events of at most 20 ms each) with the BEGIN, INDEX MARK and END,
// STOP or PAUSE events in their order.
#pragma once

#include <string>

namespace speechd {

// The module's configuration file (selvana.conf): "Name value" lines, the
// value optionally in double quotes, '#' starting a comment.
struct Config {
  std::string voice_dir;    // SelvanaVoiceDir: "" for the engine's default voice
  std::string module_path;  // SelvanaModulePath: "" for the installed voice module
};

// Reads `path` into `config`.  Names the module does not know are listed in
// `warnings`, one line each.  False with `error` when the file cannot be read
// or a line has no value.
bool read_config(const std::string& path, Config* config, std::string* warnings, std::string* error);

// Speaks the protocol on `in_fd` and `out_fd` until QUIT or the end of the
// input, logging on standard error.  Returns the process's exit status: 0
// after QUIT or a closed input, 1 when the voice cannot be loaded, 3 when the
// first command is not INIT.
int run_module(const Config& config, int in_fd, int out_fd);

}  // namespace speechd
