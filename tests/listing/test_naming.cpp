// Names of data blocks as the listings show them: Spectrum, Amstrad CPC and
// Sam Coupe headers, C64 ROM and TurboTape blocks, in the one-line column of
// "-one" and in the long form at the end of the "-info" headings.
#include <gtest/gtest.h>

#include "support/listing_text.hpp"

using listing::fmt;
using tzx::Bytes;

namespace {

struct Row {  // one data block: its offset, one-line name, long name, data
  size_t off;
  std::string brief, full;
  Bytes data;
};

// A 0x10 block's "-one" line: name column, length, speed and pause fields.
std::string std_line(int n, const Row &r, const char *speed, const std::string &pause) {
  return fmt("%3d-%5X:", n, static_cast<unsigned>(r.off)) + r.brief +
         fmt("  Length:%6d  %s %s\n", static_cast<int>(r.data.size()), speed, pause.c_str());
}

Bytes header_bytes(unsigned flag, std::vector<unsigned> first, const std::string &name, size_t len) {
  Bytes d{static_cast<uint8_t>(flag)};
  for (unsigned b : first) d.push_back(static_cast<uint8_t>(b));
  tzx::puttext(d, name);
  d.resize(len, 0x20);
  return d;
}

}  // namespace

TEST(Naming, SpectrumHeadersOfEveryKindAndBlocksThatAreNotHeaders) {
  std::vector<Row> rows{
      {0, "    Program : prog      ", "Program : prog      ", tzx::spectrum_header(0, "prog", 100, 10, 100)},
      // 0x7F and 0xA0 in the name become blanks.
      {0, " Num. Array : ab  cd    ", "Num. Array : ab  cd    ",
       tzx::spectrum_header(1, "ab\x7F\xA0" "cd", 5, 0, 0)},
      {0, "Char. Array : chars     ", "Char. Array : chars     ", tzx::spectrum_header(2, "chars", 5, 0, 0)},
      {0, "      Bytes : SCREEN$   ", "Bytes : SCREEN$   ", tzx::spectrum_header(3, "SCREEN$", 6912, 16384, 0)},
      {0, "      Bytes : twenty    ", "Bytes : twenty    ", header_bytes(0, {3}, "twenty", 20)},
      {0, "    --------------------", "Headerless", header_bytes(0, {3}, "twentyone", 21)},
      {0, "    --------------------", "Headerless", header_bytes(0xFF, {3}, "flagFF", 19)},
      {0, "    --------------------", "Headerless", header_bytes(0, {4}, "type4", 19)},
      {0, "    --------------------", "Headerless", header_bytes(0, {0x80}, "type80", 19)},
  };
  tzx::Tzx t;
  for (Row &r : rows) r.off = t.offset(), t.standard(1000, r.data);

  std::string one = "\n", heads;
  for (size_t i = 0; i < rows.size(); i++) {
    int n = static_cast<int>(i) + 1;
    one += std_line(n, rows[i], "Normal Speed", i + 1 < rows.size() ? ",Pause: 1.000s" : "");
    heads += listing::head(n, rows[i].off, "10 - Standard Loading Data - " + rows[i].full + "\n");
  }
  EXPECT_EQ(listing::listing_of(t, {"-one"}), one);
  EXPECT_EQ(listing::headings(listing::listing_of(t, {"-info"})), heads);
}

// After a hardware block whose first entry is (Computer, Amstrad CPC 6128,
// uses): ',' headers, Headerless for the rest, no CheckSum line for 0x11. The
// same tape listed from block 2 knows nothing of the CPC.
TEST(Naming, AmstradCpcAfterHardwareBlockAndWithoutIt) {
  const std::string name("GAME\0ONE\x7F" "1234567", 16);  // NUL becomes a blank, 0x7F stays
  Bytes cpc{','};
  tzx::puttext(cpc, name);
  cpc.push_back(1), cpc.push_back(2);
  const Bytes plain{0x16, 1, 2, 3};
  const Bytes zx = tzx::spectrum_header(0, "prog", 100, 10, 100);
  tzx::Timing tm;
  tm.bit1 = 1500;
  tzx::Tzx t;
  t.hardware({{0, 23, 1}});
  size_t o2 = t.offset();
  t.turbo(tm, 8, 1000, cpc);
  size_t o3 = t.offset();
  t.turbo(tm, 5, 2000, plain);
  size_t o4 = t.offset();
  t.standard(300, zx);

  const std::string cpcname = "GAME ONE\x7F" "1234567";
  std::string one = "\n  1-    A:    This tape is made for Amstrad CPC 6128 !\n";
  one += fmt("  2-%5X:    %s      Length:    19   Speed: 113%% ,Pause: 1.000s\n", unsigned(o2), cpcname.c_str());
  one += fmt("  3-%5X:    ------------------    Length:     4   Speed: 113%% ,Pause: 2.000s\n", unsigned(o3));
  one += fmt("  4-%5X:    ------------------    Length:    19  Normal Speed \n", unsigned(o4));
  EXPECT_EQ(listing::listing_of(t, {"-one"}), one);

  listing::Pieces info{{"\n"},
                       {listing::head(1, 10, "33 - Hardware Info:\n")},
                       {"  Uses the following hardware:\n"},
                       {"      Computer: Amstrad CPC 6128\n"},
                       {"\n"}};
  listing::append(info, listing::turbo_info(2, o2, cpcname + "    ", tm, 8, 1000, cpc, false));
  listing::append(info, listing::turbo_info(3, o3, "Headerless", tm, 5, 2000, plain, false));
  listing::append(info, listing::standard_info(4, o4, "Headerless", 300, zx));
  EXPECT_EQ(listing::listing_of(t, {"-info"}), listing::plain(info));

  listing::Pieces from2{{"\n"}};
  listing::append(from2, listing::turbo_info(2, o2, "Headerless", tm, 8, 1000, cpc, true));
  listing::append(from2, listing::turbo_info(3, o3, "Headerless", tm, 5, 2000, plain, true));
  listing::append(from2, listing::standard_info(4, o4, "Program : prog      ", 300, zx));
  EXPECT_EQ(listing::listing_of(t, {"-info", "-b", "2"}), listing::plain(from2));
}

// After (Computer, Sam Coupe, uses): flag 1, length 81..83, type 0x10..0x13.
TEST(Naming, SamCoupeHeadersAfterHardwareBlock) {
  std::vector<Row> rows{
      {0, "      Bytes : samfile   ", "Bytes : samfile   ", header_bytes(1, {0x13}, "samfile", 82)},
      {0, "    Program : boot      ", "Program : boot      ", header_bytes(1, {0x10}, "boot", 81)},
      {0, "Char. Array : chars     ", "Char. Array : chars     ", header_bytes(1, {0x12}, "chars", 83)},
      {0, "    --------------------", "Headerless", header_bytes(1, {0x10}, "long", 84)},
      {0, "    --------------------", "Headerless", header_bytes(1, {0x14}, "type14", 82)},
      {0, "    --------------------", "Headerless", tzx::spectrum_header(0, "spectrum", 1, 2, 3)},
  };
  tzx::Tzx t;
  t.hardware({{0, 9, 1}});
  for (Row &r : rows) r.off = t.offset(), t.standard(1000, r.data);

  std::string one = "\n  1-    A:    This tape is made for Sam Coupe !\n", heads;
  for (size_t i = 0; i < rows.size(); i++) {
    int n = static_cast<int>(i) + 2;
    one += std_line(n, rows[i], "Normal Speed", i + 1 < rows.size() ? ",Pause: 1.000s" : "");
    heads += listing::head(n, rows[i].off, "10 - Standard Loading Data - " + rows[i].full + "\n");
  }
  EXPECT_EQ(listing::listing_of(t, {"-one"}), one);
  EXPECT_EQ(listing::headings(listing::listing_of(t, {"-info"})), listing::head(1, 10, "33 - Hardware Info:\n") + heads);
}

TEST(Naming, C64RomAndTurboTapeBlocksWithStandardAndOtherTimings) {
  Bytes countdown{0x89, 0x88, 0x87, 0x86, 0x85, 0x84, 0x83, 0x82, 0x81};
  // ROM header: the countdown, five bytes, the name at bytes 14..29.
  Bytes romhdr = countdown;
  for (uint8_t b : {1, 1, 8, 0, 0x10}) romhdr.push_back(b);
  tzx::putbytes(romhdr, Bytes{'H', 'E', 'L', 'L', 'O', 126, 127, 128, 13, 'W', 'O', 'R', 'L', 'D', '!', '}'});
  romhdr.resize(202, 0x20);
  Bytes romdata = countdown;
  romdata.resize(201, 0xAA);
  Bytes romrep{9, 8, 7, 6, 5, 4, 3, 2, 1};
  romrep.resize(202, 0x20);
  // TurboTape header: countdown 9..1, a non-zero tenth byte, name at 15..30.
  Bytes thdr{9, 8, 7, 6, 5, 4, 3, 2, 1, 1, 0, 8, 0, 0x10, 0};
  tzx::putbytes(thdr, Bytes{'T', 'U', 'R', 'B', 'O', 126, 'N', 'A', 'M', 'E', 127, '1', '2', '3', '4', '5'});
  thdr.push_back(0x20);
  Bytes tdata = thdr;
  tdata[9] = 0;  // tenth byte 0: data, not a header
  Bytes tunk = thdr;
  tunk[0] = 0x89;

  tzx::C64Rom rom, odd_rom;
  odd_rom.bit1_s = 617;
  tzx::C64Turbo turbo, odd_turbo;
  odd_turbo.lead_in_byte = 3;
  const std::string dashes(24, '-');
  struct C64Row {
    bool is_rom;
    std::string brief, full, kind;
    Bytes data;
    size_t off = 0;
  };
  std::vector<C64Row> rows{
      {true, "Header: HELLO    WORLD!}", "ROM Header: HELLO    WORLD!}", "C64 ROM Data ", romhdr},
      {true, "Data Block              ", "ROM: Data Block", "C64 ROM Data ", romdata},
      {true, dashes, "ROM: Last Block Repeated", "C64 ROM Data ", romrep},
      {false, "Header: TURBO NAME 12345", "TurboTape Header: TURBO NAME 12345", "C64 Turbo    ", thdr},
      {false, dashes, "TurboTape Data Block", "C64 Turbo    ", tdata},
      {false, dashes, "TurboTape Unknown", "C64 Turbo    ", tunk},
      {true, dashes, "Unknown", "C64 Data     ", romhdr},
      {false, dashes, "Unknown", "C64 Data     ", thdr},
  };
  tzx::Tzx t;
  for (size_t i = 0; i < rows.size(); i++) {
    rows[i].off = t.offset();
    bool odd = i >= 6;
    if (rows[i].is_rom) t.c64rom(odd ? odd_rom : rom, rows[i].data);
    else t.c64turbo(odd ? odd_turbo : turbo, rows[i].data);
  }
  std::string one = "\n", heads;
  for (size_t i = 0; i < rows.size(); i++) {
    const C64Row &r = rows[i];
    int n = static_cast<int>(i) + 1;
    one += fmt("%3d-%5X: %s Length:%6d  %s%s\n", n, unsigned(r.off), r.brief.c_str(), int(r.data.size()),
               r.kind.c_str(), i + 1 < rows.size() ? ",Pause: 1.000s" : "");
    heads += listing::head(n, r.off, (r.is_rom ? "16 - C64 ROM Type Data - " : "17 - C64 Turbo Tape Type Data - ") +
                                         r.full + "\n");
  }
  EXPECT_EQ(listing::listing_of(t, {"-one"}), one);
  EXPECT_EQ(listing::headings(listing::listing_of(t, {"-info"})), heads);
}
