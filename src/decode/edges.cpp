#include "decode/edges.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace decode {

namespace {

// The first k of [k, to) where y[k] lies past `limit` (below it when dir is
// 1, above it when -1), or `to`; `ext` takes in the samples before it (their
// highest when dir is 1, their lowest when -1). Four samples at a time where
// the processor can.
size_t Scan(const float *y, size_t k, size_t to, int dir, float limit, float &ext) {
#ifdef __SSE2__
  const __m128 l = _mm_set1_ps(limit);
  __m128 e = _mm_set1_ps(ext);
  if (dir > 0) {
    for (; k + 4 <= to; k += 4) {
      const __m128 v = _mm_loadu_ps(y + k);
      if (_mm_movemask_ps(_mm_cmplt_ps(v, l))) break;
      e = _mm_max_ps(e, v);
    }
    e = _mm_max_ps(e, _mm_shuffle_ps(e, e, _MM_SHUFFLE(1, 0, 3, 2)));
    e = _mm_max_ps(e, _mm_shuffle_ps(e, e, _MM_SHUFFLE(2, 3, 0, 1)));
  } else {
    for (; k + 4 <= to; k += 4) {
      const __m128 v = _mm_loadu_ps(y + k);
      if (_mm_movemask_ps(_mm_cmpgt_ps(v, l))) break;
      e = _mm_min_ps(e, v);
    }
    e = _mm_min_ps(e, _mm_shuffle_ps(e, e, _MM_SHUFFLE(1, 0, 3, 2)));
    e = _mm_min_ps(e, _mm_shuffle_ps(e, e, _MM_SHUFFLE(2, 3, 0, 1)));
  }
  ext = _mm_cvtss_f32(e);
#endif
  for (; k < to; k++) {
    const float v = y[k];
    if (dir > 0 ? v < limit : v > limit) break;
    ext = dir > 0 ? std::max(ext, v) : std::min(ext, v);
  }
  return k;
}

// (1, 2, 1) / 4 and (1, 1) / 2 of `in` into `out` from the third sample,
// or the second: the first come of the block before.
void Taps3(const float *__restrict in, float *__restrict out, size_t n) {
  for (size_t k = 2; k < n; k++) out[k] = 0.25f * (in[k] + 2 * in[k - 1] + in[k - 2]);
}
void Taps2(const float *__restrict in, float *__restrict out, size_t n) {
  for (size_t k = 1; k < n; k++) out[k] = 0.5f * (in[k] + in[k - 1]);
}

// The sum of n samples, in eight sums the compiler can run side by side.
float Sum(const float *y, size_t n) {
  float a[8] = {};
  size_t k = 0;
  for (; k + 8 <= n; k += 8)
    for (int j = 0; j < 8; j++) a[j] += y[k + j];
  float s = ((a[0] + a[1]) + (a[2] + a[3])) + ((a[4] + a[5]) + (a[6] + a[7]));
  for (; k < n; k++) s += y[k];
  return s;
}

}  // namespace

// Passes of (1, 1) / 2: a cut-off near 9 kHz from 32 kHz up (two at 44.1
// kHz, nine at 96 kHz, sixteen at most), one from 20 kHz, none below. The
// baseline follows the sound over 5 ms, the peaks sink over 10 ms, the
// louder sound of the last 5 s is kept.
EdgeStage::EdgeStage(int rate)
    : passes_(rate < 30000 ? rate >= 20000
                           : static_cast<unsigned>(std::clamp(std::lround(2.0 * rate * rate / 44100 / 44100), 1l, 16l))),
      follow_(static_cast<float>(1 - std::exp(-double(kChunk) / (0.005 * rate)))),
      fade_(static_cast<float>(std::exp(-double(kChunk) / (0.01 * rate)))),
      slow_(static_cast<float>(std::exp(-double(kChunk) / (5.0 * rate)))),
      y_(kKept + kBlock),
      origin_(-static_cast<int64_t>(kKept)),
      carry_(passes_ + 1, 0.0f),
      scratch_(passes_ > 2 ? kBlock : 0) {}

void EdgeStage::run(const float *s, size_t n, std::vector<double> &pulses) {
  for (size_t done = 0; done < n;) {
    const size_t k = std::min(kBlock, n - done);
    block(s + done, k, pulses);
    done += k;
  }
}

void EdgeStage::block(const float *s, size_t n, std::vector<double> &pulses) {
  // The last samples of the block before stay in front of this one.
  std::memmove(y_.data(), y_.data() + filled_, kKept * sizeof(float));
  origin_ = static_cast<int64_t>(at_) - static_cast<int64_t>(kKept), filled_ = n;
  float *const y = y_.data() + kKept;
  // The passes two at a time, as (1, 2, 1) / 4, from one buffer to the
  // other so that the last writes the block's place.
  const unsigned stages = (passes_ + 1) / 2;
  if (stages == 0) std::copy(s, s + n, y);
  const float *in = s;
  for (unsigned st = 0; st < stages; st++) {
    float *out = (stages - 1 - st) % 2 == 0 ? y : scratch_.data();
    float *c = &carry_[2 * st];
    if (2 * st + 1 < passes_) {
      out[0] = 0.25f * (in[0] + 2 * c[1] + c[0]);
      if (n > 1) out[1] = 0.25f * (in[1] + 2 * in[0] + c[1]);
      Taps3(in, out, n);
      c[0] = n > 1 ? in[n - 2] : c[1], c[1] = in[n - 1];
    } else {
      out[0] = 0.5f * (in[0] + c[1]);
      Taps2(in, out, n);
      c[1] = in[n - 1];
    }
    in = out;
  }
  for (size_t k = 0; k < n;) {
    const size_t end = std::min(n, k + static_cast<size_t>(kChunk - at_ % kChunk));
    sum_ += Sum(y + k, end - k);
    while (k < end) {
      // A few samples after a crossing the change has reached its peak:
      // the band takes it in.
      const size_t stop = settle_ > at_ && settle_ - at_ < end - k ? k + static_cast<size_t>(settle_ - at_) : end;
      size_t c = k;
      if (state_ != 0) {
        c = Scan(y, k, stop, state_, state_ > 0 ? lower_ : upper_, ext_);
      } else {
        while (c < stop && y[c] <= upper_ && y[c] >= lower_) c++;
      }
      at_ += c - k, k = c;
      if (c == stop) {
        if ((stop < end || at_ == settle_) && beyond()) band();
        continue;
      }
      at_++, k++;  // the band is crossed at c
      if (pending_) pulses.push_back(place());
      crossed(at_ - 1, y[c] > upper_ ? 1 : -1, y[c]);
    }
    if (at_ % kChunk == 0) {
      chunk_ended(sum_);
      sum_ = 0;
      if (pending_ && at_ - pending_at_ > kLook) pulses.push_back(place());
    }
  }
}

uint64_t EdgeStage::rest(uint64_t n) {
  // Settled: the kept samples and each pass's inputs all one level.
  const float w = y_[kKept + filled_ - 1];
  if (pending_ || settle_ >= at_) return 0;
  for (size_t k = filled_; k < kKept + filled_; k++)
    if (y_[k] != w) return 0;
  float v = passes_ > 0 ? carry_[1] : w;
  for (unsigned st = 0; 2 * st < passes_; st++) {
    const float *c = &carry_[2 * st];
    const bool three = 2 * st + 1 < passes_;
    if (c[1] != v || (three && c[0] != v)) return 0;
    v = three ? 0.25f * (v + 2 * v + v) : 0.5f * (v + v);
  }
  if (v != w) return 0;
  float chunk[kChunk];
  std::fill(chunk, chunk + kChunk, w);
  uint64_t done = 0;
  while (done < n) {
    if (state_ > 0 ? w < lower_ : state_ < 0 ? w > upper_ : w > upper_ || w < lower_) break;
    const uint64_t m = std::min<uint64_t>(n - done, kChunk - at_ % kChunk);
    sum_ += Sum(chunk, static_cast<size_t>(m));
    if (state_ > 0) ext_ = std::max(ext_, w);
    if (state_ < 0) ext_ = std::min(ext_, w);
    at_ += m, done += m;
    if (at_ % kChunk != 0) continue;
    const float base = base_, hi = hi_, lo = lo_;
    chunk_ended(sum_);
    sum_ = 0;
    // Only the loud sound's memory still fades: the band about the baseline
    // narrows to its least and holds this level, so the whole chunks left
    // change nothing but it.
    const float mid = std::clamp(base_, lo_ + kMargin * (hi_ - lo_), hi_ - kMargin * (hi_ - lo_));
    if (base == base_ && hi == hi_ && lo == lo_ && std::abs(w - mid) < 1e-4f) {
      const uint64_t whole = (n - done) / kChunk;
      loud_ = static_cast<float>(loud_ * std::pow(static_cast<double>(slow_), static_cast<double>(whole)));
      band();
      at_ += whole * kChunk, done += whole * kChunk;
    }
  }
  if (done > 0) std::fill(y_.begin(), y_.end(), w), filled_ = kBlock;
  return done;
}

void EdgeStage::flush(std::vector<double> &pulses) {
  if (pending_) pulses.push_back(place());
}

void EdgeStage::crossed(uint64_t now, int dir, float v) {
  // The half-cycle that ended: its peak.
  if (state_ > 0) hi_ = std::max(hi_, ext_);
  if (state_ < 0) lo_ = std::min(lo_, ext_);
  loud_ = std::max(loud_, hi_ - lo_);
  pending_ = state_ != 0, pending_at_ = now;
  if (!pending_) last_ = static_cast<double>(now);
  state_ = dir, ext_ = v, settle_ = now + 1 + kSettle;
  band();
}

void EdgeStage::chunk_ended(float sum) {
  base_ += follow_ * (sum / kChunk - base_);
  // The peaks sink towards the baseline.
  hi_ = base_ + (hi_ - base_) * fade_, lo_ = base_ + (lo_ - base_) * fade_, loud_ *= slow_;
  band();
}

// The band: about the baseline, each side scaled to that side's peaks (the
// half-cycle under way among them). The baseline is kept well inside the
// peaks: after a pause at one level, the first cycles of a tone are heard.
// Whether the half-cycle under way has gone a tenth of the span past its
// side's peak, so that the band should take it in at once.
bool EdgeStage::beyond() const {
  return (state_ > 0 ? ext_ - hi_ : lo_ - ext_) > 0.1f * (hi_ - lo_);
}

void EdgeStage::band() {
  const float hi = state_ > 0 ? std::max(hi_, ext_) : hi_, lo = state_ < 0 ? std::min(lo_, ext_) : lo_;
  const float span = hi - lo, least = kFloor * loud_ + 1e-4f;
  const float base = span > 0 ? std::clamp(base_, lo + kMargin * span, hi - kMargin * span) : base_;
  upper_ = base + std::max(kBand * (hi - base), least);
  lower_ = base - std::max(kBand * (base - lo), least);
}

// The change that crossed the band at `pending_at_`: its steepest step there,
// then the steps on each side at least a third as steep. The edge is where
// the sound crosses halfway between the level before them and the level
// after them (less the smoothing's delay).
double EdgeStage::place() {
  pending_ = false;
  const float dir = static_cast<float>(state_);
  // Sample k is y[k - origin_]; the oldest kept has no step into it.
  const float *const y = y_.data();
  const int64_t i = static_cast<int64_t>(pending_at_) - origin_, newest = static_cast<int64_t>(at_) - 1 - origin_;
  auto step = [y, dir](int64_t k) { return dir * (y[k] - y[k - 1]); };  // into sample k
  int64_t j = i;
  float m = step(i);
  for (int64_t k = std::max<int64_t>(i - 2, 1); k <= i + 2 && k <= newest; k++) {
    const float v = step(k);
    if (v > m) m = v, j = k;
  }
  int64_t first = j - 1, last = j;
  const float steep = m / 3;
  while (j - first < 32 && first >= 1 && step(first) > steep) first--;
  while (last - j < 32 && last < newest && step(last + 1) > steep) last++;
  const float half = (y[first] + y[last]) / 2;
  double t = static_cast<double>(j) - 0.5;
  for (int64_t k = first; k < last; k++)
    if (dir * (y[k] - half) <= 0 && dir * (y[k + 1] - half) > 0) {
      t = static_cast<double>(k) + (half - y[k]) / (y[k + 1] - y[k]);
      break;
    }
  t += static_cast<double>(origin_) - 0.5 * passes_;
  t = std::clamp(t, last_ + 0.01, static_cast<double>(at_));
  const double p = t - last_;
  last_ = t;
  return p;
}

}  // namespace decode
