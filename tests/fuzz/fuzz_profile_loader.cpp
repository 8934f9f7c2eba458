// Fuzz target: the device profile loader on any text, and the whole program on every profile that
// loads.
//
// A refused profile must come with one message of one line. A loaded profile is run as
// vantrace21-sim runs it (sleeps recorded, not slept); the report it appends must be whole lines
// of at most 1023 bytes after a "LOG START" line of its own, and the exit status must agree with
// the closing box.
#include <cstdint>
#include <string>

#include "app/vantrace_app.h"
#include "log/report_log.h"
#include "platform/mfc.h"
#include "platform/sim/profile_loader.h"
#include "platform/sim/simulated_device.h"
#include "probes/storage_guids_testing.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/sim_fixture.h"

namespace {
using fuzz::Require;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string json(reinterpret_cast<const char*>(data), size);
  std::string error;
  auto profile = sim::ParseProfile(json, &error);
  if (!profile) {
    Require(!error.empty(), "refused profile without a message", json);
    Require(error.find('\n') == std::string::npos, "profile message of more than one line", error);
    return 0;
  }
  const std::string stamp = fuzz::StampOf(profile->clock);
  // A report the run cannot write whole: the medium refuses or a fault is injected.
  const bool faults =
      profile->reportMediumReadOnly || profile->faults.kind != sim::FileFaults::Kind::kNone;

  // A fresh process: the application's title and the resolved entry point are forgotten too.
  ResetCeGetVolumeInfoForTests();
  if (CWinApp* app = AfxGetApp()) app->m_pszAppName.clear();
  sim::SimulatedDevice& device = testing_support::InstallSimulated(std::move(*profile));
  const std::u16string reportPath = testing_support::ReportPathOf(device);
  const std::string before = device.FileText(reportPath);
  const int status = AfxWinMain();
  const std::string after = device.FileText(reportPath);
  fuzz::Show(after);

  const auto& boxes = device.record().messageBoxes;
  Require(status == 0 || status == 1, "exit status other than 0 or 1");
  Require(!boxes.empty(), "the run ended without a message box");
  Require((status == 0) == (boxes.back().second == u"OK!"), "exit status and closing box disagree");
  Require(after.starts_with(before), "the run changed what the report held before", after);
  if (faults || status != 0) return 0;

  // Everything appended: a line feed first when the old report ended inside a line, then whole
  // lines, each with its stamp.
  std::string appended = after.substr(before.size());
  if (!before.empty() && !before.ends_with('\n')) {
    Require(appended.starts_with('\n'), "LOG START does not begin on a line of its own", after);
    appended.erase(0, 1);
  }
  fuzz::StampedMessages(appended, stamp);
  return 0;
}
