// This machine's sockets: the Bluetooth radio's address through the kernel's HCI interface.
#include "platform/linux/linux_device.h"

struct LinuxDevice::SocketState {};
void LinuxDevice::AreaDeleter::operator()(SocketState* state) const {
  delete state;
}
LinuxDevice::SocketState& LinuxDevice::sockets() {
  if (!sockets_) sockets_.reset(new SocketState{});
  return *sockets_;
}

bool LinuxDevice::StartSockets() {
  return true;
}

std::uint32_t LinuxDevice::OpenSocket(int /*family*/, int /*type*/, int /*protocol*/) {
  return 0;
}

bool LinuxDevice::BindSocket(std::uint32_t /*socket*/, const void* /*address*/, int /*length*/) {
  return false;
}

bool LinuxDevice::SocketName(std::uint32_t /*socket*/, void* /*address*/, int* /*length*/) {
  return false;
}

void LinuxDevice::CloseSocket(std::uint32_t /*socket*/) {}
