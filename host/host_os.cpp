#include "host/host_os.h"

#include <cstdio>

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <vector>

const char* const kHostModuleFileName = "voice_pt_br_selvana.dll";

namespace {

std::wstring to_wide(const std::string& text) {
  int n = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, w.data(), n);
  w.resize(static_cast<size_t>(n - 1));
  return w;
}

std::string to_utf8(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, s.data(), n, nullptr, nullptr);
  s.resize(static_cast<size_t>(n - 1));
  return s;
}

std::string last_error_text() {
  DWORD code = GetLastError();
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string s = text ? to_utf8(text) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

std::string os_program_path() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return "";
    if (n < buf.size()) return to_utf8(buf.data());
    buf.resize(buf.size() * 2);
  }
}

void* os_module_load(const std::string& path, std::string* error) {
  HMODULE m = LoadLibraryExW(to_wide(path).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!m) *error = path + ": " + last_error_text();
  return reinterpret_cast<void*>(m);
}

void* os_module_symbol(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void os_module_unload(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

bool os_pipe(int fds[2]) { return _pipe(fds, 1 << 16, _O_BINARY) == 0; }

void os_main_setup(int* argc, char*** argv) {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int n = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!wide) return;
  // The converted arguments live as long as the program.
  static std::vector<std::string> texts;
  static std::vector<char*> pointers;
  for (int i = 0; i < n; ++i) texts.push_back(to_utf8(wide[i]));
  LocalFree(wide);
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  *argc = n;
  *argv = pointers.data();
}

#else

#include <climits>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

const char* const kHostModuleFileName = "libvoice_pt_br_selvana.so";

std::string os_program_path() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  buf[n] = '\0';
  return buf;
}

void* os_module_load(const std::string& path, std::string* error) {
  void* m = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!m) *error = dlerror();
  return m;
}

void* os_module_symbol(void* module, const char* name) { return dlsym(module, name); }

void os_module_unload(void* module) { dlclose(module); }

bool os_pipe(int fds[2]) {
  if (pipe(fds) != 0) return false;
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  return true;
}

void os_main_setup(int*, char***) {}

#endif
