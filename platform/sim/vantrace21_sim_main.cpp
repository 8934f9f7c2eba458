// vantrace21-sim: runs the report against a simulated device described by a profile and prints the
// report it wrote, then the closing message box.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "log/report_log.h"
#include "platform/codepage.h"
#include "platform/mfc.h"
#include "platform/sim/profile_loader.h"
#include "platform/sim/simulated_device.h"

namespace {
constexpr const char* kUsage =
    "usage: vantrace21-sim [--real-sleeps] PROFILE.json\n"
    "\n"
    "Runs the unchanged report against the simulated device that PROFILE.json describes\n"
    "(format: docs/device-profile.md; ready profiles: examples/navigation-device.json and\n"
    "examples/bare-device.json), then prints the report file it wrote beside the simulated\n"
    "executable, followed by each message box as 'box: CAPTION: TEXT'.\n"
    "Sleeps are recorded, not slept, unless --real-sleeps is given.\n"
    "\n"
    "Exit status: the program's own (0 when every line reached the report); 2 when the profile\n"
    "cannot be read or is invalid: then one line 'vantrace21-sim: FILE: FIELD: PROBLEM' goes to\n"
    "standard error and nothing is run.\n";
}  // namespace

int main(int argc, char** argv) {
  std::string path;
  bool realSleeps = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--real-sleeps") == 0) {
      realSleeps = true;
    } else if (path.empty()) {
      path = argv[i];
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (path.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string error;
  auto profile = sim::LoadProfileFile(path, &error);
  if (!profile) {
    std::fprintf(stderr, "vantrace21-sim: %s\n", error.c_str());
    return 2;
  }
  auto device = std::make_unique<sim::SimulatedDevice>(std::move(*profile));
  device->set_real_sleeps(realSleeps);
  sim::SimulatedDevice& simulated = *device;
  InstallDevice(std::move(device));
  const int status = AfxWinMain();

  const std::u16string exe = simulated.ModuleFileName();
  const std::size_t slash = exe.find_last_of(u'\\');
  const std::u16string report =
      exe.substr(0, slash == std::u16string::npos ? 0 : slash + 1) + u"log_guids.txt";
  const std::string text = simulated.FileText(report);
  std::fwrite(text.data(), 1, text.size(), stdout);
  for (const auto& [caption, message] : simulated.record().messageBoxes) {
    std::printf("box: %s: %s\n", Utf16ToUtf8(caption).c_str(), Utf16ToUtf8(message).c_str());
  }
  return status;
}
