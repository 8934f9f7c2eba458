// The entry points that are found at run time, with their libraries, names and signatures.
#pragma once

#include <cstdint>

#include "platform/modules.h"
#include "platform/storage.h"
#include "platform/types.h"

// The system library, as it is loaded by name and as its handle is asked for.
inline constexpr LPCWSTR kSystemLibrary = u"coredll.dll";
inline constexpr LPCWSTR kSystemModuleName = u"COREDLL.DLL";
// The device makers' libraries.
inline constexpr LPCWSTR kCardLibrary = u"marina_api";
inline constexpr LPCWSTR kNavigationLibrary = u"NAVIAPI";

// GetDeviceUniqueID(application data, its size, version, output, in: room / out: bytes produced).
using PFN_GetDeviceUniqueID = HRESULT (*)(BYTE*, DWORD, DWORD, BYTE*, DWORD*);
inline constexpr LPCWSTR kGetDeviceUniqueIDName = u"GetDeviceUniqueID";

// CoCreateGuid(guid).
using PFN_CoCreateGuid = HRESULT (*)(GUID*);
inline constexpr LPCWSTR kCoCreateGuidName = u"CoCreateGuid";

// CeGetVolumeInfoW(path, level, volume information), exported by ordinal.
using PFN_CeGetVolumeInfoW = BOOL (*)(LPCWSTR, int, CE_VOLUME_INFO*);
inline constexpr WORD kCeGetVolumeInfoWOrdinal = 1978;

// SD_CardID(1024-character wide buffer): nonzero when it wrote a terminated text.
using PFN_SD_CardID = std::int32_t (*)(char16_t*);
inline constexpr LPCSTR kSdCardIdName = "SD_CardID";

// AtlasGetUUID(1024-byte buffer): nonzero when it wrote a terminated text.
using PFN_AtlasGetUUID = std::int32_t (*)(char*);
inline constexpr LPCSTR kAtlasGetUuidName = "AtlasGetUUID";

// Casts an entry point found by name or ordinal to its own type.
template <typename Entry>
Entry EntryPointAs(FARPROC entry) {
  return reinterpret_cast<Entry>(entry);
}
