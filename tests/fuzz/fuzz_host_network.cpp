// Fuzz target: the parsers of this machine's network facts (route table, systemd-networkd and
// dhclient lease files, hardware address text).
//
// The first byte chooses the parser; dhclient leases take the interface name (a length-prefixed
// piece) first. The rest of the input is the file's text.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/linux/host_network.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::Require;

// Dotted IPv4 text: four decimal numbers 0..255 joined by dots, at most 15 characters.
bool IsDottedIpv4(std::string_view text) {
  if (text.size() > 15) return false;
  int parts = 0;
  std::size_t i = 0;
  while (true) {
    std::size_t digits = 0;
    unsigned value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
      value = value * 10 + static_cast<unsigned>(text[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    ++parts;
    if (i == text.size()) return parts == 4;
    if (text[i] != '.' || parts == 4) return false;
    ++i;
  }
}

void CheckLease(const std::optional<host::LeaseFacts>& lease, std::string_view text) {
  if (!lease) return;
  Require(IsDottedIpv4(lease->address), "lease address is not dotted IPv4", text);
  Require(lease->serverAddress.empty() || IsDottedIpv4(lease->serverAddress),
          "lease server is not dotted IPv4", text);
  for (const std::string& wins : lease->winsServers) {
    Require(IsDottedIpv4(wins), "lease WINS server is not dotted IPv4", text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const BYTE choice = in.Byte() % 5;
  const std::string ifname = choice == 3 ? in.Narrow(20) : std::string();
  const fuzz::Bytes rest = in.Rest();
  const std::string text(rest.begin(), rest.end());
  switch (choice) {
    case 0:
    case 1: {
      const auto order = choice == 0 ? std::endian::little : std::endian::big;
      for (const auto& [interface, gateway] : host::ParseRouteTable(text, order)) {
        Require(!interface.empty(), "route table: gateway of a nameless interface", text);
        Require(IsDottedIpv4(gateway), "route table: gateway is not dotted IPv4", gateway);
      }
      break;
    }
    case 2:
      CheckLease(host::ParseNetworkdLease(text), text);
      break;
    case 3:
      CheckLease(host::ParseDhclientLeases(text, ifname), text);
      break;
    default: {
      const std::vector<std::uint8_t> address = host::ParseHardwareAddress(text);
      Require(address.size() <= 32, "hardware address longer than 32 bytes", text);
      if (!address.empty()) {
        std::string again;
        char digits[4];
        for (std::size_t i = 0; i < address.size(); ++i) {
          std::snprintf(digits, sizeof digits, i == 0 ? "%02x" : ":%02x", address[i]);
          again += digits;
        }
        Require(host::ParseHardwareAddress(again) == address, "hardware address does not read back",
                text);
      }
      break;
    }
  }
  return 0;
}
