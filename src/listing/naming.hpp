// Names of data blocks, read from the loader headers they hold.
//
// The long form is that of the extensive listing; the one-line form is
// always 24 characters.
#pragma once

#include <string>

#include "format/blocks.hpp"
#include "listing/machines.hpp"

namespace listing {

enum class Form { one_line, extensive };

// A ZX Spectrum (or, on such a tape, Sam Coupe or Amstrad CPC) header's kind
// and file name, or "Headerless".
std::string Identify(format::Bytes data, Form form, Machine machine);

// A C64 block's name and its 13-character kind label.
struct C64Name {
  std::string name, kind;
};
C64Name IdentifyC64ROM(const format::C64RomData &b, Form form);
C64Name IdentifyC64Turbo(const format::C64TurboData &b, Form form);

}  // namespace listing
