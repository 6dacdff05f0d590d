// Shared pieces of the fuzz targets: a private scratch folder in memory and
// the synthetic voice registered once per process.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/contract.h"

extern "C" Voice* register_voice(const char* voxdir);
extern "C" void unregister_voice(Voice* voice);

namespace fuzzing {

// A folder of this process's own, removed at exit.
inline const std::string& scratch_dir() {
  // Never destroyed: the exit handler that removes the folder still reads it.
  static const std::string* dir = [] {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    auto* t = new std::string(std::string(base) + "/selvana-fuzz-XXXXXX");
    if (!mkdtemp(t->data())) abort();
    atexit([] { std::filesystem::remove_all(scratch_dir()); });
    return t;
  }();
  return *dir;
}

inline void write_file(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) abort();
  if (size && fwrite(data, 1, size, f) != size) abort();
  fclose(f);
}

// The synthetic tones voice that the build writes, registered once.
inline Voice* tones_voice() {
  static Voice* voice = [] {
    Voice* v = register_voice(SELVANA_BIN_DIR "/voices/tones");
    if (!v) {
      fprintf(stderr, "the tones voice in %s/voices/tones does not load\n", SELVANA_BIN_DIR);
      abort();
    }
    return v;
  }();
  return voice;
}

}  // namespace fuzzing
