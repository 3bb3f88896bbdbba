// Hardware names by type and identifier, and the machine a tape declares.
#pragma once

#include <string>

#include "format/blocks.hpp"

namespace listing {

extern const char *const htype[16];
extern const char *const hid[16][30];

// The type name, or the type's number when the table has no such type.
std::string HardwareTypeName(unsigned type);
// The hardware name, or the identifier's number when the table has no name.
std::string HardwareName(unsigned type, unsigned ident);

// The machine a tape is made for, as far as the naming of its blocks cares.
// A hardware block declares it and it holds for the blocks after it.
struct Machine {
  bool cpc = false;  // an Amstrad CPC
  bool sam = false;  // a Sam Coupe
};
// The machine after a hardware block: its first entry may declare an Amstrad
// CPC or a Sam Coupe that the tape uses; nothing clears a declaration.
Machine DetectMachine(const format::HardwareInfo &h, Machine m);

}  // namespace listing
