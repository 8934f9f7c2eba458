// The simulated device.
#include "platform/sim/simulated_device.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "device/entry_points.h"
#include "device/hal.h"
#include "platform/storage.h"
#include "platform/winsock.h"

namespace sim {

std::u16string FoldPath(std::u16string_view path) {
  std::u16string folded;
  folded.reserve(path.size());
  for (WCHAR c : path) {
    if (c >= u'A' && c <= u'Z') c = static_cast<WCHAR>(c - u'A' + u'a');
    if (c == u'/') c = u'\\';
    folded.push_back(c);
  }
  return folded;
}

StorageReply ReplyWithSerial(const Bytes& serial) {
  StorageReply reply;
  const auto size = static_cast<DWORD>(sizeof(STORAGE_IDENTIFICATION) + serial.size() + 1);
  STORAGE_IDENTIFICATION head{size, 0, 0, sizeof(STORAGE_IDENTIFICATION)};
  reply.reply.resize(size, 0);
  std::memcpy(reply.reply.data(), &head, sizeof head);
  std::copy(serial.begin(), serial.end(), reply.reply.begin() + sizeof head);
  return reply;
}

Bytes DeviceIdStructure(const Bytes& preset, const Bytes& platform) {
  const auto presetOffset = static_cast<DWORD>(sizeof(DEVICE_ID));
  const auto platformOffset = static_cast<DWORD>(presetOffset + preset.size());
  const auto size = static_cast<DWORD>(platformOffset + platform.size());
  DEVICE_ID head{size, presetOffset, static_cast<DWORD>(preset.size()), platformOffset,
                 static_cast<DWORD>(platform.size())};
  Bytes bytes(size, 0);
  std::memcpy(bytes.data(), &head, sizeof head);
  std::copy(preset.begin(), preset.end(), bytes.begin() + presetOffset);
  std::copy(platform.begin(), platform.end(), bytes.begin() + platformOffset);
  return bytes;
}

namespace {

// A file of the in-memory file system. Appends reach the file at once, as on the medium.
class SimFile : public DeviceFile {
 public:
  SimFile(SimulatedDevice& device, Bytes* bytes, bool append)
      : device_(device), bytes_(bytes), append_(append) {}

  std::size_t Read(void* data, std::size_t size) override {
    if (append_ || position_ >= bytes_->size()) return 0;
    const std::size_t n = std::min(size, bytes_->size() - position_);
    std::memcpy(data, bytes_->data() + position_, n);
    position_ += n;
    return n;
  }

  std::size_t Write(const void* data, std::size_t size) override {
    if (!append_) return 0;
    const auto fault = device_.NextFault(FileFaults::Operation::kWrite);
    const auto* p = static_cast<const BYTE*>(data);
    if (fault == FileFaults::Kind::kShortWrite) {
      const std::size_t half = size / 2;
      bytes_->insert(bytes_->end(), p, p + half);
      return half;
    }
    if (fault != FileFaults::Kind::kNone) return 0;
    bytes_->insert(bytes_->end(), p, p + size);
    return size;
  }

  bool Seek(std::int64_t offset, Origin origin) override {
    const auto size = static_cast<std::int64_t>(bytes_->size());
    const std::int64_t target = origin == Origin::kStart ? offset : size + offset;
    if (append_ || target < 0 || target > size) return false;
    position_ = static_cast<std::size_t>(target);
    return true;
  }

  bool Close() override {
    if (!append_) return true;
    return device_.NextFault(FileFaults::Operation::kClose) == FileFaults::Kind::kNone;
  }

 private:
  SimulatedDevice& device_;
  Bytes* bytes_;
  bool append_;
  std::size_t position_ = 0;
};

// The device whose libraries' entry points are being called: the simulated entry points are plain
// functions, as the platform's are, so they find their answers through it.
SimulatedDevice* libraryDevice = nullptr;

const LibraryProfile* LibraryNamed(std::u16string_view name) {
  if (libraryDevice == nullptr) return nullptr;
  const auto& libraries = libraryDevice->profile().libraries;
  const std::u16string key = FoldPath(name);
  for (const auto& [libName, library] : libraries) {
    if (FoldPath(libName) == key) return &library;
  }
  return nullptr;
}

std::int32_t SimSdCardId(char16_t* buffer) {
  const LibraryProfile* library = LibraryNamed(kCardLibrary);
  if (library == nullptr || buffer == nullptr) return 0;
  ++libraryDevice->mutable_record().entryPointCalls;
  constexpr std::size_t kRoom = 1024;
  const std::size_t n = std::min(library->wideText.size(), kRoom);
  std::copy_n(library->wideText.begin(), n, buffer);
  if (n < kRoom) buffer[n] = u'\0';
  return library->result;
}

std::int32_t SimAtlasGetUuid(char* buffer) {
  const LibraryProfile* library = LibraryNamed(kNavigationLibrary);
  if (library == nullptr || buffer == nullptr) return 0;
  ++libraryDevice->mutable_record().entryPointCalls;
  constexpr std::size_t kRoom = 1024;
  const std::size_t n = std::min(library->narrowText.size(), kRoom);
  std::copy_n(library->narrowText.begin(), n, buffer);
  if (n < kRoom) buffer[n] = '\0';
  return library->result;
}

class SimLibrary : public DeviceLibrary {
 public:
  SimLibrary(SimulatedDevice& device, std::u16string name, const LibraryProfile& profile)
      : device_(device), name_(std::move(name)), profile_(profile) {}
  ~SimLibrary() override { ++device_.mutable_record().libraryUnloads[name_]; }

  FARPROC Symbol(const char* name) override {
    if (!profile_.hasEntryPoint || name == nullptr) return nullptr;
    const std::u16string key = FoldPath(name_);
    if (key == FoldPath(kCardLibrary) && std::strcmp(name, kSdCardIdName) == 0) {
      return reinterpret_cast<FARPROC>(&SimSdCardId);
    }
    if (key == FoldPath(kNavigationLibrary) && std::strcmp(name, kAtlasGetUuidName) == 0) {
      return reinterpret_cast<FARPROC>(&SimAtlasGetUuid);
    }
    return nullptr;
  }

 private:
  SimulatedDevice& device_;
  std::u16string name_;
  const LibraryProfile& profile_;
};

// Writes as much of `bytes` as fits `room` at `out`.
void WriteCut(const Bytes& bytes, void* out, DWORD room) {
  if (out == nullptr || bytes.empty()) return;
  std::memcpy(out, bytes.data(), std::min<std::size_t>(bytes.size(), room));
}

}  // namespace

SimulatedDevice::SimulatedDevice(DeviceProfile profile) : profile_(std::move(profile)) {
  libraryDevice = this;
}

SimulatedDevice::~SimulatedDevice() {
  if (libraryDevice == this) libraryDevice = nullptr;
}

std::optional<Bytes> SimulatedDevice::FileBytes(std::u16string_view path) const {
  const std::u16string key = FoldPath(path);
  for (const auto& [name, bytes] : profile_.files) {
    if (FoldPath(name) == key) return bytes;
  }
  return std::nullopt;
}

std::string SimulatedDevice::FileText(std::u16string_view path) const {
  const auto bytes = FileBytes(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

SYSTEMTIME SimulatedDevice::LocalTime() {
  return profile_.clock;
}

std::u16string SimulatedDevice::ModuleFileName() {
  return profile_.executable;
}

void SimulatedDevice::Sleep(DWORD milliseconds) {
  record_.sleeps.push_back(milliseconds);
  if (realSleeps_) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void SimulatedDevice::ShowMessageBox(std::u16string_view caption, std::u16string_view text) {
  record_.messageBoxes.emplace_back(caption, text);
}

FileFaults::Kind SimulatedDevice::NextFault(FileFaults::Operation operation) {
  const int count = ++fileOperations_[operation];
  const FileFaults& f = profile_.faults;
  if (f.kind == FileFaults::Kind::kNone || f.operation != operation) return FileFaults::Kind::kNone;
  if (count == f.at || (f.persistent && count > f.at)) {
    faultTriggered_ = true;
    return f.kind;
  }
  return FileFaults::Kind::kNone;
}

std::unique_ptr<DeviceFile> SimulatedDevice::OpenFile(std::u16string_view path, FileMode mode,
                                                      DWORD* error) {
  const std::u16string key = FoldPath(path);
  Bytes* bytes = nullptr;
  for (auto& [name, content] : profile_.files) {
    if (FoldPath(name) == key) bytes = &content;
  }
  if (mode == FileMode::kRead) {
    if (bytes == nullptr) {
      if (error) *error = ERROR_FILE_NOT_FOUND;
      return nullptr;
    }
    return std::make_unique<SimFile>(*this, bytes, false);
  }
  if (profile_.reportMediumReadOnly ||
      NextFault(FileFaults::Operation::kOpen) != FileFaults::Kind::kNone) {
    if (error) *error = ERROR_ACCESS_DENIED;
    return nullptr;
  }
  if (bytes == nullptr) bytes = &profile_.files[std::u16string(path)];
  return std::make_unique<SimFile>(*this, bytes, true);
}

std::optional<std::vector<std::u16string>> SimulatedDevice::ListFolder(std::u16string_view path) {
  if (FoldPath(path) != u"\\") return std::nullopt;  // only the root folder is listed here
  std::vector<std::u16string> names;
  if (profile_.rootGiven) {
    if (!profile_.root) return std::nullopt;
    for (const auto& entry : *profile_.root) names.push_back(entry.name);
    return names;
  }
  for (const auto& [name, bytes] : profile_.files) {
    std::u16string_view rest(name);
    if (!rest.starts_with(u'\\')) continue;
    rest.remove_prefix(1);
    const std::u16string top(rest.substr(0, rest.find(u'\\')));
    if (!top.empty() && std::find(names.begin(), names.end(), top) == names.end()) {
      names.push_back(top);
    }
  }
  return names;
}

std::optional<std::u16string> SimulatedDevice::SystemParameterText(UINT action) {
  if (action == SPI_GETOEMINFO) return profile_.oemInfo;
  if (action == SPI_GETPLATFORMTYPE) return profile_.platformType;
  return std::nullopt;
}

bool SimulatedDevice::GetVersion(OSVERSIONINFOW& info) {
  if (!profile_.version) return false;
  info = *profile_.version;
  return true;
}

BOOL SimulatedDevice::KernelIoControl(DWORD code, const void* /*in*/, DWORD /*inSize*/, void* out,
                                      DWORD outSize, DWORD* bytesReturned) {
  record_.halCalls.push_back({code, outSize, bytesReturned != nullptr});
  const HalAnswer* answer = nullptr;
  if (code == IOCTL_HAL_GET_DEVICEID) answer = &profile_.hal.deviceId;
  if (code == IOCTL_HAL_GET_UUID) answer = &profile_.hal.uuid;
  if (code == IOCTL_PROCESSOR_INFORMATION) answer = &profile_.hal.processor;
  if (answer == nullptr) return FALSE;

  if (!answer->answer) {
    WriteCut(answer->refusedWrite, out, outSize);
    return FALSE;
  }
  const Bytes& bytes = *answer->answer;
  if (out == nullptr || outSize < bytes.size()) {
    // Not enough room: the device identifier's header learns the size it needs.
    if (code == IOCTL_HAL_GET_DEVICEID && out != nullptr && outSize >= sizeof(DWORD)) {
      const auto needed = static_cast<DWORD>(bytes.size());
      std::memcpy(out, &needed, sizeof needed);
    }
    return FALSE;
  }
  if (halQueries_[code]++ < answer->refusals) {
    WriteCut(answer->refusedWrite, out, outSize);
    return FALSE;
  }
  if (!bytes.empty()) std::memcpy(out, bytes.data(), bytes.size());
  if (bytesReturned != nullptr) *bytesReturned = static_cast<DWORD>(bytes.size());
  return TRUE;
}

const RootEntry* SimulatedDevice::FindRootEntry(std::u16string_view path) const {
  if (!profile_.root) return nullptr;
  const std::u16string key = FoldPath(path);
  for (const auto& entry : *profile_.root) {
    if (FoldPath(u"\\" + entry.name) == key) return &entry;
  }
  return nullptr;
}

std::uint32_t SimulatedDevice::OpenStorage(std::u16string_view name) {
  record_.storageOpens.emplace_back(name);
  const StorageReply* reply = nullptr;
  const std::u16string folded = FoldPath(name);
  if (folded.ends_with(u"\\vol:")) {
    const RootEntry* entry = FindRootEntry(name.substr(0, name.size() - 5));
    if (entry != nullptr && entry->volume) reply = &*entry->volume;
  } else {
    for (const auto& [storeName, storeReply] : profile_.stores) {
      if (FoldPath(storeName) == folded) reply = &storeReply;
    }
  }
  if (reply == nullptr) return 0;
  const std::uint32_t handle = nextHandle_++;
  storage_[handle] = reply;
  ++record_.storageOpened;
  return handle;
}

BOOL SimulatedDevice::StorageIoControl(std::uint32_t handle, DWORD code, const void* /*in*/,
                                       DWORD /*inSize*/, void* out, DWORD outSize,
                                       DWORD* bytesReturned) {
  auto it = storage_.find(handle);
  if (it == storage_.end() || code != IOCTL_DISK_GET_STORAGEID) return FALSE;
  const StorageReply& reply = *it->second;
  if (reply.fails) return FALSE;
  WriteCut(reply.reply, out, outSize);
  if (bytesReturned != nullptr) {
    *bytesReturned = reply.bytesReturned.value_or(
        static_cast<DWORD>(std::min<std::size_t>(reply.reply.size(), outSize)));
  }
  return TRUE;
}

void SimulatedDevice::CloseStorage(std::uint32_t handle) {
  if (storage_.erase(handle) > 0) ++record_.storageClosed;
}

bool SimulatedDevice::HasSystemEntryPoint(std::string_view name) {
  if (name == "GetDeviceUniqueID") return profile_.uniqueId.present;
  if (name == "CoCreateGuid") return profile_.guid.present;
  if (name == "CeGetVolumeInfoW") return profile_.hasCeGetVolumeInfo;
  return false;
}

HRESULT SimulatedDevice::GetDeviceUniqueID(const BYTE* appData, DWORD appDataSize, DWORD version,
                                           BYTE* output, DWORD* outputSize) {
  record_.uniqueIdAppData.assign(appData, appData + (appData != nullptr ? appDataSize : 0));
  record_.uniqueIdVersion = version;
  record_.uniqueIdRoom = outputSize != nullptr ? *outputSize : 0;
  const UniqueIdProfile& p = profile_.uniqueId;
  if (FAILED(p.result)) return p.result;
  if (output == nullptr || outputSize == nullptr) return E_POINTER;
  WriteCut(p.bytes, output, *outputSize);
  *outputSize = p.length.value_or(static_cast<DWORD>(p.bytes.size()));
  return p.result;
}

HRESULT SimulatedDevice::CoCreateGuid(GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  if (profile_.guid.guid) *guid = *profile_.guid.guid;
  return profile_.guid.result;
}

BOOL SimulatedDevice::CeGetVolumeInfo(std::u16string_view path, int /*level*/, void* info) {
  const RootEntry* entry = FindRootEntry(path);
  if (entry == nullptr || !entry->store) return FALSE;
  CE_VOLUME_INFO volume{};
  std::memcpy(&volume, info, sizeof volume);
  if (volume.cbSize != sizeof(CE_VOLUME_INFO)) return FALSE;
  const std::size_t n = std::min<std::size_t>(entry->store->size(), 31);
  std::copy_n(entry->store->begin(), n, volume.szStoreName);
  volume.szStoreName[n] = u'\0';
  std::memcpy(info, &volume, sizeof volume);
  return TRUE;
}

std::unique_ptr<DeviceLibrary> SimulatedDevice::LoadLibrary(std::u16string_view name) {
  const std::u16string key = FoldPath(name);
  for (const auto& [libName, library] : profile_.libraries) {
    if (FoldPath(libName) == key) {
      ++record_.libraryLoads[std::u16string(name)];
      libraryDevice = this;
      return std::make_unique<SimLibrary>(*this, std::u16string(name), library);
    }
  }
  return nullptr;
}

bool SimulatedDevice::StartSockets() {
  return !profile_.socketsFail;
}

std::uint32_t SimulatedDevice::OpenSocket(int family, int /*type*/, int /*protocol*/) {
  if (family != AF_BT || !profile_.bluetooth.address) return 0;
  const std::uint32_t handle = nextHandle_++;
  sockets_[handle] = false;
  ++record_.socketsOpened;
  return handle;
}

bool SimulatedDevice::BindSocket(std::uint32_t socket, const void* /*address*/, int length) {
  auto it = sockets_.find(socket);
  if (it == sockets_.end() || profile_.bluetooth.bindFails ||
      length < static_cast<int>(sizeof(SOCKADDR_BTH))) {
    return false;
  }
  it->second = true;
  return true;
}

bool SimulatedDevice::SocketName(std::uint32_t socket, void* address, int* length) {
  auto it = sockets_.find(socket);
  if (it == sockets_.end() || !it->second || profile_.bluetooth.getsocknameFails ||
      *length < static_cast<int>(sizeof(SOCKADDR_BTH))) {
    return false;
  }
  SOCKADDR_BTH name{};
  name.addressFamily = AF_BT;
  name.btAddr = *profile_.bluetooth.address;
  std::memcpy(address, &name, sizeof name);
  *length = sizeof name;
  return true;
}

void SimulatedDevice::CloseSocket(std::uint32_t socket) {
  if (sockets_.erase(socket) > 0) ++record_.socketsClosed;
}

DWORD SimulatedDevice::QueryAdapters(std::vector<AdapterFacts>& adapters) {
  const int query = ++record_.adapterQueries;
  if (auto it = profile_.adapters.errorOnQuery.find(query);
      it != profile_.adapters.errorOnQuery.end()) {
    return it->second;
  }
  adapters = profile_.adapters.adapters;
  return ERROR_SUCCESS;
}

}  // namespace sim
