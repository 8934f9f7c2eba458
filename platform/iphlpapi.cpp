// IP helper over the installed device.
#include "platform/iphlpapi.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/device.h"

namespace {
template <std::size_t N>
void CopyText(char (&field)[N], const std::string& text) {
  const std::size_t n = std::min(text.size(), N - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

// Entries beyond the first of an address list live after the records in the same buffer.
std::size_t ExtraEntries(const AdapterFacts& a) {
  return a.addresses.size() > 1 ? a.addresses.size() - 1 : 0;
}

// The buffer's records must not move, so the list is laid out once in a buffer of the right size.
std::size_t NeededBytes(const std::vector<AdapterFacts>& adapters) {
  std::size_t bytes = 0;
  for (const auto& a : adapters) {
    bytes += sizeof(IP_ADAPTER_INFO) + ExtraEntries(a) * sizeof(IP_ADDR_STRING);
  }
  return bytes;
}
}  // namespace

DWORD GetAdaptersInfo(IP_ADAPTER_INFO* adapterInfo, ULONG* size) {
  if (size == nullptr) return ERROR_INVALID_PARAMETER;
  std::vector<AdapterFacts> adapters;
  const DWORD status = CurrentDevice().QueryAdapters(adapters);
  if (status != ERROR_SUCCESS) return status;
  if (adapters.empty()) return ERROR_NO_DATA;

  const std::size_t needed = NeededBytes(adapters);
  if (needed > UINT32_MAX) return ERROR_NOT_ENOUGH_MEMORY;
  if (adapterInfo == nullptr || *size < needed) {
    *size = static_cast<ULONG>(needed);
    return ERROR_BUFFER_OVERFLOW;
  }

  std::memset(adapterInfo, 0, needed);
  auto* records = adapterInfo;
  auto* extra = reinterpret_cast<IP_ADDR_STRING*>(records + adapters.size());
  for (std::size_t i = 0; i < adapters.size(); ++i) {
    const AdapterFacts& a = adapters[i];
    IP_ADAPTER_INFO& r = records[i];
    r.Next = i + 1 < adapters.size() ? &records[i + 1] : nullptr;
    r.ComboIndex = a.index;
    CopyText(r.AdapterName, a.name);
    CopyText(r.Description, a.description);
    r.AddressLength = static_cast<UINT>(
        std::min<std::size_t>(a.hardwareAddress.size(), MAX_ADAPTER_ADDRESS_LENGTH));
    if (r.AddressLength > 0) std::memcpy(r.Address, a.hardwareAddress.data(), r.AddressLength);
    r.Index = a.index;
    r.Type = a.type;
    r.DhcpEnabled = a.dhcpEnabled ? 1 : 0;
    IP_ADDR_STRING* entry = &r.IpAddressList;
    for (std::size_t k = 0; k < a.addresses.size(); ++k) {
      if (k > 0) {
        entry->Next = extra;
        entry = extra++;
      }
      CopyText(entry->IpAddress.String, a.addresses[k].ip);
      CopyText(entry->IpMask.String, a.addresses[k].mask);
    }
    if (!a.addresses.empty()) r.CurrentIpAddress = &r.IpAddressList;
    if (!a.gateways.empty()) CopyText(r.GatewayList.IpAddress.String, a.gateways.front());
    CopyText(r.DhcpServer.IpAddress.String, a.dhcpServer);
    r.HaveWins = a.haveWins ? TRUE : FALSE;
    CopyText(r.PrimaryWinsServer.IpAddress.String, a.primaryWinsServer);
    CopyText(r.SecondaryWinsServer.IpAddress.String, a.secondaryWinsServer);
    // Times past what 32 bits hold are shown as the largest that fits.
    r.LeaseObtained = static_cast<LONG>(std::clamp<std::int64_t>(a.leaseObtained, 0, INT32_MAX));
    r.LeaseExpires = static_cast<LONG>(std::clamp<std::int64_t>(a.leaseExpires, 0, INT32_MAX));
  }
  return ERROR_SUCCESS;
}
