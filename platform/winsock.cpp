// Sockets over the installed device.
#include "platform/winsock.h"

#include "platform/device.h"

namespace {
std::uint32_t Number(SOCKET s) {
  return s == INVALID_SOCKET || s > UINT32_MAX ? 0 : static_cast<std::uint32_t>(s);
}
}  // namespace

SOCKET socket(int af, int type, int protocol) {
  const std::uint32_t number = CurrentDevice().OpenSocket(af, type, protocol);
  return number == 0 ? INVALID_SOCKET : static_cast<SOCKET>(number);
}

int bind(SOCKET s, const sockaddr* name, int nameLength) {
  const std::uint32_t number = Number(s);
  if (number == 0 || name == nullptr || nameLength <= 0) return SOCKET_ERROR;
  return CurrentDevice().BindSocket(number, name, nameLength) ? 0 : SOCKET_ERROR;
}

int getsockname(SOCKET s, sockaddr* name, int* nameLength) {
  const std::uint32_t number = Number(s);
  if (number == 0 || name == nullptr || nameLength == nullptr || *nameLength <= 0) {
    return SOCKET_ERROR;
  }
  return CurrentDevice().SocketName(number, name, nameLength) ? 0 : SOCKET_ERROR;
}

int closesocket(SOCKET s) {
  const std::uint32_t number = Number(s);
  if (number == 0) return SOCKET_ERROR;
  CurrentDevice().CloseSocket(number);
  return 0;
}
