// Fuzz target: the per-application device identifier section against a simulated
// GetDeviceUniqueID whose presence, result, bytes and returned length come from the input.
//
// Input: clock; present; result (a success, a failure, or any 32 bits); up to 64 bytes; the length
// reported back (the bytes' count, a small number, or any 32 bits).
#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/sim/device_profile.h"
#include "probes/probes.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/sim_fixture.h"

namespace {
using fuzz::Require;
constexpr std::size_t kOutputBytes = 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  sim::DeviceProfile profile;
  profile.clock = fuzz::ReadClock(in);
  sim::UniqueIdProfile& id = profile.uniqueId;
  const BYTE mode = in.Byte();
  id.present = (mode & 1) != 0;
  switch ((mode >> 1) & 3) {
    case 0:
      id.result = S_OK;
      break;
    case 1:
      id.result = E_FAIL;
      break;
    default:
      id.result = static_cast<HRESULT>(in.U32());
      break;
  }
  id.bytes = in.Blob(64);
  switch ((mode >> 3) & 3) {
    case 0:
      break;
    case 1:
      id.length = in.Byte() % 64;
      break;
    default:
      id.length = in.U32();
      break;
  }

  // What the section must write: the output holds 20 bytes, zero-filled, of which the device's
  // first ones are written; the length reported back, at most 20, says how many are shown.
  std::string expected;
  if (!id.present) {
    expected = " - failed getting fn";
  } else if (id.result < 0) {
    expected = " - failed calling pGetDeviceUniqueID = " + std::to_string(id.result);
  } else {
    BYTE output[kOutputBytes] = {};
    std::copy_n(id.bytes.begin(), std::min(id.bytes.size(), kOutputBytes), output);
    const DWORD length = id.length.value_or(static_cast<DWORD>(id.bytes.size()));
    expected = " - guid = " + fuzz::Hex(output, std::min<std::size_t>(length, kOutputBytes));
  }

  const std::string stamp = fuzz::StampOf(profile.clock);
  sim::SimulatedDevice& device = testing_support::InstallSimulated(std::move(profile));
  DumpDeviceUniqueID();
  const std::string report = testing_support::ReportText(device);
  fuzz::Show(report);
  const std::vector<std::string> messages = fuzz::StampedMessages(report, stamp);
  Require(messages == std::vector<std::string>{"Trying to get GetDeviceUniqueID", expected},
          "the section's lines differ from the device's answer", expected + " | " + report);
  return 0;
}
