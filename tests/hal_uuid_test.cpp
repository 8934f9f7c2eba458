// Tests of the HAL UUID sections (GetDeviceUUID, GetDeviceUUID2) on a simulated device, run after
// the device identifier sections with one HAL output buffer, as the report run does.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/hal.h"
#include "probes/probes.h"
#include "tests/sim_fixture.h"

namespace {

using sim::Bytes;
using testing_support::InstallSimulated;
using testing_support::ReportMessages;
using Lines = std::vector<std::string>;

const Bytes kPreset12 = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l'};
const Bytes kPlatform16 = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H',
                           'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P'};

Bytes Counting(std::size_t n) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<BYTE>(0x11 * (i % 15 + 1));
  return bytes;
}

// The four HAL sections in run order with one buffer; returns the lines of the two UUID
// sections.
Lines RunHalSections(sim::SimulatedDevice& device, HalOutputBuffer& halOutput) {
  DumpDeviceGUID(halOutput);
  DumpDeviceGUID2(halOutput);
  const std::size_t before = ReportMessages(device).size();
  DumpDeviceUUID(halOutput);
  DumpDeviceUUID2(halOutput);
  const Lines lines = ReportMessages(device);
  return Lines(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end());
}

sim::DeviceProfile HalProfile(std::optional<Bytes> deviceId, std::optional<Bytes> uuid) {
  sim::DeviceProfile profile;
  profile.hal.deviceId.answer = std::move(deviceId);
  profile.hal.uuid.answer = std::move(uuid);
  return profile;
}

// The UUID's length decides the picks of GetDeviceUUID; GetDeviceUUID2 shows the buffer's first
// 16 bytes, where bytes the UUID did not cover keep the 48-byte structure's header
// (30000000 14000000 0C000000 20000000).
TEST(HalUuid, UuidLengthsAfterThe48ByteStructure) {
  struct Case {
    std::size_t length;
    std::string uuid;
    std::string uuid2;
  };
  const Case cases[] = {
      // In order.
      {16, "112233445566778899AABBCCDDEEFF11", "112233445566778899AABBCCDDEEFF11"},
      // The first 16 only; 16 bytes of room are too few, so the second section shows them too.
      {20, "112233445566778899AABBCCDDEEFF11", "112233445566778899AABBCCDDEEFF11"},
      // Bytes 0-5, 0-5, 0-3; the second section's 6 bytes lead, the header's bytes 6-15 follow.
      {6, "11223344556611223344556611223344", "11223344556600000C00000020000000"},
      // One byte sixteen times.
      {1, "11111111111111111111111111111111", "11000000140000000C00000020000000"},
  };
  for (const Case& c : cases) {
    auto& device = InstallSimulated(
        HalProfile(sim::DeviceIdStructure(kPreset12, kPlatform16), Counting(c.length)));
    HalOutputBuffer halOutput{};
    EXPECT_EQ(RunHalSections(device, halOutput),
              (Lines{"GetDeviceUUID:", " - " + c.uuid, "GetDeviceUUID2:", " - " + c.uuid2}))
        << c.length;
    EXPECT_TRUE(device.record().sleeps.empty());
  }
}

TEST(HalUuid, RefusedUuidShowsWhatTheDeviceIdSectionsLeft) {
  struct Case {
    const char* what;
    std::optional<Bytes> deviceId;
    std::string uuid2;
  };
  const Case cases[] = {
      {"device ID answered with the 48-byte structure",
       sim::DeviceIdStructure(kPreset12, kPlatform16), "30000000140000000C00000020000000"},
      {"device ID refused too: dwSize 1024 and zeros", std::nullopt,
       "00040000000000000000000000000000"},
  };
  for (const Case& c : cases) {
    auto& device = InstallSimulated(HalProfile(c.deviceId, std::nullopt));
    HalOutputBuffer halOutput{};
    EXPECT_EQ(RunHalSections(device, halOutput),
              (Lines{"GetDeviceUUID:", " - ", "GetDeviceUUID2:", " - " + c.uuid2}))
        << c.what;

    // Ten UUID queries per section, with 1024 and 16 bytes of room, and no waits of their own.
    std::vector<DWORD> uuidSizes;
    for (const auto& call : device.record().halCalls) {
      if (call.code != IOCTL_HAL_GET_UUID) continue;
      uuidSizes.push_back(call.outSize);
      EXPECT_TRUE(call.bytesReturnedPassed);
    }
    std::vector<DWORD> expectedSizes(10, 1024);
    expectedSizes.insert(expectedSizes.end(), 10, 16);
    EXPECT_EQ(uuidSizes, expectedSizes) << c.what;
    EXPECT_EQ(device.record().sleeps.size(), c.deviceId ? 0u : 20u) << c.what;
  }
}

TEST(HalUuid, RefusedQueriesShowWhatTheyWrote) {
  // A HAL that writes two bytes into the output when it refuses: the second section shows them in
  // front of the header's remaining bytes.
  sim::DeviceProfile profile = HalProfile(sim::DeviceIdStructure(kPreset12, kPlatform16), {});
  profile.hal.uuid.answer.reset();
  profile.hal.uuid.refusedWrite = {0xEE, 0xEF};
  auto& device = InstallSimulated(profile);
  HalOutputBuffer halOutput{};
  EXPECT_EQ(
      RunHalSections(device, halOutput),
      (Lines{"GetDeviceUUID:", " - ", "GetDeviceUUID2:", " - EEEF0000140000000C00000020000000"}));
}

TEST(HalUuid, SuccessWithZeroBytesGivesAnEmptyLine) {
  auto& device =
      InstallSimulated(HalProfile(sim::DeviceIdStructure(kPreset12, kPlatform16), Bytes{}));
  HalOutputBuffer halOutput{};
  EXPECT_EQ(
      RunHalSections(device, halOutput),
      (Lines{"GetDeviceUUID:", " - ", "GetDeviceUUID2:", " - 30000000140000000C00000020000000"}));
  // The first success ends the queries.
  std::size_t uuidCalls = 0;
  for (const auto& call : device.record().halCalls) uuidCalls += call.code == IOCTL_HAL_GET_UUID;
  EXPECT_EQ(uuidCalls, 2u);
}

TEST(HalUuid, RefusalsBeforeTheAnswerCostNoWaits) {
  sim::DeviceProfile profile = HalProfile(std::nullopt, Counting(16));
  profile.hal.uuid.refusals = 9;
  auto& device = InstallSimulated(profile);
  HalOutputBuffer halOutput{};
  DumpDeviceUUID(halOutput);
  EXPECT_EQ(ReportMessages(device),
            (Lines{"LOG START", "GetDeviceUUID:", " - 112233445566778899AABBCCDDEEFF11"}));
  EXPECT_EQ(device.record().halCalls.size(), 10u);
  EXPECT_TRUE(device.record().sleeps.empty());
}

}  // namespace
