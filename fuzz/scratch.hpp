// The fuzzer's tape file, one file per system: scratch_linux.cpp keeps it in
// memory (memfd), scratch_other.cpp in a temporary file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Makes the file hold these bytes (and nothing of what it held before);
// returns a path that opens it, or "" when it cannot be written.
std::string ScratchFile(const uint8_t *bytes, size_t n);
