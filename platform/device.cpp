// The process's installed device.
#include "platform/device.h"

#include <cstdlib>
#include <utility>

namespace {
std::unique_ptr<Device>& Installed() {
  static std::unique_ptr<Device> device;
  return device;
}
}  // namespace

void InstallDevice(std::unique_ptr<Device> device) {
  Installed() = std::move(device);
}

Device& CurrentDevice() {
  // Every entry point installs a device before the program runs; reaching here without one is a
  // programming error that no caller could recover from.
  if (!Installed()) std::abort();
  return *Installed();
}

bool HasDevice() {
  return Installed() != nullptr;
}
