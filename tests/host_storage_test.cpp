// Tests of the host storage readers: mount table, whole disks, serial numbers, the reply layout.
#include "platform/linux/host_storage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/temp_tree.h"

namespace host {
// Readable failure messages for the records under test.
void PrintTo(const MountEntry& e, std::ostream* os) {
  *os << "{" << e.mountId << " " << e.parentId << " " << e.major << ":" << e.minor << " '" << e.root
      << "' '" << e.mountPoint << "' " << e.fsType << " '" << e.source << "'}";
}
void PrintTo(const BlockDisk& d, std::ostream* os) {
  *os << "{" << d.name << " " << d.major << ":" << d.minor << " " << d.sysPath << "}";
}
}  // namespace host

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using host::BlockDisk;
using host::MountEntry;

const std::string kFixtures = VANTRACE_FIXTURES_DIR;
const std::string kSata = kFixtures + "/hosts/storage-sata";
const std::string kVirtio = kFixtures + "/hosts/storage-virtio";

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

// ---------------------------------------------------------------------------------------------
// Mount table

TEST(HostStorageMountInfo, ParsesFieldsAndDecodesEscapes) {
  const std::string text =
      "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue\n"
      "37 29 8:17 /photos\\0402024 /media/a\\011b\\012c\\134d rw shared:3 master:7 - vfat "
      "/dev/sdb1 rw\n"
      "38 29 0:50 / /srv/x rw - fuse.sshfs  rw\n"
      "39 29 0:51 net:[4026532281] /run/netns/blue rw shared:9 - nsfs nsfs rw\n"
      "40 29 0:52 / /a\\b\\12 rw - tmpfs my\\040src";
  const std::vector<MountEntry> expected = {
      {36, 35, 98, 0, "/mnt1", "/mnt2", "ext3", "/dev/root"},
      {37, 29, 8, 17, "/photos 2024", "/media/a\tb\nc\\d", "vfat", "/dev/sdb1"},
      {38, 29, 0, 50, "/", "/srv/x", "fuse.sshfs", ""},  // empty source: two spaces in a row
      {39, 29, 0, 51, "net:[4026532281]", "/run/netns/blue", "nsfs", "nsfs"},
      // A backslash not followed by three octal digits stays; no super options, no newline.
      {40, 29, 0, 52, "/", "/a\\b\\12", "tmpfs", "my src"},
  };
  EXPECT_EQ(host::ParseMountInfo(text), expected);
}

TEST(HostStorageMountInfo, SkipsMalformedLines) {
  const std::string good = "50 1 8:1 / /ok rw - ext4 /dev/sda1 rw";
  const std::vector<std::string> bad = {
      "",
      "garbage",
      "36 35 98:0 / /mnt rw",                        // no separator
      "36 35 98:0 / /mnt rw -",                      // no type
      "36 35 98:0 / /mnt rw - ext4",                 // no source
      "36 35 98:0 / /mnt - ext4 /dev/a rw",          // no options field before the separator
      "x6 35 98:0 / /mnt rw - ext4 /dev/a rw",       // id
      "36 35x 98:0 / /mnt rw - ext4 /dev/a rw",      // parent
      "36 35 98-0 / /mnt rw - ext4 /dev/a rw",       // device numbers
      "36 35 98: / /mnt rw - ext4 /dev/a rw",        //
      "36 35 :0 / /mnt rw - ext4 /dev/a rw",         //
      "36 35 98:0 / mnt rw - ext4 /dev/a rw",        // relative mount point
      "36 35 98:0  /mnt rw - ext4 /dev/a rw",        // empty root
      "36 35 98:0 / /mn\\000t rw - ext4 /dev/a rw",  // escaped NUL
      "36 35 98:0 / /mn\0t rw - ext4 /dev/a rw"s,    // raw NUL
      "36  35 98:0 / /mnt rw - ext4 /dev/a rw",      // two spaces shift the fields
  };
  for (const std::string& line : bad) {
    SCOPED_TRACE(line);
    const auto entries = host::ParseMountInfo(line + "\n" + good + "\n");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].mountPoint, "/ok");
  }
}

// A table shaped as the kernel builds it: 8 was mounted over /a after 7 was mounted on 6 at /a/b,
// so 7 is hidden; 5 is stacked on 4 at /mnt; 9 and 10 hang from 1 at /srv.
const char kStackedTable[] =
    "1 0 8:2 / / rw - ext4 /dev/sda2 rw\n"
    "2 1 8:1 / /boot rw - ext4 /dev/sda1 rw\n"
    "3 2 8:3 / /boot/efi rw - vfat /dev/sda3 rw\n"
    "4 1 0:40 / /mnt rw - tmpfs t4 rw\n"
    "5 4 0:41 / /mnt rw - tmpfs t5 rw\n"
    "6 1 0:42 / /a rw - tmpfs t6 rw\n"
    "7 6 0:43 / /a/b rw - tmpfs t7 rw\n"
    "8 1 0:44 / /a rw - tmpfs t8 rw\n"
    "9 1 0:45 / /srv rw - tmpfs t9 rw\n"
    "10 1 0:46 / /srv rw - tmpfs t10 rw\n";

TEST(HostStorageMountInfo, FindsTheMountAPathWalkReaches) {
  const auto entries = host::ParseMountInfo(kStackedTable);
  ASSERT_EQ(entries.size(), 10u);
  struct Case {
    const char* path;
    std::optional<int> mountId;
    bool isMountPoint;
  };
  const Case cases[] = {
      {"/", 1, true},
      {"/etc/fstab", 1, false},
      {"/bootx", 1, false},  // not a component boundary
      {"/boot", 2, true},
      {"/boot/", 2, true},
      {"/boot/efi/EFI/debian/grubx64.efi", 3, false},
      {"/boot//efi/./", 3, true},
      {"/boot/efi/../grub", 2, false},
      {"/../boot", 2, true},  // ".." at the root stays there
      {"/a/b/../../boot/efi", 3, true},
      {"/mnt", 5, true},
      {"/mnt/x", 5, false},
      {"/a/b/c", 8, false},  // 7 is hidden under 8
      {"/a/b", 8, false},
      {"/srv/www", 10, false},
      {"/srv", 10, true},
      {"boot", std::nullopt, false},
      {"", std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto mount = host::FindMountFor(entries, c.path);
    ASSERT_EQ(mount.has_value(), c.mountId.has_value());
    if (mount) {
      EXPECT_EQ(mount->mountId, *c.mountId);
    }
    EXPECT_EQ(host::IsMountPoint(entries, c.path), c.isMountPoint);
  }
}

TEST(HostStorageMountInfo, TablesWithoutARootMountOrWithCycles) {
  // In a chroot the mount holding "/" is not listed; mounts whose parent is unknown hang from "/".
  const auto chroot = host::ParseMountInfo(
      "40 29 0:22 / /proc rw - proc proc rw\n"
      "41 40 0:23 / /proc/sys/fs/binfmt_misc rw - binfmt_misc binfmt_misc rw\n");
  EXPECT_EQ(host::FindMountFor(chroot, "/proc/1/status")->mountId, 40);
  EXPECT_EQ(host::FindMountFor(chroot, "/proc/sys/fs/binfmt_misc/status")->mountId, 41);
  EXPECT_FALSE(host::FindMountFor(chroot, "/etc").has_value());
  EXPECT_FALSE(host::IsMountPoint(chroot, "/"));
  EXPECT_TRUE(host::IsMountPoint(chroot, "/proc"));

  // Parent links that form a cycle end the walk instead of looping; a self-parent is a root.
  const auto cycle = host::ParseMountInfo(
      "5 6 0:1 / / rw - tmpfs a rw\n"
      "6 5 0:2 / / rw - tmpfs b rw\n"
      "7 7 0:3 / /x rw - tmpfs c rw\n"
      "8 8 0:4 / /x rw - tmpfs d rw\n"
      "9 8 0:5 / /x rw - tmpfs e rw\n");
  EXPECT_FALSE(host::FindMountFor(cycle, "/etc").has_value());
  EXPECT_EQ(host::FindMountFor(cycle, "/x/y")->mountId, 9);
}

TEST(HostStorageMountInfo, LongTableIsCutAtItsLastWholeLine) {
  // Lines whose length puts the cap inside the super options of a line: that half line would
  // still parse, with cut options, if the reader kept it.
  const std::string prefix = "1 0 0:1 / /mnt/x rw - tmpfs tmpfs ";
  std::size_t optionBytes = 0;
  for (std::size_t p = 8; p < 400 && optionBytes == 0; ++p) {
    const std::size_t rest = host::kMaxMountInfoBytes % (prefix.size() + p + 1);
    if (rest > prefix.size() + 2 && rest < prefix.size() + p) optionBytes = p;
  }
  ASSERT_NE(optionBytes, 0u);
  const std::string line = prefix + std::string(optionBytes, 'o') + "\n";
  const std::size_t wholeLines = host::kMaxMountInfoBytes / line.size();
  std::string table;
  for (std::size_t i = 0; i < wholeLines + 20; ++i) table += line;

  TempTree root;
  root.Write("proc/self/mountinfo", table);
  const auto entries = host::ReadMountInfo(root.Root());
  EXPECT_EQ(entries.size(), wholeLines);
  EXPECT_EQ(host::ReadMountInfo(root.Root() + "/missing").size(), 0u);
}

// ---------------------------------------------------------------------------------------------
// Recorded machines

TEST(HostStorageFixture, SataMachineMounts) {
  const auto entries = host::ReadMountInfo(kSata);
  ASSERT_EQ(entries.size(), 27u);
  EXPECT_EQ(*host::FindMountFor(entries, "/etc/hostname"),
            (MountEntry{29, 1, 8, 2, "/", "/", "ext4", "/dev/sda2"}));
  EXPECT_EQ(*host::FindMountFor(entries, "/boot/efi/EFI/debian/shimx64.efi"),
            (MountEntry{67, 29, 8, 1, "/", "/boot/efi", "vfat", "/dev/sda1"}));
  EXPECT_EQ(*host::FindMountFor(entries, "/media/alex/USB DISK/photo.jpg"),
            (MountEntry{540, 29, 8, 17, "/", "/media/alex/USB DISK", "vfat", "/dev/sdb1"}));
  EXPECT_EQ(host::FindMountFor(entries, "/run/user/1000/gvfs/smb")->mountId, 525);

  const std::pair<const char*, bool> mountPoints[] = {
      {"/", true},
      {"/boot", false},
      {"/boot/efi", true},
      {"/home", true},
      {"/etc", false},
      {"/proc", true},
      {"/tmp", true},
      {"/media", false},
      {"/media/alex/USB DISK", true},
      {"/snap/core22/1380", true},
  };
  for (const auto& [path, expected] : mountPoints) {
    EXPECT_EQ(host::IsMountPoint(entries, path), expected) << path;
  }
}

TEST(HostStorageFixture, WholeDisksAndTheirSerials) {
  const std::string sda =
      "/sys/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda";
  const std::string nvme = "/sys/devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1";
  const std::string sdb =
      "/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb";
  const std::string vda = "/sys/devices/pci0000:00/0000:00:04.0/virtio2/block/vda";
  struct Case {
    const std::string& root;
    unsigned major, minor;
    std::optional<BlockDisk> disk;
    std::optional<std::string> serial;
  };
  const Case cases[] = {
      // SATA SSD: serial from the right-justified VPD page.
      {kSata, 8, 2, BlockDisk{"sda", 8, 0, sda}, "191234A00001"},
      {kSata, 8, 1, BlockDisk{"sda", 8, 0, sda}, "191234A00001"},
      {kSata, 8, 0, BlockDisk{"sda", 8, 0, sda}, "191234A00001"},
      // NVMe: the controller's space-padded serial file behind device/.
      {kSata, 259, 1, BlockDisk{"nvme0n1", 259, 0, nvme}, "S4EWNX0R000000J"},
      // USB stick without VPD page: the udev database.
      {kSata, 8, 17, BlockDisk{"sdb", 8, 16, sdb}, "4C530001230000000000"},
      // A loop device is its own disk, without a serial.
      {kSata, 7, 0, BlockDisk{"loop0", 7, 0, "/sys/devices/virtual/block/loop0"}, std::nullopt},
      {kSata, 0, 36, std::nullopt, std::nullopt},  // tmpfs
      {kSata, 8, 3, std::nullopt, std::nullopt},   // no such partition
      // virtio disk without any serial source.
      {kVirtio, 254, 1, BlockDisk{"vda", 254, 0, vda}, std::nullopt},
      {kVirtio, 254, 15, BlockDisk{"vda", 254, 0, vda}, std::nullopt},
      {kVirtio, 0, 52, std::nullopt, std::nullopt},  // overlay
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.major) + ":" + std::to_string(c.minor));
    const auto disk = host::WholeDiskOf(c.root, c.major, c.minor);
    EXPECT_EQ(disk, c.disk);
    if (disk) {
      EXPECT_EQ(host::ReadDiskSerial(c.root, *disk), c.serial);
    }
  }
}

TEST(HostStorageFixture, VirtioMachineMounts) {
  const auto entries = host::ReadMountInfo(kVirtio);
  ASSERT_EQ(entries.size(), 22u);
  const auto docker = host::FindMountFor(
      entries,
      "/var/lib/docker/overlay2/3f5c0b1e2a9d4c8b7e6f5a4b3c2d1e0f9a8b7c6d5e4f3a2b1c0d9e8f7a6b5c4d/"
      "merged/etc");
  ASSERT_TRUE(docker.has_value());
  EXPECT_EQ(docker->fsType, "overlay");
  EXPECT_EQ(docker->major, 0u);
  EXPECT_EQ(docker->minor, 52u);
  EXPECT_EQ(host::FindMountFor(entries, "/boot/efi")->minor, 15u);
  EXPECT_EQ(host::FindMountFor(entries, "/var/lib/docker")->minor, 1u);
}

// ---------------------------------------------------------------------------------------------
// Disks and serials in small trees

TEST(HostStorageDisk, LinksAreResolvedInsideTheRoot) {
  TempTree tree;
  const std::string root = tree.Root() + "/root";
  // Outside the root, where a link that climbs too far would land if the kernel followed it.
  tree.Write("x/dev", "8:0\n");
  tree.Link("root/sys/dev/block/8:0", "../../../../x");
  // An absolute target means the tree's own /sys, never the real one.
  tree.Write("root/sys/devices/virtual/block/loop0/dev", "7:9\n");
  tree.Link("root/sys/dev/block/7:9", "/sys/devices/virtual/block/loop0");
  // A chain of links, as through /sys/block.
  tree.Write("root/sys/devices/pci/block/sdz/dev", "8:32\n");
  tree.Write("root/sys/devices/pci/block/sdz/sdz3/dev", "8:35\n");
  tree.Write("root/sys/devices/pci/block/sdz/sdz3/partition", "3\n");
  tree.Link("root/sys/block/sdz", "../devices/pci/block/sdz");
  tree.Link("root/sys/dev/block/8:35", "../../block/sdz/sdz3");
  // A plain folder instead of a link.
  tree.Write("root/sys/dev/block/8:48/dev", "8:48\n");
  // A partition whose parent has no `dev` file.
  tree.Write("root/sys/devices/odd/sdy1/dev", "8:65\n");
  tree.Write("root/sys/devices/odd/sdy1/partition", "1\n");
  tree.Link("root/sys/dev/block/8:65", "../../devices/odd/sdy1");
  // A link to itself.
  tree.Link("root/sys/dev/block/8:80", "8:80");

  EXPECT_EQ(host::WholeDiskOf(root, 8, 0), std::nullopt);
  EXPECT_EQ(host::WholeDiskOf(root, 7, 9),
            (BlockDisk{"loop0", 7, 9, "/sys/devices/virtual/block/loop0"}));
  EXPECT_EQ(host::WholeDiskOf(root, 8, 35),
            (BlockDisk{"sdz", 8, 32, "/sys/devices/pci/block/sdz"}));
  EXPECT_EQ(host::WholeDiskOf(root, 8, 48), (BlockDisk{"8:48", 8, 48, "/sys/dev/block/8:48"}));
  EXPECT_EQ(host::WholeDiskOf(root, 8, 65), std::nullopt);
  EXPECT_EQ(host::WholeDiskOf(root, 8, 80), std::nullopt);
}

TEST(HostStorageSerial, SourcesInOrderBlanksSkipped) {
  const std::string vpdGhi = Bytes({0x00, 0x80, 0x00, 0x03}) + "GHI";
  // A udev record of `bytes` bytes of padding lines.
  const auto padding = [](std::size_t bytes) {
    return "E:PAD=" + std::string(bytes - 7, 'x') + "\n";
  };
  const std::string serialLine = "E:ID_SERIAL_SHORT=WHOLE\n";
  struct Case {
    std::optional<std::string> diskSerial, deviceSerial, vpd, udev;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"ABC\n", "DEF\n", vpdGhi, "E:ID_SERIAL_SHORT=JKL\n", "ABC"},
      {" \t\n", "DEF\n", vpdGhi, "E:ID_SERIAL_SHORT=JKL\n", "DEF"},
      {std::nullopt, "\0\0\0\n"s, vpdGhi, "E:ID_SERIAL_SHORT=JKL\n", "GHI"},
      {std::nullopt, std::nullopt, Bytes({0x00, 0x80, 0x00, 0x04}) + "    ",
       "E:ID_SERIAL_SHORT=JKL\n", "JKL"},
      {std::nullopt, std::nullopt, Bytes({0x00, 0x83, 0x00, 0x03}) + "GHI",
       "E:ID_SERIAL_SHORT=\nE:ID_SERIAL_SHORT= JKL \n", "JKL"},
      {"\t S1 \0junk"s, "DEF\n", std::nullopt, std::nullopt, "S1"},
      {"", "", "", "E:ID_SERIAL=only_the_long_one\n", std::nullopt},
      // A record longer than the cap: the line the cap cuts is dropped, the one before it is kept.
      {std::nullopt, std::nullopt, std::nullopt,
       padding(host::kMaxStorageFileBytes - 20) + serialLine, std::nullopt},
      {std::nullopt, std::nullopt, std::nullopt,
       padding(host::kMaxStorageFileBytes - serialLine.size()) + serialLine + "E:MORE=1\n",
       "WHOLE"},
      {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
  };
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(row++);
    TempTree tree;
    const std::string disk = "sys/devices/pci/host0/0:0:0:0/block/sda";
    tree.Write(disk + "/dev", "8:0\n");
    tree.Link(disk + "/device", "../../../0:0:0:0");
    if (c.diskSerial) tree.Write(disk + "/serial", *c.diskSerial);
    if (c.deviceSerial) tree.Write("sys/devices/pci/host0/0:0:0:0/serial", *c.deviceSerial);
    if (c.vpd) tree.Write("sys/devices/pci/host0/0:0:0:0/vpd_pg80", *c.vpd);
    if (c.udev) tree.Write("run/udev/data/b8:0", *c.udev);
    EXPECT_EQ(host::ReadDiskSerial(tree.Root(), BlockDisk{"sda", 8, 0, "/" + disk}), c.expected);
  }
}

TEST(HostStorageSerial, SysfsPathsAreResolvedInsideTheRoot) {
  TempTree tree;
  const std::string root = tree.Root() + "/root";
  tree.Write("outside/serial", "OUTSIDE\n");
  tree.Write("outside/vpd_pg80", Bytes({0x00, 0x80, 0x00, 0x03}) + "OUT");
  tree.Write("root/sys/devices/d/block/sdq/dev", "65:0\n");
  tree.Link("root/sys/devices/d/block/sdq/device", "../../../../../../outside");
  tree.Write("root/run/udev/data/b65:0", "E:ID_SERIAL_SHORT=UDEV\n");
  // A device link that climbs above the root is not followed.
  EXPECT_EQ(host::ReadDiskSerial(root, BlockDisk{"sdq", 65, 0, "/sys/devices/d/block/sdq"}),
            "UDEV");
  // A sysPath that climbs above the root, or is not absolute, is not read at all.
  EXPECT_EQ(host::ReadDiskSerial(root, BlockDisk{"x", 65, 0, "/../outside"}), "UDEV");
  EXPECT_EQ(host::ReadDiskSerial(root, BlockDisk{"x", 65, 0, "outside"}), "UDEV");
  EXPECT_EQ(host::ReadDiskSerial(root, BlockDisk{"x", 65, 1, "/../outside"}), std::nullopt);
  // A serial file that is itself a link out of the root is not read.
  tree.Write("root/sys/devices/f/block/sds/dev", "67:0\n");
  tree.Link("root/sys/devices/f/block/sds/serial", "../../../../../../outside/serial");
  EXPECT_EQ(host::ReadDiskSerial(root, BlockDisk{"sds", 67, 0, "/sys/devices/f/block/sds"}),
            std::nullopt);
  // A sysPath through a link inside the root, as /sys/block/X is, is followed.
  tree.Write("root/sys/devices/e/block/sdr/serial", "SDR\n");
  tree.Link("root/sys/block/sdr", "../devices/e/block/sdr");
  EXPECT_EQ(host::ReadDiskSerial(root, BlockDisk{"sdr", 66, 0, "/sys/block/sdr"}), "SDR");
}

TEST(HostStorageSerial, VpdPageTable) {
  struct Case {
    std::string page;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {Bytes({0x00, 0x80, 0x00, 0x05}) + "ABCDE", "ABCDE"},
      {Bytes({0x00, 0x80, 0x00, 0x0A}) + "ABC", "ABC"},   // length past the end of the data
      {Bytes({0x00, 0x80, 0x00, 0x02}) + "ABCDE", "AB"},  // bytes past the length ignored
      {Bytes({0x00, 0x80, 0xFF, 0xFF}), std::nullopt},    // length past the end, no data
      {Bytes({0x00, 0x80, 0x01, 0x00}) + std::string(256, 'Z') + "Y", std::string(256, 'Z')},
      {Bytes({0x00, 0x80, 0x00, 0x0C}) + "    191234A0", "191234A0"},
      {Bytes({0x00, 0x80, 0x00, 0x08}) + "  AB" + std::string(4, '\0'), "AB"},
      {Bytes({0x00, 0x80, 0x00, 0x04}) + "    ", std::nullopt},  // all blank
      {Bytes({0x00, 0x80, 0x00, 0x00}), std::nullopt},
      {Bytes({0x00, 0x83, 0x00, 0x03}) + "ABC", std::nullopt},  // another page
      {Bytes({0x00, 0x80, 0x00}), std::nullopt},                // truncated header
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.page));
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.page.data());
    EXPECT_EQ(host::ParseVpdPg80({bytes, c.page.size()}), c.expected);
  }
}

TEST(HostStorageSerial, UdevRecordTable) {
  struct Case {
    std::string record;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"E:ID_SERIAL_SHORT=ABC\n", "ABC"},
      {"E:ID_SERIAL=Model_ABC\nE:ID_SERIAL_SHORT=ABC", "ABC"},  // no final newline
      {"E:ID_SERIAL_SHORT=ABC\r\n", "ABC"},
      {"E:ID_SERIAL_SHORT=   \nE:ID_SERIAL_SHORT=DEF\n", "DEF"},
      {"E:ID_SERIAL_SHORT=AB\0CD\n"s, "AB"},
      {"E:ID_SERIAL_SHORTX=ABC\n", std::nullopt},
      {" E:ID_SERIAL_SHORT=ABC\n", std::nullopt},
      {"S:ID_SERIAL_SHORT=ABC\n", std::nullopt},
      {"E:ID_SERIAL_SHORT=\n", std::nullopt},
      {"E:ID_SERIAL_SHORT", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.record));
    EXPECT_EQ(host::ParseUdevSerial(c.record), c.expected);
  }
}

// ---------------------------------------------------------------------------------------------
// Storage identification reply

std::vector<std::uint8_t> Canary(std::size_t n) {
  return std::vector<std::uint8_t>(n, 0xCC);
}

TEST(HostStorageReply, LayoutWhenItFits) {
  static_assert(host::kStorageIdSerialNumberValid == 0x2);
  for (const std::size_t size : {40u, 29u}) {  // room to spare, exact fit
    SCOPED_TRACE(size);
    auto buffer = Canary(size);
    std::uint32_t returned = 77;
    ASSERT_TRUE(host::BuildStorageIdReply("191234A00001", buffer, &returned));
    EXPECT_EQ(returned, 29u);
    std::vector<std::uint8_t> expected = {29,  0,   0,   0,   2,   0,   0,   0,   0,   0,
                                          0,   0,   16,  0,   0,   0,   '1', '9', '1', '2',
                                          '3', '4', 'A', '0', '0', '0', '0', '1', 0};
    expected.resize(size, 0xCC);
    EXPECT_EQ(buffer, expected);
  }
  // The reply works without a place for the byte count too.
  auto buffer = Canary(20);
  EXPECT_TRUE(host::BuildStorageIdReply("ab", buffer, nullptr));
  EXPECT_EQ(buffer[0], 19);
  EXPECT_EQ(buffer[18], 0);
}

TEST(HostStorageReply, TooSmallTellsTheSizeNeeded) {
  struct Case {
    std::size_t size;
    std::size_t headerBytesWritten;
  };
  for (const Case c :
       {Case{28, 16}, Case{16, 16}, Case{15, 4}, Case{4, 4}, Case{3, 0}, Case{0, 0}}) {
    SCOPED_TRACE(c.size);
    auto buffer = Canary(c.size);
    std::uint32_t returned = 77;
    EXPECT_FALSE(host::BuildStorageIdReply("191234A00001", buffer, &returned));
    EXPECT_EQ(returned, 0u);
    std::vector<std::uint8_t> expected = {29, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0};
    expected.resize(c.headerBytesWritten);
    expected.resize(c.size, 0xCC);
    EXPECT_EQ(buffer, expected);
  }
}

TEST(HostStorageReply, NothingToCarry) {
  for (const std::string& serial : {std::string(), "AB\0CD"s}) {
    SCOPED_TRACE(testing::PrintToString(serial));
    auto buffer = Canary(64);
    std::uint32_t returned = 77;
    EXPECT_FALSE(host::BuildStorageIdReply(serial, buffer, &returned));
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(buffer, Canary(64));
  }
}

}  // namespace
