// Volumes and stores: the storage identification control and the volume information record.
#pragma once

#include "platform/types.h"

inline constexpr DWORD IOCTL_DISK_GET_STORAGEID = 0x00071C24;

// The head of a storage identification reply; the manufacturer and serial texts follow at their
// offsets, counted from the start of the reply.
struct STORAGE_IDENTIFICATION {
  DWORD dwSize;
  DWORD dwFlags;
  DWORD dwManufactureIDOffset;
  DWORD dwSerialNumOffset;
};
static_assert(sizeof(STORAGE_IDENTIFICATION) == 16);

inline constexpr DWORD MANUFACTUREID_INVALID = 0x01;
inline constexpr DWORD SERIALNUM_INVALID = 0x02;

inline constexpr int CeVolumeInfoLevelStandard = 0;

struct CE_VOLUME_INFO {
  DWORD cbSize;
  DWORD dwAttributes;
  DWORD dwFlags;
  DWORD dwBlockSize;
  WCHAR szStoreName[32];
  WCHAR szPartitionName[32];
};
static_assert(sizeof(CE_VOLUME_INFO) == 144);
