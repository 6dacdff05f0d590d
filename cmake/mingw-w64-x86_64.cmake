# Cross build for 64-bit Windows with Debian's mingw-w64 (the POSIX-threads
# variant of g++-mingw-w64-x86-64).  Used by scripts/build-windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SELVANA_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SELVANA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SELVANA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SELVANA_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${SELVANA_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${SELVANA_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${SELVANA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes of the compiler and its threads library are linked
# statically: the programs and the module need only Windows' own DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under Wine.
find_program(SELVANA_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(SELVANA_WINE NAMES wine64 wine)
if(SELVANA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SELVANA_WINE})
endif()

# The Windows builds of the dependencies (scripts/build-windows makes them).
set(SELVANA_WINDOWS_DEPS "" CACHE PATH "Prefix holding the Windows builds of the dependencies")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES SELVANA_WINDOWS_DEPS)
if(SELVANA_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${SELVANA_WINDOWS_DEPS})
  set(ENV{PKG_CONFIG_LIBDIR} ${SELVANA_WINDOWS_DEPS}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_PATH} "")
endif()

# M_PI and the other constants of math.h, which glibc offers by default.
set(CMAKE_C_FLAGS_INIT "-D_USE_MATH_DEFINES")
set(CMAKE_CXX_FLAGS_INIT "-D_USE_MATH_DEFINES")
