// Recordings into tapes and tapes into tape images: tapes made here become
// the program's own sound (several rates, sample formats, channels and file
// formats) and come back as the same blocks; through a simulated cassette a
// floor of blocks comes back and no block is ever marked good with wrong
// bytes; damaged sound files end with a clear error and no file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "decode/decoder.hpp"
#include "decode/recording.hpp"
#include "decode/sound.hpp"
#include "format/failure.hpp"
#include "format/tape.hpp"
#include "support/cassette.hpp"
#include "support/harness.hpp"
#include "support/tzx.hpp"

#ifdef REELWRIGHT_FLAC
#include <FLAC/stream_encoder.h>
#endif

namespace {

using namespace tzx;

Bytes random_bytes(size_t n, uint32_t seed) {
  cassette::Noise r(seed);
  Bytes b(n);
  for (uint8_t &c : b) c = static_cast<uint8_t>(r.uniform() * 256);
  return b;
}

// An Amstrad CPC data block: sync byte, 256 bytes, their CRC (high byte
// first, complemented), the trailer.
Bytes cpc_block(const Bytes &segment) {
  uint16_t crc = 0xFFFF;
  for (uint8_t c : segment)
    for (int i = 0, b = c << 8; i < 8; i++, b <<= 1) crc = static_cast<uint16_t>(((crc ^ b) & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
  Bytes d{0x16};
  put(d, segment), d.push_back(static_cast<uint8_t>(~crc >> 8)), d.push_back(static_cast<uint8_t>(~crc));
  put(d, Bytes(4, 0xFF));
  return d;
}

struct Source {
  bool standard;
  Turbo t;
  unsigned pause;
  Bytes data;
};
// Headers and data at ROM speed (one with no pause after it), a block of
// one byte and its checksum, a turbo block, a CPC block and a long, fast
// turbo block at the very end.
const std::vector<Source> &sources() {
  static const std::vector<Source> s = {
      {true, {}, 1000, spectrum_header(3, "decoded", 300, 32768, 32768)},
      {true, {}, 0, data_block(0xFF, random_bytes(300, 1))},  // the next block follows at once
      {true, {}, 600, data_block(0xFF, {})},
      {false, {1800, 500, 560, 600, 1200, 1500}, 800, data_block(0x55, random_bytes(400, 2))},
      {false, {1400, 700, 700, 700, 1400, 4096}, 900, cpc_block(random_bytes(256, 3))},
      {false, {1200, 350, 400, 400, 800, 1200}, 1000, data_block(0xAA, random_bytes(1500, 4))},
  };
  return s;
}

std::string source_tape(const harness::TempDir &dir) {
  Tzx t;
  for (const Source &s : sources()) s.standard ? t.standard(s.pause, s.data) : t.turbo(s.t, 8, s.pause, s.data);
  t.save(dir.file("source.tzx"));
  return dir.file("source.tzx");
}

std::vector<float> samples_of(const std::string &path, int &rate) {
  decode::SoundReader in(path, format::Kind::wav);
  rate = in.rate();
  std::vector<float> all(in.frames()), other(in.frames());
  all.resize(in.read(all.data(), other.data(), all.size()));
  return all;
}

std::vector<uint8_t> bytes_of(const std::string &path) {
  const std::string s = harness::read_file(path);
  return std::vector<uint8_t>(s.begin(), s.end());
}

format::Bytes data_of(const format::Block &b) {
  if (const auto *s = std::get_if<format::StandardData>(&b)) return s->data;
  if (const auto *t = std::get_if<format::TurboData>(&b)) return t->data;
  return {};
}

// The decoded tape against the source: the same bytes, kinds, timings within
// 2 % (a single pulse within a sample more), pauses within 2 % (the last
// one runs to the recording's end).
void expect_same(const std::string &tzx_path, double rate) {
  const format::Tape tape = format::Tape::FromTzx(bytes_of(tzx_path));
  ASSERT_EQ(tape.size(), static_cast<int>(sources().size()) + 1);  // after the description
  const double sample = format::kTstatesPerSecond / rate;
  for (size_t i = 0; i < sources().size(); i++) {
    SCOPED_TRACE(i);
    const Source &s = sources()[i];
    const format::IndexedBlock b = tape.at(static_cast<int>(i) + 1);
    const format::Bytes got = data_of(b.block);
    EXPECT_TRUE(std::equal(got.begin(), got.end(), s.data.begin(), s.data.end())) << got.size() << " bytes";
    const uint16_t pause = s.standard ? std::get<format::StandardData>(b.block).pause : std::get<format::TurboData>(b.block).pause;
    if (i + 1 < sources().size()) {
      EXPECT_NEAR(pause, s.pause, 0.02 * s.pause);
    }
    ASSERT_EQ(b.id, s.standard ? 0x10 : 0x11);
    if (s.standard) continue;
    const auto &t = std::get<format::TurboData>(b.block);
    for (auto [got_t, want, slack] : {std::tuple{t.pilot, s.t.pilot, 0.0}, {t.bit0, s.t.bit0, 0.0}, {t.bit1, s.t.bit1, 0.0},
                                      {t.sync1, s.t.sync1, sample}, {t.sync2, s.t.sync2, sample}})
      EXPECT_NEAR(got_t, want, 0.02 * want + slack);
    EXPECT_NEAR(t.pilot_pulses, s.t.pilot_len, 0.02 * s.t.pilot_len);
  }
}

struct Sound {
  const char *name;
  std::vector<std::string> args;  // the program's own conversion
  int bits = 0;                   // else written again by the test: PCM or float of this many bits
  bool is_float = false, extensible = false, stereo = false;
};
const Sound kSounds[] = {
    {"voc-8bit-30303", {"-voc", "-exact", "s.voc"}},
    {"au-16bit-22050", {"-au", "-16", "-exact", "-freq", "22050", "s.au"}},
    {"wav-8bit-48000", {"-exact", "-freq", "48000", "s.wav"}},
    {"wav-24bit-stereo-96000", {"-exact", "-16", "-freq", "96000", "s.wav"}, 24, false, false, true},
    {"wav-float-extensible-44100", {"-exact", "-16", "s.wav"}, 32, true, true},
    {"wav-double-192000", {"-exact", "-16", "-freq", "192000", "s.wav"}, 64, true},
    {"wav-32bit-inverted-quiet-44100", {"-exact", "-16", "-invert", "-vol", "3", "s.wav"}, 32},
};

TEST(Decode, TheProgramsOwnSoundComesBackAsTheSameBlocks) {
  for (const Sound &s : kSounds) {
    SCOPED_TRACE(s.name);
    harness::TempDir dir;
    std::vector<std::string> args = s.args;
    args.back() = dir.file(args.back());
    args.insert(args.end() - 1, source_tape(dir));
    ASSERT_EQ(harness::run_here(args).status, 0);
    std::string rec = args.back();
    int rate = 0;
    if (s.bits) {
      std::vector<std::vector<float>> ch{samples_of(rec, rate)};
      // The other channel: hiss, the first one to be tried and rejected.
      if (s.stereo) ch.insert(ch.begin(), cassette::play(std::vector<float>(ch[0].size(), 0), rate, {.level = 0.01, .snr_db = 0}));
      rec = dir.file("again.wav");
      cassette::write_wav(rec, ch, rate, s.bits, s.is_float, s.extensible);
    }
    const harness::Result r = harness::run_here({rec, dir.file("out.tzx")});
    ASSERT_EQ(r.status, 0) << r.out;
    expect_same(dir.file("out.tzx"), rate ? rate : std::stoi(args.size() > 4 && args[args.size() - 4] == "-freq" ? args[args.size() - 3] : "30303"));
    // The channel asked for is taken, even when it holds nothing.
    if (s.stereo) {
      EXPECT_NE(harness::run_here({"-left", rec, "-one"}).out.find("-- Error: No block was found"), std::string::npos);
    }
  }
}

// A listing of a recording: where each block begins and how its checksum stands.
TEST(Decode, TheListingShowsWhereEachBlockBeginsAndItsChecksum) {
  harness::TempDir dir;
  ASSERT_EQ(harness::run_here({source_tape(dir), dir.file("s.wav")}).status, 0);
  const harness::Result r = harness::run_here({dir.file("s.wav"), "-one"});
  EXPECT_NE(r.out.find("Recording: WAV, 44100 Hz, 8-bit, mono, decoded\nNumber of Blocks: 6\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n"
                       "  1  0:00.0 good:      Bytes : decoded     Length:    19  Normal Speed ,Pause: 1.000s\n"
                       "  2  0:06.0 good:    --------------------  Length:   302  Normal Speed ,Pause: 0.000s\n"
                       "  3  0:09.8 good:    --------------------  Length:     2  Normal Speed ,Pause: 0.600s\n"
                       "  4  0:12.4 good:    --------------------  Length:   402   Speed: 143% ,Pause: 0.800s\n"
                       "  5  0:15.7 good:    --------------------  Length:   263   Speed: 119% ,Pause: 0.900s\n"
                       "  6  0:19.5 good:    --------------------  Length:  1502   Speed: 215% \n"),
            std::string::npos)
      << r.out;
  const harness::Result info = harness::run_here({dir.file("s.wav"), "-info"});
  EXPECT_NE(info.out.find("In the recording at 0:06.0; checksum good\n"), std::string::npos) << info.out;
  // A conversion plays the decoded tape.
  const harness::Result au = harness::run_here({dir.file("s.wav"), dir.file("again.au")});
  EXPECT_NE(au.out.find("Creating .au file using 44100 Hz frequency.\n\nBlock   1:      Bytes : decoded "), std::string::npos) << au.out;
}

// Recording chains at fixed settings: decks, a computer's output straight
// into a sound card (its coupling's high-pass, uneven peaks, ringing,
// spikes), and that sound through a deck.
struct Deck {
  const char *name;
  cassette::Damage damage;
  int floor;  // blocks that must come back good (of 6)
};
constexpr cassette::Damage kModerate{.speed = 0.02, .wow = 0.003, .treble_hz = 7000, .ac_hz = 25, .snr_db = 30};
constexpr cassette::Damage kWorn{.speed = -0.03, .wow = 0.006, .treble_hz = 4000, .ac_hz = 25, .level = 0.3, .dc = 0.05,
                                 .invert = true, .snr_db = 24, .dropouts = 3, .seed = 7};
constexpr cassette::Damage direct(double hz, double ratio, double ring, int spikes, cassette::Damage deck = {.treble_hz = 12000, .snr_db = 40}) {
  deck.computer_hz = hz, deck.peak_ratio = ratio, deck.ring = ring, deck.spikes = spikes;
  return deck;
}
const Deck kDecks[] = {
    {"clean", {}, 6},
    {"moderate", kModerate, 6},
    {"quiet-offset-inverted", {.ac_hz = 10, .level = 0.01, .dc = 0.2, .invert = true, .snr_db = 40}, 6},
    {"worn", kWorn, 5},
    {"direct-1kHz-peaks-1.25", direct(1000, 1.25, 0, 0), 6},
    {"direct-2kHz-peaks-0.7-ringing-spikes", direct(2000, 0.7, 0.6, 3), 6},
    {"direct-200Hz-peaks-1.4-ringing", direct(200, 1.4, 0.6, 0), 6},
    {"direct-2kHz-peaks-1.4-spikes-moderate-deck", direct(2000, 1.4, 0, 3, kModerate), 6},
    {"direct-1kHz-peaks-0.8-ringing-worn-deck", direct(1000, 0.8, 0.6, 0, kWorn), 5},
};

TEST(Decode, ThroughRecordingChainsBlocksComeBackAndNoneIsFalselyGood) {
  harness::TempDir dir;
  ASSERT_EQ(harness::run_here({"-exact", "-freq", "44100", source_tape(dir), dir.file("s.wav")}).status, 0);
  int rate = 0;
  const std::vector<float> clean = samples_of(dir.file("s.wav"), rate);
  for (const Deck &d : kDecks) {
    SCOPED_TRACE(d.name);
    cassette::write_wav(dir.file("deck.wav"), {cassette::play(clean, rate, d.damage)}, rate, 16, false, false);
    decode::DecodedTape t;
    try {
      t = decode::DecodeSound(dir.file("deck.wav"), format::Kind::wav, -1, {});
    } catch (const format::Failure &f) {
      ADD_FAILURE() << f.what();
      continue;
    }
    const format::Tape tape = format::Tape::FromTzx(t.image);
    std::set<size_t> recovered;
    for (int i = 0; i < tape.size(); i++) {
      if (t.where[static_cast<size_t>(i)].check != decode::Check::good) continue;
      const format::Bytes got = data_of(tape.at(i).block);
      size_t k = 0;
      while (k < sources().size() && !std::equal(got.begin(), got.end(), sources()[k].data.begin(), sources()[k].data.end())) k++;
      EXPECT_LT(k, sources().size()) << "block " << i + 1 << " is marked good and is none of the tape's";
      recovered.insert(k);
    }
    EXPECT_GE(static_cast<int>(recovered.size()), d.floor);
  }
}

// A dropout of 10 ms in a pilot, silent or cut out of the sound (as a sound
// card's missed buffer is), anywhere in it: the pulse it cuts short is no
// sync, and the block after the pilot comes back whole.
TEST(Decode, ADropoutInAPilotIsNoSync) {
  harness::TempDir dir;
  Tzx t;
  const Bytes header = spectrum_header(3, "dropout", 300, 32768, 32768);
  t.standard(1000, header);
  t.save(dir.file("one.tzx"));
  ASSERT_EQ(harness::run_here({"-freq", "44100", dir.file("one.tzx"), dir.file("s.wav")}).status, 0);
  int rate = 0;
  const std::vector<float> clean = samples_of(dir.file("s.wav"), rate);
  const size_t gap = static_cast<size_t>(rate / 100);
  for (bool cut : {false, true}) {
    for (int ms = 200; ms < 4700; ms += 73) {
      SCOPED_TRACE(testing::Message() << (cut ? "cut at " : "silent at ") << ms << " ms");
      std::vector<float> s = clean;
      const auto at = s.begin() + static_cast<long>(ms) * rate / 1000;
      cut ? void(s.erase(at, at + static_cast<long>(gap))) : std::fill(at, at + static_cast<long>(gap), 0.0f);
      cassette::write_wav(dir.file("d.wav"), {s}, rate, 16, false, false);
      const decode::DecodedTape d = decode::DecodeSound(dir.file("d.wav"), format::Kind::wav, -1, {});
      const format::Tape tape = format::Tape::FromTzx(d.image);
      ASSERT_EQ(tape.size(), 1);
      EXPECT_EQ(d.where[0].check, decode::Check::good);
      const format::Bytes got = data_of(tape.at(0).block);
      EXPECT_TRUE(std::equal(got.begin(), got.end(), header.begin(), header.end()));
    }
  }
}

// Sound that is no block, before one that is: kept as it sounds, a CSW
// recording of its pulses (a tone of 1000 T-states, 12.6 samples at 44.1 kHz
// in exact time).
TEST(Decode, SoundThatIsNoBlockIsKeptAsItSounds) {
  harness::TempDir dir;
  Tzx t;
  t.tone(1000, 600).pause(500).standard(1000, spectrum_header(3, "after", 300, 32768, 32768));
  t.save(dir.file("t.tzx"));
  ASSERT_EQ(harness::run_here({"-exact", "-freq", "44100", dir.file("t.tzx"), dir.file("s.wav")}).status, 0);
  const format::Tape tape = format::Tape::FromTzx(decode::DecodeSound(dir.file("s.wav"), format::Kind::wav, -1, {}).image);
  ASSERT_EQ(tape.size(), 2);
  const format::IndexedBlock first = tape.at(0);
  const auto *csw = std::get_if<format::CswRecording>(&first.block);
  ASSERT_NE(csw, nullptr);
  EXPECT_EQ(csw->rate, 44100u);
  ASSERT_EQ(csw->compression, 1);
  size_t even = 0, total = 0;
  for (uint8_t n : csw->stream) even += n == 12 || n == 13, total += n;
  EXPECT_GE(even, 596u);
  EXPECT_NEAR(static_cast<double>(total), 600 * 1000 * 44100.0 / format::kTstatesPerSecond, 30);
}

// Spectrum blocks from half the ROM's speed to two and a half times it, and
// CPC blocks from 1000 to 3000 baud, through a computer's output into a
// sound card and through a deck.
TEST(Decode, BlocksAtAnySpeed) {
  harness::TempDir dir;
  Tzx t;
  std::vector<Bytes> want;
  for (unsigned bit0 : {1710u, 855u, 570u, 342u}) {
    want.push_back(data_block(0x42, random_bytes(200, bit0)));
    t.turbo({bit0 * 254 / 100, bit0 * 78 / 100, bit0 * 86 / 100, bit0, 2 * bit0, 3000}, 8, 500, want.back());
  }
  for (unsigned baud : {1000u, 2000u, 3000u}) {
    const unsigned bit0 = 3500000 / baud / 3;
    want.push_back(cpc_block(random_bytes(256, baud)));
    t.turbo({2 * bit0, bit0, bit0, bit0, 2 * bit0, 2048}, 8, 500, want.back());
  }
  t.save(dir.file("speeds.tzx"));
  ASSERT_EQ(harness::run_here({"-exact", dir.file("speeds.tzx"), dir.file("s.wav")}).status, 0);
  int rate = 0;
  const std::vector<float> clean = samples_of(dir.file("s.wav"), rate);
  for (const cassette::Damage &d : {direct(1000, 1.25, 0.6, 0), kModerate}) {
    cassette::write_wav(dir.file("d.wav"), {cassette::play(clean, rate, d)}, rate, 16, false, false);
    const decode::DecodedTape got = decode::DecodeSound(dir.file("d.wav"), format::Kind::wav, -1, {});
    const format::Tape tape = format::Tape::FromTzx(got.image);
    std::vector<Bytes> good;
    for (int i = 0; i < tape.size(); i++) {
      const format::Bytes b = data_of(tape.at(i).block);
      if (got.where[static_cast<size_t>(i)].check == decode::Check::good) good.emplace_back(b.begin(), b.end());
    }
    EXPECT_EQ(good, want) << d.computer_hz;
  }
}

// Real recordings of a Spectrum's own output through a sound card: the
// header of a program and, in another recording, its data, whose length
// the header gives. As they are, inverted and quiet as float samples, and
// at twice the rate.
TEST(Decode, RealRecordingsOfASpectrum) {
  const std::string real = std::string(REELWRIGHT_SOURCE_DIR) + "/../shared/samples/recordings/";
  if (!harness::exists(real + "spectrum-header.wav")) GTEST_SKIP() << "the real recordings are not beside the project";
  harness::TempDir dir;
  // The one block marked good in each recording, and that none is bad.
  auto good = [&dir](const std::string &wav, int variant) {
    int rate = 0;
    std::vector<float> s = samples_of(wav, rate);
    std::string path = wav;
    if (variant == 1) {
      for (float &v : s) v *= -0.03f;
      cassette::write_wav(path = dir.file("v.wav"), {s}, rate, 32, true, false);
    } else if (variant == 2) {
      std::vector<float> twice(2 * s.size());
      for (size_t i = 0; i + 1 < s.size(); i++) twice[2 * i] = s[i], twice[2 * i + 1] = (s[i] + s[i + 1]) / 2;
      cassette::write_wav(path = dir.file("v.wav"), {twice}, 2 * rate, 16, false, false);
    }
    const decode::DecodedTape t = decode::DecodeSound(path, format::Kind::wav, -1, {});
    const format::Tape tape = format::Tape::FromTzx(t.image);
    std::vector<Bytes> found;
    for (int i = 0; i < tape.size(); i++) {
      EXPECT_NE(t.where[static_cast<size_t>(i)].check, decode::Check::bad) << i;
      const format::Bytes d = data_of(tape.at(i).block);
      if (t.where[static_cast<size_t>(i)].check == decode::Check::good) found.emplace_back(d.begin(), d.end());
    }
    return found;
  };
  for (int variant : {0, 1, 2}) {
    SCOPED_TRACE(variant);
    const std::vector<Bytes> header = good(real + "spectrum-header.wav", variant), data = good(real + "spectrum-data.wav", variant);
    ASSERT_EQ(header.size(), 1u);
    ASSERT_EQ(data.size(), 1u);
    const Bytes &h = header[0];
    ASSERT_EQ(h.size(), 19u);
    EXPECT_EQ(std::string(h.begin(), h.begin() + 12), std::string("\0\0test      ", 12));  // flag, program, name
    EXPECT_EQ(data[0].size(), h[12] + 256u * h[13] + 2);
    EXPECT_EQ(data[0][0], 0xFF);
  }
}

// Sound that holds no block: music, a square wave of one frequency (a pilot
// with no data), hiss. No block is marked good, and no tape is made.
TEST(Decode, SoundWithNoBlockMakesNone) {
  harness::TempDir dir;
  const int rate = 44100;
  std::vector<float> music(8 * rate), square(6 * rate), hiss = cassette::play(std::vector<float>(4 * rate, 0), rate, {.level = 0.3, .snr_db = 0});
  for (size_t i = 0; i < music.size(); i++) {
    const double t = static_cast<double>(i) / rate, f = 220 * std::pow(2, static_cast<int>(t * 4) % 12 / 12.0);
    music[i] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * f * t) + 0.15 * std::sin(6 * std::numbers::pi * f * t) +
                                  0.1 * std::sin(2 * std::numbers::pi * 3 * f / 2 * t));
  }
  for (size_t i = 0; i < square.size(); i++) square[i] = i / 27 % 2 ? 0.5f : -0.5f;
  for (const auto &[name, s] : {std::pair{"music", music}, {"square", square}, {"hiss", hiss}}) {
    SCOPED_TRACE(name);
    cassette::write_wav(dir.file("s.wav"), {s}, rate, 16, false, false);
    const harness::Result r = harness::run_here({dir.file("s.wav"), dir.file("out.tzx")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("-- Error: No block was found in the recording: no tape is made!\n"), std::string::npos) << r.out;
    EXPECT_FALSE(harness::exists(dir.file("out.tzx")));
  }
}

// The checks against known answers: CRC-16 (0x1021, from 0xFFFF) of
// "123456789" is 0x29B1, stored complemented; an XOR sum.
TEST(Decode, ChecksumsOfTheFormats) {
  const std::string nine = "123456789";
  EXPECT_EQ(decode::CpcCrc(format::Bytes(reinterpret_cast<const uint8_t *>(nine.data()), 9)), 0xD64E);
  const Bytes block = cpc_block(random_bytes(256, 8));
  EXPECT_TRUE(decode::CpcGood(block));
  for (size_t at : {1ul, 200ul, 257ul, 258ul}) {
    Bytes bad = block;
    bad[at] ^= 0x10;
    EXPECT_FALSE(decode::CpcGood(bad)) << at;
  }
  EXPECT_TRUE(decode::XorGood(Bytes{0x00, 0x12, 0x34, 0x26}));
  EXPECT_FALSE(decode::XorGood(Bytes{0x00, 0x12, 0x34, 0x27}));
  EXPECT_FALSE(decode::XorGood(Bytes{0x00}));
}

// Sample values of the codings the other tests do not write: AU mu-law,
// 8-bit signed, 16-bit and float, most significant byte first; VOC 8-bit.
TEST(Decode, SampleCodings) {
  auto au = [](unsigned coding, const std::string &data) {
    std::string h = ".snd";
    for (uint32_t v : {24u, static_cast<uint32_t>(data.size()), coding, 8000u, 1u})
      for (int i = 3; i >= 0; i--) h.push_back(static_cast<char>(v >> (8 * i)));
    return h + data;
  };
  const std::string voc = std::string("Creative Voice File\x1A\x1A\0\x0A\x01\x29\x11", 26) + std::string("\x01\x04\0\0\x83\0\xC0\x40\0", 9);
  const std::tuple<std::string, format::Kind, std::vector<float>> cases[] = {
      {au(1, std::string("\xFF\x80\x00\x7F", 4)), format::Kind::au, {0, 32124 / 32768.0f, -32124 / 32768.0f, -0.0f}},
      {au(2, "\x40\xC0"), format::Kind::au, {0.5f, -0.5f}},
      {au(3, std::string("\x40\x00\xE0\x00", 4)), format::Kind::au, {0.5f, -0.25f}},
      {au(6, std::string("\x3E\x80\x00\x00", 4)), format::Kind::au, {0.25f}},
      {voc, format::Kind::voc, {0.5f, -0.5f}},
  };
  harness::TempDir dir;
  for (const auto &[bytes, kind, want] : cases) {
    std::ofstream(dir.file("s"), std::ios::binary) << bytes;
    decode::SoundReader in(dir.file("s"), kind);
    EXPECT_EQ(in.rate(), 8000);
    std::vector<float> got(8);
    got.resize(in.read(got.data(), nullptr, got.size()));
    EXPECT_EQ(got, want) << bytes.size();
  }
}

// FLAC through libFLAC: 16-bit stereo of the program's own sound comes back
// as the same blocks; cut short, what came before the cut is decoded.
TEST(Decode, FlacRecordings) {
#ifndef REELWRIGHT_FLAC
  GTEST_SKIP() << "built without libFLAC";
#else
  harness::TempDir dir;
  ASSERT_EQ(harness::run_here({"-exact", "-16", source_tape(dir), dir.file("s.wav")}).status, 0);
  int rate = 0;
  const std::vector<float> s = samples_of(dir.file("s.wav"), rate);
  std::vector<FLAC__int32> frames;
  for (float v : s) frames.push_back(static_cast<FLAC__int32>(v * 32767)), frames.push_back(0);
  FLAC__StreamEncoder *e = FLAC__stream_encoder_new();
  FLAC__stream_encoder_set_channels(e, 2), FLAC__stream_encoder_set_bits_per_sample(e, 16);
  FLAC__stream_encoder_set_sample_rate(e, static_cast<unsigned>(rate));
  ASSERT_EQ(FLAC__stream_encoder_init_file(e, dir.file("s.flac").c_str(), nullptr, nullptr), FLAC__STREAM_ENCODER_INIT_STATUS_OK);
  FLAC__stream_encoder_process_interleaved(e, frames.data(), static_cast<unsigned>(s.size()));
  FLAC__stream_encoder_finish(e), FLAC__stream_encoder_delete(e);
  harness::Result r = harness::run_here({dir.file("s.flac"), dir.file("out.tzx")});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Recording: FLAC, 44100 Hz, 16-bit, stereo (left channel), decoded\n"), std::string::npos) << r.out;
  expect_same(dir.file("out.tzx"), rate);
  const std::string flac = harness::read_file(dir.file("s.flac"));
  std::ofstream(dir.file("cut.flac"), std::ios::binary) << flac.substr(0, flac.size() / 2);
  r = harness::run_here({dir.file("cut.flac"), "-one"});
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\n  3 "), std::string::npos) << r.out;
#endif
}

// Sound files that lie or hold nothing: a clear error, and no tape written.
TEST(Decode, BadRecordingsEndWithAClearErrorAndNoFile) {
  harness::TempDir dir;
  const std::vector<float> silence(44100, 0.0f);
  cassette::write_wav(dir.file("ok.wav"), {silence}, 44100, 16, false, false);
  const std::string ok = harness::read_file(dir.file("ok.wav"));
  auto with = [&ok](size_t at, std::string bytes) { return ok.substr(0, at) + bytes + ok.substr(at + bytes.size()); };
  const std::pair<std::string, std::string> cases[] = {
      {with(22, std::string("\0\0", 2)), "The recording has 0 channels: it cannot be read!"},
      {with(24, std::string("\0\0\0\0", 4)), "The recording's rate of 0 Hz is out of range (4000 to 400000 Hz)!"},
      {with(24, std::string("\x80\x96\x98\0", 4)), "The recording's rate of 10000000 Hz is out of range (4000 to 400000 Hz)!"},
      {with(32, std::string("\3\0", 2)), "The WAV file's block size of 3 bytes does not fit 1 channels of 16 bits!"},
      {with(40, std::string("\xFF\xFF\xFF\x7F", 4)), "No block was found in the recording: no tape is made!"},
      {ok.substr(0, 30), "The WAV file is cut short before its samples!"},
      {ok, "No block was found in the recording: no tape is made!"},
  };
  // A data chunk longer than the file: its samples as far as the file goes.
  std::ofstream(dir.file("long.wav"), std::ios::binary) << std::get<0>(cases[4]);
  EXPECT_EQ(decode::SoundReader(dir.file("long.wav"), format::Kind::wav).frames(), 44100u);
  for (const auto &[bytes, error] : cases) {
    SCOPED_TRACE(error);
    std::ofstream(dir.file("bad.wav"), std::ios::binary) << bytes;
    const harness::Result r = harness::run_here({dir.file("bad.wav"), dir.file("out.tzx")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("-- Error: " + error + "\n"), std::string::npos) << r.out;
    EXPECT_FALSE(harness::exists(dir.file("out.tzx")));
  }
}

// Tape images written: TAP -> TZX -> TAP gives the same file; a CSW file is
// decoded when it becomes a tape image.
TEST(Decode, TapeImagesRoundTrip) {
  harness::TempDir dir;
  const Bytes tap_file = tap({spectrum_header(0, "round", 5, 10, 5), data_block(0xFF, random_bytes(5, 9)), {}});
  save(dir.file("a.tap"), tap_file);
  ASSERT_EQ(harness::run_here({dir.file("a.tap"), dir.file("b.tzx")}).status, 0);
  const std::string tzx_file = harness::read_file(dir.file("b.tzx"));
  EXPECT_EQ(tzx_file.substr(0, 10), std::string("ZXTape!\x1A\x01\x14", 10));
  EXPECT_EQ(tzx_file.substr(10, 30), std::string("\x30\x1DMade by reelwright from a.tap", 30));
  ASSERT_EQ(harness::run_here({dir.file("b.tzx"), dir.file("c.tap")}).status, 0);
  EXPECT_EQ(harness::read_file(dir.file("c.tap")), std::string(tap_file.begin(), tap_file.end()));
  // Today's rule: never over the input nor another tape.
  EXPECT_NE(harness::run_here({dir.file("c.tap"), "-tap"}).out.find("is the tape being read"), std::string::npos);
  EXPECT_NE(harness::run_here({dir.file("b.tzx"), dir.file("a.tap")}).out.find("a.tap is a tape image: it is not overwritten!"), std::string::npos);
  // The program's CSW-like pulses: a recording decoded into a TZX image.
  ASSERT_EQ(harness::run_here({"-exact", source_tape(dir), dir.file("s.wav")}).status, 0);
  int rate = 0;
  const std::vector<float> s = samples_of(dir.file("s.wav"), rate);
  std::vector<uint32_t> pulses{1};
  for (size_t i = 1; i < s.size(); i++) (s[i] > 0) == (s[i - 1] > 0) ? pulses.back()++ : (pulses.push_back(1), 0);
  Bytes c = csw(1, 0, rle(pulses));
  c[0x19] = 0x44, c[0x1A] = 0xAC;  // 44100 Hz
  save(dir.file("s.csw"), c);
  ASSERT_EQ(harness::run_here({dir.file("s.csw"), dir.file("d.tzx")}).status, 0);
  expect_same(dir.file("d.tzx"), rate);
}

// A long silence counted, not made: the decoder hears the same edges and
// finds the same blocks as when it is given each sample. The tape's pulses,
// with silences of 6 s before the tape (where every family still listens,
// the ZX81's through its high-pass), of 40 s between two blocks and of 3 s
// at the end, at 44.1 kHz and at a CSW file's highest rates.
TEST(Decode, ALongSilenceCountedIsTheSameAsItsSamples) {
  harness::TempDir dir;
  ASSERT_EQ(harness::run_here({"-exact", source_tape(dir), dir.file("s.wav")}).status, 0);
  int rate = 0;
  const std::vector<float> s = samples_of(dir.file("s.wav"), rate);
  std::vector<uint64_t> pulses{1};
  for (size_t i = 1; i < s.size(); i++) (s[i] > 0) == (s[i - 1] > 0) ? pulses.back()++ : (pulses.push_back(1), 0);
  for (const int scale : {1, 50}) {
    SCOPED_TRACE(scale);
    std::vector<uint64_t> p = pulses;
    for (uint64_t &n : p) n *= static_cast<uint64_t>(scale);
    const uint64_t r = static_cast<uint64_t>(rate) * static_cast<uint64_t>(scale);
    p.front() += 6 * r, *std::max_element(p.begin() + 1, p.end() - 1) += 40 * r, p.back() += 3 * r;
    struct Heard {
      std::vector<double> pulses;
      std::vector<decode::Found> found;
    } heard[2];
    for (int counted = 0; counted < 2; counted++) {
      decode::Decoder d(static_cast<int>(r));
      d.on_pulse([&](double q) { heard[counted].pulses.push_back(q); });
      std::vector<float> piece(1 << 14);
      size_t fill = 0;
      float level = 0.5f;
      for (const uint64_t n : p) {
        for (uint64_t i = 0; i < n; i++) {
          piece[fill++] = level;
          if (fill == piece.size()) d.feed(piece.data(), fill), fill = 0;
          if (counted && i == 1000) {
            d.feed(piece.data(), fill), fill = 0;
            d.rest(n - i - 1);
            break;
          }
        }
        level = -level;
      }
      d.feed(piece.data(), fill);
      d.finish();
      heard[counted].found = d.take();
    }
    EXPECT_EQ(heard[0].pulses, heard[1].pulses);
    ASSERT_GE(heard[0].found.size(), sources().size());
    ASSERT_EQ(heard[1].found.size(), heard[0].found.size());
    for (size_t i = 0; i < heard[0].found.size(); i++) {
      EXPECT_EQ(heard[1].found[i].start, heard[0].found[i].start);
      EXPECT_EQ(heard[1].found[i].block, heard[0].found[i].block);
      EXPECT_EQ(heard[0].found[i].check, heard[1].found[i].check);
    }
  }
}

}  // namespace
