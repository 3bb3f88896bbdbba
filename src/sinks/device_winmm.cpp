// The sound devices on Windows: WinMM's waveOut on the default output (the
// wave mapper, which converts to what the hardware takes), 16-bit stereo PCM;
// and waveIn on the default input, the same format.
//
// A few buffers of about 25 ms each go round: a thread of the device's own
// fills each buffer from the feed and hands it to waveOut, then sleeps on the
// event waveOut signals as it finishes a buffer, and fills that one again.
// Nothing is called from inside waveOut's own callback, where the system
// allows no waveOut call.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "sinks/capture.hpp"
#include "sinks/device.hpp"

namespace sinks {

namespace {

constexpr unsigned kBuffers = 3;
constexpr WORD kChannels = 2;
// The rate asked for when the device takes no other.
constexpr int kUsualRate = 44100;
// The highest rate Windows' audio engine plays. Above it some drivers fail
// and others take the rate and resample it, each in its own way: such a rate
// is never asked for, the usual one is.
constexpr int kHighestRate = 384000;

// 16-bit stereo PCM at a rate: what both directions ask for.
WAVEFORMATEX Pcm16(int rate) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = kChannels;
  f.nSamplesPerSec = static_cast<DWORD>(rate);
  f.wBitsPerSample = 16;
  f.nBlockAlign = kChannels * sizeof(int16_t);
  f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
  return f;
}

std::string describe(const char *call, MMRESULT r) {
  char number[64];
  std::snprintf(number, sizeof number, "%s error %u", call, static_cast<unsigned>(r));
  char text[MAXERRORLENGTH] = "";
  if (waveOutGetErrorTextA(r, text, sizeof text) != MMSYSERR_NOERROR || !text[0]) return number;
  return std::string(number) + ": " + text;
}

class WinmmDevice final : public SoundDevice {
 public:
  ~WinmmDevice() override { close(); }

  // waveOut is always given 16-bit samples: floats or 16-bit, the same levels.
  DeviceStep open(int rate, int /*bits*/, DeviceFeed &feed, DeviceSpec &format, std::string &why) override {
    feed_ = &feed;
    if (!wave_) {
      if (waveOutGetNumDevs() == 0) {
        why = "WinMM: no sound output device";
        return DeviceStep::default_device;
      }
      if (!event_) event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
      if (rate > kHighestRate) rate = kUsualRate;
      MMRESULT r = event_ ? open_at(rate) : MMSYSERR_NOMEM;
      // A rate the device will not take: its usual one instead (systems
      // differ in what they say of such a rate). Else the first error says why.
      if (r != MMSYSERR_NOERROR && event_ && rate != kUsualRate && open_at(kUsualRate) == MMSYSERR_NOERROR)
        r = MMSYSERR_NOERROR;
      if (r != MMSYSERR_NOERROR) {
        why = "WinMM: no sound output device (" + describe("waveOutOpen", r) + ")";
        return DeviceStep::default_device;
      }
      if (!prepare(why)) {
        close();
        return DeviceStep::buffer_size;
      }
    }
    format.rate = rate_;
    format.channels = kChannels;
    format.period = period_;
    format.bits = 16;
    return DeviceStep::ok;
  }

  bool start(std::string &why) override {
    if (!wave_) {
      why = "WinMM: no device is open";
      return false;
    }
    if (!feeder_.joinable()) {
      quit_.store(false);
      feeder_ = std::thread([this] { feeding(); });
    }
    return true;
  }

  void stop() override {
    if (!feeder_.joinable()) return;
    quit_.store(true);
    SetEvent(event_);
    feeder_.join();
    // What is queued plays to its end (a few buffers' time), then waveOut
    // gives every buffer back.
    const ULONGLONG until =
        GetTickCount64() + std::min<ULONGLONG>(1000, 1000ull * kBuffers * period_ / static_cast<unsigned>(rate_) + 200);
    while (busy() && GetTickCount64() < until) WaitForSingleObject(event_, 20);
    waveOutReset(wave_);
    for (bool &q : queued_) q = false;
  }

  void close() override {
    stop();
    if (wave_) {
      for (WAVEHDR &h : headers_)
        if (h.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(wave_, &h, sizeof h);
      waveOutClose(wave_);
      wave_ = nullptr;
    }
    if (event_) CloseHandle(event_);
    event_ = nullptr;
  }

 private:
  MMRESULT open_at(int rate) {
    const WAVEFORMATEX f = Pcm16(rate);
    const MMRESULT r = waveOutOpen(&wave_, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(event_), 0, CALLBACK_EVENT);
    if (r != MMSYSERR_NOERROR) wave_ = nullptr;
    rate_ = rate;
    return r;
  }

  // The buffers, a period each: about 25 ms.
  bool prepare(std::string &why) {
    period_ = std::max(256u, static_cast<unsigned>(rate_ / 40));
    data_.assign(static_cast<size_t>(kBuffers) * period_ * kChannels, 0);
    for (unsigned i = 0; i < kBuffers; i++) {
      WAVEHDR &h = headers_[i];
      h = WAVEHDR{};
      h.lpData = reinterpret_cast<LPSTR>(data_.data() + static_cast<size_t>(i) * period_ * kChannels);
      h.dwBufferLength = period_ * kChannels * sizeof(int16_t);
      const MMRESULT r = waveOutPrepareHeader(wave_, &h, sizeof h);
      if (r != MMSYSERR_NOERROR) {
        why = "WinMM: the device takes no buffer (" + describe("waveOutPrepareHeader", r) + ")";
        return false;
      }
    }
    return true;
  }

  // waveOut sets a buffer's flags on its own thread.
  bool done(unsigned i) const {
    return (reinterpret_cast<const volatile DWORD &>(headers_[i].dwFlags) & WHDR_DONE) != 0;
  }
  bool busy() const {
    for (unsigned i = 0; i < kBuffers; i++)
      if (queued_[i] && !done(i)) return true;
    return false;
  }

  // The device's thread: every buffer that is not queued is filled and
  // queued, then it sleeps until waveOut has finished one. A buffer waveOut
  // will not take ends the feeding: the player then sees the device stop.
  void feeding() {
    // A buffer must be filled again before the others have played out.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    std::vector<float> frames(static_cast<size_t>(period_) * kChannels);
    while (!quit_.load()) {
      for (unsigned i = 0; i < kBuffers && !quit_.load(); i++) {
        if (queued_[i] && !done(i)) continue;
        feed_->fill(frames.data(), period_, kChannels);
        int16_t *out = reinterpret_cast<int16_t *>(headers_[i].lpData);
        for (size_t s = 0; s < frames.size(); s++) out[s] = Sample16(frames[s]);
        if (waveOutWrite(wave_, &headers_[i], sizeof headers_[i]) != MMSYSERR_NOERROR) return;
        queued_[i] = true;
      }
      WaitForSingleObject(event_, 200);
    }
  }

  HWAVEOUT wave_ = nullptr;
  HANDLE event_ = nullptr;
  int rate_ = 0;
  unsigned period_ = 0;
  DeviceFeed *feed_ = nullptr;
  std::vector<int16_t> data_;
  WAVEHDR headers_[kBuffers] = {};
  bool queued_[kBuffers] = {};
  std::thread feeder_;
  std::atomic<bool> quit_{false};
};

// The default input: buffers of about 50 ms each go round. A thread of the
// device's own hands each buffer waveIn has filled to the feed, as floats,
// and gives it back to waveIn.
class WinmmCapture final : public CaptureDevice {
 public:
  ~WinmmCapture() override { close(); }

  bool open(int rate, CaptureFeed &feed, DeviceSpec &format, std::string &why) override {
    feed_ = &feed;
    if (waveInGetNumDevs() == 0) {
      why = "WinMM: no sound input device";
      return false;
    }
    if (!event_) event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (rate > kHighestRate) rate = kUsualRate;
    MMRESULT r = event_ ? open_at(rate) : MMSYSERR_NOMEM;
    if (r != MMSYSERR_NOERROR && event_ && rate != kUsualRate && open_at(kUsualRate) == MMSYSERR_NOERROR)
      r = MMSYSERR_NOERROR;
    if (r != MMSYSERR_NOERROR) {
      why = "WinMM: no sound input device (waveInOpen error " + std::to_string(r) + ")";
      return false;
    }
    period_ = std::max(256u, static_cast<unsigned>(rate_ / 20));
    data_.assign(static_cast<size_t>(kBuffers) * period_ * kChannels, 0);
    for (unsigned i = 0; i < kBuffers; i++) {
      WAVEHDR &h = headers_[i];
      h = WAVEHDR{};
      h.lpData = reinterpret_cast<LPSTR>(data_.data() + static_cast<size_t>(i) * period_ * kChannels);
      h.dwBufferLength = period_ * kChannels * sizeof(int16_t);
      if (waveInPrepareHeader(wave_, &h, sizeof h) != MMSYSERR_NOERROR ||
          waveInAddBuffer(wave_, &h, sizeof h) != MMSYSERR_NOERROR) {
        why = "WinMM: the input takes no buffer";
        return false;
      }
    }
    format.rate = rate_;
    format.channels = kChannels;
    format.period = period_;
    format.bits = 32;
    return true;
  }

  bool start(std::string &why) override {
    if (!wave_ || waveInStart(wave_) != MMSYSERR_NOERROR) {
      why = "WinMM: the input does not start";
      return false;
    }
    quit_.store(false);
    taker_ = std::thread([this] { taking(); });
    return true;
  }

  void stop() override {
    if (!taker_.joinable()) return;
    quit_.store(true);
    SetEvent(event_);
    taker_.join();
    waveInReset(wave_);
  }

  void close() override {
    stop();
    if (wave_) {
      for (WAVEHDR &h : headers_)
        if (h.dwFlags & WHDR_PREPARED) waveInUnprepareHeader(wave_, &h, sizeof h);
      waveInClose(wave_);
      wave_ = nullptr;
    }
    if (event_) CloseHandle(event_);
    event_ = nullptr;
  }

 private:
  MMRESULT open_at(int rate) {
    const WAVEFORMATEX f = Pcm16(rate);
    const MMRESULT r = waveInOpen(&wave_, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(event_), 0, CALLBACK_EVENT);
    if (r != MMSYSERR_NOERROR) wave_ = nullptr;
    rate_ = rate;
    return r;
  }

  // The device's thread: buffers in the order waveIn fills them.
  void taking() {
    std::vector<float> frames(static_cast<size_t>(period_) * kChannels);
    for (unsigned next = 0; !quit_.load();) {
      WAVEHDR &h = headers_[next];
      if (!(reinterpret_cast<const volatile DWORD &>(h.dwFlags) & WHDR_DONE)) {
        WaitForSingleObject(event_, 200);
        continue;
      }
      const int16_t *in = reinterpret_cast<const int16_t *>(h.lpData);
      const unsigned n = h.dwBytesRecorded / (kChannels * sizeof(int16_t));
      for (size_t s = 0; s < size_t(n) * kChannels; s++) frames[s] = in[s] / 32768.0f;
      if (n > 0) feed_->take(frames.data(), n, kChannels);
      h.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
      if (waveInAddBuffer(wave_, &h, sizeof h) != MMSYSERR_NOERROR) return;
      next = (next + 1) % kBuffers;
    }
  }

  HWAVEIN wave_ = nullptr;
  HANDLE event_ = nullptr;
  int rate_ = 0;
  unsigned period_ = 0;
  CaptureFeed *feed_ = nullptr;
  std::vector<int16_t> data_;
  WAVEHDR headers_[kBuffers] = {};
  std::thread taker_;
  std::atomic<bool> quit_{false};
};

}  // namespace

std::unique_ptr<SoundDevice> DefaultSoundDevice() { return std::make_unique<WinmmDevice>(); }
std::unique_ptr<CaptureDevice> DefaultCaptureDevice() { return std::make_unique<WinmmCapture>(); }

}  // namespace sinks
