#include "engine/players.hpp"

#include <variant>

#include "format/ids.hpp"

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
  if (d.pause != 0) {
    // The first millisecond keeps the level the data ended on.
    s.pause(1);
    s.set_level(Level::low);
    if (d.pause > 1) s.pause(d.pause - 1u);
  }
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

struct Player {
  PulseStream &s;

  void operator()(const StandardData &b) {
    const bool header = !b.data.empty() && b.data[0] == 0;
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
  void operator()(const DirectRecording &b) {
    each_byte(b.data, b.last_bits, [&](uint8_t byte, unsigned bits, bool) {
      each_bit(byte, bits, false,
               [&](int bit) { s.recorded(b.tstates_per_sample, bit ? Level::high : Level::low); });
    });
    s.set_level(Level::low);
    if (b.pause != 0) s.pause(b.pause);
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
};

}  // namespace

void Play(const format::Block &block, PulseStream &s) { std::visit(Player{s}, block); }

}  // namespace engine
