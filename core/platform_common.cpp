// The platform services that are the same on every system, built on the
// system's own file (platform_posix.cpp or platform_win32.cpp).
#include <cerrno>
#include <cstring>

#include "core/platform.h"
#include "core/platform_os.h"

const char* platform_error_text() { return strerror(errno); }

int file_read_byte(File* file) {
  unsigned char c;
  return file_read(file, &c, 1, 1) == 1 ? c : -1;
}

FileMapping* file_map(const char* path, uint64_t length) {
  File* f = file_open(path, kFileRead);
  if (!f) return nullptr;
  const void* base = nullptr;
  if (length > 0) {
    base = platform_map_view(f, length);
    if (!base) {
      file_close(f);
      return nullptr;
    }
  }
  auto* m = static_cast<FileMapping*>(heap_alloc(sizeof(FileMapping)));
  m->base = static_cast<const uint8_t*>(base);
  m->file = f;
  m->length = length;
  m->mapping = nullptr;
  return m;
}

void file_unmap(FileMapping* mapping) {
  if (!mapping) return;
  if (mapping->base) platform_unmap_view(mapping->base, mapping->length);
  file_close(mapping->file);
  heap_free(mapping);
}
