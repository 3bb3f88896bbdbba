// Recordings of the ZX81's and the Commodore machines' tapes decoded into
// their own images: a real ZX81 cassette, the program's own sound of the
// sample tapes through recording chains; their images written and read
// back; sound that only looks like theirs.
#include <gtest/gtest.h>

#include "decode/recording.hpp"
#include "format/commodore_files.hpp"
#include "format/readers.hpp"
#include "support/cassette.hpp"
#include "support/commodore.hpp"
#include "support/harness.hpp"

namespace {

const std::string kSamples = std::string(REELWRIGHT_SOURCE_DIR) + "/../shared/samples/";

std::vector<float> samples_of(const std::string &wav, int &rate) {
  const std::string w = harness::read_file(wav);
  rate = uint8_t(w[24]) | uint8_t(w[25]) << 8;
  std::vector<float> s;
  for (size_t at = 44; at < w.size(); at++) s.push_back((uint8_t(w[at]) - 128) / 128.0f);  // the program's 8-bit mono
  return s;
}

// The ROM files of a Commodore TAP file: each one's name and bytes.
std::vector<std::string> files_of(const std::string &tap) {
  const std::string t = harness::read_file(tap);
  const std::vector<uint8_t> image(t.begin(), t.end());
  const format::Tape tape = format::Tape::Read(format::Kind::commodore, image, {});
  std::vector<std::string> out;
  for (int i = 0; i < tape.size(); i++) {
    const auto p = std::get<format::CommodorePulses>(tape.at(i).block);
    if (!p.file) continue;
    const std::vector<uint8_t> b = p.file->bytes();
    out.push_back(format::PetsciiName(p.file->name) + ":" + std::string(b.begin(), b.end()) + (p.file->good() ? "" : ":BAD"));
  }
  return out;
}

// A ZX81 program of its system variables (E_LINE giving its length) and a
// line; and a C64 TAP file of a program as the ROM writes it.
std::string Zx81Program() {
  std::string p(0x74 + 20, '\0');
  const unsigned e_line = 0x4009 + static_cast<unsigned>(p.size());
  p[11] = static_cast<char>(e_line), p[12] = static_cast<char>(e_line >> 8);
  for (size_t i = 0x74; i < p.size(); i++) p[i] = static_cast<char>(i * 37);
  return p;
}
std::string C64Tap() {
  commodore::Rom rom;
  const commodore::Bytes program{0x0B, 0x08, 0x0A, 0x00, 0x99, 0x22, 0x48, 0x49, 0x22, 0x00, 0x00, 0x00};
  rom.out.insert(rom.out.end(), {0, 0x40, 0x42, 0x0F});  // silence first
  rom.block(commodore::header(3, 0x0801, 0x0801 + program.size(), "HELLO"));
  rom.block(program);
  return commodore::tap_file(rom.out);
}

TEST(Machines, ARealZx81CassetteBecomesItsImage) {
  if (!harness::exists(kSamples + "recordings/zx81-stocks.wav")) GTEST_SKIP() << "the real recordings are not beside the project";
  harness::TempDir dir;
  const harness::Result r = harness::run_here({kSamples + "recordings/zx81-stocks.wav", dir.file("s.p81")});
  EXPECT_NE(r.out.find("Block   1:    ZX81 Program: CONTROL STOCKS Length:  6419\n"), std::string::npos) << r.out;
  EXPECT_EQ(harness::read_file(dir.file("s.p81")), harness::read_file(kSamples + "recordings/zx81-stocks.p81"));
}

// Each machine's sample tape as the program plays it, clean, through a
// moderate deck and straight from a computer into a sound card, decoded:
// the same program, the same files.
TEST(Machines, TheirOwnSoundComesBackThroughRecordingChains) {
  const cassette::Damage chains[] = {
      {},
      {.speed = 0.02, .wow = 0.003, .treble_hz = 7000, .ac_hz = 25, .snr_db = 30},
      {.computer_hz = 1000, .peak_ratio = 1.25, .ring = 0.6, .treble_hz = 12000, .snr_db = 40},
  };
  harness::TempDir dir;
  std::ofstream(dir.file("in.p"), std::ios::binary) << Zx81Program();
  std::ofstream(dir.file("in.tap"), std::ios::binary) << C64Tap();
  for (const std::string ext : {".p", ".tap"}) {
    SCOPED_TRACE(ext);
    ASSERT_EQ(harness::run_here({dir.file("in" + ext), dir.file("clean.wav")}).status, 0);
    int rate = 0;
    const std::vector<float> clean = samples_of(dir.file("clean.wav"), rate);
    for (const cassette::Damage &d : chains) {
      SCOPED_TRACE(d.computer_hz + d.speed);
      std::filesystem::remove(dir.file("out" + ext));
      cassette::write_wav(dir.file("rec.wav"), {cassette::play(clean, rate, d)}, rate, 16, false, false);
      const harness::Result r = harness::run_here({dir.file("rec.wav"), dir.file("out" + ext)});
      ASSERT_EQ(r.status, 0) << r.out;
      if (ext == ".p") {
        EXPECT_EQ(harness::read_file(dir.file("out.p")), Zx81Program());
      } else {
        EXPECT_EQ(files_of(dir.file("out.tap")), files_of(dir.file("in.tap")));
        ASSERT_EQ(files_of(dir.file("out.tap")).size(), 1u);
        EXPECT_EQ(files_of(dir.file("out.tap"))[0].substr(0, 6), "HELLO:");
        EXPECT_NE(r.out.find(":    Program     : HELLO            0801-080D  Header good/good  Data good/good"),
                  std::string::npos) << r.out;
      }
    }
  }
}

// A Commodore block whose only copy is damaged is BAD, though the loader
// finds it; the program after it, both copies whole, is good.
TEST(Machines, ACommodoreBlockWhoseOnlyCopyIsDamagedIsBad) {
  harness::TempDir dir;
  commodore::Rom rom;
  rom.out.insert(rom.out.end(), {0, 0x40, 0x42, 0x0F});
  rom.copy(commodore::header(3, 0x0801, 0x0810, "ONCE"), false, 2000, 5);
  rom.leader(79);
  rom.out.insert(rom.out.end(), {0, 0x40, 0x42, 0x0F});
  rom.block(commodore::header(3, 0x0801, 0x0810, "TWICE"));
  std::ofstream(dir.file("in.tap"), std::ios::binary) << commodore::tap_file(rom.out);
  ASSERT_EQ(harness::run_here({dir.file("in.tap"), dir.file("s.wav")}).status, 0);
  const decode::DecodedTape d = decode::DecodeSound(dir.file("s.wav"), format::Kind::wav, -1, {});
  ASSERT_EQ(d.kind, format::Kind::commodore);
  std::vector<decode::Check> checks;
  for (const decode::Where &w : d.where)  // the pulses around the files are kept as sound
    if (w.check != decode::Check::sound && (checks.empty() || checks.back() != w.check)) checks.push_back(w.check);
  EXPECT_EQ(checks, (std::vector<decode::Check>{decode::Check::bad, decode::Check::good}));
}

// Images of these machines written: the same image again, one of another
// machine's format refused with no file made.
TEST(Machines, TheirImagesAreWrittenAndReadBack) {
  if (!harness::exists(kSamples + "zx81.p")) GTEST_SKIP() << "the sample tapes are not beside the project";
  harness::TempDir dir;
  const struct {
    std::string in, out, error;
  } rows[] = {
      {kSamples + "zx81.p", "a.p", ""},
      {kSamples + "c64-v1.tap", "a.tap", ""},
      {kSamples + "zx81.p", "b.p81", ""},
      {dir.file("b.p81"), "c.p81", ""},
      {dir.file("c.p81"), "d.p", ""},
      {kSamples + "zx81.p", "e.tzx", "A TZX image holds the blocks of the Spectrum, the CPC and the C64 only: this tape is not written!"},
      {kSamples + "c64-v1.tap", "f.p81", "A ZX81 .P81 image holds the programs of the ZX81 only: this tape is not written!"},
      {kSamples + "zx81.p", "g.o", "A ZX80 .O image holds the programs of the ZX80 only: this tape is not written!"},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.out);
    const harness::Result r = harness::run_here({row.in, dir.file(row.out)});
    if (!row.error.empty()) {
      EXPECT_NE(r.out.find("-- Error: " + row.error), std::string::npos) << r.out;
      EXPECT_FALSE(harness::exists(dir.file(row.out)));
      continue;
    }
    ASSERT_EQ(r.status, 0) << r.out;
  }
  EXPECT_EQ(harness::read_file(dir.file("a.p")), harness::read_file(kSamples + "zx81.p"));
  EXPECT_EQ(harness::read_file(dir.file("a.tap")), harness::read_file(kSamples + "c64-v1.tap"));
  EXPECT_EQ(harness::read_file(dir.file("c.p81")), harness::read_file(dir.file("b.p81")));
  EXPECT_EQ(harness::read_file(dir.file("d.p")), harness::read_file(kSamples + "zx81.p"));
  // The name a .P file's program gets from the file: "ZX81".
  EXPECT_EQ(harness::read_file(dir.file("b.p81")).substr(0, 4), "\x3F\x3D\x24\x9D");
}

// A C16 TAP file (version 2): each value a half wave, so a second of
// values of 0x20 (256 cycles a half wave at 886724 Hz) lasts a second, in
// the listing and in the sound.
TEST(Machines, AC16TapesHalfWavesAreItsLength) {
  harness::TempDir dir;
  const size_t n = 886724 / 256;
  std::string tap = "C16-TAPE-RAW";
  tap += std::string("\x02\x02\x00\x00", 4);
  for (int k = 0; k < 4; k++) tap.push_back(static_cast<char>(n >> (8 * k)));
  tap += std::string(n, '\x20');
  std::ofstream(dir.file("c16.tap"), std::ios::binary) << tap;
  const harness::Result r = harness::run_here({dir.file("c16.tap"), "-one"});
  EXPECT_NE(r.out.find("Commodore Pulses      Length:  3463  Duration: 1.000s"), std::string::npos) << r.out;
  ASSERT_EQ(harness::run_here({"-exact", "-freq", "10000", dir.file("c16.tap"), dir.file("c16.wav")}).status, 0);
  const std::string w = harness::read_file(dir.file("c16.wav"));
  size_t last = 0;  // the last level change, a second in (the silence after it follows)
  for (size_t at = 45; at < w.size(); at++)
    if ((uint8_t(w[at]) > 128) != (uint8_t(w[at - 1]) > 128)) last = at - 44;
  EXPECT_NEAR(static_cast<double>(last), 9998, 2);
}

// Sound that only looks like these machines': ZX81 bursts in hiss, a
// Commodore leader and header with no data after them. Kept as sound or
// listed as far as it holds; no file of a program that is not there.
TEST(Machines, SoundThatOnlyLooksLikeTheirs) {
  harness::TempDir dir;
  const int rate = 44100;
  std::vector<float> s = cassette::play(std::vector<float>(rate * 2, 0), rate, {.level = 0.2, .snr_db = 0});
  for (size_t burst = 0; burst < 40; burst++)  // bursts of 4 and 9 pulses, no program
    for (size_t i = 0; i < (burst % 3 ? 4u : 9u) * 13; i++) s[rate / 2 + burst * 200 + i] += i / 7 % 2 ? 0.6f : -0.6f;
  cassette::write_wav(dir.file("zx81.wav"), {s}, rate, 16, false, false);
  harness::Result r = harness::run_here({dir.file("zx81.wav"), dir.file("z.p81")});
  EXPECT_NE(r.out.find("No block was found"), std::string::npos) << r.out;
  EXPECT_FALSE(harness::exists(dir.file("z.p81")));
  if (!harness::exists(kSamples + "c64-v1.tap")) GTEST_SKIP() << "the sample tapes are not beside the project";
  // The sample's header alone: the data block's copies cut off.
  std::string tap = harness::read_file(kSamples + "c64-v1.tap");
  tap.resize(20 + 4 + 35381);
  std::ofstream(dir.file("header.tap"), std::ios::binary) << tap;
  r = harness::run_here({dir.file("header.tap"), "-one"});
  EXPECT_NE(r.out.find("Program     : RL               1100-1190  Header good/good  Data -/-"), std::string::npos) << r.out;
}

}  // namespace
