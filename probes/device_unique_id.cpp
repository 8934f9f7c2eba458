// The system's per-application device identifier.
#include <algorithm>
#include <cstring>

#include "device/entry_points.h"
#include "log/report_log.h"
#include "platform/wformat.h"
#include "probes/probes.h"

namespace {
// The application data that the identifier is asked for: 16 bytes, no terminator.
constexpr BYTE kApplicationData[16] = {'@', '^', '!', 'q', 'z', 'v', 'b', 'r',
                                       't', 'n', 'k', 'w', 'x', '!', '^', '@'};
constexpr DWORD kIdentifierVersion = 1;
constexpr DWORD kIdentifierOutputSize = 20;
constexpr std::size_t kResultTextChars = 1024;
}  // namespace

void DumpDeviceUniqueID() {
  LogMessage(u"Trying to get GetDeviceUniqueID");

  HMODULE coredll = LoadLibraryW(kSystemLibrary);  // never freed: the system library stays loaded
  const auto pGetDeviceUniqueID =
      EntryPointAs<PFN_GetDeviceUniqueID>(GetProcAddressW(coredll, kGetDeviceUniqueIDName));
  if (pGetDeviceUniqueID == nullptr) {
    LogMessage(u" - failed getting fn");
    return;
  }

  BYTE applicationData[sizeof kApplicationData];
  std::memcpy(applicationData, kApplicationData, sizeof applicationData);
  BYTE identifier[kIdentifierOutputSize];
  std::memset(identifier, 0, sizeof identifier);
  DWORD identifierLength = kIdentifierOutputSize;
  const HRESULT hr = pGetDeviceUniqueID(applicationData, sizeof applicationData, kIdentifierVersion,
                                        identifier, &identifierLength);
  if (hr < 0) {
    LogMessage(u" - failed calling pGetDeviceUniqueID = %d", hr);
    return;
  }

  WCHAR text[kResultTextChars];
  std::memset(text, 0, sizeof text);
  // The output holds 20 bytes: a longer length reported back renders those 20 and no more.
  const DWORD count = std::min(identifierLength, kIdentifierOutputSize);
  for (DWORD i = 0; i < count; ++i) {
    _snwprintf(text + 2 * i, 3, u"%02X", identifier[i]);
  }
  LogMessage(u" - guid = %s", text);
}
