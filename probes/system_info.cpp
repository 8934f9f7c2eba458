// OEM and platform texts, operating-system version and processor.
#include "probes/system_info.h"

#include <cstring>
#include <string>

#include "device/hal.h"
#include "log/report_log.h"
#include "platform/kernel.h"
#include "platform/mfc.h"
#include "platform/wstring.h"
#include "probes/probes.h"

namespace {

constexpr UINT kSystemTextChars = 256;
constexpr UINT kSystemTextRoom = 255;

// A fixed-size text field of the processor record as a terminated text: up to its first NUL, and
// never beyond the field when it is full.
template <std::size_t N>
std::u16string FieldText(const WCHAR (&field)[N]) {
  return std::u16string(field, wcsnlen(field, N));
}

}  // namespace

bool QueryProcessorInfo(PROCESSOR_INFO& info) {
  // The HAL may write into a record it refuses; the caller's record changes only on success.
  PROCESSOR_INFO answer;
  std::memset(&answer, 0, sizeof answer);
  DWORD bytesReturned = 0;
  if (KernelIoControl(IOCTL_PROCESSOR_INFORMATION, nullptr, 0, &answer, sizeof answer,
                      &bytesReturned) == 0) {
    return false;
  }
  info = answer;
  return true;
}

void MakePrintable(WCHAR* text, UINT limit) {
  if (text == nullptr) return;
  for (UINT i = 0; i < limit; ++i) {
    const WCHAR c = text[i];
    if (c == u'\0') return;
    if (c < 32 || c > 126) text[i] = u'?';
  }
}

void ReportSystemInfo() {
  WCHAR oemInfo[kSystemTextChars];
  std::memset(oemInfo, 0, sizeof oemInfo);
  SystemParametersInfoW(SPI_GETOEMINFO, kSystemTextRoom, oemInfo, 0);

  WCHAR platformType[kSystemTextChars];
  std::memset(platformType, 0, sizeof platformType);
  SystemParametersInfoW(SPI_GETPLATFORMTYPE, kSystemTextRoom, platformType, 0);

  LogMessage(u"SPI_GETOEMINFO: '%s'", oemInfo);
  LogMessage(u"SPI_GETPLATFORMTYPE: '%s'", platformType);

  // Zero-filled first: when the version query fails, the line shows "0.0.0  (0)".
  OSVERSIONINFOW versionInfo;
  std::memset(&versionInfo, 0, sizeof versionInfo);
  versionInfo.dwOSVersionInfoSize = sizeof versionInfo;
  GetVersionExW(&versionInfo);
  versionInfo.szCSDVersion[127] = u'\0';

  CString version;
  version.Format(u"%d.%d.%d %s (%d)", versionInfo.dwMajorVersion, versionInfo.dwMinorVersion,
                 versionInfo.dwBuildNumber, versionInfo.szCSDVersion, versionInfo.dwPlatformId);
  LogMessage(u"OSVersion: %s", static_cast<LPCWSTR>(version));

  PROCESSOR_INFO info;
  std::memset(&info, 0, sizeof info);
  if (!QueryProcessorInfo(info)) return;

  MakePrintable(info.szProcessCore, 40);
  MakePrintable(info.szProcessorName, 40);
  MakePrintable(info.szCatalogNumber, 100);
  MakePrintable(info.szVendor, 100);

  LogMessage(u"CPU1 v=%08lx core='%ls' rev=%04x", static_cast<DWORD>(info.wVersion),
             FieldText(info.szProcessCore).c_str(), static_cast<unsigned>(info.wCoreRevision));
  LogMessage(u"CPU2 proc='%ls' rev=%04x", FieldText(info.szProcessorName).c_str(),
             static_cast<unsigned>(info.wProcessorRevision));
  LogMessage(u"CPU3 cat='%ls' vendor='%ls'", FieldText(info.szCatalogNumber).c_str(),
             FieldText(info.szVendor).c_str());
  LogMessage(u"CPU4 set=%08lx speed=%08lx", info.dwInstructionSet, info.dwClockSpeed);
}
