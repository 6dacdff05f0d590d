// Windows builds of the tests: the dlopen family over LoadLibraryW.
#pragma once

#include <windows.h>

#include <string>

#define RTLD_NOW 2
#define RTLD_LOCAL 0

namespace selvana_win32 {
inline std::string& dl_error_text() {
  static std::string text;
  return text;
}
}  // namespace selvana_win32

inline void* dlopen(const char* path, int) {
  int n = MultiByteToWideChar(CP_UTF8, 0, path, -1, nullptr, 0);
  std::wstring wide(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, path, -1, wide.data(), n);
  HMODULE m = LoadLibraryExW(wide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!m) selvana_win32::dl_error_text() = std::string(path) + ": LoadLibrary error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(m);
}
inline void* dlsym(void* module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}
inline int dlclose(void* module) { return FreeLibrary(static_cast<HMODULE>(module)) ? 0 : -1; }
inline const char* dlerror() { return selvana_win32::dl_error_text().c_str(); }
