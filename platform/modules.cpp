// Libraries over the installed device, with a reference count per library.
#include "platform/modules.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/device.h"
#include "platform/kernel.h"
#include "platform/storage.h"

struct ModuleRecord {
  std::u16string key;  // the name folded for comparison
  bool system = false;
  int references = 0;
  std::unique_ptr<DeviceLibrary> library;
};

namespace {
// The system library's exports: each asks the installed device.
HRESULT SystemGetDeviceUniqueID(BYTE* appData, DWORD appDataSize, DWORD version, BYTE* output,
                                DWORD* outputSize) {
  return CurrentDevice().GetDeviceUniqueID(appData, appDataSize, version, output, outputSize);
}
HRESULT SystemCoCreateGuid(GUID* guid) {
  return CurrentDevice().CoCreateGuid(guid);
}
BOOL SystemCeGetVolumeInfoW(LPCWSTR path, int level, CE_VOLUME_INFO* info) {
  if (path == nullptr || info == nullptr) return FALSE;
  return CurrentDevice().CeGetVolumeInfo(path, level, info);
}

constexpr WORD kCeGetVolumeInfoOrdinal = 1978;

bool IsOrdinal(const void* name) {
  return reinterpret_cast<std::uintptr_t>(name) < 0x10000;
}

// Library names compare without regard to case, and without a trailing ".dll".
std::u16string FoldName(std::u16string_view name) {
  std::u16string folded;
  for (const WCHAR c : name) folded.push_back(c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c);
  if (folded.size() > 4 && folded.ends_with(u".dll")) folded.resize(folded.size() - 4);
  return folded;
}

ModuleRecord& SystemModule() {
  static ModuleRecord record{u"coredll", true, 0, nullptr};
  return record;
}

std::map<std::u16string, std::unique_ptr<ModuleRecord>>& Loaded() {
  static std::map<std::u16string, std::unique_ptr<ModuleRecord>> loaded;
  return loaded;
}

bool IsKnown(HMODULE module) {
  if (module == &SystemModule()) return true;
  for (const auto& [key, record] : Loaded()) {
    if (record.get() == module) return true;
  }
  return false;
}

FARPROC SystemEntryPoint(std::string_view name) {
  if (!CurrentDevice().HasSystemEntryPoint(name)) return nullptr;
  if (name == "GetDeviceUniqueID") return reinterpret_cast<FARPROC>(&SystemGetDeviceUniqueID);
  if (name == "CoCreateGuid") return reinterpret_cast<FARPROC>(&SystemCoCreateGuid);
  if (name == "CeGetVolumeInfoW") return reinterpret_cast<FARPROC>(&SystemCeGetVolumeInfoW);
  return nullptr;
}

FARPROC Lookup(HMODULE module, std::string_view name) {
  if (module == nullptr || !IsKnown(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  FARPROC entry =
      module->system ? SystemEntryPoint(name) : module->library->Symbol(std::string(name).c_str());
  if (entry == nullptr) SetLastError(ERROR_FILE_NOT_FOUND);
  return entry;
}
}  // namespace

HMODULE LoadLibraryW(LPCWSTR name) {
  if (name == nullptr || IsOrdinal(name)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::u16string key = FoldName(name);
  if (key == SystemModule().key) {
    ++SystemModule().references;
    return &SystemModule();
  }
  auto& loaded = Loaded();
  if (auto it = loaded.find(key); it != loaded.end()) {
    ++it->second->references;
    return it->second.get();
  }
  auto library = CurrentDevice().LoadLibrary(name);
  if (!library) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  auto record = std::make_unique<ModuleRecord>(ModuleRecord{key, false, 1, std::move(library)});
  HMODULE handle = record.get();
  loaded.emplace(key, std::move(record));
  return handle;
}

HMODULE GetModuleHandleW(LPCWSTR name) {
  if (name == nullptr || IsOrdinal(name)) return nullptr;
  const std::u16string key = FoldName(name);
  if (key == SystemModule().key) return &SystemModule();
  auto& loaded = Loaded();
  auto it = loaded.find(key);
  return it == loaded.end() ? nullptr : it->second.get();
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR name) {
  if (name == nullptr) return nullptr;
  if (IsOrdinal(name)) {
    const auto ordinal = static_cast<WORD>(reinterpret_cast<std::uintptr_t>(name));
    // Only the system library exports by ordinal here.
    if (module == &SystemModule() && ordinal == kCeGetVolumeInfoOrdinal) {
      return Lookup(module, "CeGetVolumeInfoW");
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  // Entry point names are ASCII; a name with any other character cannot exist.
  std::string narrow;
  for (const WCHAR* p = name; *p != u'\0'; ++p) {
    if (*p > 0x7F) return nullptr;
    narrow.push_back(static_cast<char>(*p));
  }
  return Lookup(module, narrow);
}

FARPROC GetProcAddressA(HMODULE module, LPCSTR name) {
  if (name == nullptr || IsOrdinal(name)) return nullptr;
  return Lookup(module, name);
}

BOOL FreeLibrary(HMODULE module) {
  if (module == nullptr || !IsKnown(module)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (module->system) {
    // The system library stays loaded for the life of the process.
    if (module->references > 0) --module->references;
    return TRUE;
  }
  if (--module->references == 0) Loaded().erase(module->key);
  return TRUE;
}

int ModuleReferenceCount(LPCWSTR name) {
  if (name == nullptr) return 0;
  const std::u16string key = FoldName(name);
  if (key == SystemModule().key) return SystemModule().references;
  auto it = Loaded().find(key);
  return it == Loaded().end() ? 0 : it->second->references;
}
