// A simulated device as data: every source of the report and every failure it can show.
//
// Profiles are usually loaded from JSON (profile_loader.h); tests also build them in code.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/types.h"

namespace sim {

using Bytes = std::vector<BYTE>;

// How the HAL answers one kernel I/O control.
struct HalAnswer {
  // The bytes of a successful answer; nullopt when the HAL refuses every query.
  std::optional<Bytes> answer;
  // Queries with enough room that are refused before the HAL answers.
  int refusals = 0;
  // What a refused query writes at the start of the output (cut to the output's size).
  Bytes refusedWrite;
};

struct HalProfile {
  HalAnswer deviceId;   // the whole DEVICE_ID structure, header included
  HalAnswer uuid;       // the UUID bytes; bytes returned is their count
  HalAnswer processor;  // a 576-byte PROCESSOR_INFO
};

// A storage identification reply of a volume or store.
struct StorageReply {
  bool fails = false;                  // the control returns FALSE
  Bytes reply;                         // the reply's bytes, written from the start of the output
  std::optional<DWORD> bytesReturned;  // reported count; the reply's size when not given
};

// One entry of the root folder.
struct RootEntry {
  std::u16string name;
  // The volume mounted here ("\<name>\Vol:" opens); nullopt when it is no volume.
  std::optional<StorageReply> volume;
  // The store that CeGetVolumeInfoW names for this entry; nullopt when it refuses the path.
  std::optional<std::u16string> store;
};

struct UniqueIdProfile {
  bool present = false;  // the system library exports GetDeviceUniqueID
  HRESULT result = S_OK;
  Bytes bytes;                  // written to the output, cut to its room
  std::optional<DWORD> length;  // the length reported back; the bytes' count when not given
};

struct GuidProfile {
  bool present = false;  // the system library exports CoCreateGuid
  HRESULT result = S_OK;
  std::optional<GUID> guid;  // written when given, whatever the result
};

struct BluetoothProfile {
  // The radio's 64-bit address; nullopt when there is no Bluetooth stack (the socket is refused).
  std::optional<std::uint64_t> address;
  bool bindFails = false;
  bool getsocknameFails = false;
};

struct AdaptersProfile {
  std::vector<AdapterFacts> adapters;
  // Error codes by query number (1 = first query of the run).
  std::map<int, DWORD> errorOnQuery;
};

// A device maker's library.
struct LibraryProfile {
  bool hasEntryPoint = true;
  std::int32_t result = 1;
  // What the entry point writes: wide code units (SD_CardID) or bytes (AtlasGetUUID). A text that
  // fills the buffer is written without a terminator.
  std::u16string wideText;
  Bytes narrowText;
};

// Faults of the report medium: the Nth open, write or close of a file for appending fails.
struct FileFaults {
  enum class Kind { kNone, kNoSpace, kIoError, kReadOnly, kShortWrite };
  Kind kind = Kind::kNone;
  enum class Operation { kOpen, kWrite, kClose };
  Operation operation = Operation::kOpen;
  int at = 0;               // 1-based count of that operation
  bool persistent = false;  // keeps failing from then on
};

struct DeviceProfile {
  SYSTEMTIME clock{2026, 2, 0, 1, 9, 5, 7, 0};
  std::u16string executable = u"\\Windows\\Vantrace21.exe";
  bool socketsFail = false;
  bool reportMediumReadOnly = false;
  FileFaults faults;
  // Files by device path (compared without regard to case).
  std::map<std::u16string, Bytes> files;

  std::optional<std::u16string> oemInfo;
  std::optional<std::u16string> platformType;
  std::optional<OSVERSIONINFOW> version;
  HalProfile hal;

  UniqueIdProfile uniqueId;
  GuidProfile guid;
  bool hasCeGetVolumeInfo = true;
  BluetoothProfile bluetooth;
  AdaptersProfile adapters;

  // The root folder in listing order; nullopt when it cannot be searched. When not given, the
  // root lists the top-level names of the files.
  std::optional<std::vector<RootEntry>> root;
  bool rootGiven = false;
  std::map<std::u16string, StorageReply> stores;
  // Installed device makers' libraries by name ("marina_api", "NAVIAPI").
  std::map<std::u16string, LibraryProfile> libraries;
};

// A storage identification reply carrying these serial bytes at offset 16, then a zero byte.
StorageReply ReplyWithSerial(const Bytes& serial);
// A DEVICE_ID structure: header, preset bytes at 20, platform bytes after them.
Bytes DeviceIdStructure(const Bytes& preset, const Bytes& platform);

}  // namespace sim
