// The sound devices on SDL2: the default output device, 32-bit float frames
// filled on SDL's audio thread, and the default input device (the line in),
// whose frames SDL hands over on its thread.
//
// SDL2 is loaded only when live play opens the device: listings and
// conversions never load it (nor the dozens of libraries it brings), and run
// on machines that lack it. While the device is probed, the sound system's
// own error printing on standard error is silenced; the program reports the
// outcome itself.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "sinks/capture.hpp"
#include "sinks/device.hpp"

namespace sinks {

namespace {

const char *const kLibraries[] = {
#ifdef __APPLE__
    "libSDL2-2.0.0.dylib", "libSDL2.dylib", "/opt/homebrew/lib/libSDL2-2.0.0.dylib",
    "/usr/local/lib/libSDL2-2.0.0.dylib", "SDL2.framework/SDL2",
#else
    "libSDL2-2.0.so.0", "libSDL2.so",
#endif
};

// Standard error goes nowhere while it lives.
class Quiet {
 public:
  Quiet() {
    std::fflush(stderr);
    saved_ = dup(2);
    const int null = open("/dev/null", O_WRONLY);
    if (saved_ >= 0 && null >= 0) dup2(null, 2);
    if (null >= 0) close(null);
  }
  ~Quiet() {
    if (saved_ < 0) return;
    dup2(saved_, 2);
    close(saved_);
  }
  Quiet(const Quiet &) = delete;
  Quiet &operator=(const Quiet &) = delete;

 private:
  int saved_ = -1;
};

// SDL2 and one of its devices. The library is loaded once a device is
// opened (it says why when it cannot be), and stays loaded once it is: its
// threads may outlive the device.
struct SdlAudio {
  template <class F>
  bool find(F &f, const char *name) {
    f = reinterpret_cast<F>(dlsym(lib_, name));
    return f != nullptr;
  }

  // Loads SDL2 once; says why when it cannot.
  bool load(std::string &why) {
    if (lib_) return true;
    for (const char *name : kLibraries)
      if ((lib_ = dlopen(name, RTLD_NOW | RTLD_LOCAL))) break;
    if (!lib_) {
      const char *e = dlerror();
      why = std::string("SDL2 cannot be loaded: ") + (e ? e : kLibraries[0]);
      return false;
    }
    if (find(InitSubSystem, "SDL_InitSubSystem") && find(QuitSubSystem, "SDL_QuitSubSystem") &&
        find(GetError, "SDL_GetError") && find(OpenAudioDevice, "SDL_OpenAudioDevice") &&
        find(CloseAudioDevice, "SDL_CloseAudioDevice") && find(PauseAudioDevice, "SDL_PauseAudioDevice"))
      return true;
    why = "SDL2 lacks the functions of its audio interface";
    dlclose(lib_);
    lib_ = nullptr;
    return false;
  }

  void *lib_ = nullptr;
  decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
  decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
  decltype(&SDL_GetError) GetError = nullptr;
  decltype(&SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
  decltype(&SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
  decltype(&SDL_PauseAudioDevice) PauseAudioDevice = nullptr;

  // The audio subsystem, up once.
  bool up(std::string &why) {
    if (subsystem_up) return true;
    if (!load(why)) return false;
    if (InitSubSystem(SDL_INIT_AUDIO) != 0) {
      why = std::string("SDL: ") + GetError();
      return false;
    }
    return subsystem_up = true;
  }
  void down() {
    if (subsystem_up) QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_up = false;
  }

  // The device runs, pauses, or is closed with the audio subsystem.
  bool resume(std::string &why) {
    if (device == 0) {
      why = "SDL: no device is open";
      return false;
    }
    PauseAudioDevice(device, 0);
    return true;
  }
  void pause() {
    if (device != 0) PauseAudioDevice(device, 1);
  }
  void shut() {
    if (device != 0) CloseAudioDevice(device);
    device = 0;
    down();
  }

  bool subsystem_up = false;
  SDL_AudioDeviceID device = 0;
  SDL_AudioSpec have{};
};

class SdlDevice final : public SoundDevice {
 public:
  ~SdlDevice() override { close(); }

  DeviceStep open(int rate, int bits, DeviceFeed &feed, DeviceSpec &format, std::string &why) override {
    feed_ = &feed;
    if (sdl_.device == 0) {
      Quiet quiet;
      if (!sdl_.up(why)) return DeviceStep::default_device;
      SDL_AudioSpec want{};
      want.freq = rate;
      want.format = bits == 16 ? AUDIO_S16SYS : AUDIO_F32SYS;
      want.channels = 2;
      want.samples = 1024;
      want.callback = callback;
      want.userdata = this;
      // The device's own rate and channel count are taken as they are; SDL
      // converts the samples to whatever the hardware takes.
      sdl_.device = sdl_.OpenAudioDevice(nullptr, 0, &want, &sdl_.have,
                                     SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
      if (sdl_.device == 0) {
        why = std::string("SDL: ") + sdl_.GetError();
        // SDL's own threads (the search for devices) end while standard
        // error is still silenced: they would print at any moment.
        sdl_.down();
        return DeviceStep::default_device;
      }
    }
    if (sdl_.have.size == 0 || sdl_.have.samples == 0) {
      why = "SDL: the device reports no buffer size";
      return DeviceStep::buffer_size;
    }
    if (sdl_.have.channels == 0 || sdl_.have.freq <= 0) {
      why = "SDL: the device reports no usable stream format";
      return DeviceStep::stream_format;
    }
    format.rate = sdl_.have.freq;
    format.channels = sdl_.have.channels;
    format.period = sdl_.have.samples;
    format.bits = sdl_.have.format == AUDIO_S16SYS ? 16 : 32;
    floats_.assign(size_t(sdl_.have.samples) * sdl_.have.channels, 0.0f);
    return DeviceStep::ok;
  }

  bool start(std::string &why) override { return sdl_.resume(why); }
  void stop() override { sdl_.pause(); }
  void close() override { sdl_.shut(); }

 private:
  static void SDLCALL callback(void *self, Uint8 *stream, int len) {
    SdlDevice &d = *static_cast<SdlDevice *>(self);
    const unsigned channels = d.sdl_.have.channels;
    if (d.sdl_.have.format != AUDIO_S16SYS) {
      d.feed_->fill(reinterpret_cast<float *>(stream), static_cast<unsigned>(len) / (channels * sizeof(float)), channels);
      return;
    }
    // 16-bit samples, made of the feed's floats.
    const unsigned frames = std::min<unsigned>(static_cast<unsigned>(len) / (channels * 2), d.sdl_.have.samples);
    d.feed_->fill(d.floats_.data(), frames, channels);
    int16_t *out = reinterpret_cast<int16_t *>(stream);
    for (size_t i = 0; i < size_t(frames) * channels; i++) out[i] = Sample16(d.floats_[i]);
  }

  SdlAudio sdl_;
  DeviceFeed *feed_ = nullptr;
  std::vector<float> floats_;  // for a device of 16-bit samples
};

// The default input device, in 32-bit floats at the device's rate and
// channels (SDL converts what the hardware gives).
class SdlCapture final : public CaptureDevice {
 public:
  ~SdlCapture() override { close(); }

  bool open(int rate, CaptureFeed &feed, DeviceSpec &format, std::string &why) override {
    feed_ = &feed;
    Quiet quiet;
    if (!sdl_.up(why)) return false;
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = callback;
    want.userdata = this;
    sdl_.device = sdl_.OpenAudioDevice(nullptr, 1, &want, &sdl_.have, SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (sdl_.device == 0 || sdl_.have.channels == 0 || sdl_.have.freq <= 0) {
      why = sdl_.device == 0 ? std::string("SDL: ") + sdl_.GetError() : "SDL: the input reports no usable format";
      close();
      return false;
    }
    format.rate = sdl_.have.freq;
    format.channels = sdl_.have.channels;
    format.period = sdl_.have.samples;
    format.bits = 32;
    return true;
  }

  bool start(std::string &why) override { return sdl_.resume(why); }
  void stop() override { sdl_.pause(); }
  void close() override { sdl_.shut(); }

 private:
  static void SDLCALL callback(void *self, Uint8 *stream, int len) {
    SdlCapture &d = *static_cast<SdlCapture *>(self);
    const unsigned channels = d.sdl_.have.channels;
    d.feed_->take(reinterpret_cast<const float *>(stream), static_cast<unsigned>(len) / (channels * sizeof(float)),
                  channels);
  }

  SdlAudio sdl_;
  CaptureFeed *feed_ = nullptr;
};

}  // namespace

std::unique_ptr<SoundDevice> DefaultSoundDevice() { return std::make_unique<SdlDevice>(); }
std::unique_ptr<CaptureDevice> DefaultCaptureDevice() { return std::make_unique<SdlCapture>(); }

}  // namespace sinks
