// Writes the example tapes of the examples/ folder:
//   make_examples <folder>
// The output is fixed: running it again gives the same bytes.
#include <cstdio>
#include <string>

#include "support/tzx.hpp"

using namespace tzx;

namespace {

// A tokenised BASIC line: number (big-endian), length, text, ENTER.
void basic_line(Bytes &prog, unsigned number, const Bytes &text) {
  put8(prog, number >> 8);
  put8(prog, number & 0xFF);
  put16(prog, static_cast<unsigned>(text.size()) + 1);
  putbytes(prog, text);
  put8(prog, 0x0D);
}

// The digits of a small whole number followed by its hidden 5-byte form.
Bytes number(unsigned n) {
  Bytes b;
  puttext(b, std::to_string(n));
  for (uint8_t x : {0x0E, 0x00, 0x00, static_cast<int>(n & 0xFF), static_cast<int>(n >> 8), 0x00}) b.push_back(x);
  return b;
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const auto &p : parts) putbytes(b, p);
  return b;
}

Tzx demo() {
  // 10 BORDER 0: PAPER 0: INK 7: CLS
  // 20 LOAD "" CODE
  // 30 RANDOMIZE USR 32768
  Bytes prog;
  basic_line(prog, 10, cat({{0xE7}, number(0), {':', 0xDA}, number(0), {':', 0xD9}, number(7), {':', 0xFB}}));
  basic_line(prog, 20, {0xEF, '"', '"', 0xAF});
  basic_line(prog, 30, cat({{0xF9, 0xC0}, number(32768)}));

  // Machine code at 32768: cycle the border through all eight colours, then
  // return to BASIC. The rest of the block is the colour table it reads.
  Bytes code = {0x21, 0x0C, 0x80,  // ld hl,table
                0x06, 0x08,        // ld b,8
                0x7E,              // loop: ld a,(hl)
                0xD3, 0xFE,        // out (254),a
                0x23,              // inc hl
                0x10, 0xFA,        // djnz loop
                0xC9};             // ret
  for (uint8_t c : {0, 1, 2, 3, 4, 5, 6, 7}) code.push_back(c);

  Tzx t(1, 10);
  t.archive({{0, "Border Demo"}, {1, "reelwright project"}, {3, "2026"}, {4, "English"},
             {255, "An example tape made by the reelwright test suite."}});
  t.text("BASIC loader and machine code");
  t.standard(1000, spectrum_header(0, "BorderDemo", static_cast<unsigned>(prog.size()), 10,
                                   static_cast<unsigned>(prog.size())));
  t.standard(1000, data_block(0xFF, prog));
  t.standard(1000, spectrum_header(3, "BorderCode", static_cast<unsigned>(code.size()), 32768, 32768));
  t.standard(2000, data_block(0xFF, code));
  return t;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_examples <folder>\n");
    return 2;
  }
  std::string dir = argv[1];
  demo().save(dir + "/demo.tzx");
  return 0;
}
