// This machine's network adapters.
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/iphlpapi.h"
#include "platform/linux/host_network.h"
#include "platform/linux/linux_device.h"
#include "platform/linux/linux_network_testing.h"

namespace linux_network {
namespace {

inline constexpr unsigned kArpTypeEthernet = 1;

std::string Dotted(const std::array<std::uint8_t, 4>& bytes) {
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." +
         std::to_string(bytes[2]) + "." + std::to_string(bytes[3]);
}

std::array<std::uint8_t, 4> BytesOf(const sockaddr* address) {
  std::array<std::uint8_t, 4> bytes{};
  if (address != nullptr && address->sa_family == AF_INET) {
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    std::memcpy(bytes.data(), &in->sin_addr, bytes.size());
  }
  return bytes;
}

// Every IPv4 address of this machine in the kernel's order; none when they cannot be listed.
std::vector<IPv4Entry> HostIPv4Entries() {
  std::vector<IPv4Entry> entries;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return entries;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_name == nullptr || entry->ifa_addr == nullptr ||
        entry->ifa_addr->sa_family != AF_INET) {
      continue;
    }
    entries.push_back({entry->ifa_name, BytesOf(entry->ifa_addr), BytesOf(entry->ifa_netmask)});
  }
  freeifaddrs(list);
  return entries;
}

// Whether `root` is this machine's own root, whose interfaces the kernel's address list describes.
bool IsHostRoot(const std::string& root) {
  std::error_code error;
  return std::filesystem::equivalent(root, "/", error) && !error;
}

bool HasAddress(const std::vector<AdapterFacts::Address>& addresses, const std::string& ip) {
  return std::any_of(addresses.begin(), addresses.end(),
                     [&](const AdapterFacts::Address& a) { return a.ip == ip; });
}

}  // namespace

InterfaceAddresses GroupIPv4Addresses(const std::vector<IPv4Entry>& entries) {
  InterfaceAddresses grouped;
  for (const IPv4Entry& entry : entries) {
    const std::string name = entry.label.substr(0, entry.label.find(':'));
    if (name.empty()) continue;
    grouped[name].push_back({Dotted(entry.address), Dotted(entry.mask)});
  }
  return grouped;
}

std::vector<AdapterFacts> AssembleAdapters(const std::string& root,
                                           const InterfaceAddresses& addresses) {
  const std::map<std::string, std::string> gateways = host::ReadDefaultGateways(root);
  std::vector<AdapterFacts> adapters;
  for (const std::string& name : host::ListInterfaces(root)) {
    const std::optional<host::InterfaceFacts> facts = host::ReadInterfaceFacts(root, name);
    if (!facts) continue;  // gone since the listing
    AdapterFacts adapter;
    adapter.name = facts->name;
    adapter.description = facts->description;
    adapter.hardwareAddress.assign(facts->hwAddress.begin(), facts->hwAddress.end());
    adapter.index = static_cast<DWORD>(std::max(facts->ifindex, 0));
    adapter.type = facts->arpType == kArpTypeEthernet ? MIB_IF_TYPE_ETHERNET : MIB_IF_TYPE_OTHER;
    if (auto it = addresses.find(name); it != addresses.end()) adapter.addresses = it->second;
    if (auto it = gateways.find(name); it != gateways.end()) adapter.gateways = {it->second};

    // A lease file outlives the lease: only a lease of an address the interface still has tells
    // that the interface is configured by DHCP now.
    const std::optional<host::LeaseFacts> lease = host::FindLease(root, name, facts->ifindex);
    if (lease && HasAddress(adapter.addresses, lease->address)) {
      adapter.dhcpEnabled = true;
      adapter.dhcpServer = lease->serverAddress;
      adapter.leaseObtained = lease->obtained;
      if (!lease->winsServers.empty()) {
        adapter.haveWins = true;
        adapter.primaryWinsServer = lease->winsServers[0];
        if (lease->winsServers.size() > 1) adapter.secondaryWinsServer = lease->winsServers[1];
      }
    }
    adapters.push_back(std::move(adapter));
  }
  return adapters;
}

}  // namespace linux_network

// The addresses come from the running kernel, so they belong to the machine's own root only; a
// recorded tree under another root has no record of them and its adapters show none.
DWORD LinuxDevice::QueryAdapters(std::vector<AdapterFacts>& adapters) {
  const std::string& root = options().root;
  const linux_network::InterfaceAddresses addresses =
      linux_network::IsHostRoot(root)
          ? linux_network::GroupIPv4Addresses(linux_network::HostIPv4Entries())
          : linux_network::InterfaceAddresses{};
  adapters = linux_network::AssembleAdapters(root, addresses);
  return ERROR_SUCCESS;
}
