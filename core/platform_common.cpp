// The platform services that are the same on every system, built on the
// system's own file (platform_posix.cpp or platform_win32.cpp).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/platform.h"
#include "core/platform_os.h"

const char* platform_error_text() { return strerror(errno); }

int file_read(File* file, void* buffer, size_t record_size, size_t count) {
  if (!file || record_size == 0) return -1;
  size_t want = record_size * count;
  size_t got = 0;
  auto* p = static_cast<char*>(buffer);
  while (got < want) {
    const int64_t n = platform_read_some(file, p + got, want - got);
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<int>(got / record_size);
}

int file_read_byte(File* file) {
  unsigned char c;
  return file_read(file, &c, 1, 1) == 1 ? c : -1;
}

bool file_write(File* file, const void* buffer, size_t size) {
  if (!file) return false;
  auto* p = static_cast<const char*>(buffer);
  while (size > 0) {
    const int64_t n = platform_write_some(file, p, size);
    if (n < 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
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

void platform_deliver_error(ErrorSink sink, void* context, const char* format, va_list ap) {
  if (!sink) {
    vfprintf(stderr, format, ap);
    va_end(ap);
    return;
  }
  char small[512];
  va_list again;
  va_copy(again, ap);
  int n = vsnprintf(small, sizeof small, format, ap);
  va_end(ap);
  if (n >= 0 && static_cast<size_t>(n) >= sizeof small) {
    char* big = static_cast<char*>(malloc(static_cast<size_t>(n) + 1));
    if (big) {
      vsnprintf(big, static_cast<size_t>(n) + 1, format, again);
      sink(context, big);
      free(big);
    }
  } else if (n >= 0) {
    sink(context, small);
  }
  va_end(again);
}
