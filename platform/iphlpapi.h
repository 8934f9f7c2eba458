// IP helper: the adapter list as a linked list of IP_ADAPTER_INFO records in the caller's buffer.
#pragma once

#include "platform/types.h"

inline constexpr int MAX_ADAPTER_NAME_LENGTH = 256;
inline constexpr int MAX_ADAPTER_DESCRIPTION_LENGTH = 128;
inline constexpr int MAX_ADAPTER_ADDRESS_LENGTH = 8;

struct IP_ADDRESS_STRING {
  char String[16];
};
using IP_MASK_STRING = IP_ADDRESS_STRING;

struct IP_ADDR_STRING {
  IP_ADDR_STRING* Next;
  IP_ADDRESS_STRING IpAddress;
  IP_MASK_STRING IpMask;
  DWORD Context;
};

struct IP_ADAPTER_INFO {
  IP_ADAPTER_INFO* Next;
  DWORD ComboIndex;
  char AdapterName[MAX_ADAPTER_NAME_LENGTH + 4];
  char Description[MAX_ADAPTER_DESCRIPTION_LENGTH + 4];
  UINT AddressLength;
  BYTE Address[MAX_ADAPTER_ADDRESS_LENGTH];
  DWORD Index;
  UINT Type;
  UINT DhcpEnabled;
  IP_ADDR_STRING* CurrentIpAddress;
  IP_ADDR_STRING IpAddressList;
  IP_ADDR_STRING GatewayList;
  IP_ADDR_STRING DhcpServer;
  BOOL HaveWins;
  IP_ADDR_STRING PrimaryWinsServer;
  IP_ADDR_STRING SecondaryWinsServer;
  LONG LeaseObtained;  // seconds since 1970, 32 bits as on the device
  LONG LeaseExpires;
};

inline constexpr UINT MIB_IF_TYPE_OTHER = 1;
inline constexpr UINT MIB_IF_TYPE_ETHERNET = 6;
inline constexpr UINT IF_TYPE_IEEE80211 = 71;

// Fills `adapterInfo` (room: *size bytes) with the adapter list. ERROR_BUFFER_OVERFLOW, with the
// size needed in *size, when the list does not fit; ERROR_NO_DATA when there is no adapter; another
// error code when the list cannot be had.
DWORD GetAdaptersInfo(IP_ADAPTER_INFO* adapterInfo, ULONG* size);
