// The files on a tape: screens as pictures, pixel by pixel; files taken out
// with the blocks' bytes, under names that are never paths and never a file
// that is there already; the dump of each block.
#include <gtest/gtest.h>

#include <filesystem>

#ifdef REELWRIGHT_PNG
#include <png.h>
#endif

#include "contents/dump.hpp"
#include "contents/files.hpp"
#include "contents/names.hpp"
#include "contents/screen.hpp"
#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace fs = std::filesystem;

namespace {

using tzx::Bytes;

const std::string kSamples = std::string(REELWRIGHT_SOURCE_DIR) + "/../shared/samples/";

// A screen of stripes and every attribute: ink, paper, bright and flash.
Bytes test_screen() {
  Bytes s(6912);
  for (size_t i = 0; i < 6144; i++) s[i] = uint8_t(i * 37 + (i >> 8));
  for (size_t i = 0; i < 768; i++) s[6144 + i] = uint8_t(i * 13 + i / 32);
  return s;
}

// The colour of a pixel as the Spectrum shows it, from the screen's bytes
// read in memory order: an address holds 8 pixels of row third * 64 + line
// * 8 + character row, where third, line and row are its bits 11-12, 8-10
// and 5-7, and its bits 0-4 the column.
std::vector<uint8_t> expected(const Bytes &s) {
  std::vector<uint8_t> rgb(256 * 192 * 3);
  for (unsigned a = 0; a < 6144; a++) {
    const unsigned y = (a >> 11) * 64 + ((a >> 5) & 7) * 8 + ((a >> 8) & 7), column = a & 31;
    const uint8_t attr = s[6144 + (y / 8) * 32 + column];
    for (unsigned bit = 0; bit < 8; bit++) {
      const bool set = s[a] & (0x80 >> bit);
      const unsigned colour = set ? attr & 7 : (attr >> 3) & 7;  // FLASH's first phase: as it stands
      const uint8_t level = attr & 0x40 ? 0xFF : 0xD7;
      uint8_t *p = &rgb[(y * 256 + column * 8 + bit) * 3];
      p[0] = colour & 2 ? level : 0, p[1] = colour & 4 ? level : 0, p[2] = colour & 1 ? level : 0;
    }
  }
  return rgb;
}

TEST(Screen, EveryPixelIsItsBytesColour) {
  const Bytes s = test_screen();
  EXPECT_EQ(contents::ScreenPixels(s), expected(s));
  // A screen cut short: what is missing reads as 0 (black on black).
  const Bytes cut(s.begin(), s.begin() + 100);
  const std::vector<uint8_t> short_one = contents::ScreenPixels(cut);
  EXPECT_EQ(short_one.size(), 256u * 192 * 3);
  EXPECT_TRUE(std::all_of(short_one.begin(), short_one.end(), [](uint8_t c) { return c == 0; }));
}

#ifdef REELWRIGHT_PNG
std::vector<uint8_t> read_png(const std::string &path, unsigned &w, unsigned &h) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  w = image.width, h = image.height;
  return rgb;
}
#endif

TEST(Screen, EachScreenOfATapeBecomesAPicture) {
#ifndef REELWRIGHT_PNG
  GTEST_SKIP() << "built without libpng";
#else
  harness::TempDir dir;
  const Bytes s = test_screen();
  Bytes other = s;
  other[6144] = 0x47;  // bright white on black in the top left corner
  tzx::save(dir.file("screens.tap"),
            tzx::tap({tzx::spectrum_header(3, "pic", 6912, 16384, 32768), tzx::data_block(0xFF, s),
                      tzx::spectrum_header(3, "SCREEN$", 6912, 16384, 0), tzx::data_block(0xFF, other),
                      tzx::spectrum_header(3, "code", 6912, 32768, 0), tzx::data_block(0xFF, s),
                      tzx::data_block(0xFF, Bytes(100, 1))}));
  const harness::Result r = harness::run_here({"-screen", dir.file("shot.png"), dir.file("screens.tap")});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Screen of block 1 (pic) written to " + dir.file("shot.png") + "\nScreen of block 3 (SCREEN$) written to " +
                       dir.file("shot-2.png") + "\n"),
            std::string::npos)
      << r.out;
  unsigned w = 0, h = 0;
  EXPECT_EQ(read_png(dir.file("shot.png"), w, h), expected(s));
  EXPECT_EQ(w * 1000 + h, 256u * 1000 + 192);
  EXPECT_EQ(read_png(dir.file("shot-2.png"), w, h), expected(other));
  EXPECT_FALSE(harness::exists(dir.file("shot-3.png")));  // code for 32768 is no screen

  // A screen block of the wrong length: drawn as far as it goes, with a
  // warning. A file there that is no picture is never written over.
  tzx::save(dir.file("short.tap"), tzx::tap({tzx::spectrum_header(3, "SCREEN$", 6912, 16384, 0), tzx::data_block(0xFF, Bytes(6000, 0xFF))}));
  const harness::Result cut = harness::run_here({"-screen", dir.file("cut"), dir.file("short.tap")});
  EXPECT_NE(cut.out.find("-- Warning: Block 1 holds 6000 bytes of a screen's 6912: drawn as far as they go!"), std::string::npos);
  EXPECT_NE(cut.out.find("-- Warning: Block 1: its header states 6912 bytes; its block holds 6000!"), std::string::npos);
  EXPECT_EQ(read_png(dir.file("cut.png"), w, h).size(), 256u * 192 * 3);
  const harness::Result tape = harness::run_here({"-screen", dir.file("x.tap"), dir.file("short.tap")});
  EXPECT_EQ(tape.status, 0);  // (named x.tap.png)
  EXPECT_TRUE(harness::exists(dir.file("x.tap.png")));
  tzx::save(dir.file("x.png"), Bytes{'n', 'o'});
  EXPECT_NE(harness::run_here({"-screen", dir.file("x.png"), dir.file("short.tap")}).out.find(" is there and is no PNG picture: it is not overwritten!"), std::string::npos);
  EXPECT_EQ(harness::read_file(dir.file("x.png")), "no");
#endif
}

TEST(Extract, AcornsCrcIsCrc16WithPolynomial0x1021From0) {
  const std::string check = "123456789";  // the check value of that CRC: 0x31C3
  EXPECT_EQ(contents::AcornCrc(reinterpret_cast<const uint8_t *>(check.data()), check.size()), 0x31C3);
}

TEST(Extract, NamesAreNeverPathsAndLegalEverywhere) {
  const std::pair<std::string, std::string> rows[] = {
      {"GAME", "GAME"},
      {"//////////", "__________"},
      {"..", "block"},
      {"../../etc", "_.._etc"},
      {"a\\b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i"},
      {std::string("x\x01\x1F\x7Fy"), "x___y"},
      {" name. ", "name"},
      {"con", "con_"},
      {"LPT1.txt", "LPT1_.txt"},
      {"COM0", "COM0"},
      {"CONSOLE", "CONSOLE"},
      {"", "block"},
  };
  for (const auto &[name, want] : rows) EXPECT_EQ(contents::SafeName(name, "block"), want) << name;
}

std::string bytes(const Bytes &b) { return std::string(b.begin(), b.end()); }

TEST(Extract, EachFileHoldsItsBlocksBytesUnderItsName) {
  harness::TempDir dir;
  const Bytes code{0xF3, 0xAF, 0xC9}, more{1, 2, 3, 4};
  Bytes bad = tzx::data_block(0xFF, more);
  bad.back() ^= 1;
  Bytes program{0, 10, 2, 0, 0xF5, 0x0D};
  tzx::save(dir.file("t.tap"), tzx::tap({tzx::spectrum_header(3, "GAME", 3, 32768, 0), tzx::data_block(0xFF, code),
                                         tzx::spectrum_header(3, "GAME", 4, 40000, 0), bad,
                                         tzx::spectrum_header(0, "//////////", 6, 10, 6), tzx::data_block(0xFF, program),
                                         tzx::spectrum_header(1, std::string("a\x01\x02"), 4, 0x8100, 0), tzx::data_block(0xFF, more),
                                         tzx::data_block(0x00, more), tzx::spectrum_header(3, "CON", 0, 0, 0)}));
  const std::string out = dir.file("out");
  harness::Result r = harness::run_here({"-extract", out, dir.file("t.tap")});
  EXPECT_EQ(r.status, 0) << r.out;
  const std::string list = "Written into " + out + ":\n"
                           "  GAME.bin                      3 bytes  blocks 1-2\n"
                           "  GAME.bad.bin                  4 bytes  blocks 3-4\n"
                           "  __________.bas                6 bytes  blocks 5-6\n"
                           "  a__.dat                       4 bytes  blocks 7-8\n"
                           "  block-9.bin                   4 bytes  block 9\n"
                           "  CON_.hdr                     17 bytes  block 10\n"
                           "6 files, 38 bytes\n";
  EXPECT_NE(r.out.find(list), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("-- Warning: Block 3: the checksum fails: written as GAME.bad.bin!"), std::string::npos);
  EXPECT_NE(r.out.find("-- Warning: Block 10: a header with no data block after it!"), std::string::npos);
  EXPECT_EQ(harness::read_file(out + "/GAME.bin"), bytes(code));
  EXPECT_EQ(harness::read_file(out + "/GAME.bad.bin"), bytes(more));
  EXPECT_EQ(harness::read_file(out + "/__________.bas"), bytes(program));
  int files = 0;
  for (const auto &e : fs::recursive_directory_iterator(dir.path())) files += e.is_regular_file();
  EXPECT_EQ(files, 7);  // the tape and the six, nothing outside the folder

  // Again: nothing is written over; each name gets the next number.
  const std::string before = harness::read_file(out + "/GAME.bin");
  r = harness::run_here({"-extract", out, "-e", "2", dir.file("t.tap")});
  EXPECT_NE(r.out.find("  GAME-2.bin                    3 bytes  blocks 1-2\n"), std::string::npos) << r.out;
  EXPECT_EQ(harness::read_file(out + "/GAME.bin"), before);
  // A name that leads to a file is no folder.
  r = harness::run_here({"-extract", dir.file("t.tap"), dir.file("t.tap")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("-- Error: Cannot make the folder "), std::string::npos) << r.out;
}

TEST(Extract, OtherMachinesFilesAsTheirToolsKeepThem) {
  if (!harness::exists(kSamples)) GTEST_SKIP() << kSamples << " is not there";
  harness::TempDir dir;
  struct Row {
    std::string tape, file;
    size_t size;
    std::string start;  // the file's first bytes
  };
  const Row rows[] = {
      {"c64-v1.tap", "RL.prg", 2 + 144, std::string("\x00\x11", 2)},        // load address 0x1100 first
      {"msx-binary.cas", "RL.bin", 7 + 0xA5, std::string("\xFE\x00\x80\xA4\x80\x00\x80", 7)},  // BLOAD's header
      {"msx-basic.cas", "RL.bas", 0, std::string("\xFF\x2B\x80", 3)},
      {"zx81.p", "ZX81.p", 318, std::string("\x00\x00\x00\x2D\x41", 5)},  // the .p file as it is
      {"electron.uef", "RL", 207, std::string("\x0D\x00\x0A", 3)},
      {"electron.uef", "RL.inf", 0, "RL FFFF0E00 FFFF801F 000000CF\n"},
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(r.file);
    const std::string out = dir.file(r.tape);
    if (!harness::exists(out)) harness::run_here({"-extract", out, kSamples + r.tape});
    const std::string got = harness::read_file(out + "/" + r.file);
    if (r.size != 0) {
      EXPECT_EQ(got.size(), r.size);
    }
    EXPECT_EQ(got.substr(0, r.start.size()), r.start);
  }
  // A BBC game tape: each file's blocks joined, every CRC good.
  const harness::Result frak = harness::run_here({"-extract", dir.file("frak"), kSamples + "bbc-frak.uef"});
  EXPECT_NE(frak.out.find("  Frak3                     11339 bytes  blocks 53-141, and Frak3.inf\n"), std::string::npos) << frak.out;
  EXPECT_EQ(frak.out.find(".bad"), std::string::npos);
  // Its protection gives the main file odd addresses (the header's CRC
  // holds them) and locks it.
  EXPECT_EQ(harness::read_file(dir.file("frak/Frak3.inf")), "Frak3 CA240786 F014BBF4 00002C4B L\n");
  EXPECT_EQ(harness::read_file(dir.file("frak/Frak.inf")), "Frak 00003000 000036AF 000007A0\n");
}

TEST(Hex, EachDataBlocksBytesWithTheirPlace) {
  EXPECT_EQ(contents::HexDump(Bytes{0x41, 0x00, 0x7E, 0x7F, 0x20}, 0x10),
            std::vector<std::string>{"0010  41 00 7E 7F 20                                    A.~. "});
  Bytes seventeen(17);
  for (size_t i = 0; i < 17; i++) seventeen[i] = uint8_t('a' + i);
  EXPECT_EQ(contents::HexDump(seventeen), (std::vector<std::string>{
                                              "0000  61 62 63 64 65 66 67 68  69 6A 6B 6C 6D 6E 6F 70  abcdefghijklmnop",
                                              "0010  71                                                q"}));
  const harness::Result r = harness::run_here(
      {"-hex", "-b", "5", "-e", "6", std::string(REELWRIGHT_SOURCE_DIR) + "/examples/demo.tzx"});
  EXPECT_NE(r.out.find("Number of Blocks: 6\n\nBlock   5 (   EC): Bytes : BorderCode  Length:    19  Normal Speed ,Pause: "
                       "1.000s\n0000  00 03 42 6F 72 64 65 72  43 6F 64 65 14 00 00 80  ..BorderCode....\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("Block   4"), std::string::npos);
}

TEST(Contents, SwitchesThatCannotGoTogether) {
  const std::string demo = std::string(REELWRIGHT_SOURCE_DIR) + "/examples/demo.tzx";
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{"-basic", "-info", demo}, "-basic, -hex, -screen and -extract show what a tape holds: they go with no listing"},
      {{"-hex", demo, "out.wav"}, "-basic, -hex, -screen and -extract show what a tape holds"},
      {{demo, "-screen"}, "Switch -screen needs a file name after it !"},
      {{demo, "-extract"}, "Switch -extract needs a folder after it !"},
      {{"-hexa", demo}, "Invalid Option -hexa !"},
  };
  for (const auto &[args, error] : rows) {
    const harness::Result r = harness::run_here(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("-- Error: " + error), std::string::npos) << r.out;
  }
  EXPECT_NE(harness::run_here({"-basic", "-b", "5", demo}).out.find("No BASIC program on the tape.\n"), std::string::npos);
}

}  // namespace
