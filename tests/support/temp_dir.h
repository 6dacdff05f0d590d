// A temporary folder for one test, removed with its contents afterwards.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

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

}  // namespace testutil
