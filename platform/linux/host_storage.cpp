#include "platform/linux/host_storage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>
#include <limits>

#include "platform/linux/host_files.h"

namespace host {
namespace {

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::string> ReadLinkText(const std::string& path) {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return std::nullopt;
  return std::string(buffer, static_cast<std::size_t>(n));
}

std::string JoinComponents(const std::vector<std::string>& parts) {
  if (parts.empty()) return "/";
  std::string out;
  for (const std::string& part : parts) {
    out += '/';
    out += part;
  }
  return out;
}

// The components of an absolute path as a path walk sees them: "." and empty ones dropped, ".."
// going up one, and staying at the root when there is nothing left to go up from.
std::vector<std::string> WalkComponents(std::string_view path) {
  std::vector<std::string> parts;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view part = path.substr(0, slash);
    path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.emplace_back(part);
  }
  return parts;
}

std::string ParentOf(std::string_view absolute) {
  const std::size_t slash = absolute.rfind('/');
  if (slash == std::string_view::npos || slash == 0) return "/";
  return std::string(absolute.substr(0, slash));
}

std::string_view BaseName(std::string_view absolute) {
  const std::size_t slash = absolute.rfind('/');
  return slash == std::string_view::npos ? absolute : absolute.substr(slash + 1);
}

// The canonical path from the root of what `relPath` names, walked component by component as the
// kernel would, but with every symbolic link (relative or absolute) resolved by text inside the
// root: a recorded tree never reaches the real /sys, and a link that climbs above the root is
// refused. nullopt when a component is missing, a link is unreadable, or more than 40 links are
// met (a loop).
std::optional<std::string> ResolveInsideRoot(const std::string& root, std::string_view relPath) {
  std::vector<std::string> resolved;
  std::vector<std::string> pending;  // components still to walk, the next one last
  const auto pushFront = [&](std::string_view path) {
    std::vector<std::string> parts;
    while (!path.empty()) {
      const std::size_t slash = path.find('/');
      parts.emplace_back(path.substr(0, slash));
      path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
    }
    pending.insert(pending.end(), parts.rbegin(), parts.rend());
  };
  pushFront(relPath);
  int links = 0;
  while (!pending.empty()) {
    std::string part = std::move(pending.back());
    pending.pop_back();
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (resolved.empty()) return std::nullopt;
      resolved.pop_back();
      continue;
    }
    resolved.push_back(std::move(part));
    const std::string hostPath = JoinRoot(root, JoinComponents(resolved));
    struct stat st {};
    if (::lstat(hostPath.c_str(), &st) != 0) return std::nullopt;
    if (!S_ISLNK(st.st_mode)) continue;
    if (++links > 40) return std::nullopt;
    const auto target = ReadLinkText(hostPath);
    if (!target || target->empty()) return std::nullopt;
    resolved.pop_back();
    if (target->front() == '/') resolved.clear();
    pushFront(*target);
  }
  return JoinComponents(resolved);
}

// A file below the root, read through ResolveInsideRoot.
std::optional<FileRead> ReadInsideRoot(const std::string& root, std::string_view relPath) {
  const auto resolved = ResolveInsideRoot(root, relPath);
  if (!resolved) return std::nullopt;
  return ReadCapped(JoinRoot(root, *resolved), kMaxStorageFileBytes);
}

// A folder below the root, resolved through ResolveInsideRoot; nullopt when it is not a folder or
// is the root itself.
std::optional<std::string> FolderInsideRoot(const std::string& root, std::string_view relPath) {
  auto resolved = ResolveInsideRoot(root, relPath);
  if (!resolved || *resolved == "/" || !IsDirectory(JoinRoot(root, *resolved))) return std::nullopt;
  return resolved;
}

template <typename T>
std::optional<T> ParseNumber(std::string_view text) {
  T value{};
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc{} || ptr != end) return std::nullopt;
  return value;
}

// "M:m" as the kernel writes it in mountinfo and in a block device's `dev` file.
std::optional<std::pair<unsigned, unsigned>> ParseDevNumbers(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto major = ParseNumber<unsigned>(text.substr(0, colon));
  const auto minor = ParseNumber<unsigned>(text.substr(colon + 1));
  if (!major || !minor) return std::nullopt;
  return std::pair{*major, *minor};
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

// A serial value cleaned: leading blanks removed, cut at the next NUL, trailing blanks removed;
// nullopt when nothing is left.
std::optional<std::string> CleanSerial(std::string_view raw) {
  std::size_t begin = 0;
  while (begin < raw.size() && IsBlank(raw[begin])) ++begin;
  raw.remove_prefix(begin);
  raw = raw.substr(0, raw.find('\0'));
  while (!raw.empty() && IsBlank(raw.back())) raw.remove_suffix(1);
  if (raw.empty()) return std::nullopt;
  return std::string(raw);
}

// A mountinfo field with the kernel's \ooo escapes decoded; nullopt for an escaped NUL.
std::optional<std::string> DecodeMountField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    const auto isOctal = [&](std::size_t at) { return field[at] >= '0' && field[at] <= '7'; };
    if (field[i] == '\\' && i + 3 < field.size() && isOctal(i + 1) && isOctal(i + 2) &&
        isOctal(i + 3)) {
      const unsigned value = (static_cast<unsigned>(field[i + 1] - '0') << 6) |
                             (static_cast<unsigned>(field[i + 2] - '0') << 3) |
                             static_cast<unsigned>(field[i + 3] - '0');
      if (value == 0 || value > 0xFF) return std::nullopt;
      out += static_cast<char>(value);
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::optional<MountEntry> ParseMountLine(std::string_view line) {
  if (line.find('\0') != std::string_view::npos) return std::nullopt;
  // Fields are separated by exactly one space; an empty source shows as two spaces in a row.
  std::vector<std::string_view> fields;
  for (;;) {
    const std::size_t space = line.find(' ');
    fields.push_back(line.substr(0, space));
    if (space == std::string_view::npos) break;
    line.remove_prefix(space + 1);
  }
  // id parent M:m root mount-point options [optional fields...] - fstype source [super options]
  std::size_t separator = 6;
  while (separator < fields.size() && fields[separator] != "-") ++separator;
  if (separator + 2 >= fields.size()) return std::nullopt;

  MountEntry entry;
  const auto id = ParseNumber<int>(fields[0]);
  const auto parent = ParseNumber<int>(fields[1]);
  const auto dev = ParseDevNumbers(fields[2]);
  auto root = DecodeMountField(fields[3]);
  auto mountPoint = DecodeMountField(fields[4]);
  auto fsType = DecodeMountField(fields[separator + 1]);
  auto source = DecodeMountField(fields[separator + 2]);
  if (!id || !parent || !dev || !root || !mountPoint || !fsType || !source) return std::nullopt;
  if (root->empty() || mountPoint->empty() || mountPoint->front() != '/' || fsType->empty()) {
    return std::nullopt;
  }
  entry.mountId = *id;
  entry.parentId = *parent;
  entry.major = dev->first;
  entry.minor = dev->second;
  entry.root = std::move(*root);
  entry.mountPoint = std::move(*mountPoint);
  entry.fsType = std::move(*fsType);
  entry.source = std::move(*source);
  return entry;
}

void PutDword(std::span<std::uint8_t> out, std::size_t offset, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) out[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> entries;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    const std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
    if (auto entry = ParseMountLine(line)) entries.push_back(std::move(*entry));
  }
  return entries;
}

std::vector<MountEntry> ReadMountInfo(const std::string& root) {
  const auto text = ReadWholeLines(JoinRoot(root, "/proc/self/mountinfo"), kMaxMountInfoBytes);
  if (!text) return {};
  return ParseMountInfo(*text);
}

std::optional<MountEntry> FindMountFor(const std::vector<MountEntry>& entries,
                                       std::string_view path) {
  if (path.empty() || path.front() != '/') return std::nullopt;
  const std::vector<std::string> parts = WalkComponents(path);

  std::vector<int> knownIds;
  knownIds.reserve(entries.size());
  for (const MountEntry& e : entries) knownIds.push_back(e.mountId);
  std::sort(knownIds.begin(), knownIds.end());
  const auto hangsFromRoot = [&](const MountEntry& e) {
    return e.parentId == e.mountId ||
           !std::binary_search(knownIds.begin(), knownIds.end(), e.parentId);
  };

  constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
  std::size_t current = kNone;  // kNone: above every mount, at the path's root
  std::string prefix = "/";
  for (std::size_t depth = 0; depth <= parts.size(); ++depth) {
    if (depth > 0) {
      if (depth > 1) prefix += '/';
      prefix += parts[depth - 1];
    }
    // Enter the mount attached here, then every mount stacked on it. The step count bounds a
    // table whose parent links form a cycle.
    for (std::size_t step = 0; step < entries.size(); ++step) {
      std::size_t next = kNone;
      for (std::size_t j = 0; j < entries.size(); ++j) {
        const MountEntry& e = entries[j];
        if (j == current || e.mountPoint != prefix) continue;
        const bool attached =
            current == kNone ? hangsFromRoot(e) : e.parentId == entries[current].mountId;
        if (attached) next = j;  // the later of several wins
      }
      if (next == kNone) break;
      current = next;
    }
  }
  if (current == kNone) return std::nullopt;
  return entries[current];
}

bool IsMountPoint(const std::vector<MountEntry>& entries, std::string_view path) {
  const auto mount = FindMountFor(entries, path);
  return mount && mount->mountPoint == JoinComponents(WalkComponents(path));
}

std::optional<BlockDisk> WholeDiskOf(const std::string& root, unsigned major, unsigned minor) {
  const std::string link = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
  auto diskDir = FolderInsideRoot(root, link);
  if (!diskDir) return std::nullopt;
  if (IsRegularFile(JoinRoot(root, *diskDir + "/partition"))) {
    diskDir = FolderInsideRoot(root, ParentOf(*diskDir));
    if (!diskDir) return std::nullopt;
  }

  const auto devFile = ReadInsideRoot(root, *diskDir + "/dev");
  if (!devFile) return std::nullopt;
  std::string_view dev = devFile->data;
  while (!dev.empty() && IsBlank(dev.back())) dev.remove_suffix(1);
  const auto numbers = ParseDevNumbers(dev);
  if (!numbers) return std::nullopt;

  BlockDisk disk;
  disk.name = std::string(BaseName(*diskDir));
  disk.major = numbers->first;
  disk.minor = numbers->second;
  disk.sysPath = std::move(*diskDir);
  return disk;
}

std::optional<std::string> ParseVpdPg80(std::span<const std::uint8_t> page) {
  if (page.size() < 4 || page[1] != 0x80) return std::nullopt;
  const std::size_t length = (static_cast<std::size_t>(page[2]) << 8) | page[3];
  const std::span<const std::uint8_t> serial = page.subspan(4, std::min(length, page.size() - 4));
  return CleanSerial(std::string_view(reinterpret_cast<const char*>(serial.data()), serial.size()));
}

std::optional<std::string> ParseUdevSerial(std::string_view udevData) {
  constexpr std::string_view kKey = "E:ID_SERIAL_SHORT=";
  while (!udevData.empty()) {
    const std::size_t newline = udevData.find('\n');
    const std::string_view line = udevData.substr(0, newline);
    udevData =
        newline == std::string_view::npos ? std::string_view{} : udevData.substr(newline + 1);
    if (line.substr(0, kKey.size()) != kKey) continue;
    if (auto serial = CleanSerial(line.substr(kKey.size()))) return serial;
  }
  return std::nullopt;
}

std::optional<std::string> ReadDiskSerial(const std::string& root, const BlockDisk& disk) {
  const auto readSerial = [&](const std::string& relPath) -> std::optional<std::string> {
    const auto read = ReadInsideRoot(root, relPath);
    if (!read) return std::nullopt;
    return CleanSerial(read->data);
  };

  const auto diskDir = disk.sysPath.empty() || disk.sysPath.front() != '/'
                           ? std::nullopt
                           : FolderInsideRoot(root, disk.sysPath);
  if (diskDir) {
    if (auto serial = readSerial(*diskDir + "/serial")) return serial;
    if (const auto device = FolderInsideRoot(root, *diskDir + "/device")) {
      if (auto serial = readSerial(*device + "/serial")) return serial;
      if (const auto page = ReadInsideRoot(root, *device + "/vpd_pg80")) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(page->data.data());
        if (auto serial = ParseVpdPg80({bytes, page->data.size()})) return serial;
      }
    }
  }

  const std::string udev =
      "/run/udev/data/b" + std::to_string(disk.major) + ":" + std::to_string(disk.minor);
  auto record = ReadInsideRoot(root, udev);
  if (!record) return std::nullopt;
  // A record cut by the cap loses its unfinished last line, which could hold a cut serial.
  return ParseUdevSerial(WholeLines(std::move(*record)));
}

bool BuildStorageIdReply(std::string_view serial, std::span<std::uint8_t> reply,
                         std::uint32_t* bytesReturned) {
  if (bytesReturned != nullptr) *bytesReturned = 0;
  if (serial.empty() || serial.find('\0') != std::string_view::npos ||
      serial.size() > std::numeric_limits<std::uint32_t>::max() - kStorageIdHeaderBytes - 1) {
    return false;
  }
  const std::uint32_t needed =
      kStorageIdHeaderBytes + static_cast<std::uint32_t>(serial.size()) + 1;
  if (reply.size() >= 4) PutDword(reply, 0, needed);
  if (reply.size() < kStorageIdHeaderBytes) return false;
  PutDword(reply, 4, kStorageIdSerialNumberValid);
  PutDword(reply, 8, kStorageIdNoManufactureId);
  PutDword(reply, 12, kStorageIdHeaderBytes);
  if (reply.size() < needed) return false;
  std::memcpy(reply.data() + kStorageIdHeaderBytes, serial.data(), serial.size());
  reply[kStorageIdHeaderBytes + serial.size()] = 0;
  if (bytesReturned != nullptr) *bytesReturned = needed;
  return true;
}

}  // namespace host
