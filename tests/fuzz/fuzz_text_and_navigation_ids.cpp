// Fuzz target: the "\deviceid.txt" and navigation library sections against a simulated device
// whose file and AtlasGetUUID answer come from the input.
//
// Input: clock; the file (absent, or up to 3000 bytes, NUL bytes included); the navigation
// library (absent, without entry point, or with a result and up to 1100 text bytes, so that texts
// filling the 1024-byte buffer without terminator occur).
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "device/entry_points.h"
#include "platform/sim/device_profile.h"
#include "probes/probes.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/sim_fixture.h"

namespace {

using fuzz::Require;

constexpr std::size_t kNavigationBytes = 1024;

// " - " and the 16 picks of `codes` (pick k is code k modulo their count), or " - not found"
// when there are none.
std::string CyclicLine(const fuzz::Bytes& codes) {
  if (codes.empty()) return " - not found";
  BYTE picks[16];
  for (std::size_t k = 0; k < 16; ++k) picks[k] = codes[k % codes.size()];
  return " - " + fuzz::Hex(picks, 16);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  sim::DeviceProfile profile;
  profile.clock = fuzz::ReadClock(in);
  const BYTE mode = in.Byte();
  fuzz::Bytes fileCodes;  // the file's first 16 nonzero bytes
  if (mode & 1) {
    const fuzz::Bytes file = in.Blob(3000);
    profile.files[u"\\deviceid.txt"] = file;
    for (BYTE b : file) {
      if (b != 0 && fileCodes.size() < 16) fileCodes.push_back(b);
    }
  }
  fuzz::Bytes navigationCodes;  // the text up to its NUL, within the buffer
  const BYTE library = (mode >> 1) % 4;
  if (library != 0) {
    sim::LibraryProfile navigation;
    navigation.hasEntryPoint = library != 1;
    navigation.result = library == 2 ? 1 : static_cast<std::int32_t>(in.U32());
    navigation.narrowText = in.Blob(1100);
    if (navigation.hasEntryPoint && navigation.result != 0) {
      const fuzz::Bytes& text = navigation.narrowText;
      const auto end =
          text.begin() + static_cast<std::ptrdiff_t>(std::min(text.size(), kNavigationBytes));
      navigationCodes.assign(text.begin(), std::find(text.begin(), end, BYTE{0}));
    }
    profile.libraries[kNavigationLibrary] = navigation;
  }

  const std::string stamp = fuzz::StampOf(profile.clock);
  sim::SimulatedDevice& device = testing_support::InstallSimulated(std::move(profile));
  GetTextDeviceID();
  Atlas_GetDeviceUUID();
  const std::string report = testing_support::ReportText(device);
  fuzz::Show(report);
  const std::vector<std::string> expected = {"GetTextDeviceID:", CyclicLine(fileCodes),
                                             "Atlas_GetDeviceUUID:", CyclicLine(navigationCodes)};
  Require(fuzz::StampedMessages(report, stamp) == expected,
          "the sections' lines differ from the device's answers", report);
  int loads = 0;
  int unloads = 0;
  for (const auto& [name, n] : device.record().libraryLoads) loads += n;
  for (const auto& [name, n] : device.record().libraryUnloads) unloads += n;
  Require(loads == unloads, "the navigation library was left loaded", report);
  return 0;
}
