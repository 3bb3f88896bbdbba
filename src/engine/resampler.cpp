#include "engine/resampler.hpp"

#include <cstring>

#include "format/failure.hpp"

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

void Resampler::take(std::span<const Pulse> items) {
  uint8_t *const chunk = chunk_.get();
  const double cycle = time_.cycle();  // in a register: the stores below may alias anything
  size_t pos = pos_, stop = 0;
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
  // c pulses of n samples, the first at level l.
  auto pulses = [&](Level l, uint32_t n, uint32_t c) {
    if (n == 0) return;  // only the level changes
    while (c > 0 && n <= kShort) {
      uint32_t k = pos + uint64_t(c) * n <= stop ? c : static_cast<uint32_t>((stop - pos) / n);
      const uint8_t *a = l == Level::low ? kSplat.low : kSplat.high;
      const uint8_t *b = l == Level::low ? kSplat.high : kSplat.low;
      c -= k;
      for (; k >= 2; k -= 2) {
        std::memcpy(chunk + pos, a, kShort);
        pos += n;
        std::memcpy(chunk + pos, b, kShort);
        pos += n;
      }
      if (k) {
        std::memcpy(chunk + pos, a, kShort);
        pos += n;
        l = Other(l);
      }
      if (c == 0) return;
      slow(l, n);  // at the chunk's end: the next pulse takes the long way
      l = Other(l);
      c--;
    }
    for (; c > 0; c--, l = Other(l)) slow(l, n);
  };
  resume();
  for (const Pulse &p : items) {
    if (p.unit != Unit::sampled) carry_rate_ = 0;  // anything else ends a recording's time
    switch (p.unit) {
      case Unit::tstates: pulses(p.level, TimeBase::Samples(cycle, p.length), p.count); break;
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
        for (uint32_t i = 0; i < p.count; i++, byte <<= 1) pulses(p.level, (byte & 0x80) ? n1 : n0, 2);
        break;
      }
      case Unit::millis: slow(p.level, time_.pause_samples(p.length)); break;
      case Unit::samples: slow(p.level, p.length); break;
      case Unit::sampled: {
        // Exact time: the remainder carries on to the next stretch, so every
        // edge of the recording falls on the output sample nearest to it.
        if (p.count == 0) break;
        if (p.count != carry_rate_) carry_rate_ = p.count, carry_ = p.count / 2;  // a new recording
        const uint64_t t = carry_ + uint64_t(p.length) * uint64_t(time_.rate());
        carry_ = t % p.count;
        slow(p.level, t / p.count);
        break;
      }
    }
  }
  left_ -= pos - pos_;
  pos_ = pos;
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
