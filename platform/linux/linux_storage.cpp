// This machine's volumes and stores: mount points of the root folder and the disks that hold them.
//
// A device path is a volume when its folder is a mount point ("\boot\efi\Vol:" for /boot/efi). The
// store that holds any path is the whole disk under the mount the path lies on, named by the
// disk's kernel name and a colon ("sda:", "nvme0n1:"), as device names are written on the device.
// Both answer the storage identification control with the disk's serial number; a disk without
// one, or a mount without a disk (tmpfs, proc, overlay), refuses it.
#include <dirent.h>

#include <charconv>
#include <cstring>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/linux/host_storage.h"
#include "platform/linux/linux_device.h"
#include "platform/storage.h"

namespace {

constexpr std::u16string_view kVolumeSuffix = u"\\Vol:";

bool EndsWithFolded(std::u16string_view text, std::u16string_view suffix) {
  if (text.size() < suffix.size()) return false;
  const std::u16string_view tail = text.substr(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? c - u'A' + u'a' : c; };
    if (fold(tail[i]) != fold(suffix[i])) return false;
  }
  return true;
}

// The absolute host path ("/boot/efi") of a device path ("\boot\efi") as the mount table names
// it; nullopt for a path that does not start at the root.
std::optional<std::string> MountTablePath(std::u16string_view devicePath) {
  if (devicePath.empty() || devicePath.front() != u'\\') return std::nullopt;
  std::string path = Utf16ToUtf8(devicePath);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

// "M:m" -> the two numbers.
std::optional<std::pair<unsigned, unsigned>> ParseDeviceNumbers(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  unsigned major = 0;
  unsigned minor = 0;
  const char* end = text.data() + text.size();
  const auto a = std::from_chars(text.data(), text.data() + colon, major);
  const auto b = std::from_chars(text.data() + colon + 1, end, minor);
  if (a.ec != std::errc{} || a.ptr != text.data() + colon || b.ec != std::errc{} || b.ptr != end) {
    return std::nullopt;
  }
  return std::make_pair(major, minor);
}

// The whole disk named `name`, found among the block devices of `<root>/sys/dev/block`.
std::optional<host::BlockDisk> DiskNamed(const std::string& root, const std::string& name) {
  std::string folder = root;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  folder += folder == "/" ? "sys/dev/block" : "/sys/dev/block";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<std::pair<unsigned, unsigned>> numbers;
  while (const dirent* entry = ::readdir(dir)) {
    if (auto parsed = ParseDeviceNumbers(entry->d_name)) numbers.push_back(*parsed);
  }
  ::closedir(dir);
  for (const auto& [major, minor] : numbers) {
    auto disk = host::WholeDiskOf(root, major, minor);
    if (disk && disk->name == name) return disk;
  }
  return std::nullopt;
}

}  // namespace

// Open volumes and stores by handle number; each remembers the disk it answers for (none for a
// volume without one).
struct LinuxDevice::StorageState {
  std::map<std::uint32_t, std::optional<host::BlockDisk>> open;
  std::uint32_t next = 1;
};
void LinuxDevice::AreaDeleter::operator()(StorageState* state) const {
  delete state;
}
LinuxDevice::StorageState& LinuxDevice::storage() {
  if (!storage_) storage_.reset(new StorageState{});
  return *storage_;
}

std::uint32_t LinuxDevice::OpenStorage(std::u16string_view name) {
  std::optional<host::BlockDisk> disk;
  if (EndsWithFolded(name, kVolumeSuffix)) {
    // A volume: the folder must be a mount point of its own.
    const auto path = MountTablePath(name.substr(0, name.size() - kVolumeSuffix.size()));
    if (!path || *path == "/") return 0;
    const auto mounts = host::ReadMountInfo(options_.root);
    if (!host::IsMountPoint(mounts, *path)) return 0;
    if (const auto mount = host::FindMountFor(mounts, *path)) {
      disk = host::WholeDiskOf(options_.root, mount->major, mount->minor);
    }
  } else {
    // A store: "<disk>:", a whole disk by its kernel name.
    if (name.size() < 2 || name.back() != u':') return 0;
    disk = DiskNamed(options_.root, Utf16ToUtf8(name.substr(0, name.size() - 1)));
    if (!disk) return 0;
  }
  StorageState& state = storage();
  const std::uint32_t handle = state.next++;
  state.open.emplace(handle, std::move(disk));
  return handle;
}

BOOL LinuxDevice::StorageIoControl(std::uint32_t handle, DWORD code, const void* /*in*/,
                                   DWORD /*inSize*/, void* out, DWORD outSize,
                                   DWORD* bytesReturned) {
  if (bytesReturned != nullptr) *bytesReturned = 0;
  const StorageState& state = storage();
  const auto it = state.open.find(handle);
  if (it == state.open.end() || code != IOCTL_DISK_GET_STORAGEID || out == nullptr) return FALSE;
  if (!it->second) return FALSE;
  const auto serial = host::ReadDiskSerial(options_.root, *it->second);
  if (!serial) return FALSE;
  const std::span<std::uint8_t> reply(static_cast<std::uint8_t*>(out), outSize);
  return host::BuildStorageIdReply(*serial, reply, bytesReturned) ? TRUE : FALSE;
}

void LinuxDevice::CloseStorage(std::uint32_t handle) {
  storage().open.erase(handle);
}

BOOL LinuxDevice::CeGetVolumeInfo(std::u16string_view path, int level, void* info) {
  if (info == nullptr || level != CeVolumeInfoLevelStandard) return FALSE;
  CE_VOLUME_INFO volume;
  std::memcpy(&volume, info, sizeof volume);
  if (volume.cbSize != sizeof(CE_VOLUME_INFO)) return FALSE;

  const auto hostPath = MountTablePath(path);
  if (!hostPath) return FALSE;
  const auto mount = host::FindMountFor(host::ReadMountInfo(options_.root), *hostPath);
  if (!mount) return FALSE;
  const auto disk = host::WholeDiskOf(options_.root, mount->major, mount->minor);
  if (!disk) return FALSE;

  // A name that does not fit the field with its terminator would open another store or none.
  const std::u16string storeName = Utf8ToUtf16(disk->name) + u":";
  constexpr std::size_t kRoom = sizeof volume.szStoreName / sizeof volume.szStoreName[0];
  if (storeName.size() >= kRoom) return FALSE;
  std::memset(volume.szStoreName, 0, sizeof volume.szStoreName);
  storeName.copy(volume.szStoreName, storeName.size());
  std::memcpy(info, &volume, sizeof volume);
  return TRUE;
}
