// The GUID node and Bluetooth address sections on simulated devices.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "probes/probes.h"
#include "tests/sim_fixture.h"

namespace {

using testing_support::FreshReport;
using testing_support::InstallSimulated;
using testing_support::ReportText;

constexpr GUID kGuid = {
    0x11223344, 0x5566, 0x7788, {0x99, 0xAA, 0x00, 0x1B, 0x2C, 0x3D, 0x4E, 0x0F}};

sim::DeviceProfile WithGuid(bool present, HRESULT result, std::optional<GUID> guid) {
  sim::DeviceProfile profile;
  profile.guid = {present, result, guid};
  return profile;
}

TEST(HardwareAddress, GuidNodeLine) {
  struct Case {
    const char* name;
    sim::DeviceProfile profile;
    std::string result;
  };
  const std::vector<Case> cases = {
      // Data4 bytes 2 to 7, in memory order: 12 digits.
      {"node of a fresh GUID", WithGuid(true, S_OK, kGuid), " - 001B2C3D4E0F"},
      {"a success code other than 0", WithGuid(true, 1, kGuid), " - 001B2C3D4E0F"},
      {"no entry point", WithGuid(false, S_OK, kGuid), " - "},
      // A failed call shows nothing, whatever it left in the GUID.
      {"failure that wrote a GUID", WithGuid(true, E_FAIL, kGuid), " - "},
      {"failure that wrote nothing", WithGuid(true, E_OUTOFMEMORY, std::nullopt), " - "},
      // A successful call that writes nothing shows the zeroed GUID.
      {"success that wrote nothing", WithGuid(true, S_OK, std::nullopt), " - 000000000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto& device = InstallSimulated(c.profile);
    GetMACaddress1();
    EXPECT_EQ(ReportText(device), FreshReport({"GetMACaddress1:", c.result}));
  }
}

sim::DeviceProfile WithRadio(std::optional<std::uint64_t> address, bool bindFails = false,
                             bool getsocknameFails = false) {
  sim::DeviceProfile profile;
  profile.bluetooth = {address, bindFails, getsocknameFails};
  return profile;
}

TEST(HardwareAddress, BluetoothLineAndSocketLifetime) {
  struct Case {
    const char* name;
    sim::DeviceProfile profile;
    std::string result;
    int socketsOpened;
  };
  const std::vector<Case> cases = {
      // 00:11:22:33:44:55 in memory order, then the two upper bytes of the 64-bit value.
      {"48-bit radio address", WithRadio(0x001122334455), " - 5544332211000000", 1},
      {"all 64 bits", WithRadio(0x8877665544332211), " - 1122334455667788", 1},
      {"no Bluetooth stack", WithRadio(std::nullopt), " - ", 0},
      {"bind refused", WithRadio(0x001122334455, true), " - ", 1},
      {"getsockname refused", WithRadio(0x001122334455, false, true), " - ", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto& device = InstallSimulated(c.profile);
    DumpBluetoothAddress();
    EXPECT_EQ(ReportText(device), FreshReport({"getMicrosoftBluetoothAddress:", c.result}));
    EXPECT_EQ(device.record().socketsOpened, c.socketsOpened);
    EXPECT_EQ(device.record().socketsClosed, c.socketsOpened);
  }
}

TEST(HardwareAddress, BluetoothAddressWritesSeventeenCharactersOnlyOnSuccess) {
  constexpr char16_t kCanary = 0xCDCD;
  std::array<WCHAR, 32> text{};

  InstallSimulated(WithRadio(std::nullopt));
  text.fill(kCanary);
  EXPECT_FALSE(getMicrosoftBluetoothAddress(text.data()));
  EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](WCHAR c) { return c == kCanary; }));

  InstallSimulated(WithRadio(0x0000A1B2C3D4E5F6));
  text.fill(kCanary);
  EXPECT_TRUE(getMicrosoftBluetoothAddress(text.data()));
  EXPECT_EQ(std::u16string(text.data(), 17), std::u16string(u"F6E5D4C3B2A10000\0", 17));
  EXPECT_TRUE(std::all_of(text.begin() + 17, text.end(), [](WCHAR c) { return c == kCanary; }));
}

}  // namespace
