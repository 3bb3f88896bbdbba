// Hardware names by type and identifier, and the machine a tape declares.
#pragma once

#include <string>

#include "driver/tape.hpp"

extern const char *const htype[16];
extern const char *const hid[16][30];

// The type name, or the type's number when the table has no such type.
std::string HardwareTypeName(unsigned type);
// The hardware name, or the identifier's number when the table has no name.
std::string HardwareName(unsigned type, unsigned ident);
// Sets cpc or sam when the first entry of a hardware block declares an
// Amstrad CPC or a Sam Coupe that the tape uses.
void DetectMachine(Body body);
