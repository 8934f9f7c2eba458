// The probe sections of the report run, in the order in which the run calls them.
#pragma once

#include <array>

#include "platform/types.h"

// The HAL output buffer: owned by the report run and handed, in run order, to the four HAL
// sections.
using HalOutputBuffer = std::array<BYTE, 1024>;

// OEM and platform texts, version, processor (system_info.cpp).
void ReportSystemInfo();
// Network adapters (adapters_info.cpp).
void DumpAdaptersInfo();
// Storage card identifiers of the root folder's entries (storage_guids.cpp).
void dumpStoregeGuids();
// The system's per-application device identifier (device_unique_id.cpp).
void DumpDeviceUniqueID();
// The HAL's device identifier, with a learned and with a fixed size (hal_device_id.cpp).
void DumpDeviceGUID(HalOutputBuffer& halOutput);
void DumpDeviceGUID2(HalOutputBuffer& halOutput);
// The node of a fresh GUID and the Bluetooth radio address (hardware_address.cpp).
void GetMACaddress1();
void DumpBluetoothAddress();
// Writes the radio's address as 16 hex digits into `text` (room for 17 characters); false when
// there is none, and then `text` is untouched.
bool getMicrosoftBluetoothAddress(WCHAR* text);
// The HAL's UUID, offered 1024 and 16 bytes (hal_uuid.cpp).
void DumpDeviceUUID(HalOutputBuffer& halOutput);
void DumpDeviceUUID2(HalOutputBuffer& halOutput);
// The identifier in "\deviceid.txt" and the navigation library's (text_and_navigation_ids.cpp).
void GetTextDeviceID();
void Atlas_GetDeviceUUID();
