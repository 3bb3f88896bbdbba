#include "decode/twotone.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace decode::twotone {

std::vector<Cell> Slice(std::span<const float> h, const Slicing &s) {
  std::vector<Cell> cells;
  const size_t n = h.size(), zero = 2 * static_cast<size_t>(s.waves), one = 2 * zero;
  const double bit = 4.0 * s.waves * s.high;  // a cell's length
  double t = bit;                             // as it follows the tape's speed
  bool synced = false, resync = false;
  size_t i = 0;
  while (i < n) {
    if (!synced) {
      // A start bit: a half cycle of the low tone, and a cycle of it.
      while (i + 1 < n && !(h[i] >= s.start * s.high && h[i] + h[i + 1] >= 3 * s.high)) i++;
      if (i + 1 >= n) break;
      synced = true;
    }
    if (i + zero > n) break;
    double a = 0;
    for (size_t k = 0; k < zero; k++) a += h[i + k];
    double b = a;
    const bool whole = i + one <= n;
    for (size_t k = zero; whole && k < one; k++) b += h[i + k];
    const double da = std::fabs(a - t), db = whole ? std::fabs(b - t) : std::numeric_limits<double>::infinity();
    if (std::min(da, db) > 0.3 * t) {
      synced = false, resync = true, i++;
      continue;
    }
    const bool is_one = db < da;
    // Each half cycle of the tone the bit is: a bit of the other speed's
    // length can take in the tones of its neighbours.
    const double high = s.high * t / bit;
    bool tone = true;
    for (size_t k = 0; k < (is_one ? one : zero) && tone; k++) tone = is_one ? h[i + k] <= 1.6 * high : h[i + k] >= 1.2 * high;
    if (!tone) {
      synced = false, resync = true, i++;
      continue;
    }
    cells.push_back({static_cast<uint8_t>(is_one), resync, static_cast<uint32_t>(i)});
    resync = false;
    i += is_one ? one : zero;
    t = std::clamp(t + 0.05 * ((is_one ? b : a) - t), 0.85 * bit, 1.15 * bit);
  }
  return cells;
}

double HighHalf(std::span<const float> h, double guess) {
  double c0 = guess, c1 = 2 * guess;
  for (int round = 0; round < 4; round++) {
    double sum[2] = {}, n[2] = {};
    const double thr = (c0 + c1) / 2;
    for (float v : h) sum[v > thr] += v, n[v > thr]++;
    if (n[0] > 0) c0 = sum[0] / n[0];
    if (n[1] > 0) c1 = sum[1] / n[1];
  }
  return c0;
}

double InTones(std::span<const float> h, double high) {
  size_t in = 0;
  for (float v : h) in += (v >= 0.7 * high && v <= 1.3 * high) || (v >= 1.6 * high && v <= 2.5 * high);
  return h.empty() ? 0 : static_cast<double>(in) / static_cast<double>(h.size());
}

Framed Frame(const std::vector<Cell> &cells, const Framing &f) {
  Framed out;
  const size_t need = 1 + f.bits + (f.parity ? 1 : 0) + f.stop;
  size_t pos = 0;
  while (pos < cells.size()) {
    if (cells[pos].bit) {
      pos++;
      continue;
    }
    if (pos + need > cells.size()) {  // cut short by the stretch's end
      out.errors++;
      break;
    }
    size_t lost = 0;
    for (size_t k = 1; k < need && !lost; k++)
      if (cells[pos + k].resync) lost = pos + k;
    if (lost) {
      out.errors++, pos = lost;
      continue;
    }
    unsigned v = 0, ones = 0;
    for (unsigned k = 0; k < f.bits; k++)
      if (cells[pos + 1 + k].bit) v |= 1u << k, ones++;
    bool ok = true;
    if (f.parity) ok = (ones + cells[pos + 1 + f.bits].bit) % 2 == (f.parity == 1 ? 0u : 1u);
    for (size_t k = need - f.stop; k < need; k++) ok = ok && cells[pos + k].bit;
    out.bytes.push_back(static_cast<uint8_t>(v));
    out.first.push_back(static_cast<uint32_t>(pos));
    out.error.push_back(!ok);
    out.errors += !ok;
    pos += need;
    out.end = pos;
  }
  return out;
}

void Splitter::pulse(double p) {
  const double start = now_;
  now_ += p;
  if (p > silence_) {
    if (!closed_) close();
    closed_ = true;
    silence(start, p);
    return;
  }
  closed_ = false;
  const bool like = p >= tone_.lo && p <= tone_.hi;
  // Within a quarter of the run's mean, or a sample and a half (a short
  // half cycle is a few samples, each edge placed to a fraction of one).
  const double mean = run_ > 0 ? run_sum_ / static_cast<double>(run_) : p;
  if (like && std::fabs(p - mean) <= std::max(0.25 * mean, 1.5)) {
    if (run_ == 0) run_start_ = start;
    run_++, run_sum_ += p;
    lead_[leads_++ % kLead] = static_cast<float>(p);
    if (run_ < tone_.halves) {
      if (data_.empty()) data_start_ = start;
      data_.push_back(static_cast<float>(p));
    } else if (run_ == tone_.halves) {
      // The tone is heard: the stretch before it ends a few half cycles into it.
      const size_t before = data_.size() - (tone_.halves - 1);
      const size_t tail = std::min(tone_.tail, tone_.halves - 1);
      if (before > lead_in_) flush(before + tail, tail);
      data_.clear(), lead_in_ = 0;
    }
    return;
  }
  if (in_tone()) {
    tone(run_, mean, run_start_, start);
    before_ = mean;
    // The stretch after it begins with its last half cycles.
    data_.clear();
    const size_t n = std::min(leads_, kLead);
    data_start_ = start, lead_in_ = n;
    for (size_t k = 0; k < n; k++) {
      data_.push_back(lead_[(leads_ - n + k) % kLead]);
      data_start_ -= data_.back();
    }
  }
  run_ = 0, run_sum_ = 0;
  if (like) run_ = 1, run_sum_ = p, run_start_ = start;
  lead_[leads_++ % kLead] = static_cast<float>(p);
  if (data_.empty()) data_start_ = start;
  data_.push_back(static_cast<float>(p));
  if (data_.size() >= kMaxData) {
    flush(data_.size(), 0);
    data_.clear(), lead_in_ = 0;
  }
}

void Splitter::flush(size_t n, size_t tail) {
  stretch({std::vector<float>(data_.begin(), data_.begin() + static_cast<long>(n)), data_start_, before_, lead_in_, tail});
}

void Splitter::close() {
  if (in_tone()) tone(run_, run_sum_ / static_cast<double>(run_), run_start_, now_);
  else if (data_.size() > lead_in_) flush(data_.size(), 0);
  data_.clear();
  run_ = 0, run_sum_ = 0, leads_ = 0, before_ = 0, lead_in_ = 0;
}

void Splitter::idle(double quiet) {
  if (quiet > silence_ && !closed_) close(), closed_ = true;
}

void Splitter::finish(double last) {
  if (!closed_) close(), closed_ = true;
  if (last > silence_) silence(now_, last);
}

}  // namespace decode::twotone
