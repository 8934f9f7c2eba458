// Sockets with the Bluetooth address family.
#pragma once

#include "platform/types.h"

using SOCKET = UINT_PTR;
inline constexpr SOCKET INVALID_SOCKET = static_cast<SOCKET>(~std::uintptr_t{0});
inline constexpr int SOCKET_ERROR = -1;

inline constexpr int AF_BT = 32;
inline constexpr int SOCK_STREAM = 1;
inline constexpr int BTHPROTO_RFCOMM = 3;

using BT_ADDR = ULONGLONG;

struct sockaddr;

struct SOCKADDR_BTH {
  USHORT addressFamily;
  BT_ADDR btAddr;
  GUID serviceClassId;
  ULONG port;
};
static_assert(sizeof(SOCKADDR_BTH) == 40);

SOCKET socket(int af, int type, int protocol);
int bind(SOCKET s, const sockaddr* name, int nameLength);
int getsockname(SOCKET s, sockaddr* name, int* nameLength);
int closesocket(SOCKET s);
