// Pieces of this machine's adapter list that tests call directly.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/device.h"

namespace linux_network {

// One IPv4 address as the kernel lists it: its label (the interface's name, or "<name>:<alias>"),
// address and mask in network byte order.
struct IPv4Entry {
  std::string label;
  std::array<std::uint8_t, 4> address{};
  std::array<std::uint8_t, 4> mask{};
};

// The IPv4 addresses of each interface as dotted texts, in the kernel's order (its primary address
// first). An entry belongs to the interface named by its label up to the first ':' (interface
// names cannot hold one).
using InterfaceAddresses = std::map<std::string, std::vector<AdapterFacts::Address>>;
InterfaceAddresses GroupIPv4Addresses(const std::vector<IPv4Entry>& entries);

// The adapters of the system under `root`: every interface but loopback in ifindex order, with its
// driver as description, hardware address, the given addresses, the default gateway of its own,
// and the DHCP facts of a lease whose address is one of the interface's current addresses.
std::vector<AdapterFacts> AssembleAdapters(const std::string& root,
                                           const InterfaceAddresses& addresses);

}  // namespace linux_network
