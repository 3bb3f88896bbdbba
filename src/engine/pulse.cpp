#include "engine/pulse.hpp"

#include <cstring>

#include "driver/console.hpp"
#include "driver/live.hpp"
#include "driver/settings.hpp"
#include "sinks/aufile.hpp"
#include "sinks/vocfile.hpp"

namespace {

// The ready-made samples of data bytes for one level and pair of bit lengths.
struct ByteSamples {
  int level = -1, bit0 = -1, bit1 = -1;
  bool made[256] = {};
  uint16_t len[256] = {};
  unsigned char samples[256][512];
};
ByteSamples byte_samples;

}  // namespace

const unsigned char *DataByteSamples(int level, int bit0, int bit1, unsigned byte, int &len) {
  ByteSamples &c = byte_samples;
  if (c.level != level || c.bit0 != bit0 || c.bit1 != bit1) {
    c.level = level, c.bit0 = bit0, c.bit1 = bit1;
    std::memset(c.made, 0, sizeof c.made);
  }
  if (!c.made[byte]) {
    const unsigned char other = static_cast<unsigned char>(level == kLow ? kHigh : kLow);
    unsigned char *at = c.samples[byte];
    for (int i = 7; i >= 0; i--) {
      const int n = ((byte >> i) & 1) ? bit1 : bit0;
      std::memset(at, level, static_cast<size_t>(n));
      std::memset(at + n, other, static_cast<size_t>(n));
      at += 2 * n;
    }
    c.len[byte] = static_cast<uint16_t>(at - c.samples[byte]);
    c.made[byte] = true;
  }
  len = c.len[byte];
  return c.samples[byte];
}

int ConvSB(int n) { return static_cast<int>(engine.cycle * n + 0.5); }

int PauseSamples(int tzx_pause) {
  // The product is formed in single precision, as stored conversions expect:
  // 65535 ms at 48000 Hz is 3145679 samples, not 3145680.
  float product = static_cast<float>(tzx_pause) * static_cast<float>(settings.freq);
  return static_cast<int>(static_cast<double>(product) / 1000.0);
}

void PauseSB(unsigned char amp, int tzx_pause) { PlaySB(amp, PauseSamples(tzx_pause)); }

void PlaySB(unsigned char amp, int len) {
  if (len <= 0) return;
  if (settings.voc || settings.au) {
    // A conversion never grows past what the AU header can count; this also
    // bounds the disk space any tape can take, however it loops.
    if (engine.samples + static_cast<uint64_t>(len) > settings.max_samples)
      Error(strprintf("The output grew too long: a sound file holds at most %llu samples!",
                      static_cast<unsigned long long>(settings.max_samples)));
    engine.samples += static_cast<uint64_t>(len);
    if (settings.voc) PlayVOC(amp, len);
    else PlayAU(amp, len);
    return;
  }
  engine.samples += static_cast<uint64_t>(len);
  while (len > 0) {
    int n = kStageSize - engine.buf_index;
    if (n > len) n = len;
    std::memset(engine.audio_buffer + engine.buf_index, amp, static_cast<size_t>(n));
    engine.buf_index += n;
    len -= n;
    if (engine.buf_index == kStageSize) flushSBBuffer();
  }
}
