// Tests of the HAL device identifier sections (GetDeviceGUID, GetDeviceGUID2) on a simulated
// device.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/hal.h"
#include "probes/probes.h"
#include "tests/sim_fixture.h"

namespace {

using sim::Bytes;
using testing_support::InstallSimulated;
using testing_support::ReportMessages;
using testing_support::ReportText;
using Lines = std::vector<std::string>;

// Platform part "ABCDEFGHIJKLMNOP" (16 bytes at 32), preset part "abcdefghijkl" (12 bytes at 20).
const Bytes kPreset12 = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l'};
const Bytes kPlatform16 = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H',
                           'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P'};

// What both sections write after the heading (and the dwSize line) for the 48-byte structure.
const Lines kStructure48Lines = {
    " - DeviceID.dwPlatformIDBytes = 16",
    " - DeviceID.dwPresetIDBytes = 12",
    " - adr: 32; data: 65 (A)",
    " - adr: 33; data: 66 (B)",
    " - adr: 34; data: 67 (C)",
    " - adr: 35; data: 68 (D)",
    " - adr: 36; data: 69 (E)",
    " - adr: 37; data: 70 (F)",
    " - adr: 38; data: 71 (G)",
    " - adr: 39; data: 72 (H)",
    " - adr: 40; data: 73 (I)",
    " - adr: 41; data: 74 (J)",
    " - adr: 42; data: 75 (K)",
    " - adr: 43; data: 76 (L)",
    " - adr: 44; data: 77 (M)",
    " - adr: 45; data: 78 (N)",
    " - adr: 46; data: 79 (O)",
    " - adr: 47; data: 80 (P)",
    " - adr: 20; data: 97 (a)",
    " - adr: 21; data: 98 (b)",
    " - adr: 22; data: 99 (c)",
    " - adr: 23; data: 100 (d)",
    " - adr: 24; data: 101 (e)",
    " - adr: 25; data: 102 (f)",
    " - adr: 26; data: 103 (g)",
    " - adr: 27; data: 104 (h)",
    " - adr: 28; data: 105 (i)",
    " - adr: 29; data: 106 (j)",
    " - adr: 30; data: 107 (k)",
    " - adr: 31; data: 108 (l)",
    " - 4142434445464748494A4B4C4D4E4F506162636465666768696A6B6C",
};

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

sim::DeviceProfile DeviceIdProfile(std::optional<Bytes> answer) {
  sim::DeviceProfile profile;
  profile.hal.deviceId.answer = std::move(answer);
  return profile;
}

// A DEVICE_ID structure of `size` bytes (filled with 0xC0 + position % 16) whose header says what
// the arguments say, whatever the size.
Bytes LyingStructure(DWORD size, DWORD presetOffset, DWORD presetBytes, DWORD platformOffset,
                     DWORD platformBytes) {
  Bytes bytes(size);
  for (DWORD i = 0; i < size; ++i) bytes[i] = static_cast<BYTE>(0xC0 + i % 16);
  const DEVICE_ID head{size, presetOffset, presetBytes, platformOffset, platformBytes};
  std::memcpy(bytes.data(), &head, sizeof head);
  return bytes;
}

TEST(HalDeviceId, Structure48BothSections) {
  auto& device = InstallSimulated(DeviceIdProfile(sim::DeviceIdStructure(kPreset12, kPlatform16)));
  HalOutputBuffer halOutput{};
  DumpDeviceGUID(halOutput);
  DumpDeviceGUID2(halOutput);

  EXPECT_EQ(ReportMessages(device),
            Concat({{"LOG START", "GetDeviceGUID:", " - DeviceID.dwSize = 48"},
                    kStructure48Lines,
                    {"GetDeviceGUID2:"},
                    kStructure48Lines}));
  EXPECT_TRUE(device.record().sleeps.empty());

  // Size query (20 bytes, no bytes-returned), the learned size, then the fixed size.
  const auto& calls = device.record().halCalls;
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].code, IOCTL_HAL_GET_DEVICEID);
  EXPECT_EQ(calls[0].outSize, 20u);
  EXPECT_FALSE(calls[0].bytesReturnedPassed);
  EXPECT_EQ(calls[1].outSize, 48u);
  EXPECT_TRUE(calls[1].bytesReturnedPassed);
  EXPECT_EQ(calls[2].outSize, 1024u);
  EXPECT_TRUE(calls[2].bytesReturnedPassed);

  // The buffer holds the HAL's structure and the zeros behind it.
  const Bytes expected = sim::DeviceIdStructure(kPreset12, kPlatform16);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), halOutput.begin()));
  EXPECT_TRUE(std::all_of(halOutput.begin() + 48, halOutput.end(), [](BYTE b) { return b == 0; }));
}

TEST(HalDeviceId, BothCountsZero) {
  auto& device = InstallSimulated(DeviceIdProfile(sim::DeviceIdStructure({}, {})));
  HalOutputBuffer halOutput{};
  DumpDeviceGUID(halOutput);
  DumpDeviceGUID2(halOutput);

  EXPECT_EQ(ReportMessages(device),
            (Lines{"LOG START", "GetDeviceGUID:", " - DeviceID.dwSize = 20",
                   " - DeviceID.dwPlatformIDBytes = 0", " - DeviceID.dwPresetIDBytes = 0", " - ",
                   "GetDeviceGUID2:", " - DeviceID.dwPlatformIDBytes = 0",
                   " - DeviceID.dwPresetIDBytes = 0", " - "}));
}

TEST(HalDeviceId, RefusingHalWaitsTenTimesPerSection) {
  auto& device = InstallSimulated(DeviceIdProfile(std::nullopt));
  HalOutputBuffer halOutput;
  halOutput.fill(0xAA);  // whatever was there before is cleared by the sections
  DumpDeviceGUID(halOutput);
  EXPECT_EQ(device.record().sleeps, std::vector<DWORD>(10, 100));
  DumpDeviceGUID2(halOutput);
  EXPECT_EQ(device.record().sleeps, std::vector<DWORD>(20, 100));

  EXPECT_EQ(ReportMessages(device), (Lines{"LOG START", "GetDeviceGUID:", " - DeviceID.dwSize = 0",
                                           " - ", "GetDeviceGUID2:", " - "}));
  const auto& calls = device.record().halCalls;
  ASSERT_EQ(calls.size(), 21u);
  EXPECT_EQ(calls[0].outSize, 20u);
  for (std::size_t i = 1; i <= 10; ++i) EXPECT_EQ(calls[i].outSize, 0u) << i;
  for (std::size_t i = 11; i <= 20; ++i) EXPECT_EQ(calls[i].outSize, 1024u) << i;

  // What the next sections start from: dwSize 1024, then zeros.
  HalOutputBuffer expected{};
  expected[1] = 0x04;
  EXPECT_EQ(halOutput, expected);
}

TEST(HalDeviceId, RefusalsBeforeSuccessWaitOnlyAfterEachRefusal) {
  sim::DeviceProfile profile = DeviceIdProfile(sim::DeviceIdStructure({}, {0x41}));
  profile.hal.deviceId.refusals = 3;
  auto& device = InstallSimulated(profile);
  HalOutputBuffer halOutput{};
  DumpDeviceGUID(halOutput);

  EXPECT_EQ(ReportMessages(device),
            (Lines{"LOG START", "GetDeviceGUID:", " - DeviceID.dwSize = 21",
                   " - DeviceID.dwPlatformIDBytes = 1", " - DeviceID.dwPresetIDBytes = 0",
                   " - adr: 20; data: 65 (A)", " - 41"}));
  EXPECT_EQ(device.record().sleeps, std::vector<DWORD>(3, 100));
  EXPECT_EQ(device.record().halCalls.size(), 5u);  // size query, three refusals, the answer
}

TEST(HalDeviceId, FailingSecondSectionAfterSuccessfulFirstShowsEmptyResult) {
  auto& device = InstallSimulated(DeviceIdProfile(sim::DeviceIdStructure(kPreset12, kPlatform16)));
  HalOutputBuffer halOutput{};
  DumpDeviceGUID(halOutput);
  device.profile().hal.deviceId.answer.reset();
  DumpDeviceGUID2(halOutput);

  EXPECT_EQ(ReportMessages(device),
            Concat({{"LOG START", "GetDeviceGUID:", " - DeviceID.dwSize = 48"},
                    kStructure48Lines,
                    {"GetDeviceGUID2:", " - "}}));
  EXPECT_EQ(device.record().sleeps, std::vector<DWORD>(10, 100));
}

// How one identifier byte shows in its byte line and in the hex text.
TEST(HalDeviceId, ByteLines) {
  struct Case {
    BYTE value;
    std::string byteLine;
    std::string hex;
  };
  const Case cases[] = {
      {0x41, " - adr: 20; data: 65 (A)", " - 41"},
      {0x20, " - adr: 20; data: 32 ( )", " - 20"},
      {0x7E, " - adr: 20; data: 126 (~)", " - 7E"},
      // The report takes a message up to its first NUL: the line ends at the parenthesis.
      {0x00, " - adr: 20; data: 0 (", " - 00"},
      // Control characters would break the report's lines; they show as "?".
      {0x0A, " - adr: 20; data: 10 (?)", " - 0A"},
      {0x0D, " - adr: 20; data: 13 (?)", " - 0D"},
      {0x09, " - adr: 20; data: 9 (?)", " - 09"},
      {0x1B, " - adr: 20; data: 27 (?)", " - 1B"},
      {0x7F, " - adr: 20; data: 127 (?)", " - 7F"},
      // Above 127 the character is the code page's.
      {0xE9, " - adr: 20; data: 233 (\xE9)", " - E9"},
      {0xFF, " - adr: 20; data: 255 (\xFF)", " - FF"},
  };
  for (const Case& c : cases) {
    auto& device = InstallSimulated(DeviceIdProfile(sim::DeviceIdStructure({c.value}, {})));
    HalOutputBuffer halOutput{};
    DumpDeviceGUID2(halOutput);
    EXPECT_EQ(ReportMessages(device),
              (Lines{"LOG START", "GetDeviceGUID2:", " - DeviceID.dwPlatformIDBytes = 0",
                     " - DeviceID.dwPresetIDBytes = 1", c.byteLine, c.hex}))
        << int{c.value};
  }
}

// The header's offsets and counts come from the HAL: only positions inside what the HAL returned
// are read, and a part is cut where the answer ends.
TEST(HalDeviceId, PositionsOutsideTheAnswerAreNotRead) {
  struct Case {
    const char* what;
    DWORD presetOffset, presetBytes, platformOffset, platformBytes;
    std::vector<DWORD> positions;  // byte lines, in order
  };
  const Case cases[] = {
      {"inside", 20, 2, 30, 3, {30, 31, 32, 20, 21}},
      {"platform part runs past the 48 bytes returned", 20, 2, 44, 16, {44, 45, 46, 47, 20, 21}},
      {"part starts at the end of the answer", 48, 4, 20, 1, {20}},
      {"part starts inside the buffer but past the answer", 100, 4, 20, 1, {20}},
      {"part starts beyond the 1024-byte buffer", 2000, 4, 20, 1, {20}},
      {"offset + count wraps around 32 bits", 20, 1, 0xFFFFFFF0u, 0x20, {20}},
      {"count wraps an in-range offset", 40, 0xFFFFFFFFu, 20, 0, {40, 41, 42, 43, 44, 45, 46, 47}},
  };
  for (const Case& c : cases) {
    const Bytes answer =
        LyingStructure(48, c.presetOffset, c.presetBytes, c.platformOffset, c.platformBytes);
    auto& device = InstallSimulated(DeviceIdProfile(answer));
    HalOutputBuffer halOutput{};
    DumpDeviceGUID2(halOutput);

    Lines expected = {"LOG START", "GetDeviceGUID2:",
                      " - DeviceID.dwPlatformIDBytes = " + std::to_string(int(c.platformBytes)),
                      " - DeviceID.dwPresetIDBytes = " + std::to_string(int(c.presetBytes))};
    std::string hex;
    for (DWORD position : c.positions) {
      const int value = 0xC0 + static_cast<int>(position % 16);
      expected.push_back(" - adr: " + std::to_string(position) +
                         "; data: " + std::to_string(value) + " (" + char(value) + ")");
      char digits[3];
      std::snprintf(digits, sizeof digits, "%02X", value);
      hex += digits;
    }
    expected.push_back(" - " + hex);
    EXPECT_EQ(ReportMessages(device), expected) << c.what;
  }
}

TEST(HalDeviceId, CountsPrintAsSignedDecimals) {
  // A count of 0xFFFFFFFF prints as -1; its part is cut at the end of the answer.
  auto& device = InstallSimulated(DeviceIdProfile(LyingStructure(22, 20, 0xFFFFFFFFu, 0, 0)));
  HalOutputBuffer halOutput{};
  DumpDeviceGUID2(halOutput);
  EXPECT_EQ(ReportMessages(device),
            (Lines{"LOG START", "GetDeviceGUID2:", " - DeviceID.dwPlatformIDBytes = 0",
                   " - DeviceID.dwPresetIDBytes = -1", " - adr: 20; data: 196 (\xC4)",
                   " - adr: 21; data: 197 (\xC5)", " - C4C5"}));
}

TEST(HalDeviceId, LearnedSizeAbove1024IsOfferedAs1024) {
  const Bytes big = sim::DeviceIdStructure(Bytes(1064, 0x55), kPlatform16);  // 1100 bytes
  auto& device = InstallSimulated(DeviceIdProfile(big));
  HalOutputBuffer halOutput{};
  DumpDeviceGUID(halOutput);

  EXPECT_EQ(ReportMessages(device),
            (Lines{"LOG START", "GetDeviceGUID:", " - DeviceID.dwSize = 1100", " - "}));
  const auto& calls = device.record().halCalls;
  ASSERT_EQ(calls.size(), 11u);
  for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_EQ(calls[i].outSize, 1024u) << i;
  EXPECT_EQ(device.record().sleeps, std::vector<DWORD>(10, 100));
}

TEST(HalDeviceId, LongIdentifierKeepsEveryByteLineAndAWholeHexLine) {
  // 600 preset bytes and 16 platform bytes: 616 byte lines; the hex text carries the first 491
  // bytes, so that its line fits the report even with the longest time stamp.
  Bytes preset(600);
  for (std::size_t i = 0; i < preset.size(); ++i) preset[i] = static_cast<BYTE>(0x30 + i % 10);
  sim::DeviceProfile profile = DeviceIdProfile(sim::DeviceIdStructure(preset, kPlatform16));
  profile.clock = SYSTEMTIME{65535, 65535, 0, 65535, 65535, 65535, 65535, 0};
  auto& device = InstallSimulated(profile);
  HalOutputBuffer halOutput{};
  DumpDeviceGUID2(halOutput);

  const std::string stamp = "65535:65535:65535 65535:65535:65535: ";
  ASSERT_EQ(stamp.size(), 37u);
  const Lines lines = ReportMessages(device);
  ASSERT_EQ(lines.size(), 2u + 2u + 616u + 1u);
  EXPECT_EQ(lines[4], " - adr: 620; data: 65 (A)");
  EXPECT_EQ(lines[4 + 16], " - adr: 20; data: 48 (0)");
  EXPECT_EQ(lines[4 + 615], " - adr: 619; data: 57 (9)");

  std::string hex = "4142434445464748494A4B4C4D4E4F50";
  for (std::size_t i = 0; i < 491 - 16; ++i) hex += "3" + std::to_string(i % 10);
  const std::string text = ReportText(device);
  EXPECT_TRUE(text.ends_with("\n" + stamp + " - " + hex + "\n"));
  EXPECT_EQ(stamp.size() + 3 + hex.size() + 1, 1023u);
}

}  // namespace
