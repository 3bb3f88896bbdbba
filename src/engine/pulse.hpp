// The pulse engine core: T-states to samples, the output level, and the runs
// of one sample value handed to whichever sink is open.
#pragma once

#include <cstdint>
#include <cstring>

#include "driver/settings.hpp"
#include "sinks/filesink.hpp"

constexpr int kLow = 16;
constexpr int kHigh = 240;
constexpr int kStageSize = 4096;

struct Engine {
  double cycle = 0.0;                        // output samples per T-state
  int amp = kLow;                            // current level: 16 or 240
  unsigned char audio_buffer[kStageSize]{};  // samples staged for the live sink
  int buf_index = 0;                         // samples in audio_buffer
  uint64_t samples = 0;                      // samples emitted in this run
};
inline Engine engine;

// Samples for n T-states: cycle * n + 0.5, truncated.
int ConvSB(int n);
// len samples of the byte value `amp` into the open sink.
void PlaySB(unsigned char amp, int len);
// A pause of tzx_pause milliseconds at level amp.
void PauseSB(unsigned char amp, int tzx_pause);
// Samples PauseSB emits for a pause of the given milliseconds.
int PauseSamples(int tzx_pause);
inline void ToggleAmp() { engine.amp = (engine.amp == kLow) ? kHigh : kLow; }

// The samples of a whole data byte of 8 bits (each bit two pulses of bit0 or
// bit1 samples, at most 32 each) that starts at `level`: made once per byte
// value and kept while the level and the bit lengths stay the same, which
// they do for a whole data block. Returns the samples and sets len.
const unsigned char *DataByteSamples(int level, int bit0, int bit1, unsigned byte, int &len);

// Pulses in a tight loop: a pulse is PlaySB(amp, n) followed by ToggleAmp().
// For the tens of millions of short pulses of a conversion, the writer keeps
// the level, the fill mark of the file sink's buffer and the sample count in
// locals while it works and hands them back when it is done (or before any
// run takes the general path), so each short pulse costs one fixed-size
// store into the buffer.
class PulseWriter {
 public:
  PulseWriter() { load(); }
  ~PulseWriter() { store(); }
  PulseWriter(const PulseWriter &) = delete;
  PulseWriter &operator=(const PulseWriter &) = delete;

  void pulse(int n) {
    if (n > 0 && n <= 32 && pos_ + n < cap_ && samples_ + static_cast<uint64_t>(n) <= max_) {
      std::memset(buf_ + pos_, level_, 32);
      pos_ += n;
      samples_ += static_cast<uint64_t>(n);
    } else {
      store();
      PlaySB(static_cast<unsigned char>(level_), n);
      load();
    }
    level_ = level_ == kLow ? kHigh : kLow;
  }

  // The first `bits` bits of a data byte, most significant first, each two
  // pulses of its length (bit1 for a 1, bit0 for a 0), so the level after a
  // bit is the level before it. A whole byte of short bits is copied from
  // its ready-made samples.
  void data_byte(unsigned byte, int bits, int bit0, int bit1) {
    if (bits == 8 && bit0 > 0 && bit1 > 0 && bit0 <= 32 && bit1 <= 32 && pos_ + 512 < cap_ &&
        samples_ + 512 <= max_) {
      int len = 0;
      const unsigned char *from = DataByteSamples(level_, bit0, bit1, byte, len);
      std::memcpy(buf_ + pos_, from, static_cast<size_t>(len));
      pos_ += len;
      samples_ += static_cast<uint64_t>(len);
      return;
    }
    for (; bits != 0; bits--, byte = (byte << 1) & 0xFF) {
      const int n = (byte & 0x80) ? bit1 : bit0;
      pulse(n);
      pulse(n);
    }
  }

 private:
  void load() {
    level_ = engine.amp;
    samples_ = engine.samples;
    max_ = settings.max_samples;
    if (filesink.open != FileKind::none) {
      buf_ = filesink.vocbuf;
      pos_ = filesink.vocpos;
      cap_ = filesink.vocbuflen;
    } else {
      buf_ = nullptr;
      pos_ = cap_ = 0;  // no file sink: every pulse takes the general path
    }
    start_ = pos_;
    held_ = true;
  }
  // Hands the locals back (once: after a general-path run that failed, the
  // globals are newer than the locals and stay as they are).
  void store() {
    if (!held_) return;
    held_ = false;
    engine.amp = level_;
    if (buf_) {
      if (filesink.open == FileKind::au)
        auhead.dataSize = static_cast<int>(static_cast<unsigned>(auhead.dataSize) + static_cast<unsigned>(pos_ - start_));
      filesink.vocpos = pos_;
      engine.samples = samples_;
    }
  }

  bool held_ = false;
  int level_ = kLow;
  unsigned char *buf_ = nullptr;
  int pos_ = 0, cap_ = 0, start_ = 0;
  uint64_t samples_ = 0, max_ = 0;
};
