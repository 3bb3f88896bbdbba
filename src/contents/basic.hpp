// BASIC programs listed as text, each machine's in its own keywords and
// character set. What has no ASCII form is shown in braces: control and
// colour codes ({INK 2}, {CLR}), graphics and user-defined characters
// ({GR 3}, {UDG-A}), any other byte by its value ({$8F}). A Spectrum or
// ZX81 number whose hidden binary form differs from its text is followed by
// that value: 10{=32768}.
#pragma once

#include <string>
#include <vector>

#include "contents/files.hpp"

namespace contents {

struct Listing {
  std::vector<std::string> lines;
  std::vector<std::string> problems;  // where the program's bytes do not hold up
};

// The listing of a file whose `basic` is not none. `k128`: the Spectrum's
// 128K keywords (SPECTRUM, PLAY) also inside strings and REMs, where a 48K
// machine has user-defined graphics T and U.
Listing ListBasic(const TapeFile &file, bool k128);

// The machines' own listings.
Listing ListSpectrum(const std::vector<uint8_t> &program, bool k128);
Listing ListZx81(const std::vector<uint8_t> &memory);  // a .p file: memory from 0x4009
Listing ListZx80(const std::vector<uint8_t> &memory);  // a .o file: memory from 0x4000
Listing ListMsx(const std::vector<uint8_t> &program);  // tokenised, after its 0xFF
Listing ListBbc(const std::vector<uint8_t> &program);
Listing ListCommodore(const std::vector<uint8_t> &program, unsigned start);

// The value of a Sinclair 5-byte number (the small-integer form, or an
// exponent and a 32-bit mantissa).
double SinclairNumber(const uint8_t *five);

}  // namespace contents
