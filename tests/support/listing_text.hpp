// Helpers for the listing tests: run the program on a built tape and keep the
// listing proper (the text after the block count), and compose the expected
// lines from the printf formats of the listings.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "support/expect.hpp"
#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace listing {

using expect::fmt;

// Saves the tape, runs the program with the switches and the file name, and
// returns what follows the "Number of Blocks" line. A non-zero exit status or
// a missing count shows in the text, so that it fails the comparison.
inline std::string listing_of(const tzx::Tzx &t, std::vector<std::string> args, const std::string &input = "") {
  harness::TempDir dir;
  std::string path = dir.file("tape.tzx");
  t.save(path);
  args.push_back(path);
  harness::Options opt;
  opt.input = input;
  harness::Result r = harness::run(args, opt);
  std::string out = r.out;
  if (r.status != 0) out += fmt("<exit status %d, signal %d>", r.status, r.signal);
  size_t p = out.find("Number of Blocks: ");
  if (p == std::string::npos) return "<no block count>" + out;
  p = out.find('\n', p);
  return out.substr(p + 1);
}

// The lines of a text that begin with "Block " (the headings of "-info").
inline std::string headings(const std::string &text) {
  std::string out;
  size_t p = 0;
  while (p < text.size()) {
    size_t e = text.find('\n', p);
    e = e == std::string::npos ? text.size() : e + 1;
    if (text.compare(p, 6, "Block ") == 0) out += text.substr(p, e - p);
    p = e;
  }
  return out;
}

// One call of the paged print routine: its text and the extra lines the
// listing adds to the page count before it (1 for a text ending in a blank
// line, plus the line breaks of an expanded tape text).
struct Piece {
  std::string text;
  int extra = 0;
};
using Pieces = std::vector<Piece>;

inline void append(Pieces &to, const Pieces &more) {
  for (const Piece &p : more) to.push_back(p);
}

inline std::string plain(const Pieces &ps) {
  std::string s;
  for (const Piece &p : ps) s += p.text;
  return s;
}

// The same texts with the page prompts: the count starts at 3 (the banner),
// each call adds its extra lines and one more, and past 21 the prompt comes
// before the text and the count restarts at 0.
inline std::string paged(const Pieces &ps, int line = 3) {
  std::string s;
  for (const Piece &p : ps) {
    line += p.extra + 1;
    if (line > 21) s += "scroll?\n\n", line = 0;
    s += p.text;
  }
  return s;
}

inline std::string head(int n, size_t offset, const std::string &rest) {
  return fmt("Block %3d (%5X):  ", n, static_cast<unsigned>(offset)) + rest;
}

// Length, Flag and (unless left out) CheckSum lines of a data block.
inline Pieces data_lines(const tzx::Bytes &d, bool checksum = true) {
  Pieces ps{{fmt("                Length: %5d bytes\n", static_cast<int>(d.size()))}};
  if (d.empty()) {
    ps.push_back({"                  Flag:  None (no data)\n"});
    if (checksum) ps.push_back({"              CheckSum:  None (no data)\n"});
    return ps;
  }
  ps.push_back({fmt("                  Flag: %5d ($%02X)\n", d[0], d[0])});
  if (checksum) {
    unsigned x = 0;
    for (size_t i = 0; i + 1 < d.size(); i++) x ^= d[i];
    std::string verdict = x == d.back() ? "OK" : fmt("Wrong, should be %3d ($%02X)", x, x);
    ps.push_back({fmt("              CheckSum: %5d ($%02X) - %s\n", d.back(), d.back(), verdict.c_str())});
  }
  return ps;
}

inline Piece pause_line(unsigned ms) { return {fmt("     Pause after block: %5d milliseconds\n\n", ms), 1}; }

// The whole "-info" text of a standard-speed (0x10) block.
inline Pieces standard_info(int n, size_t off, const std::string &name, unsigned pause, const tzx::Bytes &d) {
  Pieces ps{{head(n, off, "10 - Standard Loading Data - " + name + "\n")}};
  append(ps, data_lines(d));
  ps.push_back(pause_line(pause));
  return ps;
}

// The whole "-info" text of a turbo-speed (0x11) block.
inline Pieces turbo_info(int n, size_t off, const std::string &name, const tzx::Timing &t, unsigned lastbyte,
                         unsigned pause, const tzx::Bytes &d, bool checksum) {
  Pieces ps{{head(n, off, "11 - Custom Loading Data - " + name + "\n")}};
  append(ps, data_lines(d, checksum));
  append(ps, {{fmt("           Pilot pulse: %5d T-States\n", t.pilot)},
              {fmt("          Pilot length: %5d pulses\n", t.pilot_len)},
              {fmt("      Sync first pulse: %5d T-States\n", t.sync1)},
              {fmt("     Sync second pulse: %5d T-States\n", t.sync2)},
              {fmt("           Bit-0 pulse: %5d T-States\n", t.bit0)},
              {fmt("           Bit-1 pulse: %5d T-States\n", t.bit1)},
              {fmt("        Last byte used: %5d bits\n", lastbyte)}});
  ps.push_back(pause_line(pause));
  return ps;
}

}  // namespace listing
