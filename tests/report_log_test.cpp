// The report log: stamps, the run's marker, cutting, the report path and the bytes on the medium.
#include "log/report_log.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/sim_fixture.h"

namespace {

using testing_support::InstallSimulated;
using testing_support::ReportText;

sim::DeviceProfile At(SYSTEMTIME clock, std::u16string executable = u"\\Windows\\Vantrace21.exe") {
  sim::DeviceProfile profile;
  profile.clock = clock;
  profile.executable = std::move(executable);
  return profile;
}

TEST(ReportLog, StampHasNoLeadingZerosAndMarkerOpensOnlyTheFirstLine) {
  auto& device = InstallSimulated(At({2026, 2, 0, 1, 9, 5, 7, 0}));
  LogMessage(u"first");
  LogMessage(u"second %d", 2);
  EXPECT_EQ(ReportText(device), "LOG START\n2026:2:1 9:5:7: first\n2026:2:1 9:5:7: second 2\n");
}

TEST(ReportLog, LongestStampFields) {
  auto& device = InstallSimulated(At({65535, 12, 6, 31, 23, 59, 59, 999}));
  WriteLogLine(u"x");
  EXPECT_EQ(ReportText(device), "LOG START\n65535:12:31 23:59:59: x\n");
}

TEST(ReportLog, MessagesAreWrittenUpToTheirFirstNulAndNeverFormattedTwice) {
  struct Case {
    const char* name;
    void (*write)();
    const char* line;
  };
  const Case cases[] = {
      {"empty", [] { LogMessage(u""); }, "2026:2:1 9:5:7: \n"},
      {"nul from %c", [] { LogMessage(u" - adr: %d; data: %d (%c)", 20, 0, 0); },
       "2026:2:1 9:5:7:  - adr: 20; data: 0 (\n"},
      {"percent in an argument", [] { LogMessage(u" - %s", u"100%s%n%x"); },
       "2026:2:1 9:5:7:  - 100%s%n%x\n"},
      {"percent given to the writer", [] { WriteLogLine(u"50%d"); }, "2026:2:1 9:5:7: 50%d\n"},
      {"line ends in a device text", [] { LogMessage(u" - %s = %s", u"\\a\nb", u"x\r\n"); },
       "2026:2:1 9:5:7:  - \\a?b = x??\n"},
      {"tab", [] { LogMessage(u" - Adapter Name: \t%hs", "eth0"); },
       "2026:2:1 9:5:7:  - Adapter Name: \teth0\n"},
      {"beyond the code page", [] { LogMessage(u"caf\u00e9 \u20ac \u4e2d"); },
       "2026:2:1 9:5:7: caf\xe9 \x80 ?\n"},
  };
  for (const Case& c : cases) {
    auto& device = InstallSimulated(At({2026, 2, 0, 1, 9, 5, 7, 0}));
    c.write();
    EXPECT_EQ(ReportText(device), std::string("LOG START\n") + c.line) << c.name;
  }
}

TEST(ReportLog, ReportLandsBesideTheExecutable) {
  struct Case {
    std::u16string executable;
    std::u16string report;
  };
  const Case cases[] = {
      {u"\\Vantrace21.exe", u"\\log_guids.txt"},
      {u"\\Storage Card\\tools\\Vantrace21.exe", u"\\Storage Card\\tools\\log_guids.txt"},
      {u"Vantrace21.exe", u"log_guids.txt"},
  };
  for (const Case& c : cases) {
    auto& device = InstallSimulated(At({2026, 2, 0, 1, 9, 5, 7, 0}, c.executable));
    LogMessage(u"line");
    EXPECT_TRUE(device.FileBytes(c.report).has_value());
    EXPECT_EQ(LastReportPath(), c.report);
  }
}

TEST(ReportLog, OneByteCharactersGiveExactlyThatManyBytes) {
  auto& device = InstallSimulated(At({2026, 2, 0, 1, 9, 5, 7, 0}));
  LogMessage(u"marker line");  // carries "LOG START"
  const std::size_t before = ReportText(device).size();
  LogMessage(u"abc\u00e9");
  // The stamp (16), four characters and the line feed.
  EXPECT_EQ(ReportText(device).size() - before, 16u + 4u + 1u);
}

TEST(ReportLog, OverlongMessagesAreCutAndKeepTheirLineFeed) {
  auto& device = InstallSimulated(At({2026, 2, 0, 1, 9, 5, 7, 0}));
  const std::u16string longText(5000, u'x');
  LogMessage(u"%s", longText.c_str());  // the formatter's 2047 characters, then the line's
  LogMessage(u"%s", longText.c_str());
  const std::string text = ReportText(device);
  const std::string marker = "LOG START\n";
  const std::string stamp = "2026:2:1 9:5:7: ";
  // A whole line, marker included, holds 1023 characters.
  const std::string first =
      marker + stamp + std::string(1023 - marker.size() - stamp.size() - 1, 'x') + "\n";
  const std::string second = stamp + std::string(1023 - stamp.size() - 1, 'x') + "\n";
  EXPECT_EQ(text, first + second);
  EXPECT_EQ(ReportLinesLost(), 0u);
}

TEST(ReportLog, LinesThatCannotBeWrittenAreCountedAndTheMarkerGoesWithTheFirst) {
  sim::DeviceProfile profile = At({2026, 2, 0, 1, 9, 5, 7, 0});
  profile.reportMediumReadOnly = true;
  auto& device = InstallSimulated(profile);
  LogMessage(u"lost");
  LogMessage(u"lost too");
  EXPECT_FALSE(device.FileBytes(u"\\Windows\\log_guids.txt").has_value());
  EXPECT_EQ(ReportLinesLost(), 2u);

  device.profile().reportMediumReadOnly = false;
  LogMessage(u"written");
  EXPECT_EQ(ReportText(device), "2026:2:1 9:5:7: written\n");
}

}  // namespace
