// Bytes as a hex and text dump: 16 a line, each line with its offset.
#pragma once

#include <string>
#include <vector>

#include "format/reader.hpp"

namespace contents {

// "0000  F3 AF 11 FF FF C3 CB 11  2A 5D 5C 22 5F 5C 18 43  ........*]\"_\\.C"
// (offsets from `origin`; the text column shows printable ASCII, '.' else).
std::vector<std::string> HexDump(format::Bytes bytes, uint64_t origin = 0);

}  // namespace contents
