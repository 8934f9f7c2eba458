// The network adapter report.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "log/report_log.h"
#include "platform/iphlpapi.h"
#include "probes/adapters_info_testing.h"
#include "probes/probes.h"

namespace {

// The first buffer has room for exactly one adapter record. The device's 640 bytes are this
// record in its 32-bit layout; with this platform's 64-bit pointers the record is larger, and the
// buffer follows the record, so that one adapter with one address still fits it.
constexpr ULONG kOneAdapterRecord = sizeof(IP_ADAPTER_INFO);

// A text field of a record as a terminated text, read no further than the field even when the
// field holds no terminator.
template <std::size_t N>
class FieldText {
 public:
  explicit FieldText(const char (&field)[N]) { std::memcpy(text_.data(), field, N); }
  const char* c_str() const { return text_.data(); }

 private:
  std::array<char, N + 1> text_{};
};

void LogAdapter(const IP_ADAPTER_INFO& adapter) {
  LogMessage(u" - Adapter Name: \t%hs", FieldText(adapter.AdapterName).c_str());
  LogMessage(u" - Adapter Desc: \t%hs", FieldText(adapter.Description).c_str());
  LogMessage(u" - Adapter Addr: \t%ld",
             AdapterAddressNumber(adapter.Address, adapter.AddressLength));
  LogMessage(u" - IP Address: \t%hs", FieldText(adapter.IpAddressList.IpAddress.String).c_str());
  LogMessage(u" - IP Mask: \t%hs", FieldText(adapter.IpAddressList.IpMask.String).c_str());
  LogMessage(u" - Gateway: \t%hs", FieldText(adapter.GatewayList.IpAddress.String).c_str());

  if (adapter.DhcpEnabled != 0) {
    LogMessage(u" - DHCP Enabled: Yes");
    LogMessage(u" - \tDHCP Server: \t%hs", FieldText(adapter.DhcpServer.IpAddress.String).c_str());
    LogMessage(u" - Lease Obtained: %ld", adapter.LeaseObtained);
  } else {
    LogMessage(u" - DHCP Enabled: No");
  }

  if (adapter.HaveWins != 0) {
    LogMessage(u" - Have Wins: Yes");
    LogMessage(u" - \tPrimary Wins Server: \t%hs",
               FieldText(adapter.PrimaryWinsServer.IpAddress.String).c_str());
    LogMessage(u" - \tSecondary Wins Server: \t%hs",
               FieldText(adapter.SecondaryWinsServer.IpAddress.String).c_str());
  } else {
    LogMessage(u" - Have Wins: No");
  }
}

}  // namespace

LONG AdapterAddressNumber(const BYTE (&address)[MAX_ADAPTER_ADDRESS_LENGTH], UINT length) {
  const UINT significant = std::min<UINT>(length, MAX_ADAPTER_ADDRESS_LENGTH);
  const UINT from = significant > 4 ? significant - 4 : 0;
  std::uint32_t value = 0;
  for (UINT i = from; i < significant; ++i) value = (value << 8) | address[i];
  return static_cast<LONG>(value);
}

void LogAdapterList(const IP_ADAPTER_INFO* first, std::size_t bufferSize) {
  const auto start = reinterpret_cast<std::uintptr_t>(first);
  // A list of distinct records cannot be longer than this; a list that links back on itself is.
  std::size_t recordsLeft = bufferSize / sizeof(IP_ADAPTER_INFO);
  for (const IP_ADAPTER_INFO* adapter = first; adapter != nullptr && recordsLeft > 0;
       adapter = adapter->Next, --recordsLeft) {
    // A record before the buffer wraps to a large offset and is refused with those beyond it.
    const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(adapter) - start;
    if (!(offset <= bufferSize && sizeof(IP_ADAPTER_INFO) <= bufferSize - offset) ||
        offset % alignof(IP_ADAPTER_INFO) != 0) {
      break;
    }
    LogAdapter(*adapter);
  }
}

void DumpAdaptersInfo() {
  LogMessage(u"GetAdaptersInfo");

  ULONG size = kOneAdapterRecord;
  std::size_t bufferSize = size;
  auto* adapters = static_cast<IP_ADAPTER_INFO*>(std::malloc(bufferSize));
  DWORD result = GetAdaptersInfo(adapters, &size);
  if (result == ERROR_BUFFER_OVERFLOW) {
    std::free(adapters);
    LogMessage(u" - ERROR_BUFFER_OVERFLOW");
    bufferSize = size;
    adapters = static_cast<IP_ADAPTER_INFO*>(std::malloc(bufferSize));
    GetAdaptersInfo(adapters, &size);
  }
  // The query in between may have asked for more room than the buffer has (the list grew); the
  // last query is told the buffer's real size, so it reports the overflow instead of writing
  // past the buffer.
  size = static_cast<ULONG>(bufferSize);
  result = GetAdaptersInfo(adapters, &size);

  if (result != ERROR_SUCCESS) {
    LogMessage(u" - Call to GetAdaptersInfo failed.");
  } else if (adapters != nullptr) {
    LogAdapterList(adapters, bufferSize);
  }
  std::free(adapters);
}
