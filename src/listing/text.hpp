// The text helpers the listings share.
#pragma once

#include <string>

#include "format/reader.hpp"

namespace listing {

// Copies s, turning every CR into CR, LF and `spaces` blanks; returns the
// number of CRs through `breaks`. A NUL ends the text, as tape texts are C texts.
std::string MultiLine(const std::string &s, int spaces, int &breaks);
// Pads with blanks or cuts s to exactly i characters; a NUL ends the text.
std::string MakeFixedString(const std::string &s, int i);
// A counted tape text as a printable text: its bytes up to the first NUL.
std::string CopyString(format::Bytes text);
// "OK" when the last byte is the XOR of the others, otherwise the expected
// value as "Wrong, should be %3d ($%02X)".
std::string GetCheckSum(format::Bytes data);
// A one-line text padded or cut to 52 columns and followed by
// " (-info for more)": 69 characters and a line end.
std::string MoreInfo(const std::string &text);

}  // namespace listing
