// File names made from the names on a tape: never a path, and legal on
// Linux, macOS and Windows alike.
#pragma once

#include <string>

namespace contents {

// A name to put in a folder: every path separator, control character and
// character Windows reserves (< > : " / \ | ? *) becomes '_'; spaces and
// dots at either end go (Windows drops them; a name of dots alone would be
// a folder); a name Windows reserves for a device (CON, PRN, AUX, NUL,
// COM1-9, LPT1-9, with any extension) gets a '_' after it. Nothing left
// gives `fallback`.
std::string SafeName(const std::string &name, const std::string &fallback);

}  // namespace contents
