// The sound device layer on SDL2: the default output device, 32-bit float
// samples, its callback thread driving appIOProc.
#include <SDL.h>

#include "sinks/ring.hpp"
#include "sinks/device.hpp"

namespace sinks {

namespace {

SDL_AudioDeviceID device = 0;
SDL_AudioSpec have{};
bool subsystem_up = false;

void SDLCALL callback(void *, Uint8 *stream, int len) {
  appIOProc(reinterpret_cast<float *>(stream), static_cast<unsigned>(len));
}

}  // namespace

DeviceStep device_open(int rate, unsigned &bufferSize, DeviceFormat &format, std::string &why) {
  if (device == 0) {
    if (!subsystem_up) {
      if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        why = std::string("SDL: ") + SDL_GetError();
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
    device = SDL_OpenAudioDevice(nullptr, 0, &want, &have,
                                 SDL_AUDIO_ALLOW_FREQUENCY_CHANGE | SDL_AUDIO_ALLOW_CHANNELS_CHANGE);
    if (device == 0) {
      why = std::string("SDL: ") + SDL_GetError();
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
  SDL_PauseAudioDevice(device, 0);
  return true;
}

bool device_stop() {
  if (device == 0) return false;
  SDL_PauseAudioDevice(device, 1);
  return true;
}

void device_close() {
  if (device != 0) SDL_CloseAudioDevice(device);
  device = 0;
  if (subsystem_up) SDL_QuitSubSystem(SDL_INIT_AUDIO);
  subsystem_up = false;
}

}  // namespace sinks
