// The HAL's kernel I/O controls and the records their callers read.
#pragma once

#include "platform/kernel.h"
#include "platform/types.h"

inline constexpr DWORD IOCTL_HAL_GET_UUID = 0x01010034;
inline constexpr DWORD IOCTL_HAL_GET_DEVICEID = 0x01010054;
inline constexpr DWORD IOCTL_PROCESSOR_INFORMATION = 0x01010064;

// The processor record that IOCTL_PROCESSOR_INFORMATION fills.
struct PROCESSOR_INFO {
  WORD wVersion;
  WCHAR szProcessCore[40];
  WORD wCoreRevision;
  WCHAR szProcessorName[40];
  WORD wProcessorRevision;
  WCHAR szCatalogNumber[100];
  WCHAR szVendor[100];
  DWORD dwInstructionSet;
  DWORD dwClockSpeed;
};
static_assert(sizeof(PROCESSOR_INFO) == 576);

// The header of the device identifier that IOCTL_HAL_GET_DEVICEID returns; the identifier bytes
// follow at the offsets it gives, counted from the start of the header.
struct DEVICE_ID {
  DWORD dwSize;
  DWORD dwPresetIDOffset;
  DWORD dwPresetIDBytes;
  DWORD dwPlatformIDOffset;
  DWORD dwPlatformIDBytes;
};
static_assert(sizeof(DEVICE_ID) == 20);
