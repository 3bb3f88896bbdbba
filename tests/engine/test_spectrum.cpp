// Spectrum-style blocks converted end to end: the sample stream written to
// an AU and a VOC file at 44100 Hz must be exactly the pulses the block
// timings call for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/harness.hpp"
#include "support/samples.hpp"
#include "support/tzx.hpp"

namespace {

using samples::HIGH;
using samples::LOW;
using samples::Stream;
constexpr int kRate = 44100;

int conv(int tstates) { return samples::conv(kRate, tstates); }
int pause(int ms) { return samples::pause(kRate, ms); }

// Converts the tape to AU and to VOC at 44100 Hz; both files must hold the
// stream followed by the closing second at the level the tape ended on.
void ExpectConversion(const tzx::Tzx &t, Stream s) {
  s.run(s.level, pause(1000));
  harness::TempDir dir;
  t.save(dir.file("t.tzx"));
  harness::Result au = harness::run({"-au", dir.file("t.tzx"), dir.file("t.au")});
  ASSERT_EQ(au.status, 0) << au.out;
  EXPECT_TRUE(harness::read_file(dir.file("t.au")) == samples::au_file(s.bytes, kRate)) << "AU differs";
  harness::Result voc = harness::run({"-voc", "-freq", "44100", dir.file("t.tzx"), dir.file("t.voc")});
  ASSERT_EQ(voc.status, 0) << voc.out;
  EXPECT_TRUE(harness::read_file(dir.file("t.voc")) == samples::voc_file(s.bytes, kRate)) << "VOC differs";
}

// Pulses of a data block: pilot tone, sync pulses (left out when 0 samples
// long), two pulses per bit, most significant bit first, only `lastbyte` bits
// of the last byte (a byte shifted empty gives 0 bits), then the pause.
void DataBlock(Stream &s, int pilots, int pilot, int sync1, int sync2, int bit0, int bit1, const tzx::Bytes &data,
               int lastbyte, int pause_ms) {
  for (int i = 0; i < pilots; i++) s.pulse(pilot);
  if (sync1) s.pulse(sync1);
  if (sync2) s.pulse(sync2);
  for (size_t i = 0; i < data.size(); i++) {
    int bits = i + 1 == data.size() ? lastbyte : 8;
    for (int k = 0; k < bits; k++) {
      int n = (k < 8 && (data[i] >> (7 - k)) & 1) ? bit1 : bit0;
      s.pulse(n).pulse(n);
    }
  }
  if (pause_ms) {
    s.run(s.level, pause(1));
    s.level = LOW;
    s.run(LOW, pause(pause_ms - 1));
  }
}

TEST(SpectrumPlayback, StandardHeaderBlockAfterOddTone) {
  // A tone of 3 pulses leaves the level high, so the header block starts and
  // ends high: its first millisecond of pause is high, the rest low.
  tzx::Bytes header = tzx::spectrum_header(3, "reelwright", 6912, 16384, 32768);
  ASSERT_EQ(header.size(), 19u);
  tzx::Tzx t;
  t.tone(1000, 3).standard(1000, header);
  Stream s;
  for (int i = 0; i < 3; i++) s.pulse(conv(1000));
  ASSERT_EQ(s.level, HIGH);
  for (int i = 0; i < 8064; i++) s.pulse(27);
  s.pulse(8).pulse(9);
  for (uint8_t byte : header)
    for (int k = 7; k >= 0; k--) s.pulse((byte >> k) & 1 ? 22 : 11).pulse((byte >> k) & 1 ? 22 : 11);
  s.run(HIGH, 44);
  s.run(LOW, 44055);
  s.level = LOW;
  ExpectConversion(t, s);
}

TEST(SpectrumPlayback, NonZeroFlagBytesGiveShortPilot) {
  tzx::Tzx t;
  Stream s;
  for (uint8_t flag : {0x01, 0x80, 0xFF}) {
    tzx::Bytes block = tzx::data_block(flag, {0x12, 0x34});
    t.standard(1000, block);
    DataBlock(s, 3220, 27, 8, 9, 11, 22, block, 8, 1000);
  }
  ExpectConversion(t, s);
}

TEST(SpectrumPlayback, TurboBlocksAndLastByteBits) {
  tzx::Timing tm{.pilot = 1000, .sync1 = 500, .sync2 = 600, .bit0 = 400, .bit1 = 800, .pilot_len = 5};
  tzx::Timing nosync{.pilot = 1000, .sync1 = 0, .sync2 = 0, .bit0 = 400, .bit1 = 800, .pilot_len = 0};
  const tzx::Bytes data{0xA5, 0xC3};
  tzx::Tzx t;
  Stream s;
  // Only the top bit of the last byte; pilot of 5 pulses (odd) and a pause
  // of 1 ms: one millisecond at the level the data ended on, then low.
  t.turbo(tm, 1, 1, data);
  DataBlock(s, 5, conv(1000), conv(500), conv(600), conv(400), conv(800), data, 1, 1);
  // Nothing of the last byte, no pause: the level carries into the next block.
  t.turbo(tm, 0, 0, data);
  DataBlock(s, 5, conv(1000), conv(500), conv(600), conv(400), conv(800), data, 0, 0);
  ASSERT_EQ(s.level, HIGH);
  // 10 bits of the last byte: its 8 bits, then two 0 bits.
  t.turbo(tm, 10, 250, data);
  DataBlock(s, 5, conv(1000), conv(500), conv(600), conv(400), conv(800), data, 10, 250);
  // No data: pilot, syncs and pause all the same.
  t.turbo(tm, 8, 20, {});
  DataBlock(s, 5, conv(1000), conv(500), conv(600), conv(400), conv(800), {}, 8, 20);
  // No pilot, no syncs: plays like pure data.
  t.turbo(nosync, 8, 2, data);
  DataBlock(s, 0, 0, 0, 0, conv(400), conv(800), data, 8, 2);
  ExpectConversion(t, s);
}

TEST(SpectrumPlayback, TonesSequencesAndPureDataCarryTheLevel) {
  tzx::Tzx t;
  Stream s;
  t.tone(2168, 0);  // nothing at all, level unchanged
  t.tone(1234, 3);
  for (int i = 0; i < 3; i++) s.pulse(conv(1234));
  // Pure data without pause starts high and leaves the level as it was.
  t.pure_data(855, 1710, 6, 0, {0x0F, 0xE0});
  DataBlock(s, 0, 0, 0, 0, 11, 22, {0x0F, 0xE0}, 6, 0);
  ASSERT_EQ(s.level, HIGH);
  // Each length of a sequence is converted on its own.
  std::vector<unsigned> lengths{667, 735, 39, 40, 3000};
  t.pulses(lengths);
  for (unsigned l : lengths) s.pulse(conv(static_cast<int>(l)));
  ASSERT_EQ(s.level, LOW);
  // 200 pulses: 400 bytes of lengths, each converted on its own.
  lengths.clear();
  for (unsigned i = 0; i < 200; i++) lengths.push_back(100 + 37 * i);
  t.pulses(lengths).tone(2168, 1);
  for (unsigned l : lengths) s.pulse(conv(static_cast<int>(l)));
  s.pulse(27);
  ASSERT_EQ(s.level, HIGH);
  // A pure data block with a pause of 1 ms: 1 ms high (the data's level), then low.
  t.pure_data(855, 1710, 8, 1, {0x81});
  DataBlock(s, 0, 0, 0, 0, 11, 22, {0x81}, 8, 1);
  ExpectConversion(t, s);
}

TEST(SpectrumPlayback, DirectRecordingSetsLevelsFromBits) {
  tzx::Tzx t;
  Stream s;
  t.tone(1000, 1);  // level high before the recording
  s.pulse(conv(1000));
  // 20 T-states convert to 0 samples: every recorded bit is one sample.
  // The first bit is 0, so the recording starts low although the level was high.
  t.direct(20, 0, 3, {0x5A, 0xE0});
  ASSERT_EQ(conv(20), 0);
  for (int bit : {0, 1, 0, 1, 1, 0, 1, 0, 1, 1, 1}) s.run(bit ? HIGH : LOW, 1);
  s.level = LOW;
  // 158 T-states are 2 samples a bit; the whole pause is low even after a high bit.
  t.direct(158, 10, 8, {0x81});
  for (int bit : {1, 0, 0, 0, 0, 0, 0, 1}) s.run(bit ? HIGH : LOW, 2);
  s.run(LOW, pause(10));
  ExpectConversion(t, s);
}

TEST(SpectrumPlayback, PauseBlockIsLowWhateverTheLevel) {
  tzx::Tzx t;
  Stream s;
  t.tone(1000, 1).pause(500);
  s.pulse(conv(1000));
  ASSERT_EQ(pause(500), 22050);
  s.run(LOW, 22050);
  s.level = LOW;
  ExpectConversion(t, s);
}

}  // namespace
