// The Commodore ROM loader's files, found in pulses made here from the
// framing the ROM writes, and in a real C64 TAP file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "format/commodore_files.hpp"
#include "format/readers.hpp"

namespace {

using namespace format;
using State = CommodoreCopies::State;
using Bytes = std::vector<uint8_t>;

// Pulse values of a C64 TAP (units of 8 cycles) as the ROM writes them.
struct Rom {
  uint8_t s = 0x30, m = 0x42, l = 0x56;
  Bytes out;

  void leader(size_t n) { out.insert(out.end(), n, s); }
  void byte(uint8_t b, bool wrong_parity = false) {
    out.insert(out.end(), {l, m});
    bool odd = true;  // the parity bit makes the ones odd
    for (int i = 0; i < 8; i++, b >>= 1) bit(b & 1), odd ^= b & 1;
    bit(odd ^ wrong_parity);
  }
  void bit(bool one) { out.insert(out.end(), one ? std::initializer_list<uint8_t>{m, s} : std::initializer_list<uint8_t>{s, m}); }
  // A copy: leader, countdown, data, checksum, end-of-data marker.
  void copy(const Bytes &data, bool repeat, size_t lead = 80, int bad_byte = -1) {
    leader(lead);
    for (uint8_t c = 9; c >= 1; c--) byte(uint8_t(c | (repeat ? 0 : 0x80)));
    uint8_t x = 0;
    for (size_t i = 0; i < data.size(); i++) byte(data[i] ^ (int(i) == bad_byte ? 0x10 : 0)), x ^= data[i];
    byte(x);
    out.insert(out.end(), {l, s});
  }
  // Both copies and the trailer after them.
  void block(const Bytes &data, int bad_first = -1, int bad_repeat = -1) {
    copy(data, false, 2000, bad_first);
    copy(data, true, 80, bad_repeat);
    leader(79);
    out.push_back(0), out.insert(out.end(), {0x40, 0x42, 0x0F});  // a third of a second of silence
  }
};

Bytes header(uint8_t type, uint16_t start, uint16_t end, const std::string &name) {
  Bytes h{type, uint8_t(start), uint8_t(start >> 8), uint8_t(end), uint8_t(end >> 8)};
  for (size_t i = 0; i < 16; i++) h.push_back(i < name.size() ? uint8_t(name[i]) : 0x20);
  h.resize(192, 0x20);
  return h;
}

CommodoreContents find(const Bytes &values, uint8_t version = 1) {
  return FindCommodoreFiles(CommodorePulses{Clock{985248, 1}, version, values, nullptr});
}

const Bytes kProgram{0x0B, 0x08, 0x0A, 0x00, 0x99, 0x22, 0x48, 0x49, 0x22, 0x00, 0x00, 0x00};

TEST(CommodoreFiles, AProgramAsTheRomWritesItIsOneFileOfFourCopies) {
  Rom r;
  r.block(header(1, 0x0801, 0x0801 + kProgram.size(), "HELLO"));
  r.block(kProgram);
  const CommodoreContents c = find(r.out);
  ASSERT_EQ(c.blocks.size(), 4u);
  for (size_t i = 0; i < 4; i++) {
    EXPECT_TRUE(c.blocks[i].good() && c.blocks[i].ended) << i;
    EXPECT_EQ(c.blocks[i].repeat, i % 2 == 1) << i;
    EXPECT_EQ(c.blocks[i].data.size(), i < 2 ? 192u : kProgram.size()) << i;
  }
  // The places: each copy from its leader's first pulse; the repeat's leader
  // right after the first copy's end marker; the countdown after 2000 pulses.
  EXPECT_EQ(c.blocks[0].begin, 0u);
  EXPECT_EQ(c.blocks[0].bytes_at, 2000u);
  EXPECT_EQ(c.blocks[0].end, 2000u + 20 * (9 + 192 + 1) + 2);
  EXPECT_EQ(c.blocks[1].begin, c.blocks[0].end);
  EXPECT_EQ(c.blocks[2].begin, c.blocks[1].end + 79 + 4);  // the trailer and the silence between
  EXPECT_EQ(c.blocks[0].short_pulse, 0x30u * 8);
  EXPECT_EQ(c.blocks[0].long_pulse, 0x56u * 8);
  ASSERT_EQ(c.files.size(), 1u);
  const CommodoreFile &f = c.files[0];
  EXPECT_EQ(f.type, CommodoreType::relocatable);
  EXPECT_EQ(f.start, 0x0801);
  EXPECT_EQ(f.end, 0x0801 + kProgram.size());
  EXPECT_EQ(PetsciiName(f.name), "HELLO");
  EXPECT_EQ(f.bytes(), kProgram);
  EXPECT_TRUE(f.good());
  EXPECT_EQ(f.header.first, 0);
  EXPECT_EQ(f.header.repeat, 1);
  ASSERT_EQ(f.data.size(), 1u);
  EXPECT_EQ(f.data[0].first, 2);
  EXPECT_EQ(f.data[0].repeat, 3);
  EXPECT_EQ(f.begin, 0u);
  EXPECT_EQ(f.finish, r.out.size() - 4);  // the trailer is the file's, the silence after it is not
}

TEST(CommodoreFiles, EachCopysChecksumAndTheBytesOfAGoodOne) {
  struct Row {
    const char *what;
    int bad_first, bad_repeat;  // a byte of the data copy changed, -1 none
    State first, repeat;
    bool good;
  };
  const Row rows[] = {
      {"both good", -1, -1, State::good, State::good, true},
      {"first bad", 3, -1, State::bad, State::good, true},
      {"repeat bad", -1, 0, State::good, State::bad, true},
      {"both bad", 5, 7, State::bad, State::bad, false},
  };
  for (const Row &row : rows) {
    SCOPED_TRACE(row.what);
    Rom r;
    r.block(header(3, 0xC000, 0xC000 + kProgram.size(), "CODE"));
    r.block(kProgram, row.bad_first, row.bad_repeat);
    const CommodoreContents c = find(r.out);
    ASSERT_EQ(c.files.size(), 1u);
    const CommodoreFile &f = c.files[0];
    EXPECT_EQ(f.type, CommodoreType::program);
    ASSERT_EQ(f.data.size(), 1u);
    EXPECT_EQ(f.data[0].first_state, row.first);
    EXPECT_EQ(f.data[0].repeat_state, row.repeat);
    EXPECT_EQ(f.good(), row.good);
    Bytes want = kProgram;
    if (!row.good) want[5] ^= 0x10;  // no good copy: the first one's bytes
    EXPECT_EQ(f.bytes(), want);
  }
}

TEST(CommodoreFiles, AParityErrorMakesACopyBadThoughItsChecksumHolds) {
  Rom r;
  r.leader(100);
  for (uint8_t c = 0x89; c >= 0x81; c--) r.byte(c);
  r.byte(0x41, true), r.byte(0x41);
  r.out.insert(r.out.end(), {r.l, r.s});
  const CommodoreContents c = find(r.out);
  ASSERT_EQ(c.blocks.size(), 1u);
  EXPECT_TRUE(c.blocks[0].checksum_ok);
  EXPECT_EQ(c.blocks[0].parity_errors, 1u);
  EXPECT_FALSE(c.blocks[0].good());
  ASSERT_EQ(c.files.size(), 1u);  // a block with no header before it: data alone
  EXPECT_EQ(c.files[0].type, CommodoreType::none);
  EXPECT_EQ(c.files[0].data[0].first_state, State::bad);
  EXPECT_EQ(c.files[0].data[0].repeat_state, State::missing);
}

TEST(CommodoreFiles, OtherTimingsAreLearntFromTheLeader) {
  // The same file slower and faster (another machine, a tape off speed), and
  // as half waves (version 2, the C16's).
  Rom base;
  base.block(header(1, 0x1001, 0x1001 + kProgram.size(), "PLUS4"));
  base.block(kProgram);
  for (const auto &[scale, version] : {std::pair{0.8, 1}, {1.25, 1}, {1.0, 2}, {1.1, 2}}) {
    SCOPED_TRACE(scale);
    Bytes v;
    for (size_t i = 0; i < base.out.size(); i++) {
      if (base.out[i] == 0) {  // a long pulse as it stands
        v.insert(v.end(), base.out.begin() + long(i), base.out.begin() + long(i) + 4), i += 3;
        continue;
      }
      const auto value = uint8_t(base.out[i] * scale / version + 0.5);
      v.insert(v.end(), size_t(version), value);
    }
    const CommodoreContents c = find(v, uint8_t(version));
    ASSERT_EQ(c.files.size(), 1u);
    EXPECT_EQ(PetsciiName(c.files[0].name), "PLUS4");
    EXPECT_EQ(c.files[0].bytes(), kProgram);
    EXPECT_TRUE(c.files[0].good());
  }
}

TEST(CommodoreFiles, ADataFileHoldsItsBlocksAndPulsesOfNoCopyMakeNone) {
  Rom r;
  r.block(header(4, 0x033C, 0x03FC, "LIST"));
  Bytes one(192, 'x'), two(192, 0);
  one[0] = two[0] = 2;
  two[1] = 'y';
  r.block(one), r.block(two);
  r.block(header(5, 0, 0, ""));
  const CommodoreContents c = find(r.out);
  ASSERT_EQ(c.files.size(), 2u);
  EXPECT_EQ(c.files[0].type, CommodoreType::data_header);
  ASSERT_EQ(c.files[0].data.size(), 2u);
  EXPECT_EQ(c.files[0].bytes().size(), 2u * 191);
  EXPECT_EQ(c.files[0].bytes()[191], 'y');
  EXPECT_EQ(c.files[1].type, CommodoreType::end_of_tape);
  EXPECT_TRUE(c.files[1].data.empty());

  // A leader and bytes of another framing (no countdown), a leader alone,
  // pulses cut inside a byte: no copy.
  Rom other;
  other.leader(500);
  for (uint8_t b : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) other.byte(b);
  other.leader(500);
  other.leader(100);
  for (uint8_t b = 0x89; b > 0x84; b--) other.byte(b);
  other.out.resize(other.out.size() - 7);
  EXPECT_TRUE(find(other.out).blocks.empty());
}

TEST(CommodoreFiles, ATzxBlockOfTheRomHoldsItsCountdownDataAndChecksum) {
  const Bytes rom{0x09, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, 0x10, 0x20, 0x30};
  const std::optional<CommodoreBlock> b = CommodoreBlockOf(rom);
  ASSERT_TRUE(b);
  EXPECT_TRUE(b->repeat);
  EXPECT_EQ(b->data, (Bytes{0x10, 0x20}));
  EXPECT_TRUE(b->checksum_ok);
  EXPECT_FALSE(CommodoreBlockOf(Bytes{0x89, 0x88, 0x87, 0x10}));
  EXPECT_FALSE(CommodoreBlockOf(Bytes{0x89, 0x88, 0x87, 0x86, 0x85, 0x84, 0x83, 0x82, 0x81}));  // no checksum
  EXPECT_TRUE(CommodoreBlockOf(Bytes{0x89, 0x88, 0x87, 0x86, 0x85, 0x84, 0x83, 0x82, 0x81, 0}));  // no data
  EXPECT_EQ(PetsciiName({'A', 0xA0, 'B', 0xC1, 0x20, 0x20}), "A B?");
}

TEST(CommodoreFiles, ARealC64TapeHoldsOneFileOfMachineCode) {
  const std::string path = std::string(REELWRIGHT_SOURCE_DIR) + "/../shared/samples/c64-v1.tap";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is not there";
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const Bytes values(image.begin() + 20, image.end());
  const CommodoreContents c = find(values);
  ASSERT_EQ(c.blocks.size(), 4u);
  for (const CommodoreBlock &b : c.blocks) EXPECT_TRUE(b.good());
  ASSERT_EQ(c.files.size(), 1u);
  const CommodoreFile &f = c.files[0];
  EXPECT_TRUE(f.good());
  // Machine code at 0x1100 that prints a text it holds.
  EXPECT_EQ(f.type, CommodoreType::program);
  EXPECT_EQ(f.start, 0x1100);
  EXPECT_EQ(PetsciiName(f.name), "RL");
  const Bytes p = f.bytes();
  EXPECT_EQ(p.size(), size_t(f.end - f.start));
  EXPECT_NE(std::string(p.begin(), p.end()).find("RETROLOAD.COM"), std::string::npos);
  // The first copy's leader begins with the data; the file ends with it.
  EXPECT_LT(c.blocks[0].begin, 8u);
  EXPECT_EQ(f.finish, values.size());
}

}  // namespace
