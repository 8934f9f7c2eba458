// This machine's volumes and stores, on recorded trees: which paths open as volumes, which store
// holds a path, the storage identification replies, and the storage scan over such a root.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "log/report_log.h"
#include "platform/codepage.h"
#include "platform/linux/linux_device.h"
#include "platform/storage.h"
#include "probes/probes.h"
#include "probes/storage_guids_testing.h"
#include "tests/report_lines.h"
#include "tests/temp_tree.h"

namespace {

using testing_support::WithoutStamp;

namespace fs = std::filesystem;

const std::string kFixtures = VANTRACE_FIXTURES_DIR;
const std::string kSata = kFixtures + "/hosts/storage-sata";
const std::string kVirtio = kFixtures + "/hosts/storage-virtio";

LinuxDevice::Options At(const std::string& root) {
  LinuxDevice::Options options;
  options.root = root;
  options.executable = root + "/bin/vantrace21";
  return options;
}

// The store that CeGetVolumeInfo names for a path; nullopt when it refuses.
std::optional<std::u16string> StoreOf(LinuxDevice& device, std::u16string_view path) {
  CE_VOLUME_INFO info;
  std::memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  if (!device.CeGetVolumeInfo(path, CeVolumeInfoLevelStandard, &info)) return std::nullopt;
  return std::u16string(info.szStoreName);
}

// The storage identification reply of a volume or store: the bytes returned, or nullopt when it
// does not open or the control fails.
std::optional<std::string> ReplyOf(LinuxDevice& device, std::u16string_view name) {
  const std::uint32_t handle = device.OpenStorage(name);
  if (handle == 0) return std::nullopt;
  BYTE reply[1024] = {};
  DWORD bytesReturned = 0xFFFF;
  const BOOL ok = device.StorageIoControl(handle, IOCTL_DISK_GET_STORAGEID, nullptr, 0, reply,
                                          sizeof reply, &bytesReturned);
  device.CloseStorage(handle);
  if (!ok) {
    EXPECT_EQ(bytesReturned, 0u);
    return std::nullopt;
  }
  return std::string(reinterpret_cast<const char*>(reply), bytesReturned);
}

// The reply that carries `serial`: the head (size, flags "serial valid", no manufacturer, serial
// at 16), the serial and a zero byte.
std::string ReplyWithSerial(const std::string& serial) {
  const DWORD head[4] = {static_cast<DWORD>(16 + serial.size() + 1), 2, 0, 16};
  std::string bytes(reinterpret_cast<const char*>(head), sizeof head);
  return bytes + serial + std::string(1, '\0');
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

TEST(LinuxStorage, StoresThatHoldPaths) {
  LinuxDevice sata(At(kSata));
  LinuxDevice virtio(At(kVirtio));
  struct Case {
    LinuxDevice& device;
    std::u16string path;
    std::optional<std::u16string> store;
  };
  const Case cases[] = {
      // A folder of the root file system (sda2) and a file deep down in it.
      {sata, u"\\etc", u"sda:"},
      {sata, u"\\usr\\lib\\os-release", u"sda:"},
      // The partition mounted at /boot/efi (sda1) and the disk of /home (nvme0n1p1).
      {sata, u"\\boot\\efi", u"sda:"},
      {sata, u"\\home", u"nvme0n1:"},
      {sata, u"\\home\\alex\\notes.txt", u"nvme0n1:"},
      // A USB stick below /media, mount point with a blank in its name.
      {sata, u"\\media\\alex\\USB DISK\\photo.jpg", u"sdb:"},
      // A loop device is its own store.
      {sata, u"\\snap\\core22\\1380", u"loop0:"},
      // File systems without a disk.
      {sata, u"\\proc", std::nullopt},
      {sata, u"\\tmp\\x", std::nullopt},
      {sata, u"\\run", std::nullopt},
      // Paths that do not start at the root.
      {sata, u"etc", std::nullopt},
      {sata, u"", std::nullopt},
      {virtio, u"\\etc", u"vda:"},
      {virtio, u"\\boot\\efi", u"vda:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.path));
    EXPECT_EQ(StoreOf(c.device, c.path), c.store);
  }

  // Only the standard level with the record's own size is answered, and only the store name is
  // written.
  CE_VOLUME_INFO info;
  std::memset(&info, 0x55, sizeof info);
  info.cbSize = sizeof info;
  EXPECT_EQ(sata.CeGetVolumeInfo(u"\\etc", 1, &info), FALSE);
  info.cbSize = sizeof info - 4;
  EXPECT_EQ(sata.CeGetVolumeInfo(u"\\etc", CeVolumeInfoLevelStandard, &info), FALSE);
  info.cbSize = sizeof info;
  ASSERT_EQ(sata.CeGetVolumeInfo(u"\\etc", CeVolumeInfoLevelStandard, &info), TRUE);
  EXPECT_EQ(std::u16string(info.szStoreName), u"sda:");
  EXPECT_EQ(info.dwBlockSize, 0x55555555u);
  EXPECT_EQ(info.szPartitionName[0], 0x5555);
}

TEST(LinuxStorage, VolumesAndStoresAnswerWithTheDisksSerial) {
  LinuxDevice sata(At(kSata));
  LinuxDevice virtio(At(kVirtio));
  const std::string sdaReply = ReplyWithSerial("191234A00001");  // VPD page, blanks removed
  const std::string nvmeReply = ReplyWithSerial("S4EWNX0R000000J");
  const std::string usbReply = ReplyWithSerial("4C530001230000000000");  // udev database
  struct Case {
    LinuxDevice& device;
    std::u16string name;
    bool opens;
    std::optional<std::string> reply;
  };
  const Case cases[] = {
      // Volumes: mount points only, answering for the disk that holds them.
      {sata, u"\\home\\Vol:", true, nvmeReply},
      {sata, u"\\boot\\efi\\Vol:", true, sdaReply},
      {sata, u"\\media\\alex\\USB DISK\\vol:", true, usbReply},
      {sata, u"\\proc\\Vol:", true, std::nullopt},  // a volume without a disk
      {sata, u"\\etc\\Vol:", false, std::nullopt},
      {sata, u"\\boot\\Vol:", false, std::nullopt},
      {sata, u"\\Vol:", false, std::nullopt},
      // Stores: whole disks by name and colon.
      {sata, u"sda:", true, sdaReply},
      {sata, u"nvme0n1:", true, nvmeReply},
      {sata, u"sdb:", true, usbReply},
      {sata, u"loop0:", true, std::nullopt},  // no serial: the control fails
      {sata, u"sda1:", false, std::nullopt},  // a partition is no store
      {sata, u"sda", false, std::nullopt},
      {sata, u"sdz:", false, std::nullopt},
      {sata, u":", false, std::nullopt},
      // The virtio disk has no serial anywhere.
      {virtio, u"vda:", true, std::nullopt},
      {virtio, u"\\boot\\efi\\Vol:", true, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.name));
    const std::uint32_t handle = c.device.OpenStorage(c.name);
    EXPECT_EQ(handle != 0, c.opens);
    if (handle != 0) c.device.CloseStorage(handle);
    EXPECT_EQ(ReplyOf(c.device, c.name), c.reply);
  }
}

TEST(LinuxStorage, ControlRefusedForOtherCodesSmallRepliesAndClosedHandles) {
  LinuxDevice device(At(kSata));
  const std::uint32_t handle = device.OpenStorage(u"sda:");
  ASSERT_NE(handle, 0u);
  BYTE reply[1024] = {};
  DWORD bytesReturned = 7;
  EXPECT_EQ(
      device.StorageIoControl(handle, 0x00071C20, nullptr, 0, reply, sizeof reply, &bytesReturned),
      FALSE);
  EXPECT_EQ(bytesReturned, 0u);
  // 16 + 12 + 1 bytes are needed.
  EXPECT_EQ(device.StorageIoControl(handle, IOCTL_DISK_GET_STORAGEID, nullptr, 0, reply, 28,
                                    &bytesReturned),
            FALSE);
  EXPECT_EQ(bytesReturned, 0u);
  EXPECT_EQ(device.StorageIoControl(handle, IOCTL_DISK_GET_STORAGEID, nullptr, 0, reply, 29,
                                    &bytesReturned),
            TRUE);
  EXPECT_EQ(bytesReturned, 29u);
  device.CloseStorage(handle);
  EXPECT_EQ(device.StorageIoControl(handle, IOCTL_DISK_GET_STORAGEID, nullptr, 0, reply,
                                    sizeof reply, &bytesReturned),
            FALSE);
  // Handles are not reused while others are open.
  const std::uint32_t a = device.OpenStorage(u"sda:");
  const std::uint32_t b = device.OpenStorage(u"\\home\\Vol:");
  EXPECT_NE(a, b);
  device.CloseStorage(a);
  EXPECT_EQ(ReplyOf(device, u"nvme0n1:"), ReplyWithSerial("S4EWNX0R000000J"));
  device.CloseStorage(b);
}

TEST(LinuxStorage, StoreNameMustFitItsField) {
  TempTree tree;
  const std::string fits(30, 'd');  // with its colon, 31 characters and the terminator
  const std::string tooLong(31, 'e');
  tree.Write("proc/self/mountinfo",
             "1 0 8:0 / / rw - ext4 /dev/x rw\n"
             "2 1 8:16 / /data rw - ext4 /dev/y rw\n");
  tree.Write("sys/devices/a/" + fits + "/dev", "8:0\n");
  tree.Write("sys/devices/a/" + fits + "/serial", "FITS\n");
  tree.Link("sys/dev/block/8:0", "../../devices/a/" + fits);
  tree.Write("sys/devices/b/" + tooLong + "/dev", "8:16\n");
  tree.Link("sys/dev/block/8:16", "../../devices/b/" + tooLong);
  LinuxDevice device(At(tree.Root()));

  const std::u16string store = Utf8ToUtf16(fits) + u":";
  EXPECT_EQ(StoreOf(device, u"\\etc"), store);
  EXPECT_EQ(ReplyOf(device, store), ReplyWithSerial("FITS"));
  EXPECT_EQ(StoreOf(device, u"\\data\\x"), std::nullopt);
}

// The report's messages, in order.
std::vector<std::string> ReportMessagesAt(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(WithoutStamp(line));
  return lines;
}

class LinuxStorageScan : public ::testing::Test {
 protected:
  void SetUp() override { ResetCeGetVolumeInfoForTests(); }
  void TearDown() override { ResetCeGetVolumeInfoForTests(); }

  // Runs the scan on a LinuxDevice over `root` and returns the report's messages.
  static std::vector<std::string> Scan(const std::string& root) {
    InstallDevice(std::make_unique<LinuxDevice>(At(root)));
    ResetReportLog();
    dumpStoregeGuids();
    return ReportMessagesAt(root + "/bin/log_guids.txt");
  }
};

TEST_F(LinuxStorageScan, RootEntriesOnDisksWithSerials) {
  TempTree tree;
  tree.CopyOf(kSata);
  for (const char* folder : {"bin", "boot", "etc", "home", "media", "tmp"}) tree.MakeDir(folder);
  tree.Write("vmlinuz", "kernel");

  // Entries on the root file system are found through their store; /home is a volume itself.
  const std::string sda = Hex("191234A00001");
  const std::string nvme = Hex("S4EWNX0R000000J");
  const std::map<std::string, std::string> cardGuids = {
      {"bin", sda + sda},    {"boot", sda + sda},  {"etc", sda + sda},
      {"home", nvme + nvme}, {"media", sda + sda}, {"vmlinuz", sda + sda},
  };
  // Lines follow the root folder's listing order.
  std::vector<std::string> expected = {"LOG START"};
  LinuxDevice lister(At(tree.Root()));
  const auto names = lister.ListFolder(u"\\");
  ASSERT_TRUE(names.has_value());
  for (const std::u16string& name : *names) {
    const auto it = cardGuids.find(Utf16ToUtf8(name));
    if (it != cardGuids.end()) {
      expected.push_back(" - GetCardGUIDEx - \\" + it->first + " = " + it->second);
    }
  }
  EXPECT_EQ(expected.size(), 7u);
  EXPECT_EQ(Scan(tree.Root()), expected);
}

TEST_F(LinuxStorageScan, DiskWithoutSerialFindsNothing) {
  TempTree tree;
  tree.CopyOf(kVirtio);
  for (const char* folder : {"bin", "boot", "etc", "var"}) tree.MakeDir(folder);
  EXPECT_EQ(Scan(tree.Root()),
            (std::vector<std::string>{"LOG START", " - no storages with guids!"}));
}

}  // namespace
