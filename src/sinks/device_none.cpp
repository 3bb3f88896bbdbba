// A device layer for builds without sound output: opening always fails.
#include "sinks/device.hpp"

namespace sinks {

DeviceStep device_open(int, unsigned &, DeviceFormat &, std::string &why) {
  why = "this build of reelwright has no sound output";
  return DeviceStep::default_device;
}
bool device_start(std::string &why) {
  why = "this build of reelwright has no sound output";
  return false;
}
bool device_stop() { return false; }
void device_close() {}

}  // namespace sinks
