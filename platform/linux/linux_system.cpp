// This machine's system parameters, version and HAL answers.
#include "platform/linux/linux_device.h"

std::optional<std::u16string> LinuxDevice::SystemParameterText(UINT /*action*/) {
  return std::nullopt;
}

bool LinuxDevice::GetVersion(OSVERSIONINFOW& /*info*/) {
  return false;
}

BOOL LinuxDevice::KernelIoControl(DWORD /*code*/, const void* /*in*/, DWORD /*inSize*/,
                                  void* /*out*/, DWORD /*outSize*/, DWORD* /*bytesReturned*/) {
  return FALSE;
}
