// Helpers for the end-to-end tests: the texts every run starts with, the
// error form, formatting of expected lines, and a conversion run that hands
// back both the text and the sound file.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace expect {

// printf into a string, for expected lines built from the program's formats.
inline std::string fmt(const char *f, ...) __attribute__((format(printf, 1, 2)));
inline std::string fmt(const char *f, ...) {
  char buf[16384];
  va_list ap;
  va_start(ap, f);
  std::vsnprintf(buf, sizeof buf, f, ap);
  va_end(ap);
  return buf;
}

// Run options with these bytes as the keys on standard input.
inline harness::Options keys(const std::string &input) {
  harness::Options o;
  o.input = input;
  return o;
}

inline std::string error(const std::string &msg) { return "\n-- Error: " + msg + "\n"; }

// Banner, revision line (1.10 unless given) and block count.
inline std::string head(int blocks, const std::string &rev = "1.10") {
  return harness::kBanner + "\nZXTape file revision " + rev + "\n" + fmt("Number of Blocks: %d\n", blocks);
}

inline const std::string kNotRecognised = "\n-- Warning: Some blocks were *NOT* recognised!\n";

// The one-line text of a pure tone block.
inline std::string tone_line(int pulses) { return fmt("    Pure Tone             Length: %5d\n", pulses); }

// An unrecognised block: a u32 length and that many body bytes.
inline tzx::Tzx &unknown(tzx::Tzx &t, unsigned id, unsigned len = 0) {
  tzx::Bytes b;
  tzx::put32(b, len);
  b.resize(4 + len, 0x55);
  return t.raw(id, b);
}

// The file of a tape image saved into a temporary folder.
inline std::string save(const harness::TempDir &dir, const tzx::Tzx &t, const std::string &name = "tape.tzx") {
  std::string path = dir.file(name);
  t.save(path);
  return path;
}


struct Converted {
  harness::Result run;
  std::string file;  // the output file's bytes (empty when none was written)
};

// Saves the tape as t.tzx, runs the program with the switches, the tape and
// (when out_name is not empty) the output name, and reads the output file.
inline Converted convert(const tzx::Tzx &tape, std::vector<std::string> switches, const std::string &out_name,
                         const harness::Options &opt = {}) {
  harness::TempDir dir;
  tape.save(dir.file("t.tzx"));
  switches.push_back(dir.file("t.tzx"));
  if (!out_name.empty()) switches.push_back(dir.file(out_name));
  Converted c;
  c.run = harness::run(switches, opt);
  if (!out_name.empty() && harness::exists(dir.file(out_name))) c.file = harness::read_file(dir.file(out_name));
  return c;
}

// The start of a conversion's text, up to its announcement.
inline std::string au_head(int blocks, int rate = 44100) {
  return head(blocks) + fmt("\nCreating .au file using %d Hz frequency.\n\n", rate);
}
inline std::string voc_head(int blocks, int rate = 30303) {
  return head(blocks) + fmt("\nCreating .VOC file using %d Hz frequency.\n\n", rate);
}

// The progress prefix of block n (counted from 1) in replay or conversion.
inline std::string block(int n) { return fmt("Block %3d:", n); }

}  // namespace expect
