// The "-info" listing of every block type at length, and its page prompts
// with "-p", which come where the counted lines say (texts ending in a blank
// line and expanded tape texts count more than one).
#include <gtest/gtest.h>

#include "support/listing_text.hpp"

using listing::fmt;
using tzx::Bytes;

TEST(Extended, EveryBlockTypeAtLengthThenPagedByLineCount) {
  tzx::Tzx t;
  listing::Pieces ex;
  int n = 0;
  auto H = [&](const std::string &rest, int extra = 0) { ex.push_back({listing::head(++n, t.offset(), rest), extra}); };
  auto L = [&](const std::string &text, int extra = 0) { ex.push_back({text, extra}); };
  auto table_head = [&] {
    L("          Trainer Description                       Poke Val Org Page\n");
    L("         -------------------------------------------------------------\n");
  };

  // 0x10: a header with a right checksum, a data block with a wrong one.
  const Bytes hdr = tzx::spectrum_header(3, "SCREEN$", 6912, 16384, 32768);
  listing::append(ex, listing::standard_info(++n, t.offset(), "Bytes : SCREEN$   ", 1000, hdr));
  t.standard(1000, hdr);
  H("10 - Standard Loading Data - Headerless\n");
  L("                Length:     4 bytes\n");
  L("                  Flag:   255 ($FF)\n");
  L("              CheckSum:     0 ($00) - Wrong, should be 217 ($D9)\n");
  L("     Pause after block:     0 milliseconds\n\n", 1);
  t.standard(0, {0xFF, 0x12, 0x34, 0x00});
  // 0x11 with every timing field different.
  tzx::Timing tm{2000, 600, 700, 800, 1600, 4000};
  const Bytes d = tzx::data_block(0x80, {1, 2, 3});
  listing::append(ex, listing::turbo_info(++n, t.offset(), "Headerless", tm, 6, 500, d, true));
  t.turbo(tm, 6, 500, d);
  H("12 - Pure Tone\n");
  L("          Pulse length:  2168 T-States\n");
  L("           Tone length:  8063 pulses\n\n", 1);
  t.tone(2168, 8063);
  H("13 - Sequence of Pulses\n");
  L("      Number of Pulses:     3\n\n", 1);
  t.pulses({667, 735, 1000});
  H("14 - Pure Data\n");
  L("                Length:     3 bytes\n");
  L("                  Flag:     1 ($01)\n");
  L("              CheckSum:     3 ($03) - OK\n");
  L("           Bit-0 pulse:   855 T-States\n");
  L("           Bit-1 pulse:  1710 T-States\n");
  L("        Last byte used:     4 bits\n");
  L("     Pause after block:  1234 milliseconds\n\n", 1);
  t.pure_data(855, 1710, 4, 1234, {1, 2, 3});
  H("15 - Direct Recording\n");
  L("                Length:100000 bytes\n");
  L("    Original Frequency:    79 T-States/Sample (44304 Hz)\n");
  L("        Last byte used:     5 samples\n");
  L("     Pause after block:     0 milliseconds\n\n", 1);
  t.direct(79, 0, 5, Bytes(100000, 0x55));
  H("15 - Direct Recording\n");
  L("                Length:     1 bytes\n");
  L("    Original Frequency:     0 T-States/Sample (2147483647 Hz)\n");
  L("        Last byte used:     8 samples\n");
  L("     Pause after block:    20 milliseconds\n\n", 1);
  t.direct(0, 20, 8, {0xF0});

  // 0x16: a ROM header (pilot, XOR type 1, no trailing tone, LSb), then a
  // block with no pilot, no XOR, a trailing tone, MSb.
  Bytes r202{0x89, 0x88, 0x87, 0x86, 0x85, 0x84, 0x83, 0x82, 0x81};
  r202.resize(201, 0x20), r202.push_back(0x80);
  H("16 - C64 ROM Type Data - ROM Header: " + std::string(16, ' ') + "\n");
  L("                Length:   202 bytes\n");
  L("                  Flag:   137 ($89)\n");
  L("           Pilot pulse:   616 T-States, length:   100 pulses\n");
  L("           Sync pulses:  1176 &   896 T-States\n");
  L("          Bit-0 pulses:   616 &   896 T-States\n");
  L("          Bit-1 pulses:   896 &   616 T-States\n");
  L("        Last byte used:     8 bits\n");
  L("         Byte XOR Type: 1 XOR all bits\n");
  L("    Finish Byte pulses:  1176 &   896 T-States\n");
  L("    Finish Data pulses:  1176 &   616 T-States\n");
  L("   Trailing Tone pulse:  None\n");
  L("             Endianess:   LSb\n");
  L("     Pause after block:  1000 milliseconds\n\n", 1);
  L("     First: 89 , Last: 80, Len: 202\n\n", 1);
  t.c64rom(tzx::C64Rom{}, r202);
  tzx::C64Rom rep;
  rep.pilot_len = 0, rep.xortype = 255, rep.trailing_len = 5, rep.endian = 2, rep.lastbyte = 3, rep.pause = 0;
  // XOR type 255 is not the ROM loader's timing set: the name is "Unknown".
  H("16 - C64 ROM Type Data - Unknown\n");
  L("                Length:     3 bytes\n");
  L("                  Flag:     1 ($01)\n");
  L("           Pilot pulse:  None\n");
  L("           Sync pulses:  1176 &   896 T-States\n");
  L("          Bit-0 pulses:   616 &   896 T-States\n");
  L("          Bit-1 pulses:   896 &   616 T-States\n");
  L("        Last byte used:     3 bits\n");
  L("         Byte XOR Type:  None\n");
  L("    Finish Byte pulses:  1176 &   896 T-States\n");
  L("    Finish Data pulses:  1176 &   616 T-States\n");
  L("   Trailing Tone pulse:   616 T-States, length:     5 pulses\n");
  L("             Endianess:   MSb\n");
  L("     Pause after block:     0 milliseconds\n\n", 1);
  L("     First: 01 , Last: FE, Len: 3\n\n", 1);
  t.c64rom(rep, {0x01, 0x02, 0xFE});

  // 0x17: additional bits 0x0D, 0x02 and 0x0C; lead-in and trailing bytes.
  Bytes th{9, 8, 7, 6, 5, 4, 3, 2, 1, 1, 0, 0, 0, 0, 0};
  tzx::puttext(th, "HELLO TURBO     "), th.push_back(0);
  tzx::C64Turbo ta, tb, tc;
  ta.add_bit = 0x0D, ta.endian = 0;
  tb.add_bit = 0x02, tb.lead_in = 256, tb.trailing = 3, tb.trailing_byte = 0x55, tb.pause = 0;
  tc.add_bit = 0x0C, tc.bit0 = 500, tc.lead_in = 1, tc.lead_in_byte = 0, tc.trailing_byte = 7, tc.lastbyte = 2;
  auto bits = [&](unsigned b0, unsigned b1) {
    L(fmt("           Bit-0 pulse: %5d T-States\n", b0));
    L(fmt("           Bit-1 pulse: %5d T-States\n", b1));
  };
  H("17 - C64 Turbo Tape Type Data - TurboTape Header: HELLO TURBO     \n");
  L("                Length:    32 bytes\n");
  L("                  Flag:     9 ($09)\n");
  L("         Lead In Bytes:  None\n");
  bits(426, 596);
  L("       Additional Bits:     1 After Byte, Value 1\n");
  L("        Last byte used:     8 bits\n");
  L("             Endianess:   LSb\n");
  L("        Trailing Bytes:  None\n");
  L("     Pause after block:  1000 milliseconds\n\n", 1);
  t.c64turbo(ta, th);
  H("17 - C64 Turbo Tape Type Data - TurboTape Unknown\n");
  L("                Length:     2 bytes\n");
  L("                  Flag:     5 ($05)\n");
  L("         Lead In Bytes:   256, Value:   2 ($02)\n");
  bits(426, 596);
  L("       Additional Bits:     2 Before Byte, Value 0\n");
  L("        Last byte used:     8 bits\n");
  L("             Endianess:   MSb\n");
  L("        Trailing Bytes:     3, Value:  85 ($55)\n");
  L("     Pause after block:     0 milliseconds\n\n", 1);
  t.c64turbo(tb, {5, 6});
  H("17 - C64 Turbo Tape Type Data - Unknown\n");
  L("                Length:     1 bytes\n");
  L("                  Flag:    65 ($41)\n");
  L("         Lead In Bytes:     1, Value:   0 ($00)\n");
  bits(500, 596);
  L("       Additional Bits:  None\n");
  L("        Last byte used:     2 bits\n");
  L("             Endianess:   MSb\n");
  L("        Trailing Bytes:  None\n");
  L("     Pause after block:  1000 milliseconds\n\n", 1);
  t.c64turbo(tc, {0x41});

  H("20 - Pause (Silence)\n");
  L("              Duration:  1000 milliseconds\n\n", 1);
  t.pause(1000);
  H("21 - Group: Tools & %d\n\n", 1);
  t.group("Tools & %d");
  H("22 - Group End\n\n", 1);
  t.group_end();
  H("30 - Description: Loader 100%\n\n", 1);
  t.text("Loader 100%");
  H("31 - Message: Two words\r\n" + std::string(34, ' ') + "two more\n", 1);
  L("               Duration: 10 seconds\n\n", 1);
  t.message(10, "Two words\rtwo more");

  H("32 - Archive Info:\n");
  const char *labels[] = {"         Title:", "     Publisher:", "     Author(s):", "  Release Date:",
                          "      Language:", "     Game Type:", "         Price:", "        Loader:",
                          "        Origin:", "      Comments:"};
  std::vector<std::pair<unsigned, std::string>> strings;
  for (unsigned id = 0; id <= 9; id++) {
    strings.push_back({id, fmt("text %u", id)});
    L(fmt("%s text %u\n", labels[id], id));
  }
  strings.push_back({255, "Line one\rLine two"});
  L("      Comments: Line one\r\n" + std::string(16, ' ') + "Line two\n", 1);
  L("\n");
  t.archive(strings);

  // Classes in the order 0..3 whatever the block order; a repeated type is
  // aligned under the previous name; value 5 is never listed.
  H("33 - Hardware Info:\n");
  L("  Runs on the following hardware:\n");
  L("      Computer: ZX Spectrum 48k, plus\n");
  L("                ZX Spectrum 128k (Sinclair)\n");
  L("      External Storage: Unknown hardware ID 20\n");
  L("                        FIZ\n");
  L("  Uses the following hardware:\n");
  L("      Sound Device: Classic AY hardware (compatible with 128k ZXs)\n");
  L("  Runs, but it doesn't use the following hardware:\n");
  L("      Mouse: Kempston mouse\n");
  L("  Doesn't run on the following hardware:\n");
  L("      Computer: ZX Spectrum 16k\n");
  L("\n");
  t.hardware({{0, 0, 3}, {0, 1, 0}, {0, 3, 0}, {3, 0, 1}, {1, 20, 0}, {1, 8, 0}, {4, 0, 5}, {5, 1, 2}});
  H("34 - Emulation Info\n\n", 1);
  t.emulation();

  // Trainer table: a trainer without POKEs prints nothing; a long name is cut.
  const std::string long_name = "A trainer name that is much too long for its column";
  H("35 - Custom Info: POKEs           \n");
  L("  Description: Infinite\r\n" + std::string(15, ' ') + "cheats\n\n", 2);
  table_head();
  L("          Lives                                    35136   0  53    -\n");
  L("                                                 + 40000   - 200    3\n");
  L("          " + long_name.substr(0, 38) + "   23296 255   -    2\n");
  L("\n");
  t.pokes("Infinite\rcheats", {{"Lives", {{8, 35136, 0, 53}, {0x13, 40000, 7, 200}}},
                               {"Nothing", {}},
                               {long_name, {{0x22, 23296, 255, 0}}}});
  H("35 - Custom Info: POKES           \n");
  L("\n");
  t.custom("POKES", tzx::Tzx::poke_contents("", {{"Lives", {{8, 35136, 0, 53}}}}));
  H("35 - Custom Info: POKEs           \n");
  table_head();
  L("\n");
  t.pokes("", {});

  const char *snaps[] = {"Type: Z80", "Type: SNA", "Unknown Type"};
  for (unsigned type = 0; type < 3; type++) {
    H("40 - Snapshot\n\n", 1);
    L(fmt("                      %s\n\n", snaps[type]), 1);
    t.snapshot(type, {1, 2, 3});
  }
  H("5A - Merget Tapes\n\n", 1);
  t.merged();
  // A data block without data bytes.
  listing::append(ex, listing::standard_info(++n, t.offset(), "Headerless", 500, {}));
  t.standard(500, {});

  EXPECT_EQ(listing::listing_of(t, {"-info"}), "\n" + listing::plain(ex));
  EXPECT_EQ(listing::listing_of(t, {"-info", "-p"}, std::string(40, '\n')), "\n" + listing::paged(ex));
}
