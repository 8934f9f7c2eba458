// Host readers for storage: the mount table, the whole disk behind a block device and its serial
// number, read under a root folder that stands for "/"; plus the storage identification reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// At most this much is read of one sysfs attribute, udev record or VPD page; the rest of a longer
// file is ignored. Real values are a few hundred bytes (a VPD page is at most 4 + 65535 bytes).
inline constexpr std::size_t kMaxStorageFileBytes = 256 * 1024;
// The mount table grows with the number of mounts (containers can add thousands of ~150-byte
// lines), so it has its own cap. A table cut by the cap loses its unfinished last line, so a cut
// mount point is never taken for a real one.
inline constexpr std::size_t kMaxMountInfoBytes = 4 * 1024 * 1024;

// One line of /proc/self/mountinfo. Paths are decoded (the kernel writes space, tab, newline and
// backslash as \040, \011, \012 and \134).
struct MountEntry {
  int mountId = 0;
  int parentId = 0;
  unsigned major = 0;
  unsigned minor = 0;
  std::string root;        // the folder of the file system that is mounted (not always "/")
  std::string mountPoint;  // absolute, as seen from the reading process's root
  std::string fsType;
  std::string source;
  bool operator==(const MountEntry&) const = default;
};

// Every well-formed line of a mountinfo text, in table order. Lines are skipped when a field is
// missing, a number does not parse, the mount point is not absolute, or a field holds a NUL byte
// (raw or as \000), since no kernel writes those.
std::vector<MountEntry> ParseMountInfo(std::string_view text);
// `<root>/proc/self/mountinfo`, parsed; empty when unreadable.
std::vector<MountEntry> ReadMountInfo(const std::string& root);

// The mount that an absolute path lies on, found the way the kernel walks the path: from the root
// mount down, at each path component entering the mount attached there, and through every mount
// stacked on top of it. Of several mounts at one point the later one in the table wins, and a mount
// whose parent was later mounted over is hidden, as it is to the kernel. Entries whose parent is
// not in the table (the root mount, or every mount in a chroot) hang from the path's root. The
// path is normalised by text ("//", ".", "..", a trailing "/"); nullopt for a relative path or a
// path no mount covers.
std::optional<MountEntry> FindMountFor(const std::vector<MountEntry>& entries,
                                       std::string_view path);
// True when `path` is itself the mount point of the mount that FindMountFor gives for it.
bool IsMountPoint(const std::vector<MountEntry>& entries, std::string_view path);

// The whole disk that holds a block device.
struct BlockDisk {
  std::string name;  // e.g. "sda", "nvme0n1", "vda"
  unsigned major = 0;
  unsigned minor = 0;
  // The disk's sysfs folder as a path from the root, e.g. "/sys/devices/.../block/sda".
  std::string sysPath;
  bool operator==(const BlockDisk&) const = default;
};

// Every sysfs path below is walked component by component as the kernel would, except that each
// symbolic link (relative or absolute) is resolved by text inside the root: a recorded tree never
// reaches the real /sys, and a link that climbs above the root is refused (at most 40 links).

// The whole disk of block device `major:minor`: `<root>/sys/dev/block/M:m` is followed; a folder
// with a `partition` file is a partition and its parent folder is the disk. The disk's numbers
// come from its `dev` file. nullopt when there is no such block device (0:N file systems such as
// tmpfs, overlay, proc or btrfs subvolumes) or its folder cannot be resolved inside the root.
std::optional<BlockDisk> WholeDiskOf(const std::string& root, unsigned major, unsigned minor);

// The serial text of a SCSI Unit Serial Number VPD page (byte 1 = 0x80, bytes 2-3 = big-endian
// length, the serial from byte 4): a length past the end of the data is cut to the data. nullopt
// for a short header, another page code or an all-blank serial. Cleaned as ReadDiskSerial says.
std::optional<std::string> ParseVpdPg80(std::span<const std::uint8_t> page);
// The first non-blank `E:ID_SERIAL_SHORT=` value of a udev database record, cleaned as
// ReadDiskSerial says.
std::optional<std::string> ParseUdevSerial(std::string_view udevData);

// The disk's serial number, the first non-blank of: `<sysPath>/serial`, `<sysPath>/device/serial`,
// `<sysPath>/device/vpd_pg80`, the `E:ID_SERIAL_SHORT=` line of `<root>/run/udev/data/bM:m`.
// Each value is cleaned: leading blanks (space, tab, CR, LF, NUL) removed, the text ends at its
// next NUL byte, trailing blanks removed. The sysfs files are skipped when `sysPath` is not
// absolute or does not resolve to a folder inside the root; files are read up to
// kMaxStorageFileBytes.
std::optional<std::string> ReadDiskSerial(const std::string& root, const BlockDisk& disk);

// The storage identification reply: four little-endian DWORDs (dwSize, dwFlags,
// dwManufactureIDOffset, dwSerialNumOffset), then the serial bytes and one zero byte.
inline constexpr std::uint32_t kStorageIdHeaderBytes = 16;
// dwFlags: the reply carries a serial number.
inline constexpr std::uint32_t kStorageIdSerialNumberValid = 0x2;
// dwManufactureIDOffset: no manufacturer identifier.
inline constexpr std::uint32_t kStorageIdNoManufactureId = 0;

// Writes the reply for `serial` into `reply`: dwSize = 16 + serial length + 1, dwFlags =
// kStorageIdSerialNumberValid, dwManufactureIDOffset = 0, dwSerialNumOffset = 16; *bytesReturned =
// dwSize; true. When `reply` is too small: false, *bytesReturned = 0, and the header is written
// with dwSize = the size needed so that the caller can ask again (only dwSize when `reply` holds
// 4..15 bytes, nothing when it holds fewer). An empty serial, or one with a zero byte (the reply
// could not carry it), gives false and writes nothing. `bytesReturned` may be null.
bool BuildStorageIdReply(std::string_view serial, std::span<std::uint8_t> reply,
                         std::uint32_t* bytesReturned);

}  // namespace host
