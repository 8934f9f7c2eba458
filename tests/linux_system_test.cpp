// Tests of this machine's system parameters, version and HAL answers (LinuxDevice), on recorded
// trees of real machines and on small trees made for one case.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "device/hal.h"
#include "log/report_log.h"
#include "platform/kernel.h"
#include "platform/linux/host_system.h"
#include "platform/linux/linux_device.h"
#include "probes/probes.h"
#include "tests/temp_tree.h"

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using Bytes = std::vector<BYTE>;
using Lines = std::vector<std::string>;

LinuxDevice DeviceAt(const TempTree& tree) {
  return LinuxDevice(LinuxDevice::Options{.root = tree.Root(), .executable = {}});
}

Bytes DeviceIdBytes(const std::string& preset, const Bytes& platform) {
  const auto presetBytes = static_cast<DWORD>(preset.size());
  const auto platformBytes = static_cast<DWORD>(platform.size());
  const DEVICE_ID head{20 + presetBytes + platformBytes, 20, presetBytes, 20 + presetBytes,
                       platformBytes};
  Bytes bytes(head.dwSize);
  std::memcpy(bytes.data(), &head, sizeof head);
  for (std::size_t i = 0; i < preset.size(); ++i) bytes[20 + i] = static_cast<BYTE>(preset[i]);
  for (std::size_t i = 0; i < platform.size(); ++i) bytes[20 + preset.size() + i] = platform[i];
  return bytes;
}

const Bytes kMachineIdBytes = {0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f, 0x60, 0x71,
                               0x82, 0x93, 0xa4, 0xb5, 0xc6, 0xd7, 0xe8, 0xf9};
const std::string kMachineIdText = "0a1b2c3d4e5f60718293a4b5c6d7e8f9\n";

// --- The report sections on recorded machines ---

// Runs the system report and the four HAL sections on the recorded tree, as the report run does,
// and returns the report's lines without their time stamps.
Lines RunReportOn(const TempTree& tree) {
  tree.Write("bin/vantrace21", "");
  InstallDevice(std::make_unique<LinuxDevice>(
      LinuxDevice::Options{.root = tree.Root(), .executable = tree.Root() + "/bin/vantrace21"}));
  ResetReportLog();
  ReportSystemInfo();
  HalOutputBuffer halOutput{};
  DumpDeviceGUID(halOutput);
  DumpDeviceGUID2(halOutput);
  DumpDeviceUUID(halOutput);
  DumpDeviceUUID2(halOutput);

  const std::regex stamp(R"(^\d+:\d+:\d+ \d+:\d+:\d+: )");
  Lines lines;
  std::istringstream text(tree.Read("bin/log_guids.txt"));
  for (std::string line; std::getline(text, line);) {
    lines.push_back(std::regex_replace(line, stamp, ""));
  }
  return lines;
}

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(LinuxSystem, ReportOnX86LaptopWithDmi) {
  TempTree tree("x86-laptop");
  tree.Write("proc/sys/kernel/osrelease", "6.5.0-27-generic\n");
  // The machine ID (platform part, 16 bytes) at 27, then the DMI serial (preset part, 7 bytes) at
  // 20. Control characters show as "?", and so do characters that code page 1252 lacks.
  const Lines identifier = {
      " - DeviceID.dwPlatformIDBytes = 16", " - DeviceID.dwPresetIDBytes = 7",
      " - adr: 27; data: 94 (^)",           " - adr: 28; data: 15 (?)",
      " - adr: 29; data: 58 (:)",           " - adr: 30; data: 156 (?)",
      " - adr: 31; data: 27 (?)",           " - adr: 32; data: 45 (-)",
      " - adr: 33; data: 78 (N)",           " - adr: 34; data: 111 (o)",
      " - adr: 35; data: 138 (?)",          " - adr: 36; data: 123 ({)",
      " - adr: 37; data: 156 (?)",          " - adr: 38; data: 13 (?)",
      " - adr: 39; data: 30 (?)",           " - adr: 40; data: 47 (/)",
      " - adr: 41; data: 58 (:)",           " - adr: 42; data: 75 (K)",
      " - adr: 20; data: 55 (7)",           " - adr: 21; data: 81 (Q)",
      " - adr: 22; data: 75 (K)",           " - adr: 23; data: 51 (3)",
      " - adr: 24; data: 88 (X)",           " - adr: 25; data: 78 (N)",
      " - adr: 26; data: 50 (2)",           " - 5E0F3A9C1B2D4E6F8A7B9C0D1E2F3A4B37514B33584E32",
  };
  EXPECT_EQ(RunReportOn(tree),
            Concat({{"LOG START", "SPI_GETOEMINFO: 'Dell Inc. XPS 13 9370'",
                     "SPI_GETPLATFORMTYPE: 'laptop'", "OSVersion: 6.5.0 Ubuntu 22.04.4 LTS (3)",
                     "CPU1 v=00000008 core='family 6 model 142' rev=008e",
                     "CPU2 proc='Intel(R) Core(TM) i7-8550U CPU @ 1.80GHz' rev=000a",
                     "CPU3 cat='0xf4' vendor='GenuineIntel'", "CPU4 set=000000ff speed=00000fa0",
                     "GetDeviceGUID:", " - DeviceID.dwSize = 43"},
                    identifier,
                    {"GetDeviceGUID2:"},
                    identifier,
                    // The DMI product UUID, in the order its digits are written.
                    {"GetDeviceUUID:", " - 4C4C454400514B108033B7C04F584E32",
                     "GetDeviceUUID2:", " - 4C4C454400514B108033B7C04F584E32"}}));
}

TEST(LinuxSystem, ReportOnArmBoardWithDeviceTreeAndNoMachineId) {
  TempTree tree("arm-board");
  tree.Write("proc/sys/kernel/osrelease", "6.1.0-rpi7-rpi-v8\n");
  // The device tree's serial number is the whole identifier: the board has no machine ID.
  const Lines identifier = {
      " - DeviceID.dwPlatformIDBytes = 0",
      " - DeviceID.dwPresetIDBytes = 16",
      " - adr: 20; data: 49 (1)",
      " - adr: 21; data: 48 (0)",
      " - adr: 22; data: 48 (0)",
      " - adr: 23; data: 48 (0)",
      " - adr: 24; data: 48 (0)",
      " - adr: 25; data: 48 (0)",
      " - adr: 26; data: 48 (0)",
      " - adr: 27; data: 48 (0)",
      " - adr: 28; data: 97 (a)",
      " - adr: 29; data: 49 (1)",
      " - adr: 30; data: 98 (b)",
      " - adr: 31; data: 50 (2)",
      " - adr: 32; data: 99 (c)",
      " - adr: 33; data: 51 (3)",
      " - adr: 34; data: 100 (d)",
      " - adr: 35; data: 52 (4)",
      " - 31303030303030306131623263336434",
  };
  EXPECT_EQ(RunReportOn(tree),
            Concat({{"LOG START", "SPI_GETOEMINFO: 'Raspberry Pi 4 Model B Rev 1.4'",
                     "SPI_GETPLATFORMTYPE: 'embedded'",
                     "OSVersion: 6.1.0 Debian GNU/Linux 12 (bookworm) (3)",
                     "CPU1 v=00000004 core='Cortex-A72' rev=0000", "CPU2 proc='BCM2835' rev=0003",
                     "CPU3 cat='r0p3' vendor='ARM'", "CPU4 set=00230000 speed=00000708",
                     "GetDeviceGUID:", " - DeviceID.dwSize = 36"},
                    identifier,
                    {"GetDeviceGUID2:"},
                    identifier,
                    // No UUID anywhere: refused; the second section shows the structure's header.
                    {"GetDeviceUUID:", " - ",
                     "GetDeviceUUID2:", " - 24000000140000001000000024000000"}}));
}

TEST(LinuxSystem, ReportOnVmWithoutDmi) {
  TempTree tree("vm-nodmi");
  tree.Write("proc/sys/kernel/osrelease", "6.5.6-300.fc39.x86_64\n");
  // No hardware serial: the machine ID alone, at 20.
  const Lines identifier = {
      " - DeviceID.dwPlatformIDBytes = 16",
      " - DeviceID.dwPresetIDBytes = 0",
      " - adr: 20; data: 10 (?)",
      " - adr: 21; data: 27 (?)",
      " - adr: 22; data: 44 (,)",
      " - adr: 23; data: 61 (=)",
      " - adr: 24; data: 78 (N)",
      " - adr: 25; data: 95 (_)",
      " - adr: 26; data: 96 (`)",
      " - adr: 27; data: 113 (q)",
      " - adr: 28; data: 130 (?)",
      " - adr: 29; data: 147 (?)",
      " - adr: 30; data: 164 (\xA4)",
      " - adr: 31; data: 181 (\xB5)",
      " - adr: 32; data: 198 (\xC6)",
      " - adr: 33; data: 215 (\xD7)",
      " - adr: 34; data: 232 (\xE8)",
      " - adr: 35; data: 249 (\xF9)",
      " - 0A1B2C3D4E5F60718293A4B5C6D7E8F9",
  };
  EXPECT_EQ(
      RunReportOn(tree),
      Concat({{"LOG START", "SPI_GETOEMINFO: ''", "SPI_GETPLATFORMTYPE: 'vm'",
               "OSVersion: 6.5.6 Fedora Linux 39 (Server Edition) (3)",
               "CPU1 v=00000002 core='family 15 model 107' rev=006b",
               "CPU2 proc='QEMU Virtual CPU version 2.5+' rev=0001",
               "CPU3 cat='stepping 1' vendor='AuthenticAMD'", "CPU4 set=0000008f speed=000009bf",
               "GetDeviceGUID:", " - DeviceID.dwSize = 36"},
              identifier,
              {"GetDeviceGUID2:"},
              identifier,
              // No DMI, no device tree: the machine ID is the UUID.
              {"GetDeviceUUID:", " - 0A1B2C3D4E5F60718293A4B5C6D7E8F9",
               "GetDeviceUUID2:", " - 0A1B2C3D4E5F60718293A4B5C6D7E8F9"}}));
}

// --- The HAL's contract ---

TEST(LinuxSystem, DeviceIdSizeQueryRefusalAndAnswer) {
  TempTree tree;
  tree.Write("etc/machine-id", kMachineIdText);
  tree.Write("sys/class/dmi/id/product_serial", "SN-1234\n");
  LinuxDevice device = DeviceAt(tree);
  const Bytes expected = DeviceIdBytes("SN-1234", kMachineIdBytes);  // 43 bytes

  // Less room than a header: refused, nothing written.
  Bytes out(64, 0xAA);
  DWORD returned = 0x55;
  SetLastError(0);
  EXPECT_FALSE(
      device.KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, out.data(), 19, &returned));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(out, Bytes(64, 0xAA));
  EXPECT_EQ(returned, 0x55u);

  // A header's room, or anything short of the structure: refused, dwSize says what is needed.
  for (DWORD room : {20u, 42u}) {
    out.assign(64, 0xAA);
    EXPECT_FALSE(
        device.KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, out.data(), room, nullptr));
    Bytes refused(64, 0xAA);
    refused[0] = 43;
    refused[1] = refused[2] = refused[3] = 0;
    EXPECT_EQ(out, refused) << room;
  }

  // Room enough: the whole structure, and its size as bytes returned.
  out.assign(64, 0xAA);
  EXPECT_TRUE(device.KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, out.data(),
                                     static_cast<DWORD>(out.size()), &returned));
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 43), expected);
  EXPECT_EQ(Bytes(out.begin() + 43, out.end()), Bytes(64 - 43, 0xAA));
  EXPECT_EQ(returned, 43u);
}

TEST(LinuxSystem, DeviceIdParts) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
    std::optional<Bytes> expected;
  };
  const std::string longSerial(300, 'S');
  const Case cases[] = {
      {"serial and machine ID",
       {{"etc/machine-id", kMachineIdText}, {"proc/device-tree/serial-number", "00ab12\0"s}},
       DeviceIdBytes("00ab12", kMachineIdBytes)},
      {"machine ID only", {{"etc/machine-id", kMachineIdText}}, DeviceIdBytes("", kMachineIdBytes)},
      {"placeholder serial is no serial",
       {{"etc/machine-id", kMachineIdText},
        {"sys/class/dmi/id/product_serial", "To be filled by O.E.M.\n"}},
       DeviceIdBytes("", kMachineIdBytes)},
      {"serial only", {{"sys/class/dmi/id/product_serial", "ABC\n"}}, DeviceIdBytes("ABC", {})},
      {"serial cut to 255 bytes",
       {{"etc/machine-id", kMachineIdText}, {"sys/class/dmi/id/product_serial", longSerial}},
       DeviceIdBytes(longSerial.substr(0, 255), kMachineIdBytes)},
      {"neither: refused", {{"etc/machine-id", "uninitialized\n"}}, std::nullopt},
  };
  for (const Case& c : cases) {
    TempTree tree;
    for (const auto& [path, content] : c.files) tree.Write(path, content);
    LinuxDevice device = DeviceAt(tree);
    Bytes out(1024, 0);
    DWORD returned = 0;
    SetLastError(0);
    const BOOL ok =
        device.KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, out.data(), 1024, &returned);
    if (!c.expected) {
      EXPECT_FALSE(ok) << c.what;
      EXPECT_EQ(GetLastError(), ERROR_NOT_SUPPORTED) << c.what;
      EXPECT_EQ(out, Bytes(1024, 0)) << c.what;
      continue;
    }
    ASSERT_TRUE(ok) << c.what;
    EXPECT_EQ(returned, c.expected->size()) << c.what;
    EXPECT_EQ(Bytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(returned)), *c.expected)
        << c.what;
  }
}

TEST(LinuxSystem, UuidSources) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
    std::optional<Bytes> expected;
  };
  const Bytes dmiUuid = {0x4c, 0x4c, 0x45, 0x44, 0x00, 0x51, 0x4b, 0x10,
                         0x80, 0x33, 0xb7, 0xc0, 0x4f, 0x58, 0x4e, 0x32};
  const std::string dmiText = "4c4c4544-0051-4b10-8033-b7c04f584e32\n";
  const Bytes treeUuid = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08,
                          0x09, 0x0a, 0x0b, 0x0c, 0x0d, 0x0e, 0x0f, 0x10};
  const std::string treeRaw(treeUuid.begin(), treeUuid.end());
  const Case cases[] = {
      {"DMI first",
       {{"sys/class/dmi/id/product_uuid", dmiText},
        {"proc/device-tree/vm,uuid", treeRaw},
        {"etc/machine-id", kMachineIdText}},
       dmiUuid},
      {"device tree when DMI has none",
       {{"sys/class/dmi/id/product_uuid", "00000000-0000-0000-0000-000000000000\n"},
        {"proc/device-tree/vm,uuid", treeRaw},
        {"etc/machine-id", kMachineIdText}},
       treeUuid},
      {"machine ID last", {{"etc/machine-id", kMachineIdText}}, kMachineIdBytes},
      {"none: refused", {}, std::nullopt},
  };
  for (const Case& c : cases) {
    TempTree tree;
    for (const auto& [path, content] : c.files) tree.Write(path, content);
    LinuxDevice device = DeviceAt(tree);
    Bytes out(1024, 0xAA);
    DWORD returned = 0;
    const BOOL ok =
        device.KernelIoControl(IOCTL_HAL_GET_UUID, nullptr, 0, out.data(), 1024, &returned);
    if (!c.expected) {
      EXPECT_FALSE(ok) << c.what;
      EXPECT_EQ(returned, 0u) << c.what;
      EXPECT_EQ(out, Bytes(1024, 0xAA)) << c.what;
      continue;
    }
    ASSERT_TRUE(ok) << c.what;
    // Bytes returned is the UUID's length; nothing is written beyond it.
    EXPECT_EQ(returned, 16u) << c.what;
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 16), *c.expected) << c.what;
    EXPECT_EQ(Bytes(out.begin() + 16, out.end()), Bytes(1024 - 16, 0xAA)) << c.what;
  }

  // Less room than the UUID: refused, nothing written.
  TempTree tree;
  tree.Write("etc/machine-id", kMachineIdText);
  LinuxDevice device = DeviceAt(tree);
  Bytes out(16, 0xAA);
  DWORD returned = 0;
  EXPECT_FALSE(device.KernelIoControl(IOCTL_HAL_GET_UUID, nullptr, 0, out.data(), 15, &returned));
  EXPECT_EQ(out, Bytes(16, 0xAA));
  EXPECT_TRUE(device.KernelIoControl(IOCTL_HAL_GET_UUID, nullptr, 0, out.data(), 16, &returned));
  EXPECT_EQ(out, kMachineIdBytes);
}

TEST(LinuxSystem, ProcessorRecord) {
  TempTree tree;
  // A name of 45 characters fills its 40-character field whole; a vendor whose 40th and 41st
  // UTF-16 units would be a surrogate pair is not cut between them.
  const std::string vendor = std::string(99, 'v') + "\xF0\x9F\x98\x80";  // U+1F600
  tree.Write("proc/cpuinfo", "processor\t: 0\nvendor_id\t: " + vendor +
                                 "\ncpu family\t: 6\nmodel\t\t: 26\n"
                                 "model name\t: " +
                                 std::string(45, 'N') +
                                 "\nstepping\t: 5\ncpu MHz\t\t: 2666.5\n"
                                 "flags\t\t: fpu sse2\n\nprocessor\t: 1\n");
  LinuxDevice device = DeviceAt(tree);

  Bytes out(sizeof(PROCESSOR_INFO), 0xAA);
  DWORD returned = 0;
  EXPECT_FALSE(
      device.KernelIoControl(IOCTL_PROCESSOR_INFORMATION, nullptr, 0, out.data(), 575, &returned));
  EXPECT_EQ(out, Bytes(sizeof(PROCESSOR_INFO), 0xAA));

  PROCESSOR_INFO info;
  std::memset(&info, 0xAA, sizeof info);
  ASSERT_TRUE(device.KernelIoControl(IOCTL_PROCESSOR_INFORMATION, nullptr, 0, &info, sizeof info,
                                     &returned));
  EXPECT_EQ(returned, 576u);
  EXPECT_EQ(info.wVersion, 2);
  EXPECT_EQ(std::u16string(info.szProcessCore), u"family 6 model 26");
  EXPECT_EQ(info.wCoreRevision, 26);
  EXPECT_EQ(std::u16string(info.szProcessorName, 40), std::u16string(40, u'N'));
  EXPECT_EQ(info.wProcessorRevision, 5);
  EXPECT_EQ(std::u16string(info.szCatalogNumber), u"stepping 5");
  EXPECT_EQ(std::u16string(info.szVendor, 100), std::u16string(99, u'v') + u'\0');
  EXPECT_EQ(info.dwInstructionSet, host::kIsaX86Fpu | host::kIsaX86Sse2);
  EXPECT_EQ(info.dwClockSpeed, 2667u);  // MHz

  // No /proc/cpuinfo: refused.
  TempTree empty;
  LinuxDevice bare = DeviceAt(empty);
  EXPECT_FALSE(
      bare.KernelIoControl(IOCTL_PROCESSOR_INFORMATION, nullptr, 0, &info, sizeof info, &returned));
  EXPECT_FALSE(bare.KernelIoControl(0x01010000, nullptr, 0, &info, sizeof info, &returned));
}

// --- System parameters and version ---

TEST(LinuxSystem, SystemParameterTexts) {
  struct Case {
    const char* fixture;
    std::optional<std::u16string> oem;
    std::optional<std::u16string> platform;
  };
  const Case cases[] = {
      {"x86-laptop", u"Dell Inc. XPS 13 9370", u"laptop"},
      {"arm-board", u"Raspberry Pi 4 Model B Rev 1.4", u"embedded"},
      {"vm-nodmi", std::nullopt, u"vm"},
  };
  for (const Case& c : cases) {
    TempTree tree(c.fixture);
    LinuxDevice device = DeviceAt(tree);
    EXPECT_EQ(device.SystemParameterText(SPI_GETOEMINFO), c.oem) << c.fixture;
    EXPECT_EQ(device.SystemParameterText(SPI_GETPLATFORMTYPE), c.platform) << c.fixture;
    EXPECT_EQ(device.SystemParameterText(0), std::nullopt) << c.fixture;
  }
  // Texts are decoded from UTF-8.
  TempTree tree;
  tree.Write("sys/class/dmi/id/sys_vendor", "M\xC3\xBCller GmbH\n");
  EXPECT_EQ(DeviceAt(tree).SystemParameterText(SPI_GETOEMINFO), u"M\u00fcller GmbH");
}

TEST(LinuxSystem, VersionFromTheRecordedRelease) {
  struct Case {
    const char* what;
    std::optional<std::string> release;
    std::optional<std::string> osRelease;
    bool ok;
    DWORD major, minor, build;
    std::u16string csd;
  };
  const std::string longName = std::string(126, 'L') + "\xF0\x9F\x98\x80";  // pair at 127/128
  const Case cases[] = {
      {"release and name", "6.1.0-18-amd64\n", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
       true, 6, 1, 0, u"Debian GNU/Linux 12 (bookworm)"},
      {"no os-release: empty service-pack text", "5.15.167.4-microsoft-standard-WSL2", std::nullopt,
       true, 5, 15, 167, u""},
      {"name cut to 127 characters, not inside a surrogate pair", "6.8", "PRETTY_NAME=" + longName,
       true, 6, 8, 0, std::u16string(126, u'L')},
      {"no release: no version", std::nullopt, "PRETTY_NAME=x\n", false, 0, 0, 0, u""},
  };
  for (const Case& c : cases) {
    TempTree tree;
    if (c.release) tree.Write("proc/sys/kernel/osrelease", *c.release);
    if (c.osRelease) tree.Write("etc/os-release", *c.osRelease);
    LinuxDevice device = DeviceAt(tree);
    OSVERSIONINFOW info;
    std::memset(&info, 0xAA, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_EQ(device.GetVersion(info), c.ok) << c.what;
    if (!c.ok) continue;
    EXPECT_EQ(info.dwOSVersionInfoSize, 276u) << c.what;
    EXPECT_EQ(info.dwMajorVersion, c.major) << c.what;
    EXPECT_EQ(info.dwMinorVersion, c.minor) << c.what;
    EXPECT_EQ(info.dwBuildNumber, c.build) << c.what;
    EXPECT_EQ(info.dwPlatformId, VER_PLATFORM_WIN32_CE) << c.what;
    EXPECT_EQ(std::u16string(info.szCSDVersion, 128),
              c.csd + std::u16string(128 - c.csd.size(), u'\0'))
        << c.what;
  }
}

TEST(LinuxSystem, VersionOfThisMachineIsTheRunningKernel) {
  // With the root "/", the release is the running kernel's, which /proc also shows.
  std::ifstream in("/proc/sys/kernel/osrelease");
  std::string release;
  std::getline(in, release);
  ASSERT_FALSE(release.empty());
  const host::KernelVersion expected = host::ParseKernelRelease(release);
  LinuxDevice device;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_TRUE(device.GetVersion(info));
  EXPECT_EQ(info.dwMajorVersion, expected.major);
  EXPECT_EQ(info.dwMinorVersion, expected.minor);
  EXPECT_EQ(info.dwBuildNumber, expected.build);
}

}  // namespace
