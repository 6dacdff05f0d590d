// What each system's platform file (platform_posix.cpp, platform_win32.cpp)
// gives platform_common.cpp, which holds the services built on top of them.
#pragma once

#include <cstdint>

#include "core/platform.h"

// Maps bytes [0, length) of the open file read-only (length > 0); null on
// failure.
const void* platform_map_view(File* file, uint64_t length);
void platform_unmap_view(const void* base, uint64_t length);
