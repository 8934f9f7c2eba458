// This machine's identity entry points: the per-application identifier and fresh GUIDs.
#include "platform/linux/linux_device.h"

bool LinuxDevice::HasSystemEntryPoint(std::string_view name) {
  return name == "CeGetVolumeInfoW";
}

HRESULT LinuxDevice::GetDeviceUniqueID(const BYTE* /*appData*/, DWORD /*appDataSize*/,
                                       DWORD /*version*/, BYTE* /*output*/, DWORD* /*outputSize*/) {
  return E_FAIL;
}

HRESULT LinuxDevice::CoCreateGuid(GUID* /*guid*/) {
  return E_FAIL;
}
