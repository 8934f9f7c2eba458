// Test access to the storage scan: its volume reader and the process-wide state it keeps.
#pragma once

#include <cstddef>

#include "platform/mfc.h"
#include "platform/types.h"

// The card identifier buffer of the scan, in characters; GetCardGUIDEx's buffer holds this many.
inline constexpr std::size_t kCardGuidChars = 2048;

// Asks the volume mounted at `rootEntryPath`, and failing that the store that holds it, for its
// storage identification. TRUE when a card identifier was written to `cardGuid` (kCardGuidChars
// characters); FALSE, with `cardGuid` untouched, when there is none.
BOOL GetCardGUIDEx(const CString& rootEntryPath, WCHAR* cardGuid);

// Forgets the resolved CeGetVolumeInfoW entry point, as a new process would.
void ResetCeGetVolumeInfoForTests();

// Where the storage identification reply comes from: a function returning `size` bytes of heap
// memory (released with std::free), or null when there is none. Null puts the heap back. Returns
// the allocator it replaces.
using StorageReplyAllocator = void* (*)(std::size_t size);
StorageReplyAllocator SetStorageReplyAllocatorForTests(StorageReplyAllocator allocator);
