// This machine's network adapters.
#include "platform/linux/linux_device.h"

DWORD LinuxDevice::QueryAdapters(std::vector<AdapterFacts>& /*adapters*/) {
  return ERROR_NOT_SUPPORTED;
}
