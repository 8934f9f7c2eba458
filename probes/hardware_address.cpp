// Hardware addresses: the node of a fresh GUID and the Bluetooth radio's address.
#include <cstring>

#include "device/entry_points.h"
#include "log/report_log.h"
#include "platform/wformat.h"
#include "platform/winsock.h"
#include "probes/probes.h"

namespace {
constexpr std::size_t kResultTextChars = 2046;
// Bytes 10 to 15 of a GUID, its node: bytes 2 to 7 of Data4.
constexpr std::size_t kNodeFirst = 2;
constexpr std::size_t kNodeBytes = 6;

// Writes `count` bytes as two upper-case hex digits each, then a terminator, at `text`, which
// holds at least 2 * count + 1 characters.
void WriteHexText(WCHAR* text, const BYTE* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    _snwprintf(text + 2 * i, 3, u"%02X", bytes[i]);
  }
}
}  // namespace

void GetMACaddress1() {
  LogMessage(u"GetMACaddress1:");
  WCHAR text[kResultTextChars];
  std::memset(text, 0, sizeof text);

  HMODULE coredll = LoadLibraryW(kSystemLibrary);  // never freed: the system library stays loaded
  const auto pCoCreateGuid =
      EntryPointAs<PFN_CoCreateGuid>(GetProcAddressW(coredll, kCoCreateGuidName));
  if (pCoCreateGuid != nullptr) {
    // A GUID that the call failed to make is no identifier: the line stays empty, as when the
    // entry point is missing, rather than showing whatever the call left behind.
    GUID guid;
    std::memset(&guid, 0, sizeof guid);
    if (pCoCreateGuid(&guid) >= 0) WriteHexText(text, guid.Data4 + kNodeFirst, kNodeBytes);
  }
  LogMessage(u" - %s", text);
}

void DumpBluetoothAddress() {
  LogMessage(u"getMicrosoftBluetoothAddress:");
  WCHAR text[kResultTextChars];
  std::memset(text, 0, sizeof text);
  getMicrosoftBluetoothAddress(text);
  LogMessage(u" - %s", text);
}

bool getMicrosoftBluetoothAddress(WCHAR* text) {
  const SOCKET s = socket(AF_BT, SOCK_STREAM, BTHPROTO_RFCOMM);
  if (s == INVALID_SOCKET) return false;

  SOCKADDR_BTH address;
  std::memset(&address, 0, sizeof address);
  address.addressFamily = AF_BT;
  address.port = 0;
  if (bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    closesocket(s);
    return false;
  }
  int nameLength = sizeof address;
  if (getsockname(s, reinterpret_cast<sockaddr*>(&address), &nameLength) != 0) {
    closesocket(s);
    return false;
  }
  closesocket(s);

  // The 64-bit address in memory order: least significant byte first.
  BYTE bytes[sizeof address.btAddr];
  for (std::size_t i = 0; i < sizeof bytes; ++i) {
    bytes[i] = static_cast<BYTE>(address.btAddr >> (8 * i));
  }
  WriteHexText(text, bytes, sizeof bytes);
  return true;
}
