// The HAL's UUID, offered 1024 and 16 bytes.
#include <cstring>

#include "device/hal.h"
#include "log/report_log.h"
#include "platform/kernel.h"
#include "platform/wformat.h"
#include "probes/probes.h"

namespace {

constexpr int kQueries = 10;
constexpr DWORD kUuidRoom = 16;
constexpr std::size_t kResultChars = 2046;

// The 16-byte cyclic hex of the buffer's first `length` bytes (length 1 to 1024): pick k is the
// byte at k modulo length, 32 digits in all.
void RenderCyclicHex(const HalOutputBuffer& halOutput, DWORD length, WCHAR* resultText) {
  for (DWORD k = 0; k < 16; ++k) {
    _snwprintf(resultText + 2 * k, 3, u"%02X", static_cast<unsigned>(halOutput[k % length]));
  }
}

// Up to ten queries of the UUID with `outSize` bytes of room, one right after the other. True on
// the first success.
bool QueryUuid(HalOutputBuffer& halOutput, DWORD outSize, DWORD& bytesReturned) {
  for (int query = 0; query < kQueries; ++query) {
    if (KernelIoControl(IOCTL_HAL_GET_UUID, nullptr, 0, halOutput.data(), outSize,
                        &bytesReturned) != 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

void DumpDeviceUUID(HalOutputBuffer& halOutput) {
  LogMessage(u"GetDeviceUUID:");
  WCHAR resultText[kResultChars];
  std::memset(resultText, 0, sizeof resultText);
  DWORD bytesReturned = 0;

  if (QueryUuid(halOutput, static_cast<DWORD>(halOutput.size()), bytesReturned) &&
      bytesReturned != 0) {
    // Every pick lies in the first 16 bytes, so a length above the buffer reads nothing beyond it.
    RenderCyclicHex(halOutput, bytesReturned, resultText);
  }
  LogMessage(u" - %s", resultText);
}

void DumpDeviceUUID2(HalOutputBuffer& halOutput) {
  LogMessage(u"GetDeviceUUID2:");
  WCHAR resultText[kResultChars];
  std::memset(resultText, 0, sizeof resultText);
  DWORD bytesReturned = 0;

  // Whatever the queries give, the first 16 bytes of the buffer are shown: a refusing HAL leaves
  // what the sections before this one put there.
  QueryUuid(halOutput, kUuidRoom, bytesReturned);
  RenderCyclicHex(halOutput, kUuidRoom, resultText);
  LogMessage(u" - %s", resultText);
}
