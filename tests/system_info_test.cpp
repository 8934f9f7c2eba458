// Tests of the system and processor report (ReportSystemInfo) on a simulated device, and of its
// helpers.
#include "probes/system_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "probes/probes.h"
#include "tests/sim_fixture.h"

namespace {

using sim::Bytes;
using testing_support::InstallSimulated;
using testing_support::ReportMessages;
using Lines = std::vector<std::string>;

template <std::size_t N>
void SetField(WCHAR (&field)[N], std::u16string_view text) {
  std::memset(field, 0, sizeof field);
  for (std::size_t i = 0; i < N && i < text.size(); ++i) field[i] = text[i];
}

PROCESSOR_INFO SampleProcessor() {
  PROCESSOR_INFO info;
  std::memset(&info, 0, sizeof info);
  info.wVersion = 1;
  SetField(info.szProcessCore, u"ARM920T");
  info.wCoreRevision = 0x1A;
  SetField(info.szProcessorName, u"S3C2440A");
  info.wProcessorRevision = 2;
  SetField(info.szCatalogNumber, u"SC32440");
  SetField(info.szVendor, u"Samsung");
  info.dwInstructionSet = 0x11;
  info.dwClockSpeed = 400000000;
  return info;
}

Bytes RecordBytes(const PROCESSOR_INFO& info) {
  Bytes bytes(sizeof info);
  std::memcpy(bytes.data(), &info, sizeof info);
  return bytes;
}

OSVERSIONINFOW Version(DWORD major, DWORD minor, DWORD build, std::u16string_view csd,
                       DWORD platform) {
  OSVERSIONINFOW v;
  std::memset(&v, 0, sizeof v);
  v.dwOSVersionInfoSize = sizeof v;
  v.dwMajorVersion = major;
  v.dwMinorVersion = minor;
  v.dwBuildNumber = build;
  SetField(v.szCSDVersion, csd);
  v.dwPlatformId = platform;
  return v;
}

sim::DeviceProfile SampleDevice() {
  sim::DeviceProfile profile;
  profile.oemInfo = u"Contoso Navigator 5000";
  profile.platformType = u"PocketPC";
  profile.version = Version(5, 0, 1400, u"Service Pack 1", 3);
  profile.hal.processor.answer = RecordBytes(SampleProcessor());
  return profile;
}

const Lines kSampleLines = {
    "LOG START",
    "SPI_GETOEMINFO: 'Contoso Navigator 5000'",
    "SPI_GETPLATFORMTYPE: 'PocketPC'",
    "OSVersion: 5.0.1400 Service Pack 1 (3)",
    "CPU1 v=00000001 core='ARM920T' rev=001a",
    "CPU2 proc='S3C2440A' rev=0002",
    "CPU3 cat='SC32440' vendor='Samsung'",
    "CPU4 set=00000011 speed=17d78400",
};

TEST(SystemInfo, ReportsTextsVersionAndProcessor) {
  auto& device = InstallSimulated(SampleDevice());
  ReportSystemInfo();
  EXPECT_EQ(ReportMessages(device), kSampleLines);

  // One processor query: no input, 576 bytes of room, a bytes-returned value.
  ASSERT_EQ(device.record().halCalls.size(), 1u);
  EXPECT_EQ(device.record().halCalls[0].code, IOCTL_PROCESSOR_INFORMATION);
  EXPECT_EQ(device.record().halCalls[0].outSize, 576u);
  EXPECT_TRUE(device.record().halCalls[0].bytesReturnedPassed);
}

TEST(SystemInfo, MissingSourcesAndEmptyServicePack) {
  struct Case {
    const char* what;
    void (*change)(sim::DeviceProfile&);
    Lines expected;
  };
  const Case cases[] = {
      {"empty service-pack text: two blanks in a row",
       [](sim::DeviceProfile& p) { p.version = Version(6, 1, 7600, u"", 3); },
       {"OSVersion: 6.1.7600  (3)"}},
      {"version query fails: the zero-filled record",
       [](sim::DeviceProfile& p) { p.version.reset(); },
       {"OSVersion: 0.0.0  (0)"}},
      {"numbers print as signed decimals",
       [](sim::DeviceProfile& p) { p.version = Version(0xFFFFFFFFu, 0, 2147483648u, u"x", 3); },
       {"OSVersion: -1.0.-2147483648 x (3)"}},
      {"service-pack text filling its 128 characters is cut to 127",
       [](sim::DeviceProfile& p) { p.version = Version(5, 0, 1, std::u16string(128, u'S'), 3); },
       {"OSVersion: 5.0.1 " + std::string(127, 'S') + " (3)"}},
  };
  for (const Case& c : cases) {
    sim::DeviceProfile profile = SampleDevice();
    profile.hal.processor.answer.reset();
    c.change(profile);
    auto& device = InstallSimulated(profile);
    ReportSystemInfo();
    const Lines lines = ReportMessages(device);
    ASSERT_EQ(lines.size(), 4u) << c.what;
    EXPECT_EQ(lines[3], c.expected[0]) << c.what;
  }
}

TEST(SystemInfo, FailingSystemParametersLeaveEmptyTexts) {
  sim::DeviceProfile profile = SampleDevice();
  profile.oemInfo.reset();
  profile.platformType = std::u16string(255, u'P');  // one more than the 255 characters of room
  auto& device = InstallSimulated(profile);
  ReportSystemInfo();
  const Lines lines = ReportMessages(device);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1], "SPI_GETOEMINFO: ''");
  EXPECT_EQ(lines[2], "SPI_GETPLATFORMTYPE: ''");
}

TEST(SystemInfo, RefusedProcessorQueryWritesNoProcessorLine) {
  sim::DeviceProfile profile = SampleDevice();
  profile.hal.processor.answer.reset();
  profile.hal.processor.refusedWrite = RecordBytes(SampleProcessor());
  auto& device = InstallSimulated(profile);
  ReportSystemInfo();
  EXPECT_EQ(ReportMessages(device), Lines(kSampleLines.begin(), kSampleLines.begin() + 4));
}

// The processor texts as the report shows them.
TEST(SystemInfo, ProcessorTextsAreMadePrintableAndBoundedByTheirFields) {
  struct Case {
    const char* what;
    void (*change)(PROCESSOR_INFO&);
    std::size_t line;  // index in the report
    std::string expected;
  };
  const Case cases[] = {
      {"tab and line ends", [](PROCESSOR_INFO& i) { SetField(i.szProcessCore, u"ARM\t92\r\n0T"); },
       4, "CPU1 v=00000001 core='ARM?92??0T' rev=001a"},
      {"characters above 126 and DEL",
       [](PROCESSOR_INFO& i) { SetField(i.szProcessorName, u"S3C\u00e92440\u007f\u20acA"); }, 5,
       "CPU2 proc='S3C?2440??A' rev=0002"},
      {"a NUL inside: only the part before it",
       [](PROCESSOR_INFO& i) { SetField(i.szCatalogNumber, std::u16string(u"SC32\0\t440", 9)); }, 6,
       "CPU3 cat='SC32' vendor='Samsung'"},
      {"full 40-character field without NUL",
       [](PROCESSOR_INFO& i) { SetField(i.szProcessCore, std::u16string(40, u'C')); }, 4,
       "CPU1 v=00000001 core='" + std::string(40, 'C') + "' rev=001a"},
      {"full 40-character name without NUL",
       [](PROCESSOR_INFO& i) { SetField(i.szProcessorName, std::u16string(40, u'N')); }, 5,
       "CPU2 proc='" + std::string(40, 'N') + "' rev=0002"},
      {"full 100-character catalog number without NUL",
       [](PROCESSOR_INFO& i) { SetField(i.szCatalogNumber, std::u16string(100, u'K')); }, 6,
       "CPU3 cat='" + std::string(100, 'K') + "' vendor='Samsung'"},
      {"full 100-character vendor without NUL, then the instruction set",
       [](PROCESSOR_INFO& i) {
         SetField(i.szVendor, std::u16string(99, u'V') + u"\t");
         i.dwInstructionSet = 0x00410041;  // "AA" if read as text
       },
       6, "CPU3 cat='SC32440' vendor='" + std::string(99, 'V') + "?'"},
      {"all numbers at their widest",
       [](PROCESSOR_INFO& i) {
         i.wVersion = 0xFFFF;
         i.wCoreRevision = 0xFFFF;
         i.dwInstructionSet = 0xFFFFFFFF;
         i.dwClockSpeed = 0;
       },
       7, "CPU4 set=ffffffff speed=00000000"},
      {"wVersion widened without sign", [](PROCESSOR_INFO& i) { i.wVersion = 0x8001; }, 4,
       "CPU1 v=00008001 core='ARM920T' rev=001a"},
  };
  for (const Case& c : cases) {
    PROCESSOR_INFO info = SampleProcessor();
    c.change(info);
    sim::DeviceProfile profile = SampleDevice();
    profile.hal.processor.answer = RecordBytes(info);
    auto& device = InstallSimulated(profile);
    ReportSystemInfo();
    const Lines lines = ReportMessages(device);
    ASSERT_EQ(lines.size(), 8u) << c.what;
    EXPECT_EQ(lines[c.line], c.expected) << c.what;
  }
}

TEST(SystemInfo, QueryProcessorInfoWritesOnlyOnSuccess) {
  sim::DeviceProfile profile;
  profile.hal.processor.refusedWrite = Bytes(576, 0x5A);
  InstallSimulated(profile);
  PROCESSOR_INFO info;
  std::memset(&info, 0x33, sizeof info);
  EXPECT_FALSE(QueryProcessorInfo(info));
  EXPECT_EQ(RecordBytes(info), Bytes(576, 0x33));

  profile.hal.processor.answer = RecordBytes(SampleProcessor());
  InstallSimulated(profile);
  EXPECT_TRUE(QueryProcessorInfo(info));
  EXPECT_EQ(RecordBytes(info), RecordBytes(SampleProcessor()));
}

TEST(SystemInfo, MakePrintable) {
  struct Case {
    std::u16string text;
    UINT limit;
    std::u16string expected;
  };
  const Case cases[] = {
      {u"abc~ 1", 6, u"abc~ 1"},
      {u"a\tb\x1f\x7f\x80\xff\u0100c", 9, u"a?b?????c"},
      // The walk ends at the limit: characters beyond it are not looked at.
      {u"\t\t\t\t", 2, u"??\t\t"},
      {u"\t\t", 0, u"\t\t"},
      // A NUL ends the walk; what follows it stays.
      {std::u16string(u"a\tb\0\t\x80", 6), 6, std::u16string(u"a?b\0\t\x80", 6)},
  };
  for (const Case& c : cases) {
    std::u16string text = c.text;
    MakePrintable(text.data(), c.limit);
    EXPECT_EQ(text, c.expected);
  }
  MakePrintable(nullptr, 10);  // nothing to rewrite
}

}  // namespace
