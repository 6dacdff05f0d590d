// A temporary folder for one test, removed with its contents afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#include <cwctype>
#endif

namespace testutil {

class TempDir {
 public:
  TempDir() {
    std::string base = testing::TempDir() + "selvana_" + std::to_string(getpid()) + "_" +
                       testing::UnitTest::GetInstance()->current_test_info()->name();
    path_ = base;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Open descriptors and mappings of this process, to prove that nothing is
// left behind.
#ifdef _WIN32
inline int open_fd_count() {  // the process's handles, found by asking about each small value
  int n = 0;
  DWORD flags;
  for (uintptr_t h = 4; h < 65536; h += 4)
    if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++n;
  return n;
}

inline bool mapped(const std::string& path) {
  // The mapped file's name as the system reports it ends with the path
  // without its drive.
  std::wstring want = std::filesystem::weakly_canonical(path).wstring();
  if (want.size() > 2 && want[1] == L':') want = want.substr(2);
  for (auto& c : want) c = c == L'/' ? L'\\' : towlower(c);
  MEMORY_BASIC_INFORMATION info;
  for (const char* p = nullptr; VirtualQuery(p, &info, sizeof info) == sizeof info;
       p = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
    if (info.Type != MEM_MAPPED || info.State != MEM_COMMIT) continue;
    wchar_t name[1024];
    DWORD n = GetMappedFileNameW(GetCurrentProcess(), info.BaseAddress, name, 1024);
    std::wstring got(name, n);
    for (auto& c : got) c = c == L'/' ? L'\\' : towlower(c);
    if (got.size() >= want.size() && got.compare(got.size() - want.size(), want.size(), want) == 0) return true;
  }
  return false;
}
#else
inline int open_fd_count() {
  int n = 0;
  for (auto& e : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)e;
    ++n;
  }
  return n;
}

inline bool mapped(const std::string& path) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  std::string canonical = std::filesystem::weakly_canonical(path).string();
  while (std::getline(maps, line))
    if (line.find(canonical) != std::string::npos) return true;
  return false;
}
#endif

}  // namespace testutil
