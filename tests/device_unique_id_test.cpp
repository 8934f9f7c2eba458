// The per-application device identifier section on simulated devices.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/modules.h"
#include "probes/probes.h"
#include "tests/sim_fixture.h"

namespace {

using testing_support::FreshReport;
using testing_support::InstallSimulated;
using testing_support::ReportText;

sim::DeviceProfile WithUniqueId(HRESULT result, sim::Bytes bytes,
                                std::optional<DWORD> length = std::nullopt) {
  sim::DeviceProfile profile;
  profile.uniqueId = {true, result, std::move(bytes), length};
  return profile;
}

// The 20 bytes 0x00, 0x0A, 0x14, ... 0xBE (steps of 10): small bytes keep their leading zero.
sim::Bytes TwentyBytes() {
  sim::Bytes bytes;
  for (int i = 0; i < 20; ++i) bytes.push_back(static_cast<BYTE>(10 * i));
  return bytes;
}
constexpr const char* kTwentyBytesHex = "000A141E28323C46505A646E78828C96A0AAB4BE";

TEST(DeviceUniqueId, WithoutTheEntryPointTheCallIsNotMade) {
  auto& device = InstallSimulated();
  DumpDeviceUniqueID();
  EXPECT_EQ(ReportText(device),
            FreshReport({"Trying to get GetDeviceUniqueID", " - failed getting fn"}));
  EXPECT_TRUE(device.record().uniqueIdAppData.empty());
}

TEST(DeviceUniqueId, ReportsTheIdentifierOrTheFailure) {
  struct Case {
    const char* name;
    sim::DeviceProfile profile;
    std::string result;
  };
  const std::vector<Case> cases = {
      {"E_FAIL as a signed number", WithUniqueId(E_FAIL, {1, 2, 3}),
       " - failed calling pGetDeviceUniqueID = -2147467259"},
      {"another failure", WithUniqueId(E_INVALIDARG, {}),
       " - failed calling pGetDeviceUniqueID = -2147024809"},
      {"20 bytes give 40 digits", WithUniqueId(S_OK, TwentyBytes()),
       std::string(" - guid = ") + kTwentyBytesHex},
      {"a success code other than 0", WithUniqueId(1, {0xDE, 0xAD}), " - guid = DEAD"},
      {"the largest success code", WithUniqueId(0x7FFFFFFF, {0x01}), " - guid = 01"},
      {"length 0", WithUniqueId(S_OK, {0x11, 0x22}, 0), " - guid = "},
      {"0x0A keeps its zero", WithUniqueId(S_OK, {0x0A}), " - guid = 0A"},
      {"only the reported length", WithUniqueId(S_OK, {0xAB, 0xCD, 0xEF}, 2), " - guid = ABCD"},
      // The output holds 20 bytes; a longer length renders those and reads nothing beyond.
      {"length 21", WithUniqueId(S_OK, TwentyBytes(), 21),
       std::string(" - guid = ") + kTwentyBytesHex},
      {"length 0xFFFFFFFF", WithUniqueId(S_OK, TwentyBytes(), 0xFFFFFFFFu),
       std::string(" - guid = ") + kTwentyBytesHex},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto& device = InstallSimulated(c.profile);
    DumpDeviceUniqueID();
    EXPECT_EQ(ReportText(device), FreshReport({"Trying to get GetDeviceUniqueID", c.result}));
  }
}

TEST(DeviceUniqueId, AsksOnceWithTheApplicationDataAndLeavesTheSystemLibraryLoaded) {
  auto& device = InstallSimulated(WithUniqueId(S_OK, {0x42}));
  const int before = ModuleReferenceCount(u"coredll.dll");
  DumpDeviceUniqueID();
  const std::string appData(device.record().uniqueIdAppData.begin(),
                            device.record().uniqueIdAppData.end());
  EXPECT_EQ(appData, "@^!qzvbrtnkwx!^@");  // 16 bytes, no terminator
  EXPECT_EQ(device.record().uniqueIdVersion, 1u);
  EXPECT_EQ(device.record().uniqueIdRoom, 20u);
  EXPECT_EQ(ModuleReferenceCount(u"coredll.dll"), before + 1);
}

}  // namespace
