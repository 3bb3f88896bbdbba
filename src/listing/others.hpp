// The texts of the blocks of other machines' tapes (PZX, TSX, MSX, Acorn,
// Commodore, ZX81): a one-line text, and a title with labelled lines for the
// extensive listing.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "format/blocks.hpp"

namespace listing {

struct Described {
  std::string one_line;  // without the line end
  std::string title;
  std::vector<std::pair<std::string, std::string>> fields;
};

Described Describe(const format::FramedData &b, bool last);
Described Describe(const format::Gap &b);
Described Describe(const format::PzxPulses &b);
Described Describe(const format::PzxData &b);
Described Describe(const format::TapeText &b);
Described Describe(const format::CommodorePulses &b);
Described Describe(const format::Zx81Program &b);

}  // namespace listing
