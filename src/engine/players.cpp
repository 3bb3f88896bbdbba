#include "engine/players.hpp"

#include <variant>

#include "format/csw.hpp"
#include "format/failure.hpp"
#include "format/ids.hpp"
#include "format/signals.hpp"

namespace engine {

namespace {

using namespace format;

// Calls f(byte, bits, last) for every data byte: 8 bits each, `last_bits` of the last.
template <class F>
void each_byte(Bytes data, unsigned last_bits, F f) {
  for (size_t i = 0; i < data.size(); i++) {
    const bool last = i + 1 == data.size();
    f(data[i], last ? last_bits : 8u, last);
  }
}

// Calls f(bit) for the first `bits` bits of a byte in playing order. Once the
// byte's own 8 bits are spent, most significant first goes on with 0 bits and
// least significant first with copies of bit 7 (it shifts as a signed byte).
template <class F>
void each_bit(uint8_t byte, unsigned bits, bool lsb_first, F f) {
  for (; bits != 0; bits--) {
    if (lsb_first) {
      f(byte & 1);
      byte = static_cast<uint8_t>((byte >> 1) | (byte & 0x80));
    } else {
      f(byte >> 7);
      byte = static_cast<uint8_t>(byte << 1);
    }
  }
}

// The pause after a data block: its first millisecond keeps the level the
// data ended on, the rest is low.
void data_pause(uint16_t ms, PulseStream &s) {
  if (ms == 0) return;
  s.pause(1);
  s.set_level(Level::low);
  if (ms > 1) s.pause(ms - 1u);
}

// Pilot tone, sync pulses, data bits as two pulses of the bit's length, then
// the pause: standard, turbo and pure data blocks.
struct SpectrumData {
  uint32_t pilot = 0, pilot_pulses = 0, sync1 = 0, sync2 = 0;
  uint16_t bit0 = 0, bit1 = 0;
  unsigned last_bits = 8;
  uint16_t pause = 0;
  Bytes data;
};

void play(const SpectrumData &d, PulseStream &s) {
  s.pulses(d.pilot, d.pilot_pulses);
  s.sync(d.sync1);
  s.sync(d.sync2);
  each_byte(d.data, d.last_bits, [&](uint8_t byte, unsigned bits, bool) { s.bits(byte, bits, d.bit0, d.bit1); });
  data_pause(d.pause, s);
}

// A C64 pause: the first half low, the second (the longer one) high, then low.
void c64_pause(uint16_t ms, PulseStream &s) {
  if (ms == 0) return;
  s.pause(ms / 2u);
  s.set_level(Other(s.level()));
  s.pause(ms - ms / 2u);
  s.set_level(Other(s.level()));
}

// Waves of the given lengths, a length of 0 meaning none.
void waves(PulseStream &s, uint32_t first, uint32_t second) {
  if (first != 0) s.wave(first);
  if (second != 0) s.wave(second);
}

// Durations in units of a machine's clock as T-states: the remainder of each
// carries on to the next, so that a run of them keeps its time exactly.
class ClockTime {
 public:
  ClockTime(const Clock &c, PulseStream &s) : c_(c.hz != 0 && c.per != 0 ? c : signals::kSpectrum), s_(s) {}
  uint32_t tstates(uint64_t units) {
    const uint64_t num = units * kTstatesPerSecond * c_.per + rem_;
    rem_ = num % c_.hz;
    const uint64_t t = num / c_.hz;
    return t > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(t);
  }
  // n pulses of `units` each: one item when they are whole T-states alike.
  void pulses(uint32_t units, uint32_t n) {
    if (rem_ == 0 && uint64_t(units) * kTstatesPerSecond * c_.per % c_.hz == 0) return s_.pulses(tstates(units), n);
    for (; n != 0; n--) s_.pulse(tstates(units));
  }

 private:
  Clock c_;
  PulseStream &s_;
  uint64_t rem_ = 0;
};

// Bytes framed by leading and trailing bits (TSX, MSX, Acorn): each bit a
// run of pulses of its value's length.
struct Framed {
  const FramedData &b;
  ClockTime t;
  bool first = true;
  int pending = -1;  // a bit held back: the last one may lose its last pulse

  void bit(int v) {
    if (pending >= 0) emit(pending, false);
    pending = v;
  }
  void emit(int v, bool last) {
    uint32_t n = b.pulses[v];
    if (first && b.cut_first && n > 0) n--;
    if (last && b.cut_last && n > 0) n--;
    first = false;
    t.pulses(b.pulse[v], n);
  }
  void play(PulseStream &s) {
    if (b.before != 0) {
      s.set_level(Level::low);
      s.pause(b.before);
    }
    t.pulses(b.pilot, b.pilot_pulses);
    each_byte(b.data, b.last_bits, [&](uint8_t byte, unsigned bits, bool) {
      for (unsigned i = 0; i < b.leading; i++) bit(b.leading_value);
      int ones = 0;
      each_bit(byte, bits < b.data_bits ? bits : b.data_bits, !b.msb_first, [&](int v) {
        ones += v;
        bit(v);
      });
      if (b.parity != 0) bit((ones & 1) ^ (b.parity == 2));
      for (unsigned i = 0; i < b.trailing; i++) bit(b.trailing_value);
      if (b.extra_pulses != 0) {
        if (pending >= 0) emit(pending, false);
        pending = -1;
        t.pulses(b.pulse[1], b.extra_pulses);
      }
    });
    if (pending >= 0) emit(pending, true);
    t.pulses(b.tail, b.tail_pulses);
    data_pause(b.pause, s);
  }
};

// A generalized data block: symbols spelled as pulse sequences.
struct Generalized {
  PulseStream &s;
  const GeneralizedData &b;
  std::string problem;
  uint64_t budget = kMaxBlockPulses;

  // A symbol, `reps` times: its flag sets the level of its first pulse, the
  // rest are ordinary pulses; a length of 0 ends it.
  bool symbol(const SymbolTable &t, unsigned sym, uint32_t reps) {
    if (!t.has(sym)) {
      problem = "holds a symbol that is not in its table - left out";
      return true;
    }
    const unsigned first = t.pulse(sym, 0);
    if (first == 0) return true;  // no pulse at all
    unsigned n = 1;
    while (n < t.pulses && t.pulse(sym, n) != 0) n++;
    bool within = true;
    if (uint64_t(reps) * n > budget) {
      problem = format::strprintf("would make more than %llu pulses - the rest is left out",
                                  static_cast<unsigned long long>(kMaxBlockPulses));
      reps = static_cast<uint32_t>(budget / n);
      within = false;
    }
    budget -= uint64_t(reps) * n;
    const unsigned flag = t.flag(sym);
    if (n == 1 && flag == 0) {
      s.pulses(first, reps);  // a tone
      return within;
    }
    for (uint32_t r = 0; r < reps; r++) {
      switch (flag) {
        case 1: s.set_level(Other(s.level())); break;  // no edge: it lengthens the pulse before
        case 2: s.set_level(Level::low); break;
        case 3: s.set_level(Level::high); break;
      }
      for (unsigned i = 0; i < n; i++) s.pulse(t.pulse(sym, i));
    }
    return within;
  }

  void play() {
    Reader pilot(b.pilot_stream);
    for (uint64_t e = 0; e < b.pilot_entries && pilot.fits(3 * e, 3); e++)
      if (!symbol(b.pilot_table, pilot.u8(3 * e), pilot.u16(3 * e + 1))) return;
    if (b.data_symbols > 0 && b.bits == 0) {  // a table of one symbol: every data symbol is that one
      if (!symbol(b.data_table, 0, b.data_symbols)) return;
    }
    for (uint64_t i = 0, at = 0; b.bits > 0 && i < b.data_symbols; i++, at += b.bits) {
      if (at + b.bits > 8 * uint64_t(b.data_stream.size())) break;
      unsigned sym = 0;
      for (unsigned k = 0; k < b.bits; k++) {
        const uint64_t bit = at + k;
        sym = sym << 1 | ((b.data_stream[bit / 8] >> (7 - bit % 8)) & 1);
      }
      if (!symbol(b.data_table, sym, 1)) return;
    }
    if (!b.complete) problem = "runs past its end - played what is inside";
  }
};

struct Player {
  PulseStream &s;
  std::string problem;

  void fail(const std::string &what) {
    if (problem.empty()) problem = what;
  }

  // A flag byte below 128 marks a header-style block: it gets the long pilot
  // tone, which loaders rely on to get ready for the block.
  void operator()(const StandardData &b) {
    const bool header = !b.data.empty() && b.data[0] < 0x80;
    play(SpectrumData{rom::pilot, header ? rom::header_pilot_pulses : rom::data_pilot_pulses, rom::sync1, rom::sync2,
                      rom::bit0, rom::bit1, 8, b.pause, b.data},
         s);
  }
  void operator()(const TurboData &b) {
    play(SpectrumData{b.pilot, b.pilot_pulses, b.sync1, b.sync2, b.bit0, b.bit1, b.last_bits, b.pause, b.data}, s);
  }
  void operator()(const PureData &b) {
    play(SpectrumData{0, 0, 0, 0, b.bit0, b.bit1, b.last_bits, b.pause, b.data}, s);
  }
  void operator()(const PureTone &b) { s.pulses(b.pulse, b.count); }
  void operator()(const PulseSequence &b) {
    for (size_t i = 0; i < b.count; i++) s.pulse(b.length(i));
  }
  // Each bit a sample of the recording, its level; the recording keeps its
  // own time (T-states are samples at 3.5 MHz).
  void operator()(const DirectRecording &b) {
    each_byte(b.data, b.last_bits, [&](uint8_t byte, unsigned bits, bool) {
      each_bit(byte, bits, false, [&](int bit) {
        s.sampled(b.tstates_per_sample, format::kTstatesPerSecond, bit ? Level::high : Level::low);
      });
    });
    s.set_level(Level::low);
    if (b.pause != 0) s.pause(b.pause);
  }
  // Pulses of the recording, each its length in samples at the block's rate,
  // then the pause low as after a direct recording.
  void operator()(const CswRecording &b) {
    if (b.rate == 0) return fail("has a sampling rate of 0 - skipped");
    if (b.compression != 1 && b.compression != 2) return fail("uses an unknown compression - skipped");
    format::CswPulses pulses(b.stream, b.compression);
    if (b.initial_high) s.set_level(*b.initial_high ? Level::high : Level::low);
    for (uint32_t n = 0; pulses.next(n);) {
      s.sampled(n, b.rate, s.level());
      s.set_level(Other(s.level()));
    }
    if (pulses.problem()) fail(std::string("holds ") + pulses.problem() + " - played what is before it");
    s.set_level(Level::low);
    if (b.pause != 0) s.pause(b.pause);
  }
  void operator()(const GeneralizedData &b) {
    Generalized g{s, b, {}, kMaxBlockPulses};
    g.play();
    if (!g.problem.empty()) fail(g.problem);
    data_pause(b.pause, s);
  }
  void operator()(const SignalLevel &b) {
    if (b.level > 1) return fail(format::strprintf("sets the level %u, which is no level - ignored", b.level));
    s.set_level(b.level ? Level::high : Level::low);
  }
  void operator()(const C64RomData &b) {
    s.set_level(Level::low);
    s.pulses(b.pilot, 2u * b.pilot_waves);
    waves(s, b.sync1, b.sync2);
    auto bit_waves = [&](int bit) {
      if (bit) waves(s, b.bit1_first, b.bit1_second);
      else waves(s, b.bit0_first, b.bit0_second);
    };
    each_byte(b.data, b.last_bits, [&](uint8_t byte, unsigned bits, bool last) {
      int check = b.xor_type;
      each_bit(byte, bits, b.endian == 0, [&](int bit) {
        bit_waves(bit);
        check ^= bit;
      });
      if (b.xor_type != 0xFF) bit_waves(check != 0);
      if (last) waves(s, b.finish_data_first, b.finish_data_second);
      else waves(s, b.finish_byte_first, b.finish_byte_second);
    });
    s.pulses(b.trailing_pulse, 2u * b.trailing_waves);
    c64_pause(b.pause, s);
  }
  void operator()(const C64TurboData &b) {
    s.set_level(Level::low);
    const unsigned extra = b.additional & 3;
    const uint32_t extra_wave = (b.additional & 8) ? b.bit1 : b.bit0;
    auto byte_waves = [&](uint8_t byte, unsigned bits, bool = false) {
      if (!(b.additional & 4))
        for (unsigned i = 0; i < extra; i++) s.wave(extra_wave);
      each_bit(byte, bits, b.endian == 0, [&](int bit) { s.wave(bit ? b.bit1 : b.bit0); });
      if (b.additional & 4)
        for (unsigned i = 0; i < extra; i++) s.wave(extra_wave);
    };
    for (uint32_t n = b.lead_in_count; n != 0; n--) byte_waves(b.lead_in_byte, 8);
    each_byte(b.data, b.last_bits, byte_waves);
    for (uint32_t n = b.trailing_count; n != 0; n--) byte_waves(b.trailing_byte, 8);
    c64_pause(b.pause, s);
  }
  void operator()(const FramedData &b) { Framed{b, ClockTime(b.clock, s)}.play(s); }
  void operator()(const Gap &b) {
    s.set_level(b.level ? Level::high : Level::low);
    if (b.tstates != 0) s.pulse(b.tstates);
    s.set_level(b.level ? Level::high : Level::low);
  }
  // Each entry a count and a duration; a duration of 0 only toggles the level.
  void operator()(const PzxPulses &b) {
    s.set_level(Level::low);
    size_t at = 0;
    for (uint32_t count = 0, d = 0; b.next(at, count, d);) toggles_or_pulses(d, count);
    if (at < b.entries.size()) fail("ends inside a pulse - played what is before it");
  }
  void toggles_or_pulses(uint32_t d, uint32_t count) {
    if (d != 0) s.pulses(d, count);
    else if (count & 1) s.set_level(Other(s.level()));
  }
  void operator()(const PzxData &b) {
    s.set_level(b.level ? Level::high : Level::low);
    const Reader s0(b.s0), s1(b.s1);
    for (uint32_t i = 0; i < b.bits; i++) {
      if (i / 8 >= b.data.size()) {
        fail("ends before its bits - played what is inside");
        break;
      }
      const bool one = (b.data[i / 8] >> (7 - i % 8)) & 1;
      const Reader &seq = one ? s1 : s0;
      for (size_t k = 0, n = one ? b.p1 : b.p0; k < n; k++) toggles_or_pulses(seq.u16(2 * k), 1);
    }
    if (b.tail != 0) s.pulse(b.tail);
  }
  // Each value a whole cycle, half of it at each level (versions 0 and 1),
  // or a half cycle (version 2).
  void operator()(const CommodorePulses &b) {
    ClockTime t(b.clock, s);
    size_t at = 0;
    for (uint32_t cycles = 0; b.next(at, cycles);) {
      const uint32_t tstates = t.tstates(cycles);
      if (b.version == 2) {
        s.pulse(tstates);
      } else {
        s.pulse(tstates / 2);
        s.pulse(tstates - tstates / 2);
      }
    }
  }
  // Silence, then each byte most significant bit first: a bit is a run of
  // pulses high and low, then silence.
  void operator()(const Zx81Program &b) {
    using namespace signals::zx81;
    s.set_level(Level::low);
    s.pause(kSilenceBefore);
    auto byte = [&](uint8_t v) {
      each_bit(v, 8, false, [&](int bit) {
        s.set_level(Level::high);
        s.pulses(kHalfPulse, 2u * (bit ? kOnePulses : kZeroPulses));
        s.set_level(Level::low);
        s.pulse(kBitGap);
        s.set_level(Level::low);
      });
    };
    for (uint8_t v : b.name) byte(v);
    for (uint8_t v : b.data) byte(v);
    s.pause(kPauseAfter);
  }
  void operator()(const Pause &b) {
    s.set_level(Level::low);
    s.pause(b.ms);
  }
  // Stopping the tape is the driver's; the level goes low as for any 0x20 block.
  void operator()(const StopTape &) { s.set_level(Level::low); }

  // Blocks that make no sound.
  void operator()(const Unknown &) {}
  void operator()(const GroupStart &) {}
  void operator()(const GroupEnd &) {}
  void operator()(const Jump &) {}
  void operator()(const LoopStart &) {}
  void operator()(const LoopEnd &) {}
  void operator()(const CallSequence &) {}
  void operator()(const ReturnFromCall &) {}
  void operator()(const Select &) {}
  void operator()(const Stop48k &) {}
  void operator()(const Description &) {}
  void operator()(const Message &) {}
  void operator()(const ArchiveInfo &) {}
  void operator()(const HardwareInfo &) {}
  void operator()(const EmulationInfo &) {}
  void operator()(const CustomInfo &) {}
  void operator()(const Snapshot &) {}
  void operator()(const MergedTapes &) {}
  void operator()(const TapeText &) {}
};

}  // namespace

std::string Play(const format::Block &block, PulseStream &s) {
  Player p{s, {}};
  std::visit(p, block);
  return p.problem;
}

}  // namespace engine
