// The sound devices of builds without sound: opening always fails.
#include "sinks/capture.hpp"
#include "sinks/device.hpp"

namespace sinks {

namespace {

class NoDevice final : public SoundDevice {
 public:
  DeviceStep open(int, int, DeviceFeed &, DeviceSpec &, std::string &why) override {
    why = "this build of reelwright has no sound output";
    return DeviceStep::default_device;
  }
  bool start(std::string &why) override {
    why = "this build of reelwright has no sound output";
    return false;
  }
  void stop() override {}
  void close() override {}
};

class NoCapture final : public CaptureDevice {
 public:
  bool open(int, CaptureFeed &, DeviceSpec &, std::string &why) override {
    why = "this build of reelwright has no sound input";
    return false;
  }
  bool start(std::string &why) override {
    why = "this build of reelwright has no sound input";
    return false;
  }
  void stop() override {}
  void close() override {}
};

}  // namespace

std::unique_ptr<SoundDevice> DefaultSoundDevice() { return std::make_unique<NoDevice>(); }
std::unique_ptr<CaptureDevice> DefaultCaptureDevice() { return std::make_unique<NoCapture>(); }

}  // namespace sinks
