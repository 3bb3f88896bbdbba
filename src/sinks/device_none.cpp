// The sound device of builds without sound output: opening always fails.
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

}  // namespace

std::unique_ptr<SoundDevice> DefaultSoundDevice() { return std::make_unique<NoDevice>(); }

}  // namespace sinks
