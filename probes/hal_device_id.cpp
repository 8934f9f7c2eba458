// The HAL's device identifier, asked with a learned and with a fixed size.
#include <algorithm>
#include <cstring>

#include "device/hal.h"
#include "log/report_log.h"
#include "platform/kernel.h"
#include "platform/wformat.h"
#include "platform/wstring.h"
#include "probes/probes.h"

namespace {

constexpr DWORD kHalOutputBytes = static_cast<DWORD>(std::tuple_size_v<HalOutputBuffer>);
constexpr int kQueries = 10;
constexpr DWORD kRetryWaitMs = 100;
constexpr std::size_t kHexWorkChars = 1024;
constexpr std::size_t kResultChars = 2046;

// The hex text ends up on one report line (1023 characters with the longest time stamp of 37, " - "
// and the line feed), so it carries at most 491 identifier bytes; the byte lines still show every
// byte. Cutting here, at a byte boundary, keeps the line whole whatever the clock says.
constexpr std::size_t kMaxHexBytes = (1023 - 37 - 3 - 1) / 2;
static_assert(2 * kMaxHexBytes < kHexWorkChars);

// The identifier's hex digits, gathered part by part.
struct HexWork {
  WCHAR text[kHexWorkChars];
  std::size_t bytes = 0;
};

// Writes one byte line per identifier byte of the part at [offset, offset + count) and appends the
// bytes to the hex text. Only bytes inside the answer (the first `answered` bytes of the buffer)
// are read; the part is cut where the answer ends.
void RenderPart(const HalOutputBuffer& halOutput, DWORD answered, DWORD offset, DWORD count,
                HexWork& hex) {
  if (offset > answered) return;
  const DWORD n = std::min(count, answered - offset);
  for (DWORD i = 0; i < n; ++i) {
    const DWORD position = offset + i;
    const BYTE value = halOutput[position];
    if (hex.bytes < kMaxHexBytes) {
      _snwprintf(hex.text + 2 * hex.bytes, 3, u"%02X", static_cast<unsigned>(value));
      ++hex.bytes;
    }
    // A control character other than NUL would break the report's line structure (a line feed
    // starts a new line without a time stamp); it shows as "?", its value stays in "data:".
    const bool control = (value >= 1 && value < 32) || value == 127;
    LogMessage(u" - adr: %d; data: %d (%c)", position, static_cast<int>(value),
               control ? static_cast<int>(u'?') : static_cast<int>(value));
  }
}

// The count lines, the byte lines (platform part first, then preset part) and the hex text of a
// successful query into the result text. `answered` bounds every position read: the output size
// offered, and the bytes the HAL reported returning when it reported any.
void RenderDeviceId(const HalOutputBuffer& halOutput, DWORD offered, DWORD bytesReturned,
                    WCHAR* resultText) {
  DEVICE_ID deviceId;
  std::memcpy(&deviceId, halOutput.data(), sizeof deviceId);
  LogMessage(u" - DeviceID.dwPlatformIDBytes = %d", deviceId.dwPlatformIDBytes);
  LogMessage(u" - DeviceID.dwPresetIDBytes = %d", deviceId.dwPresetIDBytes);

  DWORD answered = std::min(offered, kHalOutputBytes);
  if (bytesReturned != 0) answered = std::min(answered, bytesReturned);

  HexWork hex;
  hex.text[0] = u'\0';
  RenderPart(halOutput, answered, deviceId.dwPlatformIDOffset, deviceId.dwPlatformIDBytes, hex);
  RenderPart(halOutput, answered, deviceId.dwPresetIDOffset, deviceId.dwPresetIDBytes, hex);
  hex.text[2 * hex.bytes] = u'\0';
  WideCopyBounded(resultText, kResultChars, hex.text);
}

// Up to ten queries of the device identifier with `outSize` bytes of room, a 100 ms wait after
// each refusal. True on the first success.
bool QueryDeviceId(HalOutputBuffer& halOutput, DWORD outSize, DWORD& bytesReturned) {
  for (int query = 0; query < kQueries; ++query) {
    if (KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, halOutput.data(), outSize,
                        &bytesReturned) != 0) {
      return true;
    }
    Sleep(kRetryWaitMs);
  }
  return false;
}

// Zero-fills the HAL output buffer and puts the header at its start, as each section does before
// its first query.
void PrepareOutput(HalOutputBuffer& halOutput, const DEVICE_ID& deviceId) {
  halOutput.fill(0);
  std::memcpy(halOutput.data(), &deviceId, sizeof deviceId);
}

}  // namespace

void DumpDeviceGUID(HalOutputBuffer& halOutput) {
  LogMessage(u"GetDeviceGUID:");
  WCHAR resultText[kResultChars];
  std::memset(resultText, 0, sizeof resultText);
  DEVICE_ID deviceId;
  std::memset(&deviceId, 0, sizeof deviceId);

  // The HAL refuses for lack of room but says in dwSize how much it needs.
  KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, &deviceId, sizeof deviceId, nullptr);
  LogMessage(u" - DeviceID.dwSize = %d", deviceId.dwSize);

  PrepareOutput(halOutput, deviceId);
  // The buffer holds 1024 bytes; a larger learned size is offered as 1024, which such a HAL then
  // refuses.
  const DWORD outSize = std::min(deviceId.dwSize, kHalOutputBytes);
  DWORD bytesReturned = 0;
  if (QueryDeviceId(halOutput, outSize, bytesReturned)) {
    RenderDeviceId(halOutput, outSize, bytesReturned, resultText);
  }
  LogMessage(u" - %s", resultText);
}

void DumpDeviceGUID2(HalOutputBuffer& halOutput) {
  LogMessage(u"GetDeviceGUID2:");
  WCHAR resultText[kResultChars];
  std::memset(resultText, 0, sizeof resultText);
  DEVICE_ID deviceId;
  std::memset(&deviceId, 0, sizeof deviceId);
  deviceId.dwSize = kHalOutputBytes;

  PrepareOutput(halOutput, deviceId);
  DWORD bytesReturned = 0;
  if (QueryDeviceId(halOutput, kHalOutputBytes, bytesReturned)) {
    RenderDeviceId(halOutput, kHalOutputBytes, bytesReturned, resultText);
  }
  LogMessage(u" - %s", resultText);
}
