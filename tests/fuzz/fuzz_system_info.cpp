// Fuzz target: the system section (OEM and platform texts, version record, processor record)
// against a simulated device whose answers come from the input.
//
// Input: clock; OEM text (absent or up to 300 code units); platform type (likewise); version
// record (absent or its 276 raw bytes); processor answer (absent, the 576 raw bytes of a record,
// or any number of bytes), its refusals and what a refused query writes.
#include <cstdint>
#include <cstring>
#include <string>

#include "device/hal.h"
#include "platform/sim/device_profile.h"
#include "probes/probes.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/sim_fixture.h"

namespace {

using fuzz::Require;

std::optional<std::u16string> OptionalText(fuzz::Input& in) {
  if (in.Byte() % 4 == 0) return std::nullopt;
  return in.Wide(300);
}

sim::HalAnswer ProcessorAnswer(fuzz::Input& in) {
  sim::HalAnswer answer;
  switch (in.Byte() % 3) {
    case 0:
      break;
    case 1: {
      fuzz::Bytes record = in.Take(sizeof(PROCESSOR_INFO));
      record.resize(sizeof(PROCESSOR_INFO), 0);
      answer.answer = record;
      break;
    }
    default:
      answer.answer = in.Blob(700);
      break;
  }
  answer.refusals = in.Byte() % 3;
  answer.refusedWrite = in.Blob(700);
  return answer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  sim::DeviceProfile profile;
  profile.clock = fuzz::ReadClock(in);
  profile.oemInfo = OptionalText(in);
  profile.platformType = OptionalText(in);
  if (in.Bool()) {
    OSVERSIONINFOW version;
    const fuzz::Bytes raw = in.Take(sizeof version);
    std::memset(&version, 0, sizeof version);
    if (!raw.empty()) std::memcpy(&version, raw.data(), raw.size());
    profile.version = version;
  }
  profile.hal.processor = ProcessorAnswer(in);
  const bool processorAnswers = profile.hal.processor.answer &&
                                profile.hal.processor.answer->size() <= sizeof(PROCESSOR_INFO) &&
                                profile.hal.processor.refusals == 0;

  const std::string stamp = fuzz::StampOf(profile.clock);
  sim::SimulatedDevice& device = testing_support::InstallSimulated(std::move(profile));
  ReportSystemInfo();
  const std::string report = testing_support::ReportText(device);
  fuzz::Show(report);

  // Every line carries its stamp, whatever line ends the device texts hold. The processor lines
  // hold printable ASCII only.
  bool version = false;
  int cpuLines = 0;
  for (const std::string& message : fuzz::StampedMessages(report, stamp)) {
    if (message.starts_with("OSVersion: ")) version = true;
    if (message.starts_with("CPU")) {
      ++cpuLines;
      Require(message.starts_with("CPU" + std::to_string(cpuLines) + " "),
              "processor lines out of order", message);
      for (char c : message) {
        Require(c >= 32 && c <= 126, "processor line with an unprintable character", message);
      }
    }
  }
  Require(version, "no OSVersion line", report);
  Require(cpuLines == (processorAnswers ? 4 : 0), "processor lines do not follow the answer",
          report);
  return 0;
}
