#include "listing/text.hpp"

#include <cstring>

#include "driver/console.hpp"
#include "driver/settings.hpp"

void PagePrompt(int limit, bool line_end_after) {
  settings.line++;
  if (settings.line <= limit) return;
  say("scroll?\n");
  settings.k = read_key();
  if (settings.k == ESC) Error("ESCAPE key pressed!");
  if (settings.k == 0) read_key();  // second half of a two-character key code
  if (line_end_after) say("\n");
  settings.line = 0;
}

void writeout(const std::string &s) {
  if (settings.pages) PagePrompt(21, true);
  say_text(s);
}

int MultiLine(const std::string &s, int spaces, std::string &d) {
  d.clear();
  int breaks = 0;
  for (char c : s) {
    if (c == '\0') break;
    d += c;
    if (c == '\r') {
      d += '\n';
      if (spaces > 0) d.append(static_cast<size_t>(spaces), ' ');
      breaks++;
    }
  }
  return breaks;
}

void MakeFixedString(std::string &s, int i) {
  size_t n = i > 0 ? static_cast<size_t>(i) : 0;
  size_t nul = s.find('\0');
  if (nul != std::string::npos) s.resize(nul);
  s.resize(n, ' ');
}

void CopyString(std::string &dest, const unsigned char *sour, int len) {
  dest.clear();
  if (len <= 0) return;
  const void *nul = std::memchr(sour, 0, static_cast<size_t>(len));
  size_t n = nul ? static_cast<size_t>(static_cast<const unsigned char *>(nul) - sour) : static_cast<size_t>(len);
  dest.assign(reinterpret_cast<const char *>(sour), n);
}

const char *GetCheckSum(const unsigned char *data, int len) {
  if (len <= 0) return "None (no data)";
  unsigned x = 0;
  for (int i = 0; i < len - 1; i++) x ^= data[i];
  if (x == data[len - 1]) return "OK";
  texts.pstr = strprintf("Wrong, should be %3d ($%02X)", x, x);
  return texts.pstr.c_str();
}

std::string MoreInfo(std::string text) {
  MakeFixedString(text, 52);
  return text + " (-info for more)\n";
}
