// sd_selvana: the selvana voice as a speech-dispatcher output module.  The
// server starts it with the path of its configuration file and talks to it
// on standard input and output; the log goes to standard error.
#include <csignal>
#include <cstdio>
#include <unistd.h>

#include "speechd/module.h"

int main(int argc, char** argv) {
  // A server that goes away shows as a failed write, not as a signal.
  std::signal(SIGPIPE, SIG_IGN);
  speechd::Config config;
  if (argc >= 2 && argv[1][0] != '\0') {
    std::string warnings, error;
    if (!speechd::read_config(argv[1], &config, &warnings, &error)) {
      fprintf(stderr, "sd_selvana: %s\n", error.c_str());
      return 1;
    }
    if (!warnings.empty()) fprintf(stderr, "sd_selvana: %s", warnings.c_str());
  }
  return speechd::run_module(config, STDIN_FILENO, STDOUT_FILENO);
}
