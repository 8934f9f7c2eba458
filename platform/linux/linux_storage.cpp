// This machine's volumes and stores: mount points of the root folder and the disks that hold them.
#include "platform/linux/linux_device.h"

struct LinuxDevice::StorageState {};
void LinuxDevice::AreaDeleter::operator()(StorageState* state) const {
  delete state;
}
LinuxDevice::StorageState& LinuxDevice::storage() {
  if (!storage_) storage_.reset(new StorageState{});
  return *storage_;
}

std::uint32_t LinuxDevice::OpenStorage(std::u16string_view /*name*/) {
  return 0;
}

BOOL LinuxDevice::StorageIoControl(std::uint32_t /*handle*/, DWORD /*code*/, const void* /*in*/,
                                   DWORD /*inSize*/, void* /*out*/, DWORD /*outSize*/,
                                   DWORD* /*bytesReturned*/) {
  return FALSE;
}

void LinuxDevice::CloseStorage(std::uint32_t /*handle*/) {}

BOOL LinuxDevice::CeGetVolumeInfo(std::u16string_view /*path*/, int /*level*/, void* /*info*/) {
  return FALSE;
}
