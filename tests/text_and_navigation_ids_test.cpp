// The text file and navigation library sections on simulated devices.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/mfc.h"
#include "platform/modules.h"
#include "probes/probes.h"
#include "tests/sim_fixture.h"

namespace {

using testing_support::FreshReport;
using testing_support::InstallSimulated;
using testing_support::ReportText;

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

sim::Bytes BytesOf(const std::string& text) {
  return sim::Bytes(text.begin(), text.end());
}

sim::DeviceProfile WithFile(const std::u16string& path, sim::Bytes bytes) {
  sim::DeviceProfile profile;
  profile.files[path] = std::move(bytes);
  return profile;
}

TEST(TextAndNavigationIds, TextFileLine) {
  struct Case {
    const char* name;
    sim::DeviceProfile profile;
    std::string result;
  };
  const std::vector<Case> cases = {
      {"one byte", WithFile(u"\\deviceid.txt", {0x41}), " - " + Repeat("41", 16)},
      {"three bytes: 16 picks ending with A", WithFile(u"\\deviceid.txt", {0x41, 0x42, 0x43}),
       " - " + Repeat("414243", 5) + "41"},
      {"more than 16 bytes: the first 16",
       WithFile(u"\\deviceid.txt", BytesOf("0123456789abcdefXYZ")),
       " - 30313233343536373839616263646566"},
      {"zero bytes anywhere are skipped", WithFile(u"\\deviceid.txt", {0x00, 0x41, 0x00, 0x42}),
       " - " + Repeat("4142", 8)},
      {"zero bytes among more than 16",
       WithFile(u"\\deviceid.txt",
                BytesOf(std::string(4, '\0') + "0123456789" + std::string(3, '\0') + "abcdefXYZ")),
       " - 30313233343536373839616263646566"},
      {"0xFF", WithFile(u"\\deviceid.txt", {0xFF}), " - " + Repeat("FF", 16)},
      {"line ends count like any byte", WithFile(u"\\deviceid.txt", BytesOf("A\r\n")),
       " - " + Repeat("410D0A", 5) + "41"},
      {"the name in another case", WithFile(u"\\DeviceID.TXT", {0x41}), " - " + Repeat("41", 16)},
      {"an empty file", WithFile(u"\\deviceid.txt", {}), " - not found"},
      {"only zero bytes", WithFile(u"\\deviceid.txt", {0, 0, 0}), " - not found"},
      {"no file", WithFile(u"\\other\\deviceid.txt", {0x41}), " - not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto& device = InstallSimulated(c.profile);
    GetTextDeviceID();
    EXPECT_EQ(ReportText(device), FreshReport({"GetTextDeviceID:", c.result}));
  }
}

sim::DeviceProfile WithNavigation(bool hasEntryPoint, std::int32_t result, sim::Bytes text) {
  sim::DeviceProfile profile;
  sim::LibraryProfile library;
  library.hasEntryPoint = hasEntryPoint;
  library.result = result;
  library.narrowText = std::move(text);
  profile.libraries[u"NAVIAPI"] = library;
  return profile;
}

TEST(TextAndNavigationIds, NavigationLineAndTheLibraryReleasedOnEveryPath) {
  struct Case {
    const char* name;
    sim::DeviceProfile profile;
    std::string result;
    int loads;  // and as many unloads
    int entryPointCalls;
  };
  const std::vector<Case> cases = {
      {"an identifier", WithNavigation(true, 1, BytesOf("NAV-7")),
       " - " + Repeat("4E41562D37", 3) + "4E", 1, 1},
      {"more than 16 characters", WithNavigation(true, 1, BytesOf("FIXTURE-NAVI-0001")),
       " - 464958545552452D4E4156492D303030", 1, 1},
      {"any nonzero result", WithNavigation(true, -5, BytesOf("A")), " - " + Repeat("41", 16), 1,
       1},
      {"bytes above 0x7F", WithNavigation(true, 1, {0xFF, 0x80}), " - " + Repeat("FF80", 8), 1, 1},
      // A text that fills the buffer without a terminator is measured within the buffer.
      {"no terminator in the buffer", WithNavigation(true, 1, sim::Bytes(1024, 0x5A)),
       " - " + Repeat("5A", 16), 1, 1},
      {"no library", sim::DeviceProfile{}, " - not found", 0, 0},
      {"no entry point", WithNavigation(false, 1, BytesOf("X")), " - not found", 1, 0},
      {"the entry point returns zero", WithNavigation(true, 0, BytesOf("X")), " - not found", 1, 1},
      {"an empty text", WithNavigation(true, 1, {}), " - not found", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto& device = InstallSimulated(c.profile);
    Atlas_GetDeviceUUID();
    EXPECT_EQ(ReportText(device), FreshReport({"Atlas_GetDeviceUUID:", c.result}));
    const auto& record = device.record();
    const int loads =
        record.libraryLoads.count(u"NAVIAPI") ? record.libraryLoads.at(u"NAVIAPI") : 0;
    const int unloads =
        record.libraryUnloads.count(u"NAVIAPI") ? record.libraryUnloads.at(u"NAVIAPI") : 0;
    EXPECT_EQ(loads, c.loads);
    EXPECT_EQ(unloads, c.loads);
    EXPECT_EQ(record.entryPointCalls, c.entryPointCalls);
    EXPECT_EQ(ModuleReferenceCount(u"NAVIAPI"), 0);
  }
}

// The two sections close the report run, the library's after the file's whatever that found.
TEST(TextAndNavigationIds, CloseTheReportRun) {
  struct Case {
    const char* name;
    sim::DeviceProfile profile;
    std::vector<std::string> lastFour;
  };
  sim::DeviceProfile both = WithNavigation(true, 1, BytesOf("N"));
  both.files[u"\\deviceid.txt"] = {0x41};
  const std::vector<Case> cases = {
      {"neither source",
       sim::DeviceProfile{},
       {"GetTextDeviceID:", " - not found", "Atlas_GetDeviceUUID:", " - not found"}},
      {"the file only",
       WithFile(u"\\deviceid.txt", {0x41}),
       {"GetTextDeviceID:", " - " + Repeat("41", 16), "Atlas_GetDeviceUUID:", " - not found"}},
      {"the library only",
       WithNavigation(true, 1, BytesOf("N")),
       {"GetTextDeviceID:", " - not found", "Atlas_GetDeviceUUID:", " - " + Repeat("4E", 16)}},
      {"both",
       both,
       {"GetTextDeviceID:", " - " + Repeat("41", 16),
        "Atlas_GetDeviceUUID:", " - " + Repeat("4E", 16)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto& device = InstallSimulated(c.profile);
    AfxWinMain();
    const std::string text = ReportText(device);
    const std::string tail = FreshReport(c.lastFour).substr(std::string("LOG START\n").size());
    ASSERT_GE(text.size(), tail.size());
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  }
}

}  // namespace
