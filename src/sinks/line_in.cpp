#include "sinks/line_in.hpp"

#include <algorithm>
#include <chrono>

#include "format/failure.hpp"

namespace sinks {

namespace {

constexpr const char *kNoInput = "No sound input could be opened! Record into a sound file with another program, then "
                                 "decode that.";
// The ring's length: four seconds.
constexpr uint64_t kRingSeconds = 4;

}  // namespace

LineInput::LineInput(std::unique_ptr<CaptureDevice> device, FILE *messages)
    : device_(std::move(device)), messages_(messages) {}

LineInput::~LineInput() { finish(); }

int LineInput::begin(int rate) {
  std::string why;
  if (!device_->open(rate, *this, format_, why) || format_.rate < 1 || format_.channels == 0) {
    std::fprintf(messages_, "%s\n", why.empty() ? "the input reports no usable format" : why.c_str());
    device_->close();
    throw format::Failure(kNoInput);
  }
  frames_ = std::max<uint64_t>(kRingSeconds * static_cast<uint64_t>(format_.rate), 4096);
  ring_.reset(new float[2 * frames_]());
  open_ = true;
  if (!device_->start(why)) {
    std::fprintf(messages_, "%s\n", why.c_str());
    finish();
    throw format::Failure(kNoInput);
  }
  return format_.rate;
}

// The device's thread: frames go into the ring; when the reader has fallen a
// whole ring behind, the oldest are lost (the reader skips them).
void LineInput::take(const float *frames, unsigned count, unsigned channels) {
  uint64_t w = written_.load(std::memory_order_relaxed);
  for (unsigned i = 0; i < count; i++, w++) {
    float *f = &ring_[2 * (w % frames_)];
    f[0] = frames[static_cast<size_t>(i) * channels];
    f[1] = frames[static_cast<size_t>(i) * channels + (channels > 1 ? 1 : 0)];
  }
  written_.store(w, std::memory_order_release);
  if (waiting_.exchange(false, std::memory_order_acq_rel)) recorded_.release();
}

size_t LineInput::read(float *a, float *b, size_t n, int ms) {
  if (!open_) return 0;
  uint64_t w = written_.load(std::memory_order_acquire), r = read_.load(std::memory_order_relaxed);
  if (w == r && ms > 0) {
    waiting_.store(true, std::memory_order_release);
    w = written_.load(std::memory_order_acquire);
    if (w == r) (void)recorded_.try_acquire_for(std::chrono::milliseconds(ms));
    waiting_.store(false, std::memory_order_release);
    w = written_.load(std::memory_order_acquire);
  }
  // Keep clear of the part the device may be writing now: a ring less a
  // device's period behind the newest frame.
  const uint64_t keep = frames_ - std::min<uint64_t>(frames_ / 2, std::max(format_.period, 1024u));
  if (w - r > keep) {
    lost_.fetch_add(w - r - keep, std::memory_order_relaxed);
    r = w - keep;
  }
  const size_t got = static_cast<size_t>(std::min<uint64_t>(w - r, n));
  for (size_t i = 0; i < got; i++, r++) {
    const float *f = &ring_[2 * (r % frames_)];
    a[i] = f[0];
    if (b) b[i] = f[1];
  }
  read_.store(r, std::memory_order_relaxed);
  return got;
}

void LineInput::finish() {
  if (!open_) return;
  device_->stop();
  device_->close();
  open_ = false;
}

}  // namespace sinks
