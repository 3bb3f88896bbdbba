#include "sinks/live.hpp"

#include <algorithm>
#include <chrono>

#include "format/failure.hpp"

namespace sinks {

namespace {

// The highest device rate the program takes: one sample per T-state.
constexpr int kMaxRate = 3500000;

// The producer wakes at least this often while it waits. A device that has
// taken nothing for kStallWakes such waits in a row (10 s, far above any
// device's period) has stopped; waits cut short by the device do not count,
// nor does the time a stopped process (Ctrl-Z) spends stopped.
constexpr auto kWake = std::chrono::milliseconds(200);
constexpr int kStallWakes = 50;

constexpr const char *kNoOutput = "No sound output could be opened! Use -voc or -au to write a sound file instead.";

}  // namespace

LiveOutput::LiveOutput(std::unique_ptr<SoundDevice> device, const Signal &signal, FILE *messages)
    : device_(std::move(device)), levels_(FloatLevelsOf(signal)), bits_(signal.wide ? 16 : 32), messages_(messages) {}

LiveOutput::~LiveOutput() { abandon(); }

int LiveOutput::begin(int rate) {
  if (opened_) return format_.rate;
  std::string why;
  DeviceSpec got;
  const char *step = nullptr;  // the property whose query failed
  switch (device_->open(rate, bits_, *this, got, why)) {
    case DeviceStep::ok: break;
    case DeviceStep::default_device: step = "kAudioHardwarePropertyDefaultOutputDevice"; break;
    case DeviceStep::buffer_size: step = "kAudioDevicePropertyBufferSize"; break;
    case DeviceStep::stream_format: step = "kAudioDevicePropertyStreamFormat"; break;
  }
  if (!step && (got.rate < 1 || got.rate > kMaxRate || got.channels == 0)) {
    step = "kAudioDevicePropertyStreamFormat";
    why = format::strprintf("the device runs at an unusable rate of %d Hz", got.rate);
  }
  if (step) {
    std::fprintf(messages_, "get %s error %ld\n", step, -1L);
    std::fprintf(messages_, "%s\n", why.c_str());
    device_->close();
    throw format::Failure(kNoOutput);
  }
  format_ = got;
  // A quarter of a second, and never less than a few of the device's periods.
  capacity_ = std::max<uint64_t>(static_cast<uint64_t>(got.rate) / 4, 4ull * std::max(got.period, 256u));
  size_ = 2 * capacity_;
  ring_.reset(new float[size_]());
  written_ = 0;
  published_.store(0);
  read_.store(0);
  discard_to_.store(0);
  last_ = 0.0f;
  opened_ = true;
  started_ = false;
  return format_.rate;
}

uint64_t LiveOutput::taken() const {
  return std::max(read_.load(std::memory_order_acquire), discard_to_.load(std::memory_order_acquire));
}

void LiveOutput::start() {
  if (started_) return;
  std::string why;
  if (!device_->start(why)) {
    std::fprintf(messages_, "%s\n", why.c_str());
    throw format::Failure(kNoOutput);
  }
  started_ = true;
}

template <class Done>
void LiveOutput::wait_for_device(Done done) {
  uint64_t last = taken();
  int still = 0;
  while (!done()) {
    waiting_.store(true);
    const bool woken = done() || taken_sem_.try_acquire_for(kWake);
    waiting_.store(false);
    if (hook_) hook_();
    const uint64_t now = taken();
    if (now != last) {
      last = now;
      still = 0;
    } else if (!woken && ++still >= kStallWakes) {
      throw format::Failure("The sound output stopped taking samples!");
    }
  }
}

template <class Sample>
void LiveOutput::put(uint64_t n, Sample sample) {
  if (!opened_ || n == 0) return;
  uint64_t i = 0;
  while (i < n) {
    // Room ahead of the device, and in the ring itself: the device may still
    // be reading samples it is about to drop.
    auto room = [this] {
      const uint64_t ahead = written_ - taken(), behind = written_ - read_.load(std::memory_order_acquire);
      return std::min(ahead < capacity_ ? capacity_ - ahead : 0, behind < size_ ? size_ - behind : 0);
    };
    uint64_t k = std::min(room(), n - i);
    if (k == 0) {
      start();
      wait_for_device([&] { return room() != 0; });
      continue;
    }
    for (; k > 0; k--, i++, written_++) ring_[written_ % size_] = sample(i);
    // Publish the samples only after they are stored.
    published_.store(written_, std::memory_order_release);
  }
  start();
}

void LiveOutput::run(uint8_t value, uint64_t count) {
  const float f = levels_.of(value);
  put(count, [f](uint64_t) { return f; });
}

void LiveOutput::samples(std::span<const uint8_t> s) {
  put(s.size(), [this, s](uint64_t i) { return levels_.of(s[i]); });
}

void LiveOutput::discard() { discard_to_.store(written_, std::memory_order_release); }

void LiveOutput::fill(float *out, unsigned frames, unsigned channels) {
  uint64_t r = std::max(read_.load(std::memory_order_relaxed), discard_to_.load(std::memory_order_acquire));
  const uint64_t w = published_.load(std::memory_order_acquire);
  unsigned f = 0;
  if (!paused_.load(std::memory_order_acquire)) {
    for (; f < frames && r < w; f++, r++) {
      last_ = ring_[r % size_];
      for (unsigned c = 0; c < channels; c++) *out++ = last_;
    }
  }
  // Nothing to play (or paused): the last level holds.
  for (; f < frames; f++)
    for (unsigned c = 0; c < channels; c++) *out++ = last_;
  read_.store(r, std::memory_order_release);
  if (waiting_.exchange(false)) taken_sem_.release();
}

void LiveOutput::finish() {
  if (!opened_) return;
  if (taken() < written_) {
    start();
    wait_for_device([this] { return taken() >= written_; });
  }
  device_->stop();
  device_->close();
  opened_ = false;
}

void LiveOutput::abandon() {
  if (!opened_) return;
  device_->stop();
  device_->close();
  opened_ = false;
}

}  // namespace sinks
