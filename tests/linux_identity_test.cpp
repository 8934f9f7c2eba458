// The identity sources of this Linux machine: the per-application identifier, fresh GUIDs, the
// Bluetooth radio, "\deviceid.txt" and the navigation library, on temporary trees and on the
// machine itself.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "log/report_log.h"
#include "platform/linux/linux_device.h"
#include "platform/modules.h"
#include "platform/winsock.h"
#include "probes/probes.h"
#include "tests/temp_tree.h"

namespace {

namespace fs = std::filesystem;

// The application data of the report as 32 hex digits: "@^!qzvbrtnkwx!^@".
constexpr const char* kAppHex = "405e21717a766272746e6b7778215e40";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Installs this machine as the device, with `root` standing for "/" and the executable in
// `exeFolder`, and starts the report afresh; returns where the report is written.
fs::path InstallLinux(const std::string& root, const fs::path& exeFolder) {
  LinuxDevice::Options options;
  options.root = root;
  options.executable = (exeFolder / "vantrace21").string();
  InstallDevice(std::make_unique<LinuxDevice>(options));
  ResetReportLog();
  const fs::path rootPath(root);
  const fs::path relative = exeFolder.lexically_relative(rootPath);
  return root == "/" ? exeFolder / "log_guids.txt" : rootPath / relative / "log_guids.txt";
}

// The report's messages without their time stamps ("LOG START" stays as it is).
std::vector<std::string> Messages(const fs::path& report) {
  static const std::regex kStamp(R"(^\d+:\d+:\d+ \d+:\d+:\d+: )");
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(report));
  for (std::string line; std::getline(in, line);) {
    lines.push_back(std::regex_replace(line, kStamp, "", std::regex_constants::format_first_only));
  }
  return lines;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// --- The per-application identifier ---

// Recorded from `systemd-id128 machine-id --app-specific=APP` with /etc/machine-id holding
// 0123456789abcdef0123456789abcdef.
constexpr const char* kKnownMachineId = "0123456789abcdef0123456789abcdef\n";

TEST(LinuxIdentity, DeviceUniqueIdFollowsTheApplicationSpecificIdRule) {
  TempTree tree;
  tree.Write("etc/machine-id", kKnownMachineId);
  const fs::path report = InstallLinux(tree.Root(), tree.Path());
  DumpDeviceUniqueID();
  EXPECT_EQ(Messages(report),
            (std::vector<std::string>{"LOG START", "Trying to get GetDeviceUniqueID",
                                      " - guid = ECDCD513DF9E4EF0B4A7B70FD2663A69"}));

  // The same machine for another application: a different identifier, as systemd derives it.
  LinuxDevice device(LinuxDevice::Options{tree.Root(), ""});
  BYTE app[16] = {};
  app[15] = 1;
  std::array<BYTE, 20> output{};
  DWORD length = 20;
  ASSERT_EQ(device.GetDeviceUniqueID(app, 16, 1, output.data(), &length), S_OK);
  ASSERT_EQ(length, 16u);
  const std::array<BYTE, 20> want = {0xba, 0x53, 0xf0, 0x31, 0xb2, 0xc2, 0x48, 0x0a, 0xbd, 0x96,
                                     0xfe, 0x84, 0x2e, 0x64, 0x2e, 0xc9, 0,    0,    0,    0};
  EXPECT_EQ(output, want);
}

TEST(LinuxIdentity, DeviceUniqueIdFailsWithoutAMachineId) {
  for (const char* content : {"", "uninitialized\n", "00000000000000000000000000000000\n"}) {
    SCOPED_TRACE(content);
    TempTree tree;
    if (*content != '\0') tree.Write("etc/machine-id", content);
    const fs::path report = InstallLinux(tree.Root(), tree.Path());
    DumpDeviceUniqueID();
    EXPECT_EQ(Messages(report),
              (std::vector<std::string>{"LOG START", "Trying to get GetDeviceUniqueID",
                                        " - failed calling pGetDeviceUniqueID = -2147467259"}));
  }
}

TEST(LinuxIdentity, DeviceUniqueIdArguments) {
  TempTree tree;
  tree.Write("etc/machine-id", kKnownMachineId);
  LinuxDevice device(LinuxDevice::Options{tree.Root(), ""});
  BYTE app[16] = {};
  std::array<BYTE, 20> output{};
  DWORD length = 20;
  EXPECT_EQ(device.GetDeviceUniqueID(nullptr, 16, 1, output.data(), &length), E_POINTER);
  EXPECT_EQ(device.GetDeviceUniqueID(app, 16, 1, nullptr, &length), E_POINTER);
  EXPECT_EQ(device.GetDeviceUniqueID(app, 16, 1, output.data(), nullptr), E_POINTER);
  EXPECT_EQ(device.GetDeviceUniqueID(app, 8, 1, output.data(), &length), E_INVALIDARG);
  EXPECT_EQ(device.GetDeviceUniqueID(app, 16, 2, output.data(), &length), E_INVALIDARG);
  EXPECT_EQ(length, 20u);
  // Too little room: nothing written, the room needed reported back.
  length = 15;
  EXPECT_EQ(device.GetDeviceUniqueID(app, 16, 1, output.data(), &length),
            static_cast<HRESULT>(0x8007007Au));
  EXPECT_EQ(length, 16u);
  EXPECT_EQ(output, (std::array<BYTE, 20>{}));
}

// On this machine the line must equal systemd's own answer for the same machine ID.
TEST(LinuxIdentity, DeviceUniqueIdOnThisMachineEqualsSystemd) {
  const std::string command =
      std::string("systemd-id128 machine-id --app-specific=") + kAppHex + " 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) GTEST_SKIP() << "cannot run systemd-id128";
  std::array<char, 128> buffer{};
  const std::string answer =
      std::fgets(buffer.data(), buffer.size(), pipe) != nullptr ? buffer.data() : "";
  const int status = ::pclose(pipe);
  if (status != 0 || !std::regex_match(answer, std::regex("[0-9a-f]{32}\n"))) {
    GTEST_SKIP() << "systemd-id128 is not installed, or this machine has no machine ID";
  }
  TempTree exeFolder;
  const fs::path report = InstallLinux("/", exeFolder.Path());
  DumpDeviceUniqueID();
  const auto lines = Messages(report);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(Lower(lines[2]), " - guid = " + answer.substr(0, 32));
}

// --- Fresh GUIDs ---

// Writes an interface below sys/class/net; `backed` gives it a device link as a card has.
void AddInterface(const TempTree& tree, const std::string& name, int index,
                  const std::string& address, bool backed, int type = 1,
                  const std::string& flags = "0x1003") {
  const std::string folder = "sys/class/net/" + name + "/";
  tree.Write(folder + "ifindex", std::to_string(index) + "\n");
  tree.Write(folder + "address", address + "\n");
  tree.Write(folder + "type", std::to_string(type) + "\n");
  tree.Write(folder + "flags", flags + "\n");
  if (backed) tree.MakeDir(folder + "device");
}

std::string GuidNodeLine(const TempTree& tree) {
  const fs::path report = InstallLinux(tree.Root(), tree.Path());
  GetMACaddress1();
  const auto lines = Messages(report);
  return lines.size() == 3 ? lines[2] : "<no line>";
}

TEST(LinuxIdentity, GuidNodeIsTheFirstHardwareAddress) {
  TempTree tree;
  AddInterface(tree, "lo", 1, "00:00:00:00:00:00", false, 772, "0x9");
  AddInterface(tree, "ifb0", 2, "d2:cd:e8:08:ce:23", false);  // virtual: after every card
  AddInterface(tree, "eth9", 3, "00:00:00:00:00:00", true);   // no address
  AddInterface(tree, "ib0", 4, "80:00:00:48:fe:80:00:00:00:00:00:00:00:11:22:33:44:55:66:77", true,
               32);  // not six bytes
  AddInterface(tree, "wlan0", 6, "aa:bb:cc:dd:ee:ff", true);
  AddInterface(tree, "eth0", 5, "0a:1b:2c:3d:4e:5f", true);  // lowest index with an address
  EXPECT_EQ(GuidNodeLine(tree), " - 0A1B2C3D4E5F");
}

TEST(LinuxIdentity, GuidNodeFromAVirtualInterfaceWhenNoCardHasOne) {
  TempTree tree;
  AddInterface(tree, "lo", 1, "00:00:00:00:00:00", false, 772, "0x9");
  AddInterface(tree, "veth1", 7, "66:55:44:33:22:11", false);
  AddInterface(tree, "veth0", 3, "de:ad:be:ef:00:01", false);
  EXPECT_EQ(GuidNodeLine(tree), " - DEADBEEF0001");
}

TEST(LinuxIdentity, GuidNodeIsRandomAndMulticastWithoutAHardwareAddress) {
  TempTree withLoopbackOnly;
  // A loopback known by its flags alone is left out too.
  AddInterface(withLoopbackOnly, "lo", 1, "00:00:00:00:00:00", false, 772, "0x9");
  AddInterface(withLoopbackOnly, "lo2", 2, "12:34:56:78:9a:bc", false, 1, "0x9");
  TempTree withoutNetworkFolder;
  for (const TempTree* tree : {&withLoopbackOnly, &withoutNetworkFolder}) {
    const std::string first = GuidNodeLine(*tree);
    const std::string second = GuidNodeLine(*tree);
    ASSERT_TRUE(std::regex_match(first, std::regex(" - [0-9A-F]{12}"))) << first;
    EXPECT_EQ(std::stoi(first.substr(3, 2), nullptr, 16) & 1, 1) << first;
    EXPECT_NE(first, " - 123456789ABC");
    EXPECT_NE(first, second);  // drawn afresh: 47 random bits
  }
}

TEST(LinuxIdentity, GuidsAreTimeBasedAndNeverRepeat) {
  TempTree tree;
  AddInterface(tree, "eth0", 2, "0a:1b:2c:3d:4e:5f", true);
  LinuxDevice device(LinuxDevice::Options{tree.Root(), ""});
  // 100-nanosecond steps since 15 October 1582.
  const auto toGuidTime = [](std::chrono::system_clock::time_point t) {
    return static_cast<std::uint64_t>(
               std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count()) /
               100 +
           0x01B21DD213814000ull;
  };
  const std::uint64_t before = toGuidTime(std::chrono::system_clock::now());
  std::uint64_t previous = 0;
  std::uint16_t sequence = 0;
  for (int i = 0; i < 1000; ++i) {
    GUID guid{};
    ASSERT_EQ(device.CoCreateGuid(&guid), S_OK);
    EXPECT_EQ(guid.Data3 >> 12, 1);         // version 1
    EXPECT_EQ(guid.Data4[0] & 0xC0, 0x80);  // RFC 4122 variant
    const std::uint64_t time = (std::uint64_t{guid.Data3 & 0x0FFFu} << 48) |
                               (std::uint64_t{guid.Data2} << 32) | guid.Data1;
    EXPECT_GE(time, before);
    EXPECT_GT(time, previous);  // strictly increasing, even within one clock step
    previous = time;
    const auto clockSequence =
        static_cast<std::uint16_t>((guid.Data4[0] & 0x3F) << 8 | guid.Data4[1]);
    if (i == 0) sequence = clockSequence;
    EXPECT_EQ(clockSequence, sequence);
    EXPECT_EQ(std::vector<BYTE>(guid.Data4 + 2, guid.Data4 + 8),
              (std::vector<BYTE>{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F}));
  }
  EXPECT_LE(previous, toGuidTime(std::chrono::system_clock::now()) + 1000);
}

// On this machine the node is one of its own hardware addresses, or a multicast one.
TEST(LinuxIdentity, GuidNodeOnThisMachine) {
  std::set<std::string> addresses;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/sys/class/net", error)) {
    if (ReadFile(entry.path() / "type") == "772\n") continue;
    std::string address = ReadFile(entry.path() / "address");
    if (address.size() != 18) continue;
    std::string digits;
    for (char c : address.substr(0, 17)) {
      if (c != ':')
        digits.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    if (digits != "000000000000") addresses.insert(digits);
  }
  TempTree exeFolder;
  const fs::path report = InstallLinux("/", exeFolder.Path());
  GetMACaddress1();
  const auto lines = Messages(report);
  ASSERT_EQ(lines.size(), 3u);
  ASSERT_TRUE(std::regex_match(lines[2], std::regex(" - [0-9A-F]{12}"))) << lines[2];
  const std::string node = lines[2].substr(3);
  if (addresses.empty()) {
    EXPECT_EQ(std::stoi(node.substr(0, 2), nullptr, 16) & 1, 1) << node;
  } else {
    EXPECT_EQ(addresses.count(node), 1u) << node;
  }
}

// --- The Bluetooth radio ---

TEST(LinuxIdentity, BluetoothSocketsAreOnlyOfferedForTheBluetoothFamily) {
  LinuxDevice device;
  EXPECT_EQ(device.OpenSocket(2 /* IPv4 */, 1, 6), 0u);
  SOCKADDR_BTH any{};
  any.addressFamily = AF_BT;
  int length = sizeof any;
  EXPECT_FALSE(device.BindSocket(12345, &any, sizeof any));
  EXPECT_FALSE(device.SocketName(12345, &any, &length));
  device.CloseSocket(12345);  // unknown: nothing happens
}

TEST(LinuxIdentity, BluetoothOnThisMachine) {
  // An HCI socket (AF_BLUETOOTH, SOCK_RAW, BTPROTO_HCI) asked of the kernel directly.
  const long probe = ::syscall(SYS_socket, 31, 3, 1);
  const bool kernelHasBluetooth = probe >= 0;
  if (probe >= 0) ::close(static_cast<int>(probe));

  TempTree exeFolder;
  const fs::path report = InstallLinux("/", exeFolder.Path());
  DumpBluetoothAddress();
  const auto lines = Messages(report);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], "getMicrosoftBluetoothAddress:");
  if (!kernelHasBluetooth) {
    // No stack: the socket is refused and the line stays empty.
    EXPECT_EQ(lines[2], " - ");
    LinuxDevice device;
    EXPECT_EQ(device.OpenSocket(AF_BT, SOCK_STREAM, BTHPROTO_RFCOMM), 0u);
  } else {
    // A radio's 48-bit address, least significant byte first, then two zero bytes; or nothing
    // when the machine has no radio.
    EXPECT_TRUE(lines[2] == " - " || std::regex_match(lines[2], std::regex(" - [0-9A-F]{12}0000")))
        << lines[2];
  }
}

TEST(LinuxIdentity, BluetoothBindTakesOnlyTheLocalRadio) {
  LinuxDevice device;
  const std::uint32_t socket = device.OpenSocket(AF_BT, SOCK_STREAM, BTHPROTO_RFCOMM);
  if (socket == 0) GTEST_SKIP() << "this kernel has no Bluetooth";
  SOCKADDR_BTH chosen{};
  chosen.addressFamily = AF_BT;
  chosen.btAddr = 0x001122334455;
  EXPECT_FALSE(device.BindSocket(socket, &chosen, sizeof chosen));
  SOCKADDR_BTH any{};
  any.addressFamily = AF_BT;
  EXPECT_FALSE(device.BindSocket(socket, &any, sizeof any - 1));
  int length = sizeof any;
  EXPECT_FALSE(device.SocketName(socket, &any, &length));  // not bound yet
  EXPECT_TRUE(device.BindSocket(socket, &any, sizeof any));
  device.CloseSocket(socket);
  EXPECT_FALSE(device.SocketName(socket, &any, &length));
}

// --- "\deviceid.txt" and the navigation library ---

TEST(LinuxIdentity, TextFileAtTheRoot) {
  TempTree tree;
  tree.Write("deviceid.txt", "ABC");
  fs::path report = InstallLinux(tree.Root(), tree.Path());
  GetTextDeviceID();
  EXPECT_EQ(Messages(report), (std::vector<std::string>{"LOG START", "GetTextDeviceID:",
                                                        " - 41424341424341424341424341424341"}));

  fs::remove(tree.Path() / "deviceid.txt");
  fs::remove(report);
  report = InstallLinux(tree.Root(), tree.Path());
  GetTextDeviceID();
  EXPECT_EQ(Messages(report),
            (std::vector<std::string>{"LOG START", "GetTextDeviceID:", " - not found"}));
}

// Whether the shared library at `path` is mapped into this process.
bool Mapped(const fs::path& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  ::dlclose(handle);
  return true;
}

TEST(LinuxIdentity, NavigationLibraryBesideTheExecutable) {
  const fs::path fixtures(VANTRACE_FIXTURE_LIB_DIR);
  struct Case {
    const char* name;
    const char* source;  // the fixture copied in as libNAVIAPI.so, or none
    std::string result;
  };
  const std::vector<Case> cases = {
      // "FIXTURE-NAVI-0001": its first 16 characters.
      {"the navigation fixture", "libNAVIAPI.so", " - 464958545552452D4E4156492D303030"},
      {"a library without the entry point", "libmarina_api.so", " - not found"},
      {"no library", nullptr, " - not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempTree exeFolder;
    const fs::path library = exeFolder.Path() / "libNAVIAPI.so";
    if (c.source != nullptr) {
      fs::copy_file(fixtures / c.source, library);
      fs::permissions(library, fs::perms(0755));
    }
    const fs::path report = InstallLinux(exeFolder.Root(), exeFolder.Path());
    Atlas_GetDeviceUUID();
    EXPECT_EQ(Messages(report),
              (std::vector<std::string>{"LOG START", "Atlas_GetDeviceUUID:", c.result}));
    EXPECT_EQ(ModuleReferenceCount(u"NAVIAPI"), 0);
    EXPECT_FALSE(Mapped(library));  // released, and so unloaded
  }
}

TEST(LinuxIdentity, SystemLibraryExportsTheIdentityEntryPoints) {
  LinuxDevice device;
  for (const char* name : {"GetDeviceUniqueID", "CoCreateGuid", "CeGetVolumeInfoW"}) {
    EXPECT_TRUE(device.HasSystemEntryPoint(name)) << name;
  }
  EXPECT_FALSE(device.HasSystemEntryPoint("KernelIoControl"));
}

}  // namespace
