// Storage card identifiers of the root folder's entries: each entry is asked as a volume, then
// through the store that holds it, and the card library is asked for its own identifier.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "device/entry_points.h"
#include "log/report_log.h"
#include "platform/kernel.h"
#include "platform/mfc.h"
#include "platform/modules.h"
#include "platform/storage.h"
#include "platform/types.h"
#include "platform/wformat.h"
#include "platform/wstring.h"
#include "probes/probes.h"
#include "probes/storage_guids_testing.h"

namespace {

constexpr DWORD kStorageReplyBytes = 1024;
// The serial hex text, terminator included.
constexpr std::size_t kSerialHexChars = 1024;
// The most serial bytes whose hex text fits the serial hex text with its terminator; the bytes of
// a longer serial number after these are left out.
constexpr std::size_t kMaxSerialBytes = (kSerialHexChars - 1) / 2;
// The shortest card identifier, in characters.
constexpr std::size_t kCardGuidMinChars = 32;
constexpr std::size_t kLibraryTextChars = 1024;
constexpr std::size_t kLibraryPicks = 16;
// The first characters of the library text that are never picked.
constexpr std::size_t kLibrarySkippedChars = 2;

// Resolved once; kept for the rest of the process.
PFN_CeGetVolumeInfoW g_ceGetVolumeInfoW = nullptr;

void* AllocateZeroed(std::size_t size) {
  return std::calloc(1, size);
}
StorageReplyAllocator g_allocateReply = &AllocateZeroed;

HANDLE OpenStorageHandle(LPCWSTR name) {
  return CreateFileW(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     0, nullptr);
}

// Writes the card identifier made of the serial hex text `hex` (n characters, n > 0): the text
// twice, four times for four serial bytes, and never fewer than 32 characters, repeating the text.
void BuildCardGuid(const WCHAR* hex, std::size_t n, WCHAR* cardGuid) {
  const std::u16string_view text(hex, n);
  WideCopyBounded(cardGuid, kCardGuidChars, text);
  WideAppendBounded(cardGuid, kCardGuidChars, text);
  if (n == 8) {
    WideAppendBounded(cardGuid, kCardGuidChars, text);
    WideAppendBounded(cardGuid, kCardGuidChars, text);
  }
  if (wcslen(cardGuid) < kCardGuidMinChars) {
    for (std::size_t k = 0; k < kCardGuidMinChars; ++k) cardGuid[k] = hex[k % n];
    cardGuid[kCardGuidMinChars] = u'\0';
  }
}

// The storage identification query on an open volume or store. When the reply carries serial
// bytes, renders them into `serialHex` (kSerialHexChars), writes the card identifier into
// `cardGuid` and returns true; otherwise `cardGuid` is untouched.
bool QueryStorageIdentification(HANDLE handle, WCHAR* serialHex, WCHAR* cardGuid) {
  auto* reply = static_cast<BYTE*>(g_allocateReply(kStorageReplyBytes));
  // Without a reply there is nothing to ask with: the same outcome as a refused query.
  if (reply == nullptr) return false;
  std::memset(reply, 0, kStorageReplyBytes);
  const DWORD replySize = kStorageReplyBytes;
  std::memcpy(reply, &replySize, sizeof replySize);

  DWORD bytesReturned = 0;
  if (!DeviceIoControl(handle, IOCTL_DISK_GET_STORAGEID, nullptr, 0, reply, kStorageReplyBytes,
                       &bytesReturned, nullptr) ||
      bytesReturned == 0) {
    std::free(reply);
    return false;
  }

  STORAGE_IDENTIFICATION head{};
  std::memcpy(&head, reply, sizeof head);
  // The driver's count and offset are bounded by the reply: a count beyond it is taken as the
  // reply's size, and an offset at or beyond the end renders nothing.
  const DWORD end = std::min(bytesReturned, kStorageReplyBytes);
  const DWORD offset = head.dwSerialNumOffset;
  std::size_t rendered = 0;
  if (offset < end) {
    const BYTE* serial = reply + offset;
    const std::size_t available = end - offset;
    while (rendered < available && rendered < kMaxSerialBytes && serial[rendered] != 0) {
      _snwprintf(serialHex + 2 * rendered, 3, u"%02X", static_cast<unsigned>(serial[rendered]));
      ++rendered;
    }
  }
  serialHex[2 * rendered] = u'\0';

  if (rendered == 0) {
    std::free(reply);
    return false;
  }
  BuildCardGuid(serialHex, 2 * rendered, cardGuid);
  std::free(reply);
  return true;
}

// Runs the query on the named volume or store and closes it again; false when it does not open.
bool QueryNamedStorage(LPCWSTR name, WCHAR* serialHex, WCHAR* cardGuid) {
  HANDLE handle = OpenStorageHandle(name);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool written = QueryStorageIdentification(handle, serialHex, cardGuid);
  CloseHandle(handle);
  return written;
}

// Writes the library card identifier into `cardGuid`: 16 picks from the library text after its
// first two characters, each as "%02X" at character 2k. False when the text leaves nothing to
// pick from.
bool BuildLibraryCardGuid(const WCHAR* text, WCHAR* cardGuid) {
  // The library promises a terminated text; one that fills its buffer ends there.
  const std::size_t n = wcsnlen(text, kLibraryTextChars);
  // Exactly two characters: both are skipped and no character remains to pick.
  if (n == kLibrarySkippedChars) return false;
  for (std::size_t k = 0; k < kLibraryPicks; ++k) {
    // A text of fewer than two characters leaves the picks on the zero-filled rest of the buffer.
    const std::size_t index = n > kLibrarySkippedChars
                                  ? kLibrarySkippedChars + k % (n - kLibrarySkippedChars)
                                  : kLibrarySkippedChars + k;
    // A code above 0xFF gives more than two digits; the next pick overwrites all but the first
    // two.
    _snwprintf(cardGuid + 2 * k, kCardGuidChars - 2 * k, u"%02X",
               static_cast<unsigned>(text[index]));
  }
  return true;
}

// Asks the card library for its identifier and builds the library card identifier in `cardGuid`;
// false when the library, its entry point or its answer is missing. The library is freed before
// the caller writes anything.
bool GetLibraryCardGUID(WCHAR* cardGuid) {
  HMODULE library = LoadLibraryW(kCardLibrary);
  if (library == nullptr) return false;
  bool built = false;
  if (auto sdCardId = EntryPointAs<PFN_SD_CardID>(GetProcAddressA(library, kSdCardIdName))) {
    WCHAR text[kLibraryTextChars];
    std::fill(std::begin(text), std::end(text), u'\0');
    if (sdCardId(text) != 0) built = BuildLibraryCardGuid(text, cardGuid);
  }
  FreeLibrary(library);
  return built;
}

}  // namespace

BOOL GetCardGUIDEx(const CString& rootEntryPath, WCHAR* cardGuid) {
  WCHAR serialHex[kSerialHexChars];
  std::fill(std::begin(serialHex), std::end(serialHex), u'\0');

  // Route 1: the volume itself.
  CString volumePath;
  volumePath.Format(u"%s\\Vol:", static_cast<LPCWSTR>(rootEntryPath));
  if (QueryNamedStorage(volumePath, serialHex, cardGuid)) return TRUE;

  // Route 2: the store that holds the volume.
  if (g_ceGetVolumeInfoW == nullptr) {
    if (HMODULE system = GetModuleHandleW(kSystemModuleName)) {
      g_ceGetVolumeInfoW = EntryPointAs<PFN_CeGetVolumeInfoW>(
          GetProcAddressW(system, OrdinalName(kCeGetVolumeInfoWOrdinal)));
    }
  }
  if (g_ceGetVolumeInfoW == nullptr) return FALSE;

  CE_VOLUME_INFO info;
  std::memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  CString path;
  path.Format(u"%s", static_cast<LPCWSTR>(rootEntryPath));
  if (!g_ceGetVolumeInfoW(path, CeVolumeInfoLevelStandard, &info)) return FALSE;

  // The store name ends at its terminator or at the end of its field, whichever comes first.
  constexpr std::size_t kStoreNameChars = sizeof info.szStoreName / sizeof info.szStoreName[0];
  const std::u16string storeName(info.szStoreName, wcsnlen(info.szStoreName, kStoreNameChars));
  return QueryNamedStorage(storeName.c_str(), serialHex, cardGuid) ? TRUE : FALSE;
}

void dumpStoregeGuids() {
  bool found = false;
  CFileFind finder;
  if (finder.FindFile(u"\\*")) {
    BOOL more = FALSE;
    do {
      // The entry made current here is processed whatever the result: the last one too.
      more = finder.FindNextFile();
      const CString path = finder.GetFilePath();

      WCHAR cardGuid[kCardGuidChars];
      std::fill(std::begin(cardGuid), std::end(cardGuid), u'\0');
      if (GetCardGUIDEx(path, cardGuid)) {
        LogMessage(u" - GetCardGUIDEx - %s = %s", static_cast<LPCWSTR>(path), cardGuid);
        found = true;
      }
      if (GetLibraryCardGUID(cardGuid)) {
        LogMessage(u" - Blaupunkt_GetCardGUID - %s = %s", static_cast<LPCWSTR>(path), cardGuid);
        found = true;
      }
    } while (more);
  }
  if (!found) LogMessage(u" - no storages with guids!");
  finder.Close();
}

void ResetCeGetVolumeInfoForTests() {
  g_ceGetVolumeInfoW = nullptr;
}

StorageReplyAllocator SetStorageReplyAllocatorForTests(StorageReplyAllocator allocator) {
  StorageReplyAllocator previous = g_allocateReply;
  g_allocateReply = allocator != nullptr ? allocator : &AllocateZeroed;
  return previous;
}
