// Names of data blocks by machine, the derived values the listings show, the
// text helpers, and the machine a hardware block declares. (The texts of
// every block in both listings are checked end to end: tests/driver.)
#include <gtest/gtest.h>

#include <climits>

#include "listing/listing.hpp"
#include "listing/naming.hpp"
#include "listing/text.hpp"
#include "support/tzx.hpp"

namespace {

using namespace listing;
using tzx::Bytes;

TEST(Naming, SpectrumSamAndCpcHeaders) {
  const Bytes bytes = tzx::spectrum_header(3, "SCREEN$", 6912, 16384, 32768);
  Bytes sam(81, 'x'), sam84(84, 'x'), cpc{',', 'N', 'A', 'M', 'E', 0, 'X'};
  sam[0] = sam84[0] = 1, sam[1] = sam84[1] = 0x10;
  for (int i = 2; i < 12; i++) sam[static_cast<size_t>(i)] = static_cast<uint8_t>("Sam   \x7F\xA0 !"[i - 2]);
  struct Row {
    Bytes data;
    Machine m;
    std::string extensive, one_line;
  };
  const Machine zx, is_sam{false, true}, is_cpc{true, false};
  const Row rows[] = {
      {bytes, zx, "Bytes : SCREEN$   ", "      Bytes : SCREEN$   "},
      {tzx::spectrum_header(0, "prog", 1, 0, 0), zx, "Program : prog      ", "    Program : prog      "},
      {tzx::spectrum_header(4, "x", 1, 0, 0), zx, "Headerless", "    --------------------"},  // no type 4
      {Bytes(bytes.begin(), bytes.end() - 1) /* 18 bytes */, zx, "Headerless", "    --------------------"},
      {bytes, is_sam, "Headerless", "    --------------------"},
      {sam, is_sam, "Program : Sam      !", "    Program : Sam      !"},  // 0x7F and 0xA0 become blanks
      {sam84, is_sam, "Headerless", "    --------------------"},
      {Bytes(sam.begin(), sam.end() - 1), is_sam, "Headerless", "    --------------------"},
      {bytes, is_cpc, "Headerless", "    ------------------  "},
      {cpc, is_cpc, "NAME X" + std::string(14, ' '), "    NAME X" + std::string(14, ' ')},
  };
  for (const Row &r : rows) {
    EXPECT_EQ(Identify(r.data, Form::extensive, r.m), r.extensive);
    EXPECT_EQ(Identify(r.data, Form::one_line, r.m), r.one_line);
  }
}

TEST(Naming, C64HeadersByTimingAndCountdown) {
  format::C64RomData rom;
  rom.pilot = 616, rom.sync1 = 1176, rom.sync2 = 896, rom.bit0_first = 616, rom.bit0_second = 896;
  rom.bit1_first = 896, rom.bit1_second = 616, rom.xor_type = 1;
  Bytes header{0x89, 0x88, 0x87, 0x86, 0x85, 0x84, 0x83, 0x82, 0x81};
  header.resize(202, ' ');
  for (size_t i = 0; i < 16; i++) header[14 + i] = static_cast<uint8_t>("GAME~\x7F NAME    1"[i]);
  rom.data = header;
  EXPECT_EQ(IdentifyC64ROM(rom, Form::extensive).name, "ROM Header: GAME   NAME    1");
  EXPECT_EQ(IdentifyC64ROM(rom, Form::one_line).name, "Header: GAME   NAME    1");
  rom.data = format::Bytes(header.data(), 201);
  EXPECT_EQ(IdentifyC64ROM(rom, Form::extensive).name, "ROM: Data Block");
  rom.data = format::Bytes(header.data() + 1, 100);
  EXPECT_EQ(IdentifyC64ROM(rom, Form::extensive).name, "ROM: Last Block Repeated");
  EXPECT_EQ(IdentifyC64ROM(rom, Form::one_line).kind, "C64 ROM Data ");
  rom.sync2 = 897;
  EXPECT_EQ(IdentifyC64ROM(rom, Form::extensive).name, "Unknown");
  EXPECT_EQ(IdentifyC64ROM(rom, Form::one_line).kind, "C64 Data     ");

  format::C64TurboData turbo;
  turbo.bit0 = 426, turbo.bit1 = 596, turbo.lead_in_byte = 2;
  Bytes th{9, 8, 7, 6, 5, 4, 3, 2, 1, 1};
  th.resize(32, 'T');
  turbo.data = th;
  EXPECT_EQ(IdentifyC64Turbo(turbo, Form::extensive).name, "TurboTape Header: TTTTTTTTTTTTTTTT");
  th[9] = 0;  // the tenth byte 0: data
  turbo.data = th;
  EXPECT_EQ(IdentifyC64Turbo(turbo, Form::extensive).name, "TurboTape Data Block");
  turbo.lead_in_byte = 3;
  EXPECT_EQ(IdentifyC64Turbo(turbo, Form::extensive).name, "Unknown");
}

TEST(Derived, SpeedAndOriginalFrequency) {
  for (auto [bit1, speed] : {std::pair{1710u, 100}, {855u, 200}, {1000u, 171}, {1500u, 113}, {3000u, 56},
                             {65535u, 2}, {0u, INT_MAX}})
    EXPECT_EQ(Speed(bit1), speed) << bit1;
  EXPECT_EQ(OriginalFrequency(79), 44304);
  EXPECT_EQ(OriginalFrequency(158), 22152);
  EXPECT_EQ(OriginalFrequency(0), INT_MAX);
}

TEST(Text, HelpersOfTheListings) {
  int breaks = -1;
  EXPECT_EQ(MultiLine("X\rY\r", 2, breaks), "X\r\n  Y\r\n  ");
  EXPECT_EQ(breaks, 2);
  EXPECT_EQ(MakeFixedString(std::string("AB\0CD", 5), 4), "AB  ");  // a NUL ends a text
  EXPECT_EQ(CopyString(Bytes{'A', 0, 'B'}), "A");
  EXPECT_EQ(GetCheckSum(Bytes{0x00, 0x12, 0x34, 0x00}), "Wrong, should be  38 ($26)");
  EXPECT_EQ(GetCheckSum(Bytes{0x05}), "Wrong, should be   0 ($00)");
}

TEST(Machines, OnlyTheFirstEntryDeclaresAMachineTheTapeUses) {
  struct Row {
    format::HardwareEntry first;
    bool cpc, sam;
  };
  for (Row r : {Row{{0, 21, 1}, true, false}, {{0, 25, 1}, true, false}, {{0, 20, 1}, false, false},
                {{0, 26, 1}, false, false}, {{0, 23, 0}, false, false}, {{0, 9, 1}, false, true},
                {{1, 9, 1}, false, false}}) {
    format::HardwareInfo h{{r.first, {0, 23, 1}}};
    Machine m = DetectMachine(h, {});
    EXPECT_EQ(m.cpc, r.cpc) << int(r.first.id);
    EXPECT_EQ(m.sam, r.sam) << int(r.first.id);
  }
  EXPECT_TRUE(DetectMachine(format::HardwareInfo{}, {true, false}).cpc);  // nothing clears it
}

}  // namespace
