// The sound device layer on SDL2: the default output device, 32-bit float
// samples, its callback thread driving appIOProc.
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

#include <cstdio>

#include "sinks/device.hpp"
#include "sinks/ring.hpp"

namespace sinks {

namespace {

// The SDL functions the layer uses, looked up in the library once loaded.
struct Sdl {
  void *lib = nullptr;
  decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
  decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
  decltype(&SDL_GetError) GetError = nullptr;
  decltype(&SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
  decltype(&SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
  decltype(&SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
};
Sdl sdl;

const char *const kLibraries[] = {
#ifdef __APPLE__
    "libSDL2-2.0.0.dylib", "libSDL2.dylib", "/opt/homebrew/lib/libSDL2-2.0.0.dylib",
    "/usr/local/lib/libSDL2-2.0.0.dylib", "SDL2.framework/SDL2",
#else
    "libSDL2-2.0.so.0", "libSDL2.so",
#endif
};

template <class F>
bool find(F &f, const char *name) {
  f = reinterpret_cast<F>(dlsym(sdl.lib, name));
  return f != nullptr;
}

// Loads SDL2 once; says why when it cannot.
bool load(std::string &why) {
  if (sdl.lib) return true;
  for (const char *name : kLibraries)
    if ((sdl.lib = dlopen(name, RTLD_NOW | RTLD_LOCAL))) break;
  if (!sdl.lib) {
    const char *e = dlerror();
    why = std::string("SDL2 cannot be loaded: ") + (e ? e : kLibraries[0]);
    return false;
  }
  if (find(sdl.InitSubSystem, "SDL_InitSubSystem") && find(sdl.QuitSubSystem, "SDL_QuitSubSystem") &&
      find(sdl.GetError, "SDL_GetError") && find(sdl.OpenAudioDevice, "SDL_OpenAudioDevice") &&
      find(sdl.CloseAudioDevice, "SDL_CloseAudioDevice") && find(sdl.PauseAudioDevice, "SDL_PauseAudioDevice"))
    return true;
  why = "SDL2 lacks the functions of its audio interface";
  dlclose(sdl.lib);
  sdl = Sdl{};
  return false;
}

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

SDL_AudioDeviceID device = 0;
SDL_AudioSpec have{};
bool subsystem_up = false;

void SDLCALL callback(void *, Uint8 *stream, int len) {
  appIOProc(reinterpret_cast<float *>(stream), static_cast<unsigned>(len));
}

}  // namespace

DeviceStep device_open(int rate, unsigned &bufferSize, DeviceFormat &format, std::string &why) {
  if (device == 0) {
    if (!load(why)) return DeviceStep::default_device;
    Quiet quiet;
    if (!subsystem_up) {
      if (sdl.InitSubSystem(SDL_INIT_AUDIO) != 0) {
        why = std::string("SDL: ") + sdl.GetError();
        return DeviceStep::default_device;
      }
      subsystem_up = true;
    }
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = callback;
    // The device's own rate and channel count are taken as they are; SDL
    // converts any other sample format to floats for us.
    device = sdl.OpenAudioDevice(nullptr, 0, &want, &have,
                                 SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (device == 0) {
      why = std::string("SDL: ") + sdl.GetError();
      return DeviceStep::default_device;
    }
  }
  if (have.size == 0) {
    why = "SDL: the device reports no buffer size";
    return DeviceStep::buffer_size;
  }
  if (have.channels == 0 || have.freq <= 0) {
    why = "SDL: the device reports no usable stream format";
    return DeviceStep::stream_format;
  }
  bufferSize = have.size;
  format.mSampleRate = have.freq;
  format.mFormatID = kLinearPCM;
  format.mFormatFlags = SDL_AUDIO_ISFLOAT(have.format) ? kFormatIsFloat : 0;
  format.mChannelsPerFrame = have.channels;
  format.mBytesPerFrame = have.channels * (SDL_AUDIO_BITSIZE(have.format) / 8);
  return DeviceStep::ok;
}

bool device_start(std::string &why) {
  if (device == 0) {
    why = "SDL: no device is open";
    return false;
  }
  sdl.PauseAudioDevice(device, 0);
  return true;
}

bool device_stop() {
  if (device == 0) return false;
  sdl.PauseAudioDevice(device, 1);
  return true;
}

void device_close() {
  if (device != 0) sdl.CloseAudioDevice(device);
  device = 0;
  if (subsystem_up) sdl.QuitSubSystem(SDL_INIT_AUDIO);
  subsystem_up = false;
}

}  // namespace sinks
