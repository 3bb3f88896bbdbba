// Paged listing output and the text helpers the listings share.
#pragma once

#include <string>

// Scratch texts in which the listings compose a line before printing it.
struct Texts {
  std::string tstr, spdstr, pstr;
};
inline Texts texts;

// Prints one piece of listing text after the page check of "-p".
void writeout(const std::string &s);
// The page check before a line of "-one": prompts once `line` passes `limit`.
void PagePrompt(int limit, bool line_end_after);
// Copies s into d, turning every CR into CR, LF and `spaces` blanks; returns
// the number of CRs. Stops at the first NUL, as the tape texts are C texts.
int MultiLine(const std::string &s, int spaces, std::string &d);
// Pads with blanks or cuts s to exactly i characters; a NUL ends the text.
void MakeFixedString(std::string &s, int i);
// A counted tape text as a printable text: len bytes, up to the first NUL.
void CopyString(std::string &dest, const unsigned char *sour, int len);
// "OK" when the last byte is the XOR of the others, otherwise the expected
// value as "Wrong, should be %3d ($%02X)" (held in texts.pstr).
const char *GetCheckSum(const unsigned char *data, int len);
// A one-line text padded or cut to 52 columns and followed by
// " (-info for more)": 69 characters and a line end.
std::string MoreInfo(std::string text);
