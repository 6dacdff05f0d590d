// Windows builds of the tests (included ahead of every test source): the POSIX
// process services that the tests use, over CreateProcessW.
//
// The tests write their commands for a POSIX shell.  This reads the part of
// that language they use: words, '...' and "..." quoting with backslash
// escapes, `< FILE`, `> FILE`, `2> FILE`, `2>&1`, /dev/null, and
// `printf TEXT | COMMAND`.  A program given without extension is looked for
// with ".exe"; a command that is not a program (a shell builtin, a Linux
// tool) fails with status 127, as a shell reports a missing command.
//
// Exit codes are read as the low 8 bits, as POSIX systems report them, so
// that testing::ExitedWithCode(255) matches a process that ended with -1.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace selvana_win32 {

inline std::wstring widen(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, w.data(), n);
  w.resize(static_cast<size_t>(n - 1));
  return w;
}

struct ShellCommand {
  std::vector<std::string> words;
  std::string in_file, out_file, err_file;
  bool err_to_out = false;
  bool has_input = false;
  std::string input;  // what `printf TEXT |` feeds to the command
  bool understood = true;
};

// printf's format with its backslash escapes (no conversions).
inline std::string printf_text(const std::string& format) {
  std::string out;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c == '%' && i + 1 < format.size() && format[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    if (c != '\\' || i + 1 >= format.size()) {
      out += c;
      continue;
    }
    char e = format[++i];
    if (e >= '0' && e <= '7') {
      int v = 0;
      for (int k = 0; k < 3 && i < format.size() && format[i] >= '0' && format[i] <= '7'; ++k, ++i)
        v = v * 8 + (format[i] - '0');
      --i;
      out += static_cast<char>(v);
    } else if (e == 'n') {
      out += '\n';
    } else if (e == 't') {
      out += '\t';
    } else {
      out += e;
    }
  }
  return out;
}

inline ShellCommand parse_command(const std::string& line) {
  struct Token {
    std::string text;
    bool op;
  };
  std::vector<Token> tokens;
  size_t i = 0, n = line.size();
  while (i < n) {
    char c = line[i];
    if (c == ' ' || c == '\t') {
      ++i;
      continue;
    }
    if (line.compare(i, 4, "2>&1") == 0) {
      tokens.push_back({"2>&1", true});
      i += 4;
      continue;
    }
    if (line.compare(i, 2, "2>") == 0) {
      tokens.push_back({"2>", true});
      i += 2;
      continue;
    }
    if (c == '|' || c == '<' || c == '>') {
      tokens.push_back({std::string(1, c), true});
      ++i;
      continue;
    }
    std::string word;
    while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '|' && line[i] != '<' && line[i] != '>') {
      c = line[i++];
      if (c == '\'') {
        while (i < n && line[i] != '\'') word += line[i++];
        ++i;
      } else if (c == '"') {
        while (i < n && line[i] != '"') {
          if (line[i] == '\\' && i + 1 < n && strchr("\"\\$`", line[i + 1])) ++i;
          word += line[i++];
        }
        ++i;
      } else if (c == '\\' && i < n && strchr(" \t'\"$`|<>&;()", line[i])) {
        word += line[i++];  // an escaped special character; other backslashes are Windows paths
      } else {
        word += c;
      }
    }
    tokens.push_back({word, false});
  }
  ShellCommand cmd;
  size_t start = 0;
  for (size_t k = 0; k < tokens.size(); ++k) {
    if (!(tokens[k].op && tokens[k].text == "|")) continue;
    if (k == 2 && !tokens[0].op && tokens[0].text == "printf" && !tokens[1].op) {
      cmd.has_input = true;
      cmd.input = printf_text(tokens[1].text);
      start = 3;
    } else {
      cmd.understood = false;
    }
  }
  for (size_t k = start; k < tokens.size(); ++k) {
    const Token& t = tokens[k];
    if (!t.op) {
      // Leading NAME=value assignments set variables for POSIX tools (such
      // as ALSA's configuration) that a Windows program does not read.
      const size_t eq = t.text.find('=');
      if (cmd.words.empty() && eq != std::string::npos && eq > 0 &&
          t.text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_") == eq)
        continue;
      cmd.words.push_back(t.text);
      continue;
    }
    if (t.text == "2>&1") {
      cmd.err_to_out = true;
      continue;
    }
    if (k + 1 >= tokens.size() || tokens[k + 1].op) {
      cmd.understood = false;
      break;
    }
    const std::string& target = tokens[++k].text;
    if (t.text == "<") cmd.in_file = target;
    else if (t.text == ">") cmd.out_file = target;
    else if (t.text == "2>") cmd.err_file = target;
    else cmd.understood = false;
  }
  if (cmd.words.empty()) cmd.understood = false;
  return cmd;
}

// One argument quoted for CommandLineToArgvW and the C runtime.
inline std::wstring quote_argument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  for (size_t i = 0;; ++i) {
    size_t backslashes = 0;
    while (i < arg.size() && arg[i] == L'\\') ++i, ++backslashes;
    if (i == arg.size()) {
      out.append(backslashes * 2, L'\\');
      break;
    }
    if (arg[i] == L'"') out.append(backslashes * 2 + 1, L'\\');
    else out.append(backslashes, L'\\');
    out += arg[i];
  }
  return out + L"\"";
}

inline HANDLE open_for_child(const std::string& path, bool write) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  std::wstring w = path == "/dev/null" ? std::wstring(L"NUL") : widen(path);
  return CreateFileW(w.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                     write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

struct Child {
  HANDLE process = nullptr;
  HANDLE output = nullptr;  // reading end of the child's standard output when captured
};

// Starts the command; standard output goes to a pipe when `capture`, else
// where the command redirects it or to this process's own.
inline bool start(const std::string& line, bool capture, Child* child) {
  ShellCommand cmd = parse_command(line);
  if (!cmd.understood) return false;
  std::string program = cmd.words[0];
  std::error_code ec;
  if (!std::filesystem::is_regular_file(program, ec)) {
    if (std::filesystem::is_regular_file(program + ".exe", ec)) program += ".exe";
    else return false;
  }
  std::wstring command_line;
  for (size_t k = 0; k < cmd.words.size(); ++k) {
    if (k) command_line += L' ';
    command_line += quote_argument(widen(k == 0 ? program : cmd.words[k]));
  }
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  std::vector<HANDLE> close_after;
  HANDLE in = nullptr, out = nullptr, err = nullptr, input_writer = nullptr;
  if (cmd.has_input) {
    CreatePipe(&in, &input_writer, &sa, 0);
    SetHandleInformation(input_writer, HANDLE_FLAG_INHERIT, 0);
    close_after.push_back(in);
  } else {
    in = open_for_child(cmd.in_file.empty() ? "/dev/null" : cmd.in_file, false);
    close_after.push_back(in);
  }
  if (capture && cmd.out_file.empty()) {
    CreatePipe(&child->output, &out, &sa, 0);
    SetHandleInformation(child->output, HANDLE_FLAG_INHERIT, 0);
    close_after.push_back(out);
  } else if (!cmd.out_file.empty()) {
    out = open_for_child(cmd.out_file, true);
    close_after.push_back(out);
  } else {
    out = GetStdHandle(STD_OUTPUT_HANDLE);
  }
  if (cmd.err_to_out) {
    err = out;
  } else if (!cmd.err_file.empty()) {
    err = open_for_child(cmd.err_file, true);
    close_after.push_back(err);
  } else {
    err = GetStdHandle(STD_ERROR_HANDLE);
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = in;
  si.hStdOutput = out;
  si.hStdError = err;
  PROCESS_INFORMATION pi{};
  BOOL ok = CreateProcessW(nullptr, command_line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  for (HANDLE h : close_after)
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  if (input_writer) {
    if (ok) {
      DWORD written = 0;
      WriteFile(input_writer, cmd.input.data(), static_cast<DWORD>(cmd.input.size()), &written, nullptr);
    }
    CloseHandle(input_writer);
  }
  if (!ok) {
    if (child->output) CloseHandle(child->output);
    child->output = nullptr;
    return false;
  }
  CloseHandle(pi.hThread);
  child->process = pi.hProcess;
  return true;
}

inline int wait_for(HANDLE process) {
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  return static_cast<int>(code);
}

inline std::map<FILE*, HANDLE>& open_pipes() {
  static std::map<FILE*, HANDLE> pipes;
  return pipes;
}

inline FILE* posix_popen(const char* line, const char*) {
  Child child;
  if (!start(line, true, &child)) return nullptr;
  int fd = _open_osfhandle(reinterpret_cast<intptr_t>(child.output), _O_RDONLY | _O_BINARY);
  FILE* f = fd >= 0 ? _fdopen(fd, "rb") : nullptr;
  if (!f) {
    wait_for(child.process);
    return nullptr;
  }
  open_pipes()[f] = child.process;
  return f;
}

inline int posix_pclose(FILE* f) {
  auto it = open_pipes().find(f);
  if (it == open_pipes().end()) return -1;
  HANDLE process = it->second;
  open_pipes().erase(it);
  fclose(f);
  return wait_for(process);
}

inline int posix_system(const char* line) {
  Child child;
  if (!start(line, false, &child)) return 127;
  return wait_for(child.process);
}

// testing::ExitedWithCode reading the low 8 bits of the exit code.
class ExitedWithLowByte {
 public:
  explicit ExitedWithLowByte(int code) : code_(code) {}
  bool operator()(int status) const { return (status & 0xff) == code_; }

 private:
  int code_;
};

}  // namespace selvana_win32

namespace testing {
inline selvana_win32::ExitedWithLowByte ExitedWithLowByte(int code) { return selvana_win32::ExitedWithLowByte(code); }
}  // namespace testing

inline int selvana_win32_system(const char* line) { return selvana_win32::posix_system(line); }
namespace std {
using ::selvana_win32_system;
}

#undef popen
#undef pclose
#undef system
#define popen(line, mode) selvana_win32::posix_popen(line, mode)
#define pclose(f) selvana_win32::posix_pclose(f)
#define system(line) selvana_win32_system(line)
#define ExitedWithCode ExitedWithLowByte
