// This machine's adapter list, replayed on a recorded laptop tree: interfaces, drivers, hardware
// addresses, gateways, and DHCP facts of the leases that match an interface's addresses.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "log/report_log.h"
#include "platform/iphlpapi.h"
#include "platform/linux/linux_device.h"
#include "platform/linux/linux_network_testing.h"
#include "probes/probes.h"

namespace {

namespace fs = std::filesystem;
using linux_network::AssembleAdapters;
using linux_network::GroupIPv4Addresses;
using linux_network::InterfaceAddresses;
using Lines = std::vector<std::string>;

// A private copy of the recorded laptop, with the lease files' modification times set: the
// networkd-format leases take their time from it, and the newest NetworkManager lease is tried
// first.
class RecordedLaptop {
 public:
  RecordedLaptop() {
    root_ = fs::temp_directory_path() /
            ("vantrace-net-" +
             std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::copy(fs::path(VANTRACE_FIXTURES_DIR) / "hosts" / "net-laptop", root_,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    SetTime("run/systemd/netif/leases/2", 1710318217);
    SetTime("var/lib/NetworkManager/internal-2b8d4c6e-1a3f-4c5d-9e7b-6f8a0b1c2d3e-wlp0s20f3.lease",
            1710300000);
    SetTime("var/lib/NetworkManager/internal-f1c3e7a2-4b5d-4e6f-8a9b-0c1d2e3f4a5b-wlp0s20f3.lease",
            1689163203);
  }
  ~RecordedLaptop() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  std::string root() const { return root_.string(); }

 private:
  void SetTime(const std::string& file, std::int64_t unixSeconds) {
    const auto when = std::chrono::sys_seconds(std::chrono::seconds(unixSeconds));
    fs::last_write_time(root_ / file, std::chrono::file_clock::from_sys(when));
  }
  fs::path root_;
};

// One adapter as one line: name|description|hardware address|index|type|addresses|gateways|DHCP
// server and time|WINS servers ("-" for no DHCP, no WINS).
std::string Describe(const AdapterFacts& a) {
  std::ostringstream out;
  out << a.name << '|' << a.description << '|';
  for (std::size_t i = 0; i < a.hardwareAddress.size(); ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", a.hardwareAddress[i]);
    out << (i > 0 ? ":" : "") << hex;
  }
  out << '|' << a.index << '|' << a.type << '|';
  for (const auto& address : a.addresses) out << address.ip << '/' << address.mask << ' ';
  out << '|';
  for (const auto& gateway : a.gateways) out << gateway << ' ';
  out << '|';
  if (a.dhcpEnabled) {
    out << a.dhcpServer << '@' << a.leaseObtained;
  } else {
    out << '-';
  }
  out << '|';
  if (a.haveWins) {
    out << a.primaryWinsServer << ',' << a.secondaryWinsServer;
  } else {
    out << '-';
  }
  return out.str();
}

Lines DescribeAll(const std::vector<AdapterFacts>& adapters) {
  Lines lines;
  for (const AdapterFacts& a : adapters) lines.push_back(Describe(a));
  return lines;
}

std::array<std::uint8_t, 4> Quad(int a, int b, int c, int d) {
  return {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b), static_cast<std::uint8_t>(c),
          static_cast<std::uint8_t>(d)};
}

// Addresses belong to the interface named by their label up to ':' and keep the kernel's order;
// an entry without a mask shows 0.0.0.0.
TEST(LinuxNetwork, AddressesAreGroupedByInterfaceInKernelOrder) {
  const InterfaceAddresses grouped = GroupIPv4Addresses({
      {"eth0", Quad(192, 168, 1, 20), Quad(255, 255, 255, 0)},
      {"wlan0", Quad(10, 0, 0, 17), Quad(255, 255, 0, 0)},
      {"eth0:7", Quad(192, 168, 7, 3), Quad(255, 255, 0, 0)},
      {"eth0", Quad(172, 16, 0, 4), Quad(255, 240, 0, 0)},
      {"tun0", Quad(100, 64, 0, 9), Quad(0, 0, 0, 0)},
      {":odd", Quad(1, 2, 3, 4), Quad(255, 0, 0, 0)},
  });
  Lines seen;
  for (const auto& [name, addresses] : grouped) {
    for (const auto& a : addresses) seen.push_back(name + " " + a.ip + "/" + a.mask);
  }
  EXPECT_EQ(seen, (Lines{"eth0 192.168.1.20/255.255.255.0", "eth0 192.168.7.3/255.255.0.0",
                         "eth0 172.16.0.4/255.240.0.0", "tun0 100.64.0.9/0.0.0.0",
                         "wlan0 10.0.0.17/255.255.0.0"}));
}

// With a recorded tree as root, the kernel's address list (which describes this machine, not the
// recording) is not used: the adapters have no addresses, and so no lease is taken as current.
TEST(LinuxNetwork, RecordedTreeListsEveryInterfaceButLoopbackInIndexOrder) {
  RecordedLaptop laptop;
  LinuxDevice device(LinuxDevice::Options{.root = laptop.root(), .executable = ""});
  std::vector<AdapterFacts> adapters;
  ASSERT_EQ(device.QueryAdapters(adapters), ERROR_SUCCESS);
  EXPECT_EQ(DescribeAll(adapters), (Lines{
                                       "enp0s31f6|e1000e|00:00:5e:00:53:01|2|6|||-|-",
                                       "wlp0s20f3|iwlwifi|00:00:5e:00:53:02|3|6||192.168.1.1 |-|-",
                                       "virbr0|bridge|00:00:5e:00:53:04|4|6|||-|-",
                                       "enx00005e005305|r8152|00:00:5e:00:53:05|5|6|||-|-",
                                       "tun0|virtual||6|1|||-|-",
                                   }));
}

// A lease counts when its address is one the interface has now: then DHCP is on with the lease's
// server and time, and WINS when the lease names servers. A lease of an address the interface no
// longer has is a leftover and shows nothing.
TEST(LinuxNetwork, LeaseOfACurrentAddressGivesDhcpAndWins) {
  RecordedLaptop laptop;
  const InterfaceAddresses addresses = {
      {"enp0s31f6", {{"10.20.30.41", "255.255.255.0"}}},
      {"wlp0s20f3", {{"192.168.1.99", "255.255.255.0"}, {"192.168.1.57", "255.255.255.0"}}},
      {"virbr0", {{"192.168.122.1", "255.255.255.0"}}},
      {"enx00005e005305", {{"10.40.0.23", "255.255.255.0"}}},
      {"tun0", {{"10.8.0.6", "255.255.255.0"}}},
      {"gone0", {{"10.9.9.9", "255.0.0.0"}}},
  };
  EXPECT_EQ(DescribeAll(AssembleAdapters(laptop.root(), addresses)),
            (Lines{
                "enp0s31f6|e1000e|00:00:5e:00:53:01|2|6|10.20.30.41/255.255.255.0 "
                "||10.20.30.2@1710318217|-",
                "wlp0s20f3|iwlwifi|00:00:5e:00:53:02|3|6|192.168.1.99/255.255.255.0 "
                "192.168.1.57/255.255.255.0 |192.168.1.1 |@1710300000|-",
                "virbr0|bridge|00:00:5e:00:53:04|4|6|192.168.122.1/255.255.255.0 ||-|-",
                "enx00005e005305|r8152|00:00:5e:00:53:05|5|6|10.40.0.23/255.255.255.0 "
                "||10.40.0.2@1710318217|10.40.0.5,10.40.0.6",
                "tun0|virtual||6|1|10.8.0.6/255.255.255.0 ||-|-",
            }));

  // The same leases against addresses that moved on.
  const InterfaceAddresses moved = {
      {"enp0s31f6", {{"10.20.30.77", "255.255.255.0"}}},
      {"enx00005e005305", {{"10.40.0.19", "255.255.255.0"}}},
  };
  const Lines movedLines = DescribeAll(AssembleAdapters(laptop.root(), moved));
  ASSERT_EQ(movedLines.size(), 5u);
  EXPECT_EQ(movedLines[0],
            "enp0s31f6|e1000e|00:00:5e:00:53:01|2|6|10.20.30.77/255.255.255.0 ||-|-");
  EXPECT_EQ(movedLines[3],
            "enx00005e005305|r8152|00:00:5e:00:53:05|5|6|10.40.0.19/255.255.255.0 ||-|-");
}

// The whole chain on the recorded laptop: its interfaces reach the report through the platform's
// list and the report section.
TEST(LinuxNetwork, ReportOfTheRecordedLaptop) {
  RecordedLaptop laptop;
  InstallDevice(std::make_unique<LinuxDevice>(
      LinuxDevice::Options{.root = laptop.root(), .executable = laptop.root() + "/vantrace21"}));
  ResetReportLog();
  DumpAdaptersInfo();
  std::ifstream report(laptop.root() + "/log_guids.txt");
  Lines lines;
  const std::regex stamp("^[0-9]+:[0-9]+:[0-9]+ [0-9]+:[0-9]+:[0-9]+: ");
  for (std::string line; std::getline(report, line);) {
    lines.push_back(std::regex_replace(line, stamp, ""));
  }
  const auto group = [](const std::string& name, const std::string& description,
                        const std::string& number, const std::string& gateway) {
    return Lines{" - Adapter Name: \t" + name,
                 " - Adapter Desc: \t" + description,
                 " - Adapter Addr: \t" + number,
                 " - IP Address: \t",
                 " - IP Mask: \t",
                 " - Gateway: \t" + gateway,
                 " - DHCP Enabled: No",
                 " - Have Wins: No"};
  };
  Lines expected = {"LOG START", "GetAdaptersInfo", " - ERROR_BUFFER_OVERFLOW"};
  for (const Lines& g :
       {group("enp0s31f6", "e1000e", "1577079553", ""),
        group("wlp0s20f3", "iwlwifi", "1577079554", "192.168.1.1"),
        group("virbr0", "bridge", "1577079556", ""),
        group("enx00005e005305", "r8152", "1577079557", ""), group("tun0", "virtual", "0", "")}) {
    expected.insert(expected.end(), g.begin(), g.end());
  }
  EXPECT_EQ(lines, expected);
}

}  // namespace
