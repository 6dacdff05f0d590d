// The host's few operating-system services: where the tool lives, loading
// the voice module, a pipe for capturing standard error, and the program's
// arguments and standard streams as the rest of the host expects them.
#pragma once

#include <string>

// File name of the voice module on this system.
extern const char* const kHostModuleFileName;

// Full path of the running program ("" when unknown).
std::string os_program_path();

// Loads a shared library; null with a one-line reason in `error` on failure.
void* os_module_load(const std::string& path, std::string* error);
void* os_module_symbol(void* module, const char* name);
void os_module_unload(void* module);

// A pipe whose reading end (fds[0]) never blocks once the writing end is
// closed.  False when no pipe could be made.
bool os_pipe(int fds[2]);

// Makes argv UTF-8 and the standard streams byte streams (both already so on
// POSIX systems).
void os_main_setup(int* argc, char*** argv);
