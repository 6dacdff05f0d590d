// Platform services: process heap, private heaps, the error stream, files,
// read-only mappings and the small text operations shared by every subsystem.
//
// This is the only layer that talks to the operating system: the POSIX
// implementation lives in platform_posix.cpp, the Win32 one in
// platform_win32.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

struct Value;

// ---------------------------------------------------------------------------
// Fatal exit

// Ends the process with exit code -1, printing nothing.
[[noreturn]] void fatal_exit();

// ---------------------------------------------------------------------------
// Process heap.  Every block is zero-filled; failures end the process.

void* heap_alloc(int32_t size);
void* heap_realloc(void* block, int32_t size);
void heap_free(void* block);

// ---------------------------------------------------------------------------
// Private heaps: created by the host for each utterance; the module allocates
// in them, frees into them and destroys them whole.

struct PrivateHeap;

PrivateHeap* private_heap_create();
void private_heap_destroy(PrivateHeap* heap);
// Zero-filled block from `heap`, or from the process heap when `heap` is null.
// Failure gives null (no exit).
void* local_alloc(PrivateHeap* heap, size_t size);
bool local_free(PrivateHeap* heap, void* block);

// Number of allocations (process heap and private heaps) made by the calling
// thread so far.  Diagnostic only: tests use it to prove that hot paths do not
// allocate.
uint64_t heap_alloc_count();

// ---------------------------------------------------------------------------
// Error stream

// Writes to standard error, or to the calling thread's sink when one is set.
#ifdef __MINGW32__
// MinGW's own printf family (C99 formats) is the one the runtime uses.
void error_print(const char* format, ...) __attribute__((format(gnu_printf, 1, 2)));
#else
void error_print(const char* format, ...) __attribute__((format(printf, 1, 2)));
#endif

// Receives each formatted error_print message of the thread that set it.
using ErrorSink = void (*)(void* context, const char* message);
// Sets the calling thread's sink (null restores standard error) and returns
// the one it replaces through *previous_sink / *previous_context when given.
// A library host sets it around its calls into the module, so that what the
// module reports reaches the host instead of the process's standard error.
void error_sink_set(ErrorSink sink, void* context, ErrorSink* previous_sink = nullptr,
                    void** previous_context = nullptr);
// The system's text for the current error number.
const char* platform_error_text();

// ---------------------------------------------------------------------------
// Files

struct File;  // opaque operating-system handle; null means none

enum FileModeBits : int {
  kFileWrite = 1,
  kFileRead = 2,
  kFileAppend = 4,
};

File* file_open(const char* path, int mode);
// Reads record_size * count bytes; returns the number of whole records read,
// or -1 when the read fails.
int file_read(File* file, void* buffer, size_t record_size, size_t count);
// Next byte as 0..255, or -1 at the end of the file.
int file_read_byte(File* file);
// Writes all bytes; returns false on failure.
bool file_write(File* file, const void* buffer, size_t size);
// Absolute position from the start of the file.
bool file_seek(File* file, uint64_t position);
// Size in bytes, or -1 on failure.
int64_t file_size(File* file);
void file_close(File* file);

// True when the path exists and is a directory.
bool path_is_directory(const char* path);

// One read-only view of bytes [0, length) of a file.
struct FileMapping {
  const uint8_t* base;
  File* file;
  uint64_t length;
  void* mapping;  // mapping handle where the platform has one
};

// Opens `path` a second time and maps its first `length` bytes read-only.
// Null on failure (nothing left open).
FileMapping* file_map(const char* path, uint64_t length);
void file_unmap(FileMapping* mapping);

// ---------------------------------------------------------------------------
// Text operations (ISO-8859-15 bytes, NUL-terminated, byte-wise)

char* string_copy(const char* text);
char* string_sub(const char* text, int start, int length);
bool string_ends_with(const char* text, const char* suffix);
// `list` is ended by a null entry.
bool string_in_list(const char* text, const char* const* list);
// The position in `text` where the first listed suffix that `text` ends with
// begins, or null.
const char* string_suffix_in_list(const char* text, const char* const* list);
// First occurrence of `c` in `text`, or null.
const char* string_find_char(const char* text, int c);
// strcmp on unsigned bytes, whatever the signedness of char.
inline int string_compare_bytes(const char* a, const char* b) {
  const auto* x = reinterpret_cast<const unsigned char*>(a);
  const auto* y = reinterpret_cast<const unsigned char*>(b);
  while (*x && *x == *y) {
    ++x;
    ++y;
  }
  return static_cast<int>(*x) - static_cast<int>(*y);
}
// The text read as a decimal floating-point number (no digits gives 0).
double string_to_double(const char* text);
// The text read as a decimal integer: leading white space and a sign are
// accepted, parsing stops at the first non-digit, no digits gives 0.
int32_t string_to_int(const char* text);
// Grows the string Value's own text and appends `text` to it in place.
Value* value_string_append(Value* value, const char* text);
