// Host readers for network adapters: default gateways, interface facts from sysfs and DHCP lease
// facts from the lease files of systemd-networkd, NetworkManager and dhclient, under a root folder.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// At most this much is read of one file. sysfs attributes and the route table take the first
// bytes (a table cut by the cap loses its unfinished last line); dhclient lease files, which grow
// by appending, take the LAST bytes, where the newest leases are. Real files are a few KiB.
inline constexpr std::size_t kMaxNetworkFileBytes = 256 * 1024;

// ARPHRD_LOOPBACK, the `type` of a loopback interface.
inline constexpr unsigned kArpTypeLoopback = 772;

// The default gateway of each interface in a /proc/net/route table, as dotted IPv4 text. A default
// route has destination 0, mask 0 and the gateway flag (0x2); of several on one interface the first
// in table order wins. The kernel writes the addresses as the host's 32-bit words in hex, so the
// byte order of the machine that wrote the table is given (little-endian on x86 and ARM).
std::map<std::string, std::string> ParseRouteTable(std::string_view procNetRoute,
                                                   std::endian byteOrder = std::endian::little);
// `<root>/proc/net/route`, parsed in this machine's byte order; empty when unreadable.
std::map<std::string, std::string> ReadDefaultGateways(const std::string& root);

// A hardware address as sysfs writes it: two hex digits per byte, joined by ':', up to 32 bytes
// (the kernel's longest). All zeros are kept; an empty text, a malformed one or one longer than
// 32 bytes gives no bytes.
std::vector<std::uint8_t> ParseHardwareAddress(std::string_view text);

struct InterfaceFacts {
  std::string name;
  int ifindex = 0;  // 0 when unreadable
  std::vector<std::uint8_t> hwAddress;
  // The driver's name (the last component of the `device/driver` link, e.g. "e1000e",
  // "iwlwifi"); else the interface kind from `uevent` DEVTYPE (e.g. "bridge", "wlan", "vlan");
  // else "virtual".
  std::string description;
  unsigned arpType = 0;  // the `type` attribute (1 ethernet and wireless, 772 loopback, ...)
  bool operator==(const InterfaceFacts&) const = default;
};

// The facts of `<root>/sys/class/net/<ifname>/`. nullopt when there is no such interface folder or
// the name could leave that folder (empty, ".", "..", or with '/' or a NUL byte).
std::optional<InterfaceFacts> ReadInterfaceFacts(const std::string& root,
                                                 const std::string& ifname);
// The interfaces of `<root>/sys/class/net` in ifindex order, the kernel's order, loopback left out
// (`type` 772 or the name "lo"). Entries that are not folders or have no valid ifindex (such as
// the `bonding_masters` file) are left out too.
std::vector<std::string> ListInterfaces(const std::string& root);

struct LeaseFacts {
  std::string serverAddress;             // dotted IPv4; empty when the file does not say
  std::int64_t obtained = 0;             // unix seconds; 0 when unknown
  std::vector<std::string> winsServers;  // DHCP option 44, in the server's order
  std::string address;                   // the leased address, dotted IPv4
  bool operator==(const LeaseFacts&) const = default;
};

// A systemd-networkd lease file (`KEY=value` lines; NetworkManager's internal client writes the
// same format, and may write ADDRESS= alone): ADDRESS= and SERVER_ADDRESS=. The format records
// neither when the lease was obtained nor option 44, so `obtained` stays 0 (FindLease takes it
// from the file's modification time) and `winsServers` stays empty. nullopt without a valid
// ADDRESS=.
std::optional<LeaseFacts> ParseNetworkdLease(std::string_view text);
// The last complete `lease { ... }` block of a dhclient lease file whose `interface "<ifname>";`
// matches and which has a valid `fixed-address`: its address, `option dhcp-server-identifier`,
// `option netbios-name-servers` (comma-separated); `obtained` = `expire` - `option
// dhcp-lease-time` when both are there, else 0. `expire` is `N YYYY/MM/DD HH:MM:SS` in UTC, or
// `epoch N` (dhclient's db-time-format local); `never` is unknown. Other blocks (`lease6`, nested
// ones), comments and quoted strings are stepped over; an unfinished block at the end is ignored.
std::optional<LeaseFacts> ParseDhclientLeases(std::string_view text, const std::string& ifname);

// The lease of an interface, from the first of these that holds one (paths under `root`):
//   1. run/systemd/netif/leases/<ifindex>                           (networkd format)
//   2. var/lib/NetworkManager/internal-<uuid>-<ifname>.lease        (networkd format)
//   3. var/lib/NetworkManager/dhclient-<uuid>-<ifname>.lease        (dhclient format)
//   4. var/lib/dhcp/dhclient.<ifname>.leases                        (dhclient format)
//   5. var/lib/dhcp/dhclient.leases                                 (dhclient format)
//   6. var/lib/dhclient/dhclient*.leases                            (dhclient format)
// Where a pattern matches several files (NetworkManager keeps one per connection profile), the
// most recently modified is tried first. <uuid> must be a UUID, so that "-eth0.lease" cannot match
// the file of "br-eth0". For the networkd format, `obtained` is the file's modification time
// (networkd and NetworkManager rewrite the file when they obtain or renew a lease, so this is the
// time of the last renewal at worst). Only addresses that are valid dotted IPv4 text (at most 15
// characters) are kept, anywhere. nullopt when no source holds a lease for the interface or the
// name is not a plain interface name.
std::optional<LeaseFacts> FindLease(const std::string& root, const std::string& ifname,
                                    int ifindex);

}  // namespace host
