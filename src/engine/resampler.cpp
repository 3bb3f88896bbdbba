#include "engine/resampler.hpp"

#include <cstring>

#include "format/failure.hpp"
#include "format/ids.hpp"

namespace engine {

namespace {

// 32 samples of each level, for the fixed-size store of a short pulse.
struct Splat {
  uint8_t low[32], high[32];
  Splat() {
    std::memset(low, static_cast<int>(Level::low), sizeof low);
    std::memset(high, static_cast<int>(Level::high), sizeof high);
  }
};
const Splat kSplat;

constexpr uint64_t kTstatesPerMs = format::kTstatesPerSecond / 1000;

}  // namespace

struct Resampler::ByteSamples {
  Level level = Level::low;
  uint32_t n0 = UINT32_MAX, n1 = UINT32_MAX;
  bool made[256] = {};
  uint16_t len[256] = {};
  uint8_t samples[256][kByte];
};

Resampler::Resampler(SampleOutput &out, const TimeBase &time)
    : out_(out), time_(time), size_(out.chunk()), capacity_(out.capacity()), left_(out.capacity()),
      bytes_(new ByteSamples) {  // its samples are not cleared: they are made when first used
  if (size_ < kShort) size_ = kShort;
  handed_ = out.lead() % size_;  // counted as if handed over, so that chunks end on the output's boundaries
  end_ = size_ - static_cast<size_t>(handed_);
  chunk_.reset(new uint8_t[size_ + kByte]);  // room for the fixed-size stores at the end; not cleared
}

Resampler::~Resampler() = default;

const uint8_t *Resampler::byte_samples(Level level, uint32_t n0, uint32_t n1, uint8_t byte, size_t &len) {
  ByteSamples &c = *bytes_;
  if (c.level != level || c.n0 != n0 || c.n1 != n1) {
    c.level = level, c.n0 = n0, c.n1 = n1;
    std::memset(c.made, 0, sizeof c.made);
  }
  if (!c.made[byte]) {
    uint8_t *at = c.samples[byte];
    for (int i = 7; i >= 0; i--) {
      const uint32_t n = ((byte >> i) & 1) ? n1 : n0;
      std::memset(at, static_cast<int>(level), n);
      std::memset(at + n, static_cast<int>(Other(level)), n);
      at += 2 * n;
    }
    c.len[byte] = static_cast<uint16_t>(at - c.samples[byte]);
    c.made[byte] = true;
  }
  len = c.len[byte];
  return c.samples[byte];
}

struct Resampler::ExactBytes {
  uint32_t t0 = UINT32_MAX, t1 = UINT32_MAX;  // the bit lengths in T-states
  uint64_t q[2] = {}, r[2] = {};              // their samples and units
  bool made[256] = {};
  ExactByte byte[256];
};

const Resampler::ExactByte *Resampler::exact_byte(uint32_t t0, uint32_t t1, uint8_t value) {
  if (!exact_) exact_.reset(new ExactBytes);
  ExactBytes &x = *exact_;
  const uint64_t den = tden_;
  if (x.t0 != t0 || x.t1 != t1) {
    x.t0 = t0, x.t1 = t1;
    for (int i = 0; i < 2; i++) {
      const uint64_t units = uint64_t(i ? t1 : t0) * per_;
      x.q[i] = units / den, x.r[i] = units % den;
    }
    std::memset(x.made, 0, sizeof x.made);
  }
  if (x.q[0] >= kShort || x.q[1] >= kShort) return nullptr;
  ExactByte &b = x.byte[value];
  if (!x.made[value]) {
    uint64_t end = 0, units = 0;  // from the byte's start, with no units carried into it
    for (int k = 0; k < 16; k++) {
      const int bit = (value >> (7 - k / 2)) & 1;
      end += x.q[bit], units += x.r[bit];
      if (units >= den) units -= den, end++;
      b.end[k] = static_cast<uint16_t>(end);
      b.at[k] = static_cast<uint32_t>(den - units);
    }
    x.made[value] = true;
  }
  return &b;
}

void Resampler::take(std::span<const Pulse> items) {
  uint8_t *const chunk = chunk_.get();
  const double cycle = time_.cycle();  // in a register: the stores below may alias anything
  const bool exact = time_.timing().exact;
  size_t pos = pos_, stop = 0;
  uint64_t rem = rem_;
  // Short pulses go straight into the chunk up to `stop`: the chunk's end, or
  // where the output's capacity runs out. Anything else takes emit().
  auto resume = [&] {
    pos = pos_;
    stop = left_ < end_ - pos ? pos + static_cast<size_t>(left_) : end_;
  };
  auto slow = [&](Level l, uint64_t n) {
    left_ -= pos - pos_;
    pos_ = pos;
    emit(static_cast<uint8_t>(l), n);
    resume();
  };
  auto splat = [](Level l) { return l == Level::low ? kSplat.low : kSplat.high; };
  // c pulses, the first at level l, each next() samples long and at most
  // `most` (at least 1).
  auto pulses = [&](Level l, uint32_t c, uint64_t most, auto next) {
    while (c > 0 && most <= kShort) {
      const uint64_t room = (stop - pos) / most;
      uint32_t k = room < c ? static_cast<uint32_t>(room) : c;
      const uint8_t *a = splat(l), *b = splat(Other(l));
      c -= k;
      for (; k >= 2; k -= 2) {
        std::memcpy(chunk + pos, a, kShort);
        pos += next();
        std::memcpy(chunk + pos, b, kShort);
        pos += next();
      }
      if (k) {
        std::memcpy(chunk + pos, a, kShort);
        pos += next();
        l = Other(l);
      }
      if (c == 0) return;
      slow(l, next());  // at the chunk's end: the next pulse takes the long way
      l = Other(l);
      c--;
    }
    for (; c > 0; c--, l = Other(l)) slow(l, next());
  };
  // c pulses of n samples.
  auto even_pulses = [&](Level l, uint32_t n, uint32_t c) {
    if (n != 0) pulses(l, c, n, [n] { return n; });  // else only the level changes
  };

  // Exact time: the whole samples of x units, the part of a sample left over
  // carried on. Units are 1/den_ of a sample; in_units() changes them.
  auto advance = [&](uint64_t x) {
    rem += x;
    const uint64_t n = rem / den_;
    rem %= den_;
    return n;
  };
  auto in_units = [&](uint64_t den) {
    if (den_ == den) return;
    rem = static_cast<uint64_t>(static_cast<unsigned __int128>(rem) * den / den_);
    den_ = den;
  };
  // c pulses of t T-states in exact time, the first at level l: each is q or
  // q + 1 samples, as the units carried reach a whole sample.
  auto exact_pulses = [&](Level l, uint32_t t, uint32_t c) {
    in_units(tden_);
    const uint64_t den = tden_, x = uint64_t(t) * per_, q = x / den, r = x % den;
    pulses(l, c, q + 1, [&] {
      rem += r;
      const bool over = rem >= den;
      if (over) rem -= den;
      return q + over;
    });
  };
  // A data byte in exact time: its pulses' ends from the byte's table, each
  // store independent of the others; else pulse by pulse.
  auto exact_bits = [&](const Pulse &p) {
    in_units(tden_);
    const ExactBytes *x = exact_.get();
    const uint8_t value = static_cast<uint8_t>(p.byte);
    const bool made = x && x->t0 == p.length && x->t1 == p.one && x->made[value];
    const ExactByte *e = p.count != 8 ? nullptr : made ? &x->byte[value] : exact_byte(p.length, p.one, value);
    if (e && pos + 16 * kShort <= stop) {
      uint8_t a[kShort], b[kShort];  // in registers: the stores cannot change them
      std::memcpy(a, splat(p.level), kShort);
      std::memcpy(b, splat(Other(p.level)), kShort);
      uint8_t *const at = chunk + pos;
      std::memcpy(at, a, kShort);
#pragma GCC unroll 16
      for (int k = 1; k < 16; k++) std::memcpy(at + e->end[k - 1] + (rem >= e->at[k - 1]), k & 1 ? b : a, kShort);
      const bool over = rem >= e->at[15];
      pos += e->end[15] + over;
      rem += tden_ - e->at[15];
      if (over) rem -= tden_;
      return;
    }
    unsigned byte = p.byte;
    for (uint32_t i = 0; i < p.count; i++, byte <<= 1) exact_pulses(p.level, (byte & 0x80) ? p.one : p.length, 2);
  };

  resume();
  for (const Pulse &p : items) {
    if (exact) {
      switch (p.unit) {
        case Unit::tstates: exact_pulses(p.level, p.length, p.count); break;
        case Unit::bits: exact_bits(p); break;
        case Unit::millis:
          in_units(tden_);
          slow(p.level, advance(uint64_t(p.length) * kTstatesPerMs * per_));
          break;
        case Unit::samples: slow(p.level, p.length); break;
        case Unit::sampled:
          if (p.count == 0) break;
          in_units(uint64_t(p.count) * time_.timing().speed);
          slow(p.level, advance(uint64_t(p.length) * per_));
          break;
      }
      continue;
    }
    if (p.unit != Unit::sampled) carry_rate_ = 0;  // anything else ends a recording's time
    switch (p.unit) {
      case Unit::tstates: even_pulses(p.level, TimeBase::Samples(cycle, p.length), p.count); break;
      case Unit::bits: {
        const uint32_t n0 = TimeBase::Samples(cycle, p.length), n1 = TimeBase::Samples(cycle, p.one);
        if (p.count == 8 && n0 <= kShort && n1 <= kShort && pos + kByte <= stop) {
          size_t len = 0;
          const uint8_t *from = byte_samples(p.level, n0, n1, static_cast<uint8_t>(p.byte), len);
          std::memcpy(chunk + pos, from, len);
          pos += len;
          break;
        }
        unsigned byte = p.byte;
        for (uint32_t i = 0; i < p.count; i++, byte <<= 1) even_pulses(p.level, (byte & 0x80) ? n1 : n0, 2);
        break;
      }
      case Unit::millis: slow(p.level, time_.pause_samples(p.length)); break;
      case Unit::samples: slow(p.level, p.length); break;
      case Unit::sampled: {
        // Exact time: the remainder carries on to the next stretch, so every
        // edge of the recording falls on the output sample nearest to it.
        if (p.count == 0) break;
        const uint64_t den = uint64_t(p.count) * time_.timing().speed;
        if (p.count != carry_rate_) carry_rate_ = p.count, carry_ = den / 2;  // a new recording
        const uint64_t t = carry_ + uint64_t(p.length) * per_;
        carry_ = t % den;
        slow(p.level, t / den);
        break;
      }
    }
  }
  left_ -= pos - pos_;
  pos_ = pos;
  rem_ = rem;
}

void Resampler::hand_over() {
  const size_t n = pos_;
  pos_ = 0;
  handed_ += n;
  end_ = size_ - static_cast<size_t>(handed_ % size_);
  out_.samples(std::span<const uint8_t>(chunk_.get(), n));
}

void Resampler::flush() {
  if (pos_ != 0) hand_over();
}

void Resampler::emit(uint8_t value, uint64_t n) {
  if (n == 0) return;
  // A sound file never grows past what it can describe; this also bounds the
  // disk space any tape can take, however it loops.
  if (n > left_)
    throw format::Failure(format::strprintf("The output grew too long: a sound file holds at most %llu samples!",
                                            static_cast<unsigned long long>(capacity_)));
  left_ -= n;
  while (n > 0) {
    if (pos_ == end_) hand_over();
    if (pos_ == 0 && end_ == size_ && n >= size_) {
      const uint64_t whole = n / size_ * size_;
      handed_ += whole;
      n -= whole;
      out_.run(value, whole);
      continue;
    }
    size_t k = end_ - pos_;
    if (k > n) k = static_cast<size_t>(n);
    std::memset(chunk_.get() + pos_, value, k);
    pos_ += k;
    n -= k;
  }
}

}  // namespace engine
