// Fuzz target: the four HAL sections (device identifier with a learned and with a fixed size, UUID
// offered 1024 and 16 bytes), run in the program's order with one HAL output buffer, against a
// simulated HAL whose answers come from the input.
//
// Input: clock; the device identifier answer (refused, raw bytes, or a header with any size,
// offsets and counts followed by identifier bytes), its refusals and what a refused query
// writes; the UUID answer (refused or raw bytes), its refusals and refused write.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "device/hal.h"
#include "platform/sim/device_profile.h"
#include "probes/probes.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/sim_fixture.h"

namespace {

using fuzz::Require;

constexpr std::size_t kAnswerMax = 1100;
constexpr DWORD kHalOutputBytes = 1024;
// The hex text of an identifier carries at most this many bytes (it must fit one report line).
constexpr std::size_t kMaxHexBytes = 491;

DWORD Field(fuzz::Input& in, bool wide) {
  return wide ? in.U32() : in.U16() % kAnswerMax;
}

sim::HalAnswer ReadAnswer(fuzz::Input& in, bool structured) {
  sim::HalAnswer answer;
  const BYTE mode = in.Byte();
  if (mode % 4 == 1 || (mode % 4 == 2 && !structured)) {
    answer.answer = in.Blob(kAnswerMax);
  } else if (mode % 4 == 2) {
    const bool wide = (mode & 4) != 0;
    DEVICE_ID head{};
    head.dwSize = Field(in, wide);
    head.dwPresetIDOffset = Field(in, wide);
    head.dwPresetIDBytes = Field(in, wide);
    head.dwPlatformIDOffset = Field(in, wide);
    head.dwPlatformIDBytes = Field(in, wide);
    fuzz::Bytes bytes(sizeof head);
    std::memcpy(bytes.data(), &head, sizeof head);
    const fuzz::Bytes id = in.Blob(kAnswerMax - sizeof head);
    bytes.insert(bytes.end(), id.begin(), id.end());
    // A header that states its true size, as a real HAL does, or any other.
    if (mode & 8) {
      const auto size = static_cast<DWORD>(bytes.size());
      std::memcpy(bytes.data(), &size, sizeof size);
    }
    answer.answer = bytes;
  }
  answer.refusals = in.Byte() % 12;
  answer.refusedWrite = in.Blob(kAnswerMax);
  return answer;
}

// " - adr: N; data: V (C)": N inside the buffer, V a byte, C the byte itself, "?" for a control
// character, or nothing after "(" for NUL (the line ends at that character).
void CheckByteLine(const std::string& m) {
  unsigned position = 0;
  unsigned value = 0;
  int used = 0;
  Require(
      std::sscanf(m.c_str(), " - adr: %u; data: %u (%n", &position, &value, &used) == 2 && used > 0,
      "malformed byte line", m);
  Require(position < kHalOutputBytes, "byte line beyond the HAL output buffer", m);
  Require(value < 256, "byte line value is no byte", m);
  const std::string rest = m.substr(static_cast<std::size_t>(used));
  if (value == 0) {
    Require(rest.empty(), "NUL byte line goes on after the NUL", m);
  } else if (value < 32 || value == 127) {
    Require(rest == "?)", "control byte is not shown as ?", m);
  } else {
    Require(rest.size() == 2 && rest[1] == ')', "byte line does not end in one character", m);
  }
}

void CheckHex(const std::string& m, std::size_t maxDigits, bool exact) {
  Require(m.starts_with(" - "), "result line does not start with \" - \"", m);
  const std::string hex = m.substr(3);
  Require(fuzz::IsUpperHex(hex) && hex.size() % 2 == 0 && hex.size() <= maxDigits,
          "result is not hex of whole bytes within its bound", m);
  if (exact) Require(hex.empty() || hex.size() == maxDigits, "UUID is not 16 bytes", m);
}

// Walks one device identifier section: heading, [dwSize line], then on success the two count
// lines and the byte lines, then the hex line.
std::size_t CheckDeviceIdSection(const std::vector<std::string>& m, std::size_t i,
                                 const char* heading, bool sizeLine) {
  Require(i < m.size() && m[i] == heading, "missing heading", heading);
  ++i;
  if (sizeLine) {
    Require(i < m.size() && m[i].starts_with(" - DeviceID.dwSize = "), "missing dwSize line");
    ++i;
  }
  if (i < m.size() && m[i].starts_with(" - DeviceID.dwPlatformIDBytes = ")) {
    ++i;
    Require(i < m.size() && m[i].starts_with(" - DeviceID.dwPresetIDBytes = "),
            "missing preset count line");
    ++i;
    while (i < m.size() && m[i].starts_with(" - adr: ")) CheckByteLine(m[i++]);
  }
  Require(i < m.size(), "missing result line", heading);
  CheckHex(m[i], 2 * kMaxHexBytes, false);
  return i + 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  sim::DeviceProfile profile;
  profile.clock = fuzz::ReadClock(in);
  profile.hal.deviceId = ReadAnswer(in, true);
  profile.hal.uuid = ReadAnswer(in, false);

  const std::string stamp = fuzz::StampOf(profile.clock);
  sim::SimulatedDevice& device = testing_support::InstallSimulated(std::move(profile));
  HalOutputBuffer halOutput{};
  DumpDeviceGUID(halOutput);
  DumpDeviceGUID2(halOutput);
  DumpDeviceUUID(halOutput);
  DumpDeviceUUID2(halOutput);
  const std::string report = testing_support::ReportText(device);
  fuzz::Show(report);

  // No device byte can start a line of its own: every line carries the stamp.
  const std::vector<std::string> m = fuzz::StampedMessages(report, stamp);
  std::size_t i = CheckDeviceIdSection(m, 0, "GetDeviceGUID:", true);
  i = CheckDeviceIdSection(m, i, "GetDeviceGUID2:", false);
  Require(i + 4 == m.size(), "wrong number of UUID lines", report);
  Require(m[i] == "GetDeviceUUID:", "missing GetDeviceUUID heading", report);
  CheckHex(m[i + 1], 32, true);
  Require(m[i + 2] == "GetDeviceUUID2:", "missing GetDeviceUUID2 heading", report);
  CheckHex(m[i + 3], 32, true);
  Require(m[i + 3].size() == 3 + 32, "GetDeviceUUID2 shows fewer than 16 bytes", report);

  for (const sim::Record::HalCall& call : device.record().halCalls) {
    Require(call.outSize <= kHalOutputBytes, "the HAL was offered more room than the buffer has");
  }
  for (DWORD sleep : device.record().sleeps) Require(sleep == 100, "a wait other than 100 ms");
  Require(device.record().sleeps.size() <= 20, "more than ten waits per section");
  return 0;
}
