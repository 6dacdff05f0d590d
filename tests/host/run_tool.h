// Runs the built selvana tool and collects what it prints.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace testutil {

struct ToolResult {
  int status;       // exit status
  std::string out;  // standard output
};

// Runs `SELVANA_BIN_DIR/selvana <args>` through the shell; standard error is
// appended to the output when `merge_stderr` is set.
inline ToolResult run_selvana(const std::string& args, bool merge_stderr = false) {
  std::string cmd = std::string(SELVANA_BIN_DIR) + "/selvana " + args + (merge_stderr ? " 2>&1" : " 2>/dev/null");
  ToolResult r{-1, ""};
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

}  // namespace testutil
