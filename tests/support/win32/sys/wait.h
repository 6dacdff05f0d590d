// Windows builds of the tests: a process's status is its exit code, read as
// the 8 bits that POSIX systems report.
#pragma once

#define WIFEXITED(status) 1
#define WEXITSTATUS(status) ((status) & 0xff)
