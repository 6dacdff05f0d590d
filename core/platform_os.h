// What each system's platform file (platform_posix.cpp, platform_win32.cpp)
// gives platform_common.cpp, which holds the services built on top of them.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "core/platform.h"

// One read or write of up to `size` bytes, retried when interrupted: the
// bytes moved (0 for a read at the end of the file), -1 on failure with
// errno set.
int64_t platform_read_some(File* file, void* buffer, size_t size);
int64_t platform_write_some(File* file, const void* buffer, size_t size);

// Maps bytes [0, length) of the open file read-only (length > 0); null on
// failure.
const void* platform_map_view(File* file, uint64_t length);
void platform_unmap_view(const void* base, uint64_t length);

// Formats one error_print message and hands it to `sink`, or writes it to
// standard error when there is no sink.  Ends `ap`.
void platform_deliver_error(ErrorSink sink, void* context, const char* format, va_list ap);
