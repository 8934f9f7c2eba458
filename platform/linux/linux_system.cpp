// This machine's system parameters, version and HAL answers.
//
// OEM text and platform type come from DMI or the device tree; the version from the kernel release
// and os-release; the processor record from /proc/cpuinfo; the HAL's device identifier is the
// hardware serial (preset part) and the machine ID (platform part); the UUID is the firmware's
// product UUID, else the device tree's, else the machine ID. Every file is read through the root
// prefix, and so is the kernel release when the root is not "/".
#include <sys/utsname.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "device/hal.h"
#include "platform/codepage.h"
#include "platform/kernel.h"
#include "platform/linux/host_system.h"
#include "platform/linux/linux_device.h"

namespace {

// The hardware serial is the identifier's preset part. Firmware serials are short (SMBIOS keeps
// its strings to 64 characters); longer text is cut so that the whole DEVICE_ID stays far inside
// the 1024 bytes that callers offer and its hex text fits one report line.
constexpr std::size_t kMaxSerialBytes = 255;

bool IsHostRoot(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root.empty() || root == "/";
}

// The kernel release: uname() on this machine; from <root>/proc/sys/kernel/osrelease when the root
// stands for another machine's recorded tree.
std::optional<std::string> KernelRelease(const std::string& root) {
  if (IsHostRoot(root)) {
    struct utsname names {};
    if (::uname(&names) != 0) return std::nullopt;
    return std::string(names.release);
  }
  auto text = host::ReadHostFile(root, "proc/sys/kernel/osrelease");
  if (!text || text->empty()) return std::nullopt;
  return text;
}

// Copies `utf8` into a fixed field of N characters, at most `limit` (N or less) of them and never
// half of a surrogate pair. The field is expected zero-filled, so a shorter text stays terminated.
template <std::size_t N>
void CopyField(WCHAR (&field)[N], const std::string& utf8, std::size_t limit = N) {
  const std::u16string text = Utf8ToUtf16(utf8);
  std::size_t n = std::min({text.size(), limit, N});
  if (n > 0 && n < text.size() && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  std::copy_n(text.begin(), n, field);
}

BOOL Refuse(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The DEVICE_ID structure: header, preset part (hardware serial) at 20, platform part (machine ID)
// right after it. nullopt when the machine has neither.
std::optional<std::vector<BYTE>> DeviceIdStructure(const std::string& root) {
  const auto serial = host::ReadHardwareSerial(root);
  const auto machineId = host::ReadMachineId(root);
  if (!serial && !machineId) return std::nullopt;

  const std::string preset = serial ? serial->substr(0, kMaxSerialBytes) : std::string();
  const std::size_t platformBytes = machineId ? machineId->size() : 0;
  DEVICE_ID head{};
  head.dwPresetIDOffset = sizeof(DEVICE_ID);
  head.dwPresetIDBytes = static_cast<DWORD>(preset.size());
  head.dwPlatformIDOffset = static_cast<DWORD>(sizeof(DEVICE_ID) + preset.size());
  head.dwPlatformIDBytes = static_cast<DWORD>(platformBytes);
  head.dwSize = head.dwPlatformIDOffset + head.dwPlatformIDBytes;

  std::vector<BYTE> bytes(head.dwSize, 0);
  std::memcpy(bytes.data(), &head, sizeof head);
  std::memcpy(bytes.data() + head.dwPresetIDOffset, preset.data(), preset.size());
  if (machineId) std::memcpy(bytes.data() + head.dwPlatformIDOffset, machineId->data(), 16);
  return bytes;
}

BOOL GetDeviceId(const std::string& root, void* out, DWORD outSize, DWORD* bytesReturned) {
  const auto structure = DeviceIdStructure(root);
  if (!structure) return Refuse(ERROR_NOT_SUPPORTED);
  if (out == nullptr || outSize < sizeof(DEVICE_ID)) return Refuse(ERROR_INSUFFICIENT_BUFFER);
  const auto size = static_cast<DWORD>(structure->size());
  if (outSize < size) {
    // Too little room for the identifier: the header's dwSize says how much is needed.
    std::memcpy(out, &size, sizeof size);
    return Refuse(ERROR_INSUFFICIENT_BUFFER);
  }
  std::memcpy(out, structure->data(), size);
  if (bytesReturned != nullptr) *bytesReturned = size;
  return TRUE;
}

BOOL GetUuid(const std::string& root, void* out, DWORD outSize, DWORD* bytesReturned) {
  auto uuid = host::ReadHardwareUuid(root);
  if (!uuid) uuid = host::ReadMachineId(root);
  if (!uuid) return Refuse(ERROR_NOT_SUPPORTED);
  if (out == nullptr || outSize < uuid->size()) return Refuse(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(out, uuid->data(), uuid->size());
  if (bytesReturned != nullptr) *bytesReturned = static_cast<DWORD>(uuid->size());
  return TRUE;
}

BOOL GetProcessorInfo(const std::string& root, void* out, DWORD outSize, DWORD* bytesReturned) {
  if (out == nullptr || outSize < sizeof(PROCESSOR_INFO)) return Refuse(ERROR_INSUFFICIENT_BUFFER);
  const auto facts = host::ReadCpuFacts(root);
  if (!facts) return Refuse(ERROR_NOT_SUPPORTED);

  // Texts may fill their fields whole; the record's readers stop at the field's end.
  PROCESSOR_INFO info;
  std::memset(&info, 0, sizeof info);
  info.wVersion = facts->version;
  CopyField(info.szProcessCore, facts->core);
  info.wCoreRevision = facts->coreRevision;
  CopyField(info.szProcessorName, facts->name);
  info.wProcessorRevision = facts->processorRevision;
  CopyField(info.szCatalogNumber, facts->catalog);
  CopyField(info.szVendor, facts->vendor);
  info.dwInstructionSet = facts->instructionSet;
  // In MHz: a clock in Hz would not fit 32 bits above 4.29 GHz.
  info.dwClockSpeed = facts->clockMHz;

  std::memcpy(out, &info, sizeof info);
  if (bytesReturned != nullptr) *bytesReturned = sizeof info;
  return TRUE;
}

}  // namespace

std::optional<std::u16string> LinuxDevice::SystemParameterText(UINT action) {
  std::optional<std::string> text;
  if (action == SPI_GETOEMINFO) text = host::ReadOemText(options_.root);
  if (action == SPI_GETPLATFORMTYPE) text = host::ReadPlatformType(options_.root);
  if (!text) return std::nullopt;
  return Utf8ToUtf16(*text);
}

bool LinuxDevice::GetVersion(OSVERSIONINFOW& info) {
  const auto release = KernelRelease(options_.root);
  if (!release) return false;
  const host::KernelVersion version = host::ParseKernelRelease(*release);

  OSVERSIONINFOW answer;
  std::memset(&answer, 0, sizeof answer);
  answer.dwOSVersionInfoSize = info.dwOSVersionInfoSize;
  answer.dwMajorVersion = version.major;
  answer.dwMinorVersion = version.minor;
  answer.dwBuildNumber = version.build;
  answer.dwPlatformId = VER_PLATFORM_WIN32_CE;
  if (const auto name = host::ReadOsPrettyName(options_.root)) {
    // The platform keeps the service-pack text terminated within its 128 characters.
    CopyField(answer.szCSDVersion, *name, 127);
  }
  info = answer;
  return true;
}

BOOL LinuxDevice::KernelIoControl(DWORD code, const void* /*in*/, DWORD /*inSize*/, void* out,
                                  DWORD outSize, DWORD* bytesReturned) {
  switch (code) {
    case IOCTL_HAL_GET_DEVICEID:
      return GetDeviceId(options_.root, out, outSize, bytesReturned);
    case IOCTL_HAL_GET_UUID:
      return GetUuid(options_.root, out, outSize, bytesReturned);
    case IOCTL_PROCESSOR_INFORMATION:
      return GetProcessorInfo(options_.root, out, outSize, bytesReturned);
    default:
      return Refuse(ERROR_NOT_SUPPORTED);
  }
}
