// POSIX implementation of the platform services.
#include "core/platform.h"
#include "core/platform_os.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Allocation counter of the calling thread (diagnostics only).
thread_local uint64_t t_alloc_count = 0;

// Process-heap blocks carry their size in a 16-byte header so that
// heap_realloc can zero-fill the bytes it adds.
struct BlockHeader {
  uint64_t size;
  uint64_t magic;
};
constexpr uint64_t kBlockMagic = 0x5345'4c56'4845'4150ULL;  // "SELVHEAP"

void* raw_alloc(size_t size) {
  ++t_alloc_count;
  auto* h = static_cast<BlockHeader*>(calloc(1, sizeof(BlockHeader) + size));
  if (!h) return nullptr;
  h->size = size;
  h->magic = kBlockMagic;
  return h + 1;
}

BlockHeader* header_of(void* block) { return static_cast<BlockHeader*>(block) - 1; }

bool raw_free(void* block) {
  BlockHeader* h = header_of(block);
  if (h->magic != kBlockMagic) return false;
  h->magic = 0;
  free(h);
  return true;
}

inline File* to_file(int fd) { return reinterpret_cast<File*>(static_cast<intptr_t>(fd) + 1); }
inline int to_fd(File* f) { return static_cast<int>(reinterpret_cast<intptr_t>(f) - 1); }

}  // namespace

// Flushes what the process has written and ends it at once: exit handlers do
// not run on a state that has just been found broken.
void fatal_exit() {
  fflush(nullptr);
  _exit(-1);
}

void* heap_alloc(int32_t size) {
  if (size < 0) fatal_exit();
  void* b = raw_alloc(size == 0 ? 1 : static_cast<size_t>(size));
  if (!b) fatal_exit();
  return b;
}

void* heap_realloc(void* block, int32_t size) {
  if (!block) return heap_alloc(size);
  if (size < 0) fatal_exit();
  size_t want = size == 0 ? 1 : static_cast<size_t>(size);
  BlockHeader* h = header_of(block);
  if (h->magic != kBlockMagic) fatal_exit();
  size_t old = h->size;
  ++t_alloc_count;
  auto* nh = static_cast<BlockHeader*>(realloc(h, sizeof(BlockHeader) + want));
  if (!nh) fatal_exit();
  if (want > old) memset(reinterpret_cast<char*>(nh + 1) + old, 0, want - old);
  nh->size = want;
  return nh + 1;
}

void heap_free(void* block) {
  if (!block) return;
  if (!raw_free(block)) fatal_exit();
}

uint64_t heap_alloc_count() { return t_alloc_count; }

// ---------------------------------------------------------------------------
// Private heaps.
//
// Small blocks (up to kMaxSmall bytes) come from 64 KiB chunks, carved in
// 16-byte size classes and recycled through one free list per class.  Larger
// blocks are separate process allocations kept on a doubly linked list.
// Destroying the heap returns the chunks and the large blocks.  In sanitizer
// builds every block is a separate allocation so that the sanitizers see each
// one.

struct PrivateHeap {
  struct Chunk {
    Chunk* next;
    size_t used;
    alignas(16) unsigned char data[1];
  };
  struct Large {
    Large* prev;
    Large* next;
  };
  static constexpr size_t kChunkSize = 64 * 1024;
  static constexpr size_t kMaxSmall = 512;
  static constexpr size_t kClasses = kMaxSmall / 16;

  Chunk* chunks = nullptr;
  Large* large = nullptr;
  void* free_lists[kClasses] = {};
};

namespace {

// Header in front of every private-heap block.
struct LocalHeader {
  uint32_t size_class;  // 1..kClasses for chunk blocks, 0 for large blocks
  uint32_t magic;
  uint64_t pad;
};
constexpr uint32_t kLocalMagic = 0x4c4f4341;  // "LOCA"

#ifdef SELVANA_SANITIZE
constexpr bool kSeparateBlocks = true;
#else
constexpr bool kSeparateBlocks = false;
#endif

void* large_alloc(PrivateHeap* heap, size_t size) {
  size_t total = sizeof(PrivateHeap::Large) + sizeof(LocalHeader) + size;
  auto* l = static_cast<PrivateHeap::Large*>(calloc(1, total));
  if (!l) return nullptr;
  l->next = heap->large;
  if (heap->large) heap->large->prev = l;
  heap->large = l;
  auto* h = reinterpret_cast<LocalHeader*>(l + 1);
  h->size_class = 0;
  h->magic = kLocalMagic;
  return h + 1;
}

}  // namespace

PrivateHeap* private_heap_create() {
  ++t_alloc_count;
  auto* heap = static_cast<PrivateHeap*>(calloc(1, sizeof(PrivateHeap)));
  if (!heap) fatal_exit();
  return heap;
}

void private_heap_destroy(PrivateHeap* heap) {
  if (!heap) return;
  for (auto* c = heap->chunks; c;) {
    auto* n = c->next;
    free(c);
    c = n;
  }
  for (auto* l = heap->large; l;) {
    auto* n = l->next;
    free(l);
    l = n;
  }
  free(heap);
}

void* local_alloc(PrivateHeap* heap, size_t size) {
  if (!heap) {
    if (size > INT32_MAX) return nullptr;
    return raw_alloc(size == 0 ? 1 : size);
  }
  ++t_alloc_count;
  if (size == 0) size = 1;
  if (kSeparateBlocks || size > PrivateHeap::kMaxSmall) return large_alloc(heap, size);
  size_t cls = (size + 15) / 16;  // 1..kClasses
  void*& head = heap->free_lists[cls - 1];
  if (head) {
    void* block = head;
    head = *static_cast<void**>(block);
    memset(block, 0, cls * 16);
    auto* h = static_cast<LocalHeader*>(block) - 1;
    h->magic = kLocalMagic;
    return block;
  }
  size_t need = sizeof(LocalHeader) + cls * 16;
  PrivateHeap::Chunk* c = heap->chunks;
  if (!c || c->used + need > PrivateHeap::kChunkSize) {
    c = static_cast<PrivateHeap::Chunk*>(
        calloc(1, offsetof(PrivateHeap::Chunk, data) + PrivateHeap::kChunkSize));
    if (!c) return nullptr;
    c->next = heap->chunks;
    heap->chunks = c;
  }
  auto* h = reinterpret_cast<LocalHeader*>(c->data + c->used);
  c->used += need;
  h->size_class = static_cast<uint32_t>(cls);
  h->magic = kLocalMagic;
  return h + 1;
}

bool local_free(PrivateHeap* heap, void* block) {
  if (!block) return false;
  if (!heap) return raw_free(block);
  auto* h = static_cast<LocalHeader*>(block) - 1;
  if (h->magic != kLocalMagic) return false;
  h->magic = 0;
  if (h->size_class == 0) {
    auto* l = reinterpret_cast<PrivateHeap::Large*>(h) - 1;
    if (l->prev) l->prev->next = l->next; else heap->large = l->next;
    if (l->next) l->next->prev = l->prev;
    free(l);
    return true;
  }
  void*& head = heap->free_lists[h->size_class - 1];
  *static_cast<void**>(block) = head;
  head = block;
  return true;
}

// ---------------------------------------------------------------------------
// Error stream

namespace {
// The calling thread's error sink (see error_sink_set).
thread_local ErrorSink t_error_sink = nullptr;
thread_local void* t_error_context = nullptr;
}  // namespace

void error_print(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  platform_deliver_error(t_error_sink, t_error_context, format, ap);
}

void error_sink_set(ErrorSink sink, void* context, ErrorSink* previous_sink, void** previous_context) {
  if (previous_sink) *previous_sink = t_error_sink;
  if (previous_context) *previous_context = t_error_context;
  t_error_sink = sink;
  t_error_context = context;
}

// ---------------------------------------------------------------------------
// Files

File* file_open(const char* path, int mode) {
  if (!path) return nullptr;
  bool w = mode & kFileWrite, r = mode & kFileRead, a = mode & kFileAppend;
  int flags;
  if (r && w) flags = O_RDWR | O_CREAT;
  else if (r && !a) flags = O_RDONLY;
  else if (r && a) flags = O_RDWR | O_CREAT;
  else if (w) flags = O_WRONLY | O_CREAT | O_TRUNC;
  else if (a) flags = O_WRONLY | O_CREAT;
  else return nullptr;
  int fd = open(path, flags | O_CLOEXEC, 0644);
  if (fd < 0) return nullptr;
  if (a && lseek(fd, 0, SEEK_END) < 0) {
    close(fd);
    return nullptr;
  }
  return to_file(fd);
}

int64_t platform_read_some(File* file, void* buffer, size_t size) {
  for (;;) {
    ssize_t n = read(to_fd(file), buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

int64_t platform_write_some(File* file, const void* buffer, size_t size) {
  for (;;) {
    ssize_t n = write(to_fd(file), buffer, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

bool file_seek(File* file, uint64_t position) {
  if (!file) return false;
  return lseek(to_fd(file), static_cast<off_t>(position), SEEK_SET) >= 0;
}

int64_t file_size(File* file) {
  struct stat st;
  if (!file || fstat(to_fd(file), &st) != 0) return -1;
  return st.st_size;
}

void file_close(File* file) {
  if (file) close(to_fd(file));
}

bool path_is_directory(const char* path) {
  struct stat st;
  return path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

const void* platform_map_view(File* file, uint64_t length) {
  void* base = mmap(nullptr, length, PROT_READ, MAP_SHARED, to_fd(file), 0);
  return base == MAP_FAILED ? nullptr : base;
}

void platform_unmap_view(const void* base, uint64_t length) { munmap(const_cast<void*>(base), length); }
