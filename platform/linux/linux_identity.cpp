// This machine's identity entry points: the per-application identifier and fresh GUIDs.
#include <dirent.h>
#include <sys/random.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/linux/app_specific_id.h"
#include "platform/linux/host_system.h"
#include "platform/linux/linux_device.h"

namespace {

constexpr HRESULT kInsufficientBuffer = static_cast<HRESULT>(0x8007007Au);  // from Win32 error 122
// The identifier is an application-specific 128-bit ID, asked for by a 128-bit application ID.
constexpr DWORD kIdentifierBytes = 16;
constexpr DWORD kApplicationIdBytes = 16;
constexpr DWORD kIdentifierVersion = 1;

using Node = std::array<BYTE, 6>;

// Fills `data` from the kernel's random source; false when it cannot.
bool RandomBytes(void* data, std::size_t size) {
  auto* bytes = static_cast<unsigned char*>(data);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::getrandom(bytes + got, size - got, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    got += static_cast<std::size_t>(n);
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A sysfs `address` of six bytes, "aa:bb:cc:dd:ee:ff" with an optional line feed; nullopt for any
// other length or form (tunnels, InfiniBand and interfaces without an address).
std::optional<Node> ParseHardwareAddress(std::string_view text) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  if (text.size() != 17) return std::nullopt;
  Node node{};
  for (std::size_t i = 0; i < node.size(); ++i) {
    const int high = HexDigit(text[3 * i]);
    const int low = HexDigit(text[3 * i + 1]);
    if (high < 0 || low < 0 || (i < node.size() - 1 && text[3 * i + 2] != ':')) {
      return std::nullopt;
    }
    node[i] = static_cast<BYTE>(high << 4 | low);
  }
  return node;
}

std::optional<unsigned long> ParseNumber(const std::optional<std::string>& text, int base) {
  if (!text || text->empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text->c_str(), &end, base);
  if (errno != 0 || end == text->c_str() || (*end != '\0' && *end != '\n')) return std::nullopt;
  return value;
}

constexpr unsigned long kArphrdLoopback = 772;
constexpr unsigned long kIffLoopback = 0x8;

// The machine's first non-zero six-byte hardware address. Interfaces backed by a device (a network
// card, a virtual machine's adapter) come before purely virtual ones (bridges, tunnels, ifb,
// dummies, whose addresses are made up), and within each group the lower interface index comes
// first; the loopback interface is never taken.
std::optional<Node> FirstHardwareAddress(const std::string& root) {
  struct Candidate {
    bool virtualOnly;
    unsigned long index;
    std::string name;
    Node node;
  };
  std::string folder = root;
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  folder += "sys/class/net";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);

  std::vector<Candidate> candidates;
  for (const std::string& name : names) {
    const std::string relative = "sys/class/net/" + name + "/";
    const auto type = ParseNumber(host::ReadHostFile(root, relative + "type"), 10);
    const auto flags = ParseNumber(host::ReadHostFile(root, relative + "flags"), 16);
    if ((type && *type == kArphrdLoopback) || (flags && (*flags & kIffLoopback) != 0)) continue;
    const auto address = host::ReadHostFile(root, relative + "address");
    if (!address) continue;
    const auto node = ParseHardwareAddress(*address);
    if (!node || std::all_of(node->begin(), node->end(), [](BYTE b) { return b == 0; })) continue;
    struct stat deviceLink {};
    const bool backed = ::stat((folder + "/" + name + "/device").c_str(), &deviceLink) == 0;
    const auto index = ParseNumber(host::ReadHostFile(root, relative + "ifindex"), 10);
    candidates.push_back({!backed, index.value_or(~0ul), name, *node});
  }
  if (candidates.empty()) return std::nullopt;
  const auto first = std::min_element(
      candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return std::tie(a.virtualOnly, a.index, a.name) < std::tie(b.virtualOnly, b.index, b.name);
      });
  return first->node;
}

// Time-based GUIDs count 100-nanosecond intervals from the start of the Gregorian calendar,
// 15 October 1582, which lies this many intervals before 1 January 1970.
constexpr std::uint64_t kGregorianToUnix = 0x01B21DD213814000ull;

struct GuidClock {
  std::mutex mutex;
  std::uint64_t last = 0;
  std::optional<std::uint16_t> sequence;  // 14 bits, drawn once per process
};

GuidClock& Clock() {
  static GuidClock clock;
  return clock;
}

}  // namespace

bool LinuxDevice::HasSystemEntryPoint(std::string_view name) {
  return name == "GetDeviceUniqueID" || name == "CoCreateGuid" || name == "CeGetVolumeInfoW";
}

// The identifier this machine shows the application: the rule by which systemd derives
// application-specific IDs from /etc/machine-id, so it matches `systemd-id128 machine-id
// --app-specific=APP` and reveals nothing of the machine ID itself.
HRESULT LinuxDevice::GetDeviceUniqueID(const BYTE* appData, DWORD appDataSize, DWORD version,
                                       BYTE* output, DWORD* outputSize) {
  if (appData == nullptr || output == nullptr || outputSize == nullptr) return E_POINTER;
  if (appDataSize != kApplicationIdBytes || version != kIdentifierVersion) return E_INVALIDARG;
  const auto machineId = host::ReadMachineId(options_.root);
  if (!machineId) return E_FAIL;
  if (*outputSize < kIdentifierBytes) {
    *outputSize = kIdentifierBytes;
    return kInsufficientBuffer;
  }
  std::array<std::uint8_t, kApplicationIdBytes> appId{};
  std::memcpy(appId.data(), appData, appId.size());
  const auto identifier = host::AppSpecificId(*machineId, appId);
  std::memcpy(output, identifier.data(), identifier.size());
  *outputSize = kIdentifierBytes;
  return S_OK;
}

// A time-based (version 1) GUID: the time in 100-nanosecond steps, a per-process clock sequence,
// and this machine's hardware address as the node; with no hardware address, a random node with
// the multicast bit set, which no network card has.
HRESULT LinuxDevice::CoCreateGuid(GUID* guid) {
  if (guid == nullptr) return E_POINTER;
  Node node{};
  if (const auto address = FirstHardwareAddress(options_.root)) {
    node = *address;
  } else {
    if (!RandomBytes(node.data(), node.size())) return E_FAIL;
    node[0] |= 0x01;
  }

  GuidClock& clock = Clock();
  std::uint64_t time = 0;
  std::uint16_t sequence = 0;
  {
    std::lock_guard<std::mutex> lock(clock.mutex);
    if (!clock.sequence) {
      std::uint16_t drawn = 0;
      if (!RandomBytes(&drawn, sizeof drawn)) return E_FAIL;
      clock.sequence = static_cast<std::uint16_t>(drawn & 0x3FFF);
    }
    const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    time = static_cast<std::uint64_t>(since1970.count()) / 100 + kGregorianToUnix;
    // Two GUIDs of one process never share a time, even within one clock step or when the clock
    // is set back.
    if (time <= clock.last) time = clock.last + 1;
    clock.last = time;
    sequence = *clock.sequence;
  }

  guid->Data1 = static_cast<DWORD>(time & 0xFFFFFFFFu);
  guid->Data2 = static_cast<WORD>((time >> 32) & 0xFFFFu);
  guid->Data3 = static_cast<WORD>(((time >> 48) & 0x0FFFu) | 0x1000u);
  guid->Data4[0] = static_cast<BYTE>(((sequence >> 8) & 0x3Fu) | 0x80u);
  guid->Data4[1] = static_cast<BYTE>(sequence & 0xFFu);
  std::copy(node.begin(), node.end(), guid->Data4 + 2);
  return S_OK;
}
