// Tests of the host network readers: default gateways, interface facts, DHCP lease files.
#include "platform/linux/host_network.h"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/temp_tree.h"

namespace host {
// Readable failure messages for the records under test.
void PrintTo(const InterfaceFacts& f, std::ostream* os) {
  *os << "{" << f.name << " #" << f.ifindex << " [" << testing::PrintToString(f.hwAddress) << "] "
      << f.description << " type " << f.arpType << "}";
}
void PrintTo(const LeaseFacts& l, std::ostream* os) {
  *os << "{address " << l.address << " server " << l.serverAddress << " obtained " << l.obtained
      << " wins " << testing::PrintToString(l.winsServers) << "}";
}
}  // namespace host

namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using host::InterfaceFacts;
using host::LeaseFacts;

const std::string kLaptop = std::string(VANTRACE_FIXTURES_DIR) + "/hosts/net-laptop";

void SetModified(const std::string& path, std::int64_t unixSeconds) {
  using namespace std::chrono;
  fs::last_write_time(path, file_clock::from_sys(sys_seconds{seconds{unixSeconds}}));
}

// ---------------------------------------------------------------------------------------------
// Routes

TEST(HostNetworkRoutes, LaptopHasOneDefaultGateway) {
  if constexpr (std::endian::native != std::endian::little) {
    GTEST_SKIP() << "the recorded table was written by a little-endian machine";
  }
  // tun0's route to 172.16.0.0/12 has a gateway but is not a default route.
  EXPECT_EQ(host::ReadDefaultGateways(kLaptop),
            (std::map<std::string, std::string>{{"wlp0s20f3", "192.168.1.1"}}));
  EXPECT_TRUE(host::ReadDefaultGateways(kLaptop + "/missing").empty());
}

TEST(HostNetworkRoutes, TableCases) {
  using Gateways = std::map<std::string, std::string>;
  const std::string header =
      "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
  const auto row = [](const char* iface, const char* dst, const char* gw, const char* flags,
                      const char* mask) {
    return std::string(iface) + "\t" + dst + "\t" + gw + "\t" + flags + "\t0\t0\t100\t" + mask +
           "\t0\t0\t0      \n";
  };
  struct Case {
    std::string table;
    Gateways expected;
  };
  const Case cases[] = {
      {header, {}},
      {"", {}},
      // First default route of an interface wins; each interface has its own.
      {header + row("eth0", "00000000", "0102A8C0", "0003", "00000000") +
           row("wlan0", "00000000", "FE01A8C0", "0003", "00000000") +
           row("eth0", "00000000", "0202A8C0", "0003", "00000000"),
       {{"eth0", "192.168.2.1"}, {"wlan0", "192.168.1.254"}}},
      // Not default routes: no gateway flag, a mask, a destination, a zero gateway, no device.
      {header + row("tun0", "00000000", "00000000", "0001", "00000000") +
           row("tun0", "00000000", "0100080A", "0003", "00000080") +
           row("tun0", "0000080A", "0100080A", "0003", "00000000") +
           row("eth0", "00000000", "00000000", "0003", "00000000") +
           row("*", "00000000", "0100080A", "0003", "00000000"),
       {}},
      // Malformed fields are skipped, the next row still counts.
      {header + row("eth0", "0000000G", "0102A8C0", "0003", "00000000") +
           row("eth0", "000000000", "0102A8C0", "0003", "00000000") +
           row("eth0", "00000000", "0x02A8C0", "0003", "00000000") +
           row("eth0", "00000000", "-102A8C0", "0003", "00000000") + "eth0\t00000000\t0102A8C0\n" +
           row("eth1", "00000000", "0103A8C0", "0003", "00000000"),
       {{"eth1", "192.168.3.1"}}},
      // CR LF line ends, no final line feed, short hex.
      {"eth0\t0\t0102A8C0\t3\t0\t0\t0\t0\t0\t0\t0\r\neth1\t00000000\t0103A8C0\t0003\t0\t0\t0\t"
       "00000000",
       {{"eth0", "192.168.2.1"}, {"eth1", "192.168.3.1"}}},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(index++);
    EXPECT_EQ(host::ParseRouteTable(c.table), c.expected);
  }
  // A big-endian machine writes the same address the other way round.
  EXPECT_EQ(host::ParseRouteTable(header + row("eth0", "00000000", "C0000201", "0003", "00000000"),
                                  std::endian::big),
            (Gateways{{"eth0", "192.0.2.1"}}));
}

// ---------------------------------------------------------------------------------------------
// Interfaces

TEST(HostNetworkInterfaces, LaptopFactsAndOrder) {
  // ifindex order, not name order; lo left out.
  EXPECT_EQ(
      host::ListInterfaces(kLaptop),
      (std::vector<std::string>{"enp0s31f6", "wlp0s20f3", "virbr0", "enx00005e005305", "tun0"}));
  const InterfaceFacts expected[] = {
      {"lo", 1, {0, 0, 0, 0, 0, 0}, "virtual", 772},
      {"enp0s31f6", 2, {0x00, 0x00, 0x5E, 0x00, 0x53, 0x01}, "e1000e", 1},
      {"wlp0s20f3", 3, {0x00, 0x00, 0x5E, 0x00, 0x53, 0x02}, "iwlwifi", 1},  // driver, not "wlan"
      {"virbr0", 4, {0x00, 0x00, 0x5E, 0x00, 0x53, 0x04}, "bridge", 1},
      {"enx00005e005305", 5, {0x00, 0x00, 0x5E, 0x00, 0x53, 0x05}, "r8152", 1},
      {"tun0", 6, {}, "virtual", 65534},  // no hardware address at all
  };
  for (const InterfaceFacts& facts : expected) {
    EXPECT_EQ(host::ReadInterfaceFacts(kLaptop, facts.name), facts);
  }
  for (const std::string name : {"eth0", "", ".", "..", "../net/lo", "lo/"}) {
    EXPECT_EQ(host::ReadInterfaceFacts(kLaptop, name), std::nullopt) << name;
  }
}

TEST(HostNetworkInterfaces, ListAndFactsInAnOddTree) {
  TempTree tree;
  const std::string net = "sys/class/net/";
  tree.Write(net + "bonding_masters", "bond0\n");  // a file, not an interface
  tree.Write(net + "noindex/type", "1\n");
  tree.Write(net + "badindex/ifindex", "3x\n");
  tree.Write(net + "zeroindex/ifindex", "0\n");
  tree.Write(net + "loop7/ifindex", "7\n");  // a loopback under another name
  tree.Write(net + "loop7/type", "772\n");
  tree.Write(net + "z0/ifindex", "2\n");
  tree.Write(net + "a0/ifindex", "10\n");  // 10 after 3: numbers, not text
  tree.Write(net + "a0/uevent", "DEVTYPE=vlan \r\nINTERFACE=a0\n");
  tree.Write(net + "a0/address", "02:AB:cd:00:00:01");
  tree.Write(net + "m0/ifindex", "3\n");
  tree.Write(net + "m0/uevent", "INTERFACE=m0\nDEVTYPE=\n");
  tree.Write(net + "m0/address", "02:00:00:00:00:0\n");
  tree.Write("sys/bus/pci/drivers/igb/bind", "");
  tree.Link(net + "m0/device/driver", "../../../bus/pci/drivers/igb/");
  EXPECT_EQ(host::ListInterfaces(tree.Root()), (std::vector<std::string>{"z0", "m0", "a0"}));
  EXPECT_EQ(host::ReadInterfaceFacts(tree.Root(), "a0"),
            (InterfaceFacts{"a0", 10, {0x02, 0xAB, 0xCD, 0, 0, 1}, "vlan", 0}));
  EXPECT_EQ(host::ReadInterfaceFacts(tree.Root(), "m0"), (InterfaceFacts{"m0", 3, {}, "igb", 0}));
  EXPECT_EQ(host::ReadInterfaceFacts(tree.Root(), "badindex"),
            (InterfaceFacts{"badindex", 0, {}, "virtual", 0}));
  EXPECT_EQ(host::ReadInterfaceFacts(tree.Root(), "bonding_masters"), std::nullopt);
  EXPECT_TRUE(host::ListInterfaces(tree.Root() + "/missing").empty());
}

TEST(HostNetworkInterfaces, HardwareAddressTable) {
  using Bytes = std::vector<std::uint8_t>;
  std::string infiniband;  // 20 bytes
  Bytes infinibandBytes;
  for (int i = 0; i < 20; ++i) {
    infiniband += (i ? ":" : "") + std::string(i % 2 ? "a0" : "0f");
    infinibandBytes.push_back(i % 2 ? 0xA0 : 0x0F);
  }
  std::string longest, tooLong;
  for (int i = 0; i < 32; ++i) longest += (i ? ":" : "") + std::string("11");
  tooLong = longest + ":11";
  const std::pair<std::string, Bytes> cases[] = {
      {"00:00:5e:00:53:01\n", {0x00, 0x00, 0x5E, 0x00, 0x53, 0x01}},
      {"00:00:00:00:00:00\n", {0, 0, 0, 0, 0, 0}},
      {"FF:ff:Ff:fF:00:09", {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x09}},
      {infiniband + "\n", infinibandBytes},
      {longest, Bytes(32, 0x11)},
      {tooLong, {}},
      {"\n", {}},
      {"", {}},
      {"00:00:5e:00:53", {0x00, 0x00, 0x5E, 0x00, 0x53}},
      {"0:00:5e:00:53:01", {}},
      {"00:00:5e:00:53:1", {}},
      {"00:00:5e:00:53:01:", {}},
      {"00-00-5e-00-53-01", {}},
      {"00::5e", {}},
      {"0g:00", {}},
      {"+1:00", {}},
  };
  for (const auto& [text, bytes] : cases) {
    EXPECT_EQ(host::ParseHardwareAddress(text), bytes) << text;
  }
}

// ---------------------------------------------------------------------------------------------
// Lease files

TEST(HostNetworkLeases, NetworkdFormatTable) {
  const std::pair<std::string, std::optional<LeaseFacts>> cases[] = {
      {"# This is private data. Do not parse.\nADDRESS=10.20.30.41\nNETMASK=255.255.255.0\n"
       "ROUTER=10.20.30.1\nSERVER_ADDRESS=10.20.30.2\nLIFETIME=43200\n",
       LeaseFacts{"10.20.30.2", 0, {}, "10.20.30.41"}},
      {"# This is private data. Do not parse.\nADDRESS=192.168.1.57\n",
       LeaseFacts{"", 0, {}, "192.168.1.57"}},
      {"ADDRESS = 10.0.0.9 \r\nSERVER_ADDRESS=10.0.0.1\r\n",
       LeaseFacts{"10.0.0.1", 0, {}, "10.0.0.9"}},
      {"ADDRESS=10.0.0.9\0\nSERVER_ADDRESS=10.0.0.300"s, LeaseFacts{"", 0, {}, "10.0.0.9"}},
      {"SERVER_ADDRESS=10.0.0.1\n", std::nullopt},
      {"#ADDRESS=10.0.0.9\n", std::nullopt},
      {"ADDRESS=010.0.0.9\n", std::nullopt},
      {"ADDRESS=10.0.0.9.1\n", std::nullopt},
      {"ADDRESS=10.0.0\n", std::nullopt},
      {"ADDRESS=\n", std::nullopt},
      {"ADDRESS10.0.0.9\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(host::ParseNetworkdLease(text), expected) << testing::PrintToString(text);
  }
}

std::string Block(const std::string& body) {
  return "lease {\n" + body + "}\n";
}

TEST(HostNetworkLeases, DhclientFormatTable) {
  const std::string eth0 = "  interface \"eth0\";\n";
  const std::string a = eth0 +
                        "  fixed-address 10.0.0.23;\n"
                        "  option dhcp-server-identifier 10.0.0.2;\n"
                        "  option dhcp-lease-time 28800;\n"
                        "  option netbios-name-servers 10.0.0.5,10.0.0.6;\n"
                        "  renew 3 2024/03/13 12:23:37;\n"
                        "  expire 3 2024/03/13 16:23:37;\n";
  const LeaseFacts factsA{"10.0.0.2", 1710318217, {"10.0.0.5", "10.0.0.6"}, "10.0.0.23"};
  const std::string b = eth0 + "  fixed-address 10.0.0.24;\n";
  const LeaseFacts factsB{"", 0, {}, "10.0.0.24"};
  const auto with = [&](const std::string& extra) {
    return Block(eth0 + "  fixed-address 10.0.0.30;\n  option dhcp-lease-time 3600;\n" + extra);
  };
  const auto obtained = [](std::int64_t t) { return LeaseFacts{"", t, {}, "10.0.0.30"}; };

  const std::pair<std::string, std::optional<LeaseFacts>> cases[] = {
      {Block(a), factsA},
      {Block(a) + Block(b), factsB},  // the last complete block
      {Block(b) + Block(a), factsA},
      {Block(a) + "lease {\n" + b, factsA},  // unfinished at the end
      {Block(a) + "lease {\n" + eth0 + "  fixed-address \"10.0.0.99;\n}\n", factsA},
      {Block(a) + Block("  interface \"eth1\";\n  fixed-address 10.0.0.50;\n"), factsA},
      {Block(a) + Block("  interface \"eth0.5\";\n  fixed-address 10.0.0.50;\n"), factsA},
      {Block(a) + Block(eth0 + "  fixed-address 10.0.0.500;\n"), factsA},  // no usable address
      {Block(a) + Block(eth0), factsA},
      // lease6 blocks with nested blocks, strings and comments holding braces and semicolons.
      {"default-duid \"\\000\\001\\\"{;\";\n" + Block(a) +
           "lease6 {\n  interface \"eth0\";\n  ia-na 1a:2b:3c:4d {\n    starts 1710318217;\n"
           "    iaaddr 2001:db8::17 {\n      starts 1710318217;\n    }\n  }\n}\n",
       factsA},
      {Block(eth0 + "  option domain-name \"a;b}{\";  # } lease {\n  fixed-address 10.0.0.24;\n"),
       factsB},
      // A nested block inside a lease holds no statement of the lease.
      {Block(b + "  vendor-block x {\n    fixed-address 10.0.0.66;\n  }\n"), factsB},
      {"lease {\0 interface\0\"eth0\"; fixed-address 10.0.0.24; }"s, factsB},
      // The time the lease was obtained.
      {with("  expire epoch 1710347017; # Wed Mar 13 16:23:37 2024\n"), obtained(1710343417)},
      {with("  expire never;\n"), obtained(0)},
      {with("  expire 3 2024/02/29 01:00:00;\n"), obtained(1709164800)},  // leap day
      {with("  expire 3 2023/02/29 01:00:00;\n"), obtained(0)},
      {with("  expire 7 2024/03/13 16:23:37;\n"), obtained(0)},
      {with("  expire 3 2024/03/13 24:00:00;\n"), obtained(0)},
      {with("  expire 3 2024/3/13 16:23:37;\n"), obtained(0)},
      {with("  expire 3 1969/12/31 23:59:59;\n"), obtained(0)},
      {with("  expire epoch 1800;\n"), obtained(0)},  // before the lease time
      {with("  expire epoch -5;\n"), obtained(0)},
      {Block(eth0 + "  fixed-address 10.0.0.30;\n  expire epoch 1710347017;\n"), obtained(0)},
      // WINS lists as written by hand or by dhclient.
      {Block(b + "  option netbios-name-servers 10.0.0.5, 10.0.0.6;\n"),
       LeaseFacts{"", 0, {"10.0.0.5", "10.0.0.6"}, "10.0.0.24"}},
      {Block(b + "  option netbios-name-servers 10.0.0.5,bogus,,10.0.0.7;\n"),
       LeaseFacts{"", 0, {"10.0.0.5", "10.0.0.7"}, "10.0.0.24"}},
      {Block(b + "  option dhcp-server-identifier 10.0.0.2 10.0.0.3;\n"), factsB},
      {"", std::nullopt},
      {"lease", std::nullopt},
      {"lease {", std::nullopt},
      {"}}}} lease lease {{ }", std::nullopt},
      {Block(b).substr(0, Block(b).size() - 2), std::nullopt},
  };
  int index = 0;
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(index++);
    SCOPED_TRACE(text);
    EXPECT_EQ(host::ParseDhclientLeases(text, "eth0"), expected);
  }
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(HostNetworkLeases, LaptopSharedDhclientFile) {
  const std::string text = ReadAll(kLaptop + "/var/lib/dhcp/dhclient.leases");
  EXPECT_EQ(host::ParseDhclientLeases(text, "wlp0s20f3"),
            (LeaseFacts{"192.168.1.1", 1668708314 - 86400, {}, "192.168.1.61"}));
  EXPECT_EQ(host::ParseDhclientLeases(text, "enx00005e005305"),
            (LeaseFacts{"10.40.0.2", 1668787209 - 28800, {"10.40.0.5"}, "10.40.0.19"}));
  EXPECT_EQ(host::ParseDhclientLeases(text, "tun0"), std::nullopt);
}

TEST(HostNetworkLeases, FindLeaseOnTheLaptop) {
  TempTree tree;
  fs::copy(kLaptop, tree.Root(), fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  const std::string root = tree.Root();
  const std::string manager = root + "/var/lib/NetworkManager/internal-";
  const std::string oldProfile = manager + "f1c3e7a2-4b5d-4e6f-8a9b-0c1d2e3f4a5b-wlp0s20f3.lease";
  const std::string newProfile = manager + "2b8d4c6e-1a3f-4c5d-9e7b-6f8a0b1c2d3e-wlp0s20f3.lease";
  SetModified(root + "/run/systemd/netif/leases/2", 1710310000);
  SetModified(oldProfile, 1689163203);
  SetModified(newProfile, 1710318217);

  // networkd's file comes before the stale dhclient file; its time is the file's.
  EXPECT_EQ(host::FindLease(root, "enp0s31f6", 2),
            (LeaseFacts{"10.20.30.2", 1710310000, {}, "10.20.30.41"}));
  // Without an ifindex the networkd file cannot be named.
  EXPECT_EQ(host::FindLease(root, "enp0s31f6", 0),
            (LeaseFacts{"10.20.30.2", 1686582612 - 43200, {}, "10.20.30.77"}));
  // NetworkManager's newest profile file; this client writes ADDRESS= alone.
  EXPECT_EQ(host::FindLease(root, "wlp0s20f3", 3),
            (LeaseFacts{"", 1710318217, {}, "192.168.1.57"}));
  SetModified(oldProfile, 1710400000);
  EXPECT_EQ(host::FindLease(root, "wlp0s20f3", 3),
            (LeaseFacts{"172.20.10.1", 1710400000, {}, "172.20.10.4"}));
  // dhclient's own file for the interface before the shared one; its last block.
  EXPECT_EQ(host::FindLease(root, "enx00005e005305", 5),
            (LeaseFacts{"10.40.0.2", 1710318217, {"10.40.0.5", "10.40.0.6"}, "10.40.0.23"}));
  EXPECT_EQ(host::FindLease(root, "virbr0", 4), std::nullopt);
  EXPECT_EQ(host::FindLease(root, "tun0", 6), std::nullopt);
  for (const std::string name : {"", "..", "../dhcp/dhclient", "eth0/x"}) {
    EXPECT_EQ(host::FindLease(root, name, 9), std::nullopt) << name;
  }
}

TEST(HostNetworkLeases, SearchOrder) {
  const std::string uuid = "0c9e4a1b-7d2f-4e3a-8b6c-5d4e3f2a1b0c";
  const auto networkd = [](int n) { return "ADDRESS=10.0.0." + std::to_string(n) + "\n"; };
  const auto dhclient = [](int n) {
    return Block("  interface \"eth0\";\n  fixed-address 10.0.0." + std::to_string(n) + ";\n");
  };
  const std::pair<std::string, std::string> sources[] = {
      {"run/systemd/netif/leases/7", networkd(1)},
      {"var/lib/NetworkManager/internal-" + uuid + "-eth0.lease", networkd(2)},
      {"var/lib/NetworkManager/dhclient-" + uuid + "-eth0.lease", dhclient(3)},
      {"var/lib/dhcp/dhclient.eth0.leases", dhclient(4)},
      {"var/lib/dhcp/dhclient.leases", dhclient(5)},
      {"var/lib/dhclient/dhclient-" + uuid + "-eth0.leases", dhclient(6)},
  };
  for (std::size_t first = 0; first <= std::size(sources); ++first) {
    SCOPED_TRACE(first);
    TempTree tree;
    // Files that must never be taken for eth0's.
    tree.Write("var/lib/NetworkManager/internal-" + uuid + "-br-eth0.lease", networkd(90));
    tree.Write("var/lib/NetworkManager/internal-not-a-uuid-eth0.lease", networkd(91));
    tree.Write("var/lib/NetworkManager/internal-" + std::string(36, 'x') + "-eth0.lease",
               networkd(95));
    tree.Write("var/lib/NetworkManager/internal-" + uuid + "-eth0.lease~", networkd(92));
    tree.Write("var/lib/NetworkManager/dhclient6-" + uuid + "-eth0.lease", dhclient(93));
    tree.Write("run/systemd/netif/leases/8", networkd(94));
    tree.Write("var/lib/dhclient/dhclient6.leases",
               "lease6 {\n  interface \"eth0\";\n  ia-na 1:2 { iaaddr 2001:db8::1 { } }\n}\n");
    for (std::size_t i = first; i < std::size(sources); ++i) {
      tree.Write(sources[i].first, sources[i].second);
    }
    const auto lease = host::FindLease(tree.Root(), "eth0", 7);
    if (first == std::size(sources)) {
      EXPECT_EQ(lease, std::nullopt);
    } else {
      ASSERT_TRUE(lease.has_value());
      EXPECT_EQ(lease->address, "10.0.0." + std::to_string(first + 1));
    }
  }
}

TEST(HostNetworkLeases, LongDhclientFileKeepsItsNewestLeases) {
  // dhclient appends a block at each renewal; the newest ones are at the end of a long file.
  std::string text;
  int blocks = 0;
  while (text.size() < host::kMaxNetworkFileBytes + 10000) {
    text += Block("  interface \"eth0\";\n  fixed-address 10.0.0.1;\n  option domain-name \"" +
                  std::to_string(blocks++) + "\";\n");
  }
  text += Block("  interface \"eth0\";\n  fixed-address 10.0.0.99;\n");
  TempTree tree;
  tree.Write("var/lib/dhcp/dhclient.eth0.leases", text);
  const auto lease = host::FindLease(tree.Root(), "eth0", 0);
  ASSERT_TRUE(lease.has_value());
  EXPECT_EQ(lease->address, "10.0.0.99");

  // A cut that lands inside a block leaves its tail, whose closing brace opens nothing.
  TempTree tail;
  std::string cutInside = "lease {\n  interface \"eth0\";\n  fixed-address 10.0.0.7;\n" +
                          std::string(host::kMaxNetworkFileBytes, ' ') + "\n}\n";
  tail.Write("var/lib/dhcp/dhclient.eth0.leases", cutInside);
  EXPECT_EQ(host::FindLease(tail.Root(), "eth0", 0), std::nullopt);
}

}  // namespace
