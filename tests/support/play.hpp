// Plays tapes, or hand-made pulse tables, into tables a test can compare: the
// pulse stream, or the samples the resampler makes of it and how the output
// was handed them.
#pragma once

#include "engine/players.hpp"
#include "engine/resampler.hpp"
#include "format/tape.hpp"
#include "support/tzx.hpp"

namespace playing {

using engine::Level, engine::Pulse, engine::Unit;
constexpr Level L = Level::low, H = Level::high;

// Items as tables write them.
inline Pulse T(uint32_t t, uint32_t n, Level l) { return {t, n, Unit::tstates, l}; }
inline Pulse Ms(uint32_t ms, Level l) { return {ms, 1, Unit::millis, l}; }
inline Pulse S(uint32_t n, uint32_t rate, Level l) { return {n, rate, Unit::sampled, l}; }
inline Pulse Bits(uint8_t byte, uint32_t n, uint16_t zero, uint16_t one, Level l) {
  return {zero, n, Unit::bits, l, one, byte};
}

// Keeps what it is handed: pulses, or samples ("s<n>" in `calls` for n
// ready-made ones, "r<n>" for a run), and the warnings of the blocks.
struct Played : engine::PulseConsumer, engine::SampleOutput {
  std::vector<Pulse> items;
  std::string samples_, problems;
  std::vector<std::string> calls;
  size_t chunk_size = 64 * 1024, lead_bytes = 0;
  uint64_t cap = UINT64_MAX;

  void take(std::span<const Pulse> p) override { items.insert(items.end(), p.begin(), p.end()); }
  int begin(int rate) override { return rate; }
  void run(uint8_t v, uint64_t n) override {
    samples_.append(n, static_cast<char>(v)), calls.push_back(std::string(1, 'r').append(std::to_string(n)));
  }
  void samples(std::span<const uint8_t> s) override {
    samples_.append(s.begin(), s.end()), calls.push_back(std::string(1, 's').append(std::to_string(s.size())));
  }
  void finish() override {}
  void abandon() override {}
  uint64_t capacity() const override { return cap; }
  size_t chunk() const override { return chunk_size; }
  size_t lead() const override { return lead_bytes; }
};

// Every block of the tape, played from `start` at `rate`: as pulses, or
// rendered to samples.
inline Played tape(const format::Tape &tape, Level start, bool render, int rate, engine::Timing timing = {}) {
  Played out;
  engine::TimeBase time(rate, timing);
  engine::Resampler r(out, time);
  engine::PulseStream s(render ? static_cast<engine::PulseConsumer &>(r) : out, time);
  s.set_level(start);
  for (int i = 0; i < tape.size(); i++) out.problems += engine::Play(tape.at(i).block, s);
  s.flush();
  r.flush();
  return out;
}

inline Played tape(const tzx::Tzx &t, Level start, bool render, int rate, engine::Timing timing = {}) {
  return tape(format::Tape::FromTzx(t.bytes), start, render, rate, timing);
}

// The samples of pulses at `rate`, as `out` takes them.
inline Played render(int rate, const std::vector<Pulse> &items, Played out = {}, engine::Timing timing = {}) {
  engine::TimeBase time(rate, timing);
  engine::Resampler r(out, time);
  r.take(items);
  r.flush();
  return out;
}

}  // namespace playing
