// Runs the program, or one section of it, against a simulated device and reads back the report.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "log/report_log.h"
#include "platform/device.h"
#include "platform/sim/simulated_device.h"
#include "tests/report_lines.h"

namespace testing_support {

// Installs a simulated device with this profile and starts the report log afresh, as a new process
// would.
inline sim::SimulatedDevice& InstallSimulated(sim::DeviceProfile profile = {}) {
  auto device = std::make_unique<sim::SimulatedDevice>(std::move(profile));
  sim::SimulatedDevice& installed = *device;
  InstallDevice(std::move(device));
  ResetReportLog();
  return installed;
}

// A device on which every source is missing and the root folder cannot be searched: its report is
// the frame of the run alone.
inline sim::DeviceProfile BareProfile() {
  sim::DeviceProfile profile;
  profile.rootGiven = true;
  return profile;
}

// The report file beside the simulated executable.
inline std::u16string ReportPathOf(sim::SimulatedDevice& device) {
  const std::u16string exe = device.ModuleFileName();
  const std::size_t slash = exe.find_last_of(u'\\');
  return exe.substr(0, slash == std::u16string::npos ? 0 : slash + 1) + u"log_guids.txt";
}

// The report's text as bytes.
inline std::string ReportText(sim::SimulatedDevice& device) {
  return device.FileText(ReportPathOf(device));
}

// The report's lines without their line feeds; each time stamp is removed, so a line reads as its
// message. "LOG START" stays as it is.
inline std::vector<std::string> ReportMessages(sim::SimulatedDevice& device) {
  std::vector<std::string> lines;
  const std::string text = ReportText(device);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(WithoutStamp(text.substr(start, end - start)));
    start = end + 1;
  }
  return lines;
}

// The exact report text of a fresh run on the default simulated clock (1 February 2026, 9:05:07)
// that logged `messages`.
inline std::string FreshReport(const std::vector<std::string>& messages) {
  std::string text = "LOG START\n";
  for (const std::string& message : messages) text += "2026:2:1 9:5:7: " + message + "\n";
  return text;
}

}  // namespace testing_support
