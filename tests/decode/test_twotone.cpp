// Acorn's and the MSX's tapes: real BBC Micro recordings; the program's and
// castool's sound of the sample tapes through recording chains, every file
// back byte for byte and none marked good with other bytes; the UEF, CAS and
// TSX writers read back; framing; sound that makes no good block.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <variant>

#include "decode/acorn.hpp"
#include "decode/edges.hpp"
#include "decode/msx.hpp"
#include "decode/recording.hpp"
#include "decode/sound.hpp"
#include "decode/twotone.hpp"
#include "format/failure.hpp"
#include "format/msx.hpp"
#include "format/readers.hpp"
#include "format/signals.hpp"
#include "format/uef.hpp"
#include "support/cassette.hpp"
#include "support/harness.hpp"
#include "support/twotone.hpp"

namespace {

using Bytes = std::vector<uint8_t>;
const std::string kSamples = std::string(REELWRIGHT_SOURCE_DIR) + "/../shared/samples/";
#define NEED(path) \
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is not there (the samples beside the project)"

Bytes load(const std::string &path) {
  const std::string s = harness::read_file(path);
  return Bytes(s.begin(), s.end());
}

std::vector<float> samples(const std::string &path, int &rate) {
  decode::SoundReader in(path, format::Kind::wav);
  rate = in.rate();
  std::vector<float> s(in.frames()), other(in.frames());
  s.resize(in.read(s.data(), other.data(), s.size()));
  return s;
}

using twotone::Block;
using twotone::Blocks;

// Real BBC Micro tapes sampled into CSW files: every block of the cassette
// filing system good (and good exactly where both its CRCs hold), none bad;
// the protected tape's own loader's bytes kept after its blocks.
TEST(TwoTone, RealBbcRecordings) {
  NEED(kSamples + "recordings/bbc-swarm.csw");
  const struct {
    const char *file;
    int good, at_300;
    bool protection;
    double base;  // Hz: the base frequency the deck played it at, measured on its carriers
  } kReal[] = {{"bbc-jetsetwilly.csw", 96, 0, false, 1223.5}, {"bbc-swarm.csw", 38, 1, false, 1275.3},
               {"bbc-starquake.csw", 53, 0, true, 1290.2}};
  for (const auto &r : kReal) {
    SCOPED_TRACE(r.file);
    const Bytes csw = load(kSamples + "recordings/" + r.file);
    const decode::DecodedTape t = decode::DecodeCsw(csw, format::ReadCswHeader(csw), {});
    ASSERT_EQ(t.kind, format::Kind::uef);
    const format::Tape tape = decode::ReadDecoded(t);
    int good = 0, at_300 = 0, bad = 0, other = 0;
    for (int i = 0; i < tape.size(); i++) {
      const format::IndexedBlock ib = tape.at(i);
      const auto *f = std::get_if<format::FramedData>(&ib.block);
      const decode::Check check = t.where[size_t(i)].check;
      bad += check == decode::Check::bad;
      if (!f || f->data.empty()) continue;
      other += f->parity != 0;
      const auto b = format::ReadAcornBlock(f->data);
      EXPECT_EQ(check == decode::Check::good, b && b->good()) << i;
      if (check != decode::Check::good) continue;
      good++, at_300 += f->pulses[0] == 8;
      EXPECT_NEAR(double(f->clock.hz) / f->clock.per / 4, r.base, 2);  // its units: half cycles of the high tone, four a cycle of the base frequency
    }
    EXPECT_GE(good, r.good);
    EXPECT_LE(good, r.good + (r.protection ? 5 : 0));
    EXPECT_EQ(at_300, r.at_300);
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(other > 100, r.protection) << other;  // the loader's bytes, framed 8O1, kept as such
  }
}

// Recording chains at fixed settings: a deck, a computer's output straight
// into a sound card, and both.
const cassette::Damage kChains[] = {{}, cassette::kModerate, cassette::Direct(1000, 1.25, 0.6, 3), cassette::Direct(2000, 1.4, 0, 3, cassette::kModerate)};

TEST(TwoTone, OwnSoundThroughRecordingChains) {
  NEED(kSamples + "electron.uef");
  const bool castool = std::filesystem::exists("/usr/bin/castool");
  const struct {
    const char *sample, *tool;  // castool's name of the format, for its sound
    std::vector<std::string> args;
    size_t chains;  // of kChains, the first so many
  } kTapes[] = {{"electron.uef", nullptr, {}, 4},        {"bbc-frak.uef", nullptr, {}, 2},
                {"msx-basic.cas", nullptr, {}, 4},       {"msx-binary.cas", nullptr, {"-2400"}, 4},
                {"electron.uef", "bbc", {}, 4},          {"msx-ascii.cas", "fmsx", {}, 4}};
  harness::TempDir dir;
  for (const auto &t : kTapes) {
    SCOPED_TRACE(std::string(t.sample) + (t.tool ? " by castool" : ""));
    if (t.tool && !castool) continue;
    const std::string wav = dir.file("s.wav");
    std::vector<std::string> args = t.args;
    args.insert(args.end(), {"-exact", kSamples + t.sample, wav});
    ASSERT_EQ(t.tool ? harness::run({"convert", t.tool, kSamples + t.sample, wav}, {.program = "/usr/bin/castool"}).status
                     : harness::run_here(args).status,
              0);
    int rate = 0;
    std::vector<float> clean = samples(wav, rate);
    if (rate < 44100) {  // castool's few samples a second, as a sound card plays them: each held
      std::vector<float> held(clean.size() * 44100 / size_t(rate));
      for (size_t i = 0; i < held.size(); i++) held[i] = clean[i * size_t(rate) / 44100];
      clean.swap(held), rate = 44100;
    }
    const format::Kind kind = format::NamedAs(t.sample, ".cas") ? format::Kind::msx : format::Kind::uef;
    const std::vector<Block> want = Blocks(format::Tape::Read(kind, load(kSamples + t.sample), {}));
    for (size_t c = 0; c < t.chains; c++) {
      SCOPED_TRACE(c);
      cassette::write_wav(dir.file("d.wav"), {cassette::play(clean, rate, kChains[c])}, rate, 16, false, false);
      const decode::DecodedTape d = decode::DecodeSound(dir.file("d.wav"), format::Kind::wav, -1, {});
      ASSERT_EQ(d.kind, kind);
      EXPECT_EQ(d.options.msx_2400, !t.args.empty());
      const std::vector<Block> got = Blocks(decode::ReadDecoded(d), d.where);
      size_t k = 0;
      for (const Block &b : got) {
        const bool known = std::any_of(want.begin(), want.end(), [&](const Block &w) { return w.bytes == b.bytes; });
        EXPECT_TRUE(known || !b.good) << "a block marked good is none of the tape's";
        if (k < want.size() && b.bytes == want[k].bytes) k++;
      }
      EXPECT_EQ(k, want.size()) << "blocks of the tape in order";
      EXPECT_EQ(got.size(), want.size()) << "and no others (clicks, hiss)";
    }
  }
}

// Each writer reads back: a UEF file written again plain (a compressed one
// inflated), a CAS file, and CAS to TSX (blocks 0x4B of the MSX's timing as
// the TSX layout gives them) and back.
TEST(TwoTone, WritersReadBack) {
  NEED(kSamples + "electron.uef");
  for (const char *name : {"electron.uef", "bbc-frak.uef", "bbc-300baud.uef"}) {
    SCOPED_TRACE(name);
    Bytes file = load(kSamples + name);
    const format::Tape t = format::ReadUef(file);
    if (file[0] == 0x1F) {
      Bytes plain(64 << 20);
      z_stream z{};
      inflateInit2(&z, 15 + 32);
      z.next_in = file.data(), z.avail_in = uInt(file.size()), z.next_out = plain.data(), z.avail_out = uInt(plain.size());
      ASSERT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
      plain.resize(z.total_out), inflateEnd(&z), file.swap(plain);
    }
    EXPECT_EQ(format::WriteUef(t, 0, t.size()), file);
    // A range from the middle takes the base frequency in force there.
    if (t.size() < 22) continue;
    const format::Tape part = format::ReadUef(format::WriteUef(t, 20, 22));
    ASSERT_EQ(part.size(), std::string(name) == "bbc-300baud.uef" ? 3 : 2);
    const format::IndexedBlock last = part.at(part.size() - 1), same = t.at(21);
    const auto *a = std::get_if<format::FramedData>(&last.block);
    const auto *b = std::get_if<format::FramedData>(&same.block);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->clock.hz, b->clock.hz);
  }
  for (const char *name : {"msx-ascii.cas", "msx-basic.cas", "msx-binary.cas"}) {
    SCOPED_TRACE(name);
    const Bytes file = load(kSamples + name);
    const format::Tape cas = format::ReadMsx(file, {});
    const auto none = [](int, const char *) { ADD_FAILURE() << "a block left out"; };
    EXPECT_EQ(format::WriteCas(cas, 0, cas.size(), none), file);
    const Bytes tsx = format::WriteTsx(cas, 0, cas.size(), "from a CAS file");
    EXPECT_EQ(Bytes(tsx.begin(), tsx.begin() + 10), (Bytes{'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 21}));
    const format::Tape back = format::Tape::FromTzx(tsx);
    ASSERT_EQ(back.size(), 4);  // the text, the silence before the header, the header, the data
    EXPECT_EQ(std::get<format::Pause>(back.at(1).block).ms, 2000);
    const format::Reader header(back.raw(2));
    // Pause, pilot, its count, the pulses of a 0 and of a 1, bit and byte layout.
    EXPECT_EQ((std::vector<unsigned>{header.u8(0), header.u16(5), header.u16(7), header.u16(9), header.u16(11), header.u16(13),
                                     header.u8(15), header.u8(16)}),
              (std::vector<unsigned>{0x4B, 1000, 729, 32000, 1458, 729, 0x24, 0x54}));
    EXPECT_EQ(format::WriteCas(back, 0, back.size(), [](int n, const char *) { EXPECT_LE(n, 2); }), file);  // the text and pause left out
    // A block of one stop bit is not the MSX's framing: a CAS file holds it not.
    Bytes one_stop = tsx;
    one_stop[size_t(back.at(2).offset) + 16] = 0x4C;
    const format::Tape other = format::Tape::FromTzx(one_stop);
    int left = 0;
    format::WriteCas(other, 0, other.size(), [&left](int, const char *) { left++; });
    EXPECT_EQ(left, 3);
  }
  // Only a tape of the machine: a Spectrum tape is no Acorn's nor an MSX's.
  const format::Tape spectrum = format::Tape::FromTzx(load(std::string(REELWRIGHT_SOURCE_DIR) + "/examples/demo.tzx"));
  EXPECT_THROW(format::WriteUef(spectrum, 0, spectrum.size()), format::Failure);
  int left = 0;
  EXPECT_TRUE(format::WriteCas(spectrum, 0, spectrum.size(), [&left](int, const char *) { left++; }).empty());
  EXPECT_EQ(left, spectrum.size());
}

// Bytes framed from bits: the start bit, data bits least significant first,
// parity and stop bits as each framing has them, idle 1s between bytes.
TEST(TwoTone, Framing) {
  using F = decode::twotone::Framing;
  const struct {
    const char *bits;
    F framing;
    Bytes bytes;
    size_t errors;
  } kCases[] = {
      {"1 0101010101 1 0000000011", {}, {0x55, 0x80}, 0},
      {"0101010100", {}, {0x55}, 1},                  // the stop bit missing
      {"0 11010000 1 1 0 11010000 0 1", {8, 1, 1}, {0x0B, 0x0B}, 1},  // even parity: three 1s need a 1
      {"0 11010000 0 1", {8, 2, 1}, {0x0B}, 0},       // odd parity holds; so does the stop bit
      {"0 1101000 0 1", {7, 1, 1}, {0x0B}, 1},
      {"0 11111111 1 1 0 00000000 1 0", {8, 0, 2}, {0xFF, 0x00}, 1},  // two stop bits, the second missing
      {"0 1111", {}, {}, 1},                          // cut short
  };
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.bits);
    std::vector<decode::twotone::Cell> cells;
    for (const char *p = c.bits; *p; p++)
      if (*p != ' ') cells.push_back({uint8_t(*p - '0'), false, uint32_t(cells.size())});
    const decode::twotone::Framed f = decode::twotone::Frame(cells, c.framing);
    EXPECT_EQ(f.bytes, c.bytes);
    EXPECT_EQ(f.errors, c.errors);
  }
  // CRC-16 with polynomial 0x1021 from 0 of "123456789" is 0x31C3.
  const std::string nine = "123456789";
  EXPECT_EQ(format::AcornCrc(format::Bytes(reinterpret_cast<const uint8_t *>(nine.data()), 9)), 0x31C3);
}

// Cells sliced from half cycles as real tapes have them: uneven (8 and 9
// samples for 9.19), a skewed duty cycle, the first half cycle of the low
// tone shortened, at 1200 and 300 baud, and 4 % slow.
TEST(TwoTone, SlicingUnevenHalfCycles) {
  const Bytes want{0x2A, 0x00, 0xFF, 0x5A, 0xC3};
  for (int waves : {1, 4})
    for (int shape = 0; shape < 4; shape++) {
      SCOPED_TRACE(waves * 10 + shape);
      const double high = shape == 3 ? 9.56 : 9.19;
      std::vector<float> h(40, float(high));
      auto bit = [&](int b) {
        const size_t n = size_t((b ? 4 : 2) * waves);
        for (size_t i = 0; i < n; i++) {
          double v = b ? high : 2 * high;
          if (shape == 0) v += (h.size() % 2 ? 0.5 : -0.5) * (b ? 1 : 2);
          if (shape == 1) v *= h.size() % 2 ? 1.25 : 0.75;
          if (shape == 2 && i == 0 && !b && h.back() < 1.5 * high) v = 1.45 * high, h.back() += float(0.55 * high);
          h.push_back(float(v));
        }
      };
      for (uint8_t byte : want) {
        bit(0);
        for (int k = 0; k < 8; k++) bit(byte >> k & 1);
        bit(1);
      }
      h.insert(h.end(), 40, float(high));
      const auto f = decode::twotone::Frame(decode::twotone::Slice(h, {9.19, waves, 1.25}), {});
      EXPECT_EQ(f.bytes, want);
      EXPECT_EQ(f.errors, 0u);
    }
}

// Bad input: an Acorn block whose length field lies, and one whose data is
// damaged, beside a good one, are listed BAD; an MSX leader with no bytes
// after it is an empty block, BAD; another machine's sound makes no block
// of either family good (a Spectrum's, a Commodore's).
TEST(TwoTone, BadInputIsBadOrSound) {
  harness::TempDir dir;
  auto chunk = [](Bytes &to, uint16_t id, const Bytes &body) {
    const Bytes c = format::UefChunk(id, body);
    to.insert(to.end(), c.begin(), c.end());
  };
  auto block = [](uint16_t length, size_t data, bool damage) {
    Bytes b{0x2A, 'B', 'A', 'D', 0, 0, 0x19, 0, 0, 0, 0x19, 0, 0, 0, 0, uint8_t(length), uint8_t(length >> 8), 0x80, 0, 0, 0, 0};
    const uint16_t h = format::AcornCrc(format::Bytes(b).subspan(1));
    b.push_back(uint8_t(h >> 8)), b.push_back(uint8_t(h));
    Bytes d(data, 0x42);
    const uint16_t c = format::AcornCrc(d);
    if (damage) d[7] ^= 1;
    b.insert(b.end(), d.begin(), d.end()), b.push_back(uint8_t(c >> 8)), b.push_back(uint8_t(c));
    return b;
  };
  Bytes uef = format::UefHeader();
  for (const Bytes &b : {block(256, 256, false), block(512, 256, false), block(256, 256, true)})
    chunk(uef, 0x0110, {0xD0, 0x07}), chunk(uef, 0x0100, b);
  chunk(uef, 0x0110, {0xD0, 0x07});
  Bytes cas(format::signals::msx::kMarker, format::signals::msx::kMarker + 8);
  for (uint8_t c : Bytes{0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 0xD3, 'L', 'O', 'N', 'E', ' ', ' '}) cas.push_back(c);
  cas.insert(cas.end(), format::signals::msx::kMarker, format::signals::msx::kMarker + 8);
  const struct {
    const char *name;
    Bytes image;
    std::vector<decode::Check> checks;  // of the framed blocks
  } kCases[] = {{"lying.uef", uef, {decode::Check::good, decode::Check::bad, decode::Check::bad}},
                {"lone.cas", cas, {decode::Check::none, decode::Check::bad}}};
  for (const auto &c : kCases) {
    SCOPED_TRACE(c.name);
    std::ofstream(dir.file(c.name), std::ios::binary).write(reinterpret_cast<const char *>(c.image.data()), std::streamsize(c.image.size()));
    ASSERT_EQ(harness::run_here({"-exact", dir.file(c.name), dir.file("s.wav")}).status, 0);
    const decode::DecodedTape d = decode::DecodeSound(dir.file("s.wav"), format::Kind::wav, -1, {});
    const format::Tape t = decode::ReadDecoded(d);
    std::vector<decode::Check> checks;
    for (int i = 0; i < t.size(); i++) {
      const format::IndexedBlock b = t.at(i);
      const auto *f = std::get_if<format::FramedData>(&b.block);
      if (f && (f->origin == format::FramedData::Origin::msx || !f->data.empty())) checks.push_back(d.where[size_t(i)].check);
    }
    EXPECT_EQ(checks, c.checks);
  }
  // Other machines' sound heard by these families alone.
  for (const std::string &tape : {std::string(REELWRIGHT_SOURCE_DIR) + "/examples/demo.tzx", kSamples + "c64-v1.tap"}) {
    if (!std::filesystem::exists(tape)) continue;
    ASSERT_EQ(harness::run_here({"-exact", tape, dir.file("o.wav")}).status, 0);
    int rate = 0;
    const std::vector<float> s = samples(dir.file("o.wav"), rate);
    decode::EdgeStage edges(rate);
    std::vector<double> pulses;
    edges.run(s.data(), s.size(), pulses), edges.flush(pulses);
    for (auto make : {decode::MakeAcorn, decode::MakeMsx}) {
      const std::unique_ptr<decode::Family> f = make(rate);
      for (double p : pulses) f->pulse(p);
      f->finish(0);
      for (const decode::Found &b : f->take()) EXPECT_FALSE(b.sure || b.check == decode::Check::good) << tape << " " << b.start;
    }
  }
}

// A recording of each is listed as its tape is, with where each block lies
// and how its check stands.
TEST(TwoTone, RecordingsListed) {
  NEED(kSamples + "electron.uef");
  harness::TempDir dir;
  const std::pair<const char *, const char *> kCases[] = {
      {"electron.uef", "  2  0:01.5 good:    Acorn: RL          Block   0  Length:   232  Baud: 1200  Load: FFFF0E00  Exec: FFFF801F  CRC: good/good\n"
                       "  3  0:03.4 -   :    Carrier Tone          Length:  3604 cycles\n"
                       "  4  0:04.9 -   :    Pause                 Length: 1.000s\n"},
      {"msx-basic.cas", "  1  0:02.0 -   :    MSX BASIC : RL           Length:    16  Baud: 1200\n"}};
  for (const auto &[sample, line] : kCases) {
    ASSERT_EQ(harness::run_here({"-exact", kSamples + sample, dir.file("s.wav")}).status, 0);
    const harness::Result r = harness::run_here({dir.file("s.wav"), "-one"});
    EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
  }
}

}  // namespace
