// Win32 implementation of the platform services: the process heap and
// private heaps of the Windows heap manager, files through CreateFileW, and
// read-only views through file-mapping objects.
#include "core/platform.h"
#include "core/platform_os.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Allocation counter of the calling thread (diagnostics only), in a TLS slot
// of this module's own: the compiler's thread_local would create, on first
// use, synchronisation objects that outlive an unloaded DLL.
INIT_ONCE g_count_once = INIT_ONCE_STATIC_INIT;
DWORD g_count_slot = TLS_OUT_OF_INDEXES;

BOOL CALLBACK allocate_count_slot(PINIT_ONCE, PVOID, PVOID*) {
  g_count_slot = TlsAlloc();
  return TRUE;
}

inline DWORD count_slot() {
  InitOnceExecuteOnce(&g_count_once, allocate_count_slot, nullptr, nullptr);
  return g_count_slot;
}

inline void count_allocation() {
  DWORD slot = count_slot();
  if (slot == TLS_OUT_OF_INDEXES) return;
  auto n = reinterpret_cast<uintptr_t>(TlsGetValue(slot));
  TlsSetValue(slot, reinterpret_cast<void*>(n + 1));
}

// The slot goes back to the system when the module is unloaded.
__attribute__((destructor)) void free_count_slot() {
  if (g_count_slot != TLS_OUT_OF_INDEXES) TlsFree(g_count_slot);
}

inline HANDLE process_heap() { return GetProcessHeap(); }

inline File* to_file(HANDLE h) { return reinterpret_cast<File*>(h); }
inline HANDLE to_handle(File* f) { return reinterpret_cast<HANDLE>(f); }

inline HANDLE heap_handle(PrivateHeap* heap) { return reinterpret_cast<HANDLE>(heap); }

// The runtime's error number for the calling thread's last Windows error, so
// that platform_error_text gives the same texts as on other systems.
void errno_from_last_error() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      errno = EACCES;
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      errno = ENOMEM;
      break;
    case ERROR_INVALID_HANDLE:
      errno = EBADF;
      break;
    case ERROR_HANDLE_EOF:
      errno = 0;
      break;
    case ERROR_DISK_FULL:
      errno = ENOSPC;
      break;
    default:
      errno = EIO;
      break;
  }
}

// A path in the host's encoding as UTF-16.  The host's text is taken as
// UTF-8 when it is valid UTF-8 (plain ASCII is both), otherwise in the
// process's ANSI code page.  The result is a heap block, freed by the caller.
wchar_t* wide_path(const char* path) {
  UINT page = CP_UTF8;
  int n = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, path, -1, nullptr, 0);
  if (n <= 0) {
    page = CP_ACP;
    n = MultiByteToWideChar(page, 0, path, -1, nullptr, 0);
    if (n <= 0) return nullptr;
  }
  auto* w = static_cast<wchar_t*>(HeapAlloc(process_heap(), 0, static_cast<size_t>(n) * sizeof(wchar_t)));
  if (!w) return nullptr;
  if (MultiByteToWideChar(page, 0, path, -1, w, n) != n) {
    HeapFree(process_heap(), 0, w);
    return nullptr;
  }
  return w;
}

}  // namespace

// Flushes what the process has written and ends it at once: exit handlers do
// not run on a state that has just been found broken.
void fatal_exit() {
  fflush(nullptr);
  ExitProcess(static_cast<UINT>(-1));
}

void* heap_alloc(int32_t size) {
  if (size < 0) fatal_exit();
  count_allocation();
  void* b = HeapAlloc(process_heap(), HEAP_ZERO_MEMORY, size == 0 ? 1 : static_cast<size_t>(size));
  if (!b) fatal_exit();
  return b;
}

void* heap_realloc(void* block, int32_t size) {
  if (!block) return heap_alloc(size);
  if (size < 0) fatal_exit();
  count_allocation();
  // The heap manager zero-fills the bytes that a growing block gains.
  void* b = HeapReAlloc(process_heap(), HEAP_ZERO_MEMORY, block, size == 0 ? 1 : static_cast<size_t>(size));
  if (!b) fatal_exit();
  return b;
}

void heap_free(void* block) {
  if (!block) return;
  if (!HeapFree(process_heap(), 0, block)) fatal_exit();
}

uint64_t heap_alloc_count() {
  DWORD slot = count_slot();
  return slot == TLS_OUT_OF_INDEXES ? 0 : reinterpret_cast<uintptr_t>(TlsGetValue(slot));
}

// ---------------------------------------------------------------------------
// Private heaps: growable heaps of the heap manager, used by one thread at a
// time, so without the manager's own lock.

PrivateHeap* private_heap_create() {
  count_allocation();
  HANDLE h = HeapCreate(HEAP_NO_SERIALIZE, 0, 0);
  if (!h) fatal_exit();
  return reinterpret_cast<PrivateHeap*>(h);
}

void private_heap_destroy(PrivateHeap* heap) {
  if (heap) HeapDestroy(heap_handle(heap));
}

void* local_alloc(PrivateHeap* heap, size_t size) {
  if (!heap && size > INT32_MAX) return nullptr;
  count_allocation();
  return HeapAlloc(heap ? heap_handle(heap) : process_heap(), HEAP_ZERO_MEMORY, size == 0 ? 1 : size);
}

bool local_free(PrivateHeap* heap, void* block) {
  if (!block) return false;
  return HeapFree(heap ? heap_handle(heap) : process_heap(), 0, block) != 0;
}

// ---------------------------------------------------------------------------
// Error stream: the C runtime's standard error, which the host shares, or the
// calling thread's sink.  The module DLL, libselvana and the programs each
// carry their own copy of this layer, so the sink and its context live in two
// TLS slots that all copies in the process share: the first copy allocates
// them and publishes their indices in a small named mapping of this process,
// which the others open; the last copy to go frees them.  A sink that the
// host sets thus receives what the module prints.

namespace {

struct SharedSinkSlots {
  DWORD sink;
  DWORD context;
  LONG users;
};

INIT_ONCE g_sink_once = INIT_ONCE_STATIC_INIT;
DWORD g_sink_slot = TLS_OUT_OF_INDEXES;
DWORD g_sink_context_slot = TLS_OUT_OF_INDEXES;
HANDLE g_sink_map = nullptr;

// "Local\selvana-error-sink-<what>-<process id>".
void sink_object_name(const wchar_t* what, wchar_t* out, size_t size) {
  const wchar_t prefix[] = L"Local\\selvana-error-sink-";
  size_t n = 0;
  for (const wchar_t* p = prefix; *p && n + 1 < size; ++p) out[n++] = *p;
  for (const wchar_t* p = what; *p && n + 1 < size; ++p) out[n++] = *p;
  if (n + 1 < size) out[n++] = L'-';
  wchar_t digits[16];
  size_t d = 0;
  for (DWORD pid = GetCurrentProcessId(); d == 0 || pid; pid /= 10) digits[d++] = static_cast<wchar_t>(L'0' + pid % 10);
  while (d && n + 1 < size) out[n++] = digits[--d];
  out[n] = 0;
}

HANDLE lock_sink_slots() {
  wchar_t name[96];
  sink_object_name(L"lock", name, 96);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
  if (mutex) WaitForSingleObject(mutex, INFINITE);
  return mutex;
}

void unlock_sink_slots(HANDLE mutex) {
  if (!mutex) return;
  ReleaseMutex(mutex);
  CloseHandle(mutex);
}

BOOL CALLBACK allocate_sink_slots(PINIT_ONCE, PVOID, PVOID*) {
  HANDLE mutex = lock_sink_slots();
  if (!mutex) return TRUE;
  wchar_t name[96];
  sink_object_name(L"slots", name, 96);
  HANDLE map = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(SharedSinkSlots), name);
  const bool existed = map && GetLastError() == ERROR_ALREADY_EXISTS;
  auto* shared = map ? static_cast<SharedSinkSlots*>(MapViewOfFile(map, FILE_MAP_ALL_ACCESS, 0, 0, 0)) : nullptr;
  if (shared) {
    if (!existed || shared->users == 0) {
      shared->sink = TlsAlloc();
      shared->context = TlsAlloc();
      shared->users = 0;
    }
    ++shared->users;
    g_sink_slot = shared->sink;
    g_sink_context_slot = shared->context;
    g_sink_map = map;
    UnmapViewOfFile(shared);
  } else if (map) {
    CloseHandle(map);
  }
  unlock_sink_slots(mutex);
  return TRUE;
}

bool sink_slots() {
  InitOnceExecuteOnce(&g_sink_once, allocate_sink_slots, nullptr, nullptr);
  return g_sink_slot != TLS_OUT_OF_INDEXES && g_sink_context_slot != TLS_OUT_OF_INDEXES;
}

// Taken when the copy is loaded (under the loader's lock, before the program
// counts its handles), given back when it is unloaded.
__attribute__((constructor)) void take_sink_slots() { sink_slots(); }

__attribute__((destructor)) void release_sink_slots() {
  if (!g_sink_map) return;
  HANDLE mutex = lock_sink_slots();
  if (auto* shared = static_cast<SharedSinkSlots*>(MapViewOfFile(g_sink_map, FILE_MAP_ALL_ACCESS, 0, 0, 0))) {
    if (--shared->users == 0) {
      if (shared->sink != TLS_OUT_OF_INDEXES) TlsFree(shared->sink);
      if (shared->context != TLS_OUT_OF_INDEXES) TlsFree(shared->context);
    }
    UnmapViewOfFile(shared);
  }
  CloseHandle(g_sink_map);
  unlock_sink_slots(mutex);
}

ErrorSink current_sink(void** context) {
  if (!sink_slots()) return nullptr;
  *context = TlsGetValue(g_sink_context_slot);
  return reinterpret_cast<ErrorSink>(TlsGetValue(g_sink_slot));
}

}  // namespace

void error_print(const char* format, ...) {
  va_list ap;
  va_start(ap, format);
  void* context = nullptr;
  ErrorSink sink = current_sink(&context);
  platform_deliver_error(sink, context, format, ap);
}

void error_sink_set(ErrorSink sink, void* context, ErrorSink* previous_sink, void** previous_context) {
  void* old_context = nullptr;
  ErrorSink old = current_sink(&old_context);
  if (previous_sink) *previous_sink = old;
  if (previous_context) *previous_context = old_context;
  if (!sink_slots()) return;
  TlsSetValue(g_sink_slot, reinterpret_cast<void*>(sink));
  TlsSetValue(g_sink_context_slot, context);
}

// ---------------------------------------------------------------------------
// Files

File* file_open(const char* path, int mode) {
  if (!path) return nullptr;
  bool w = mode & kFileWrite, r = mode & kFileRead, a = mode & kFileAppend;
  DWORD access, disposition;
  if (r && w) access = GENERIC_READ | GENERIC_WRITE, disposition = OPEN_ALWAYS;
  else if (r && !a) access = GENERIC_READ, disposition = OPEN_EXISTING;
  else if (r && a) access = GENERIC_READ | GENERIC_WRITE, disposition = OPEN_ALWAYS;
  else if (w) access = GENERIC_WRITE, disposition = CREATE_ALWAYS;
  else if (a) access = GENERIC_WRITE, disposition = OPEN_ALWAYS;
  else return nullptr;
  wchar_t* wpath = wide_path(path);
  if (!wpath) return nullptr;
  HANDLE h = CreateFileW(wpath, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  HeapFree(process_heap(), 0, wpath);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  if (a) {
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(h, zero, nullptr, FILE_END)) {
      CloseHandle(h);
      return nullptr;
    }
  }
  return to_file(h);
}

// At most 1 GiB a call: the count is a DWORD.
int64_t platform_read_some(File* file, void* buffer, size_t size) {
  DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  DWORD n = 0;
  if (!ReadFile(to_handle(file), buffer, chunk, &n, nullptr)) {
    if (GetLastError() == ERROR_HANDLE_EOF) return 0;
    errno_from_last_error();
    return -1;
  }
  return n;
}

int64_t platform_write_some(File* file, const void* buffer, size_t size) {
  DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  DWORD n = 0;
  if (!WriteFile(to_handle(file), buffer, chunk, &n, nullptr)) {
    errno_from_last_error();
    return -1;
  }
  return n;
}

bool file_seek(File* file, uint64_t position) {
  if (!file) return false;
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  if (SetFilePointerEx(to_handle(file), to, nullptr, FILE_BEGIN)) return true;
  errno_from_last_error();
  return false;
}

int64_t file_size(File* file) {
  LARGE_INTEGER size;
  if (!file || !GetFileSizeEx(to_handle(file), &size)) return -1;
  return size.QuadPart;
}

void file_close(File* file) {
  if (file) CloseHandle(to_handle(file));
}

bool path_is_directory(const char* path) {
  if (!path) return false;
  wchar_t* wpath = wide_path(path);
  if (!wpath) return false;
  DWORD attributes = GetFileAttributesW(wpath);
  HeapFree(process_heap(), 0, wpath);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The view keeps its section alive, so the mapping object's handle is closed
// as soon as the view exists: a mapped file holds one handle, its own.
const void* platform_map_view(File* file, uint64_t length) {
  HANDLE section = CreateFileMappingW(to_handle(file), nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (!section) return nullptr;
  const void* base = MapViewOfFile(section, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(length));
  CloseHandle(section);
  return base;
}

void platform_unmap_view(const void* base, uint64_t) { UnmapViewOfFile(base); }
