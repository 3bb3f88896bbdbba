// What the tests and the fuzzer use that only Linux has, behind one small
// interface with one file per system: system_linux.cpp, and system_other.cpp
// for every other system, which says the thing is missing (the test that
// needs it is skipped and says so) or stands in for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace testsys {

// A device that fails every write for lack of space (/dev/full), or "" where
// the system has none.
std::string FullDevice();

// In this process and its children from now on: every file of `folder`
// whose name starts with `prefix` reads as empty (an empty file is mounted
// over it in a mount namespace of the process's own). Call it in a child made
// for the purpose. False where that cannot be done: no such namespaces on this
// system, or no right to make one.
bool HideFiles(const std::string &folder, const std::string &prefix);

// A file holding these bytes (what it held before is gone), and a path that
// opens it: on Linux a file in memory, elsewhere a temporary file; "" when it
// cannot be written.
std::string ScratchFile(const uint8_t *bytes, size_t n);

}  // namespace testsys
