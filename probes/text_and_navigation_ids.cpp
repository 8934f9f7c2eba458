// The identifier in the root's text file and the navigation library's identifier.
#include <cstring>
#include <string>

#include "device/entry_points.h"
#include "log/report_log.h"
#include "platform/crt.h"
#include "platform/wformat.h"
#include "probes/probes.h"

namespace {
constexpr std::size_t kResultTextChars = 2046;
constexpr std::size_t kNavigationTextBytes = 1024;
// The identifier is 16 picks of its source.
constexpr std::size_t kPicks = 16;

// Writes the 16-byte cyclic hex of the n codes at `source` (n > 0) into `text`: pick k is the code
// at index k modulo n, each as two upper-case hex digits.
template <typename Code>
void WriteCyclicHex(WCHAR* text, const Code* source, std::size_t n) {
  for (std::size_t k = 0; k < kPicks; ++k) {
    const auto code = static_cast<unsigned>(source[k % n]) & 0xFFu;
    _snwprintf(text + 2 * k, 3, u"%02X", code);
  }
}
}  // namespace

void GetTextDeviceID() {
  LogMessage(u"GetTextDeviceID:");
  WCHAR text[kResultTextChars];
  std::memset(text, 0, sizeof text);

  CE_FILE* file = _wfopen(u"\\deviceid.txt", u"r");
  if (file == nullptr) {
    LogMessage(u" - not found");
    return;
  }
  // Only the first 16 nonzero bytes can ever be picked, so reading stops once they are held: a
  // large file costs no more than a short one.
  std::u16string fileText;
  unsigned char byte = 0;
  while (fileText.size() < kPicks && fread(&byte, 1, 1, file) == 1) {
    if (byte != 0) fileText.push_back(static_cast<char16_t>(byte));
  }
  fclose(file);

  if (fileText.empty()) {
    LogMessage(u" - not found");
    return;
  }
  WriteCyclicHex(text, fileText.data(), fileText.size());
  LogMessage(u" - %s", text);
}

void Atlas_GetDeviceUUID() {
  LogMessage(u"Atlas_GetDeviceUUID:");
  WCHAR text[kResultTextChars];
  std::memset(text, 0, sizeof text);

  HMODULE library = LoadLibraryW(kNavigationLibrary);
  if (library == nullptr) {
    LogMessage(u" - not found");
    return;
  }
  const auto pAtlasGetUUID =
      EntryPointAs<PFN_AtlasGetUUID>(GetProcAddressA(library, kAtlasGetUuidName));
  if (pAtlasGetUUID == nullptr) {
    FreeLibrary(library);
    LogMessage(u" - not found");
    return;
  }
  char navigationText[kNavigationTextBytes];
  std::memset(navigationText, 0, sizeof navigationText);
  if (pAtlasGetUUID(navigationText) == 0) {
    FreeLibrary(library);
    LogMessage(u" - not found");
    return;
  }
  // The text's length, counting no further than the buffer even when the library left no NUL.
  std::size_t n = 0;
  while (n < sizeof navigationText && navigationText[n] != '\0') ++n;
  if (n == 0) {
    FreeLibrary(library);
    LogMessage(u" - not found");
    return;
  }
  WriteCyclicHex(text, reinterpret_cast<const unsigned char*>(navigationText), n);
  FreeLibrary(library);
  LogMessage(u" - %s", text);
}
