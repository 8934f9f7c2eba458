// Tests of the host readers and parsers for system, processor and hardware-identifier facts.
#include "platform/linux/host_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/temp_tree.h"

namespace host {

void PrintTo(const CpuFacts& f, std::ostream* os) {
  *os << "{core=\"" << f.core << "\" name=\"" << f.name << "\" catalog=\"" << f.catalog
      << "\" vendor=\"" << f.vendor << "\" version=" << f.version
      << " coreRevision=" << f.coreRevision << " processorRevision=" << f.processorRevision
      << " instructionSet=0x" << std::hex << f.instructionSet << std::dec
      << " clockMHz=" << f.clockMHz << "}";
}

void PrintTo(const KernelVersion& v, std::ostream* os) {
  *os << v.major << "." << v.minor << "." << v.build;
}

}  // namespace host

namespace {

using host::CpuFacts;
using host::Id128;
using namespace std::string_literals;

std::string FixtureRoot(const std::string& name) {
  return std::string(VANTRACE_FIXTURES_DIR) + "/hosts/" + name;
}

Id128 Bytes(std::initializer_list<int> values) {
  Id128 id{};
  std::size_t i = 0;
  for (int v : values) id.at(i++) = static_cast<std::uint8_t>(v);
  return id;
}

// ---------------------------------------------------------------------------------------------
// The recorded machines, replayed through every reader.

struct HostExpectation {
  std::string fixture;
  std::optional<std::string> oem;
  std::optional<std::string> platform;
  std::optional<std::string> prettyName;
  CpuFacts cpu;
  std::optional<Id128> machineId;
  std::optional<std::string> serial;
  std::optional<Id128> uuid;
};

TEST(HostFixtures, ReadersGiveTheRecordedMachinesFacts) {
  const std::vector<HostExpectation> cases = {
      {"x86-laptop", "Dell Inc. XPS 13 9370", "laptop", "Ubuntu 22.04.4 LTS",
       CpuFacts{"family 6 model 142", "Intel(R) Core(TM) i7-8550U CPU @ 1.80GHz", "0xf4",
                "GenuineIntel", 8, 142, 10,
                host::kIsaX86Fpu | host::kIsaX86Mmx | host::kIsaX86Sse | host::kIsaX86Sse2 |
                    host::kIsaX86Avx | host::kIsaX86Avx2 | host::kIsaX86Aes | host::kIsaX86Lm,
                4000},
       Bytes({0x5e, 0x0f, 0x3a, 0x9c, 0x1b, 0x2d, 0x4e, 0x6f, 0x8a, 0x7b, 0x9c, 0x0d, 0x1e, 0x2f,
              0x3a, 0x4b}),
       "7QK3XN2",
       Bytes({0x4c, 0x4c, 0x45, 0x44, 0x00, 0x51, 0x4b, 0x10, 0x80, 0x33, 0xb7, 0xc0, 0x4f, 0x58,
              0x4e, 0x32})},
      // No DMI: the device tree names the board; os-release only under usr/lib; no machine ID.
      {"arm-board", "Raspberry Pi 4 Model B Rev 1.4", "embedded", "Debian GNU/Linux 12 (bookworm)",
       CpuFacts{"Cortex-A72", "BCM2835", "r0p3", "ARM", 4, 0, 3,
                host::kIsaArmFp | host::kIsaArmSimd | host::kIsaArmCrc32, 1800},
       std::nullopt, "10000000a1b2c3d4", std::nullopt},
      // No DMI, no device tree, no cpufreq and no microcode line: cpu MHz and stepping are used.
      {"vm-nodmi", std::nullopt, "vm", "Fedora Linux 39 (Server Edition)",
       CpuFacts{"family 15 model 107", "QEMU Virtual CPU version 2.5+", "stepping 1",
                "AuthenticAMD", 2, 107, 1,
                host::kIsaX86Fpu | host::kIsaX86Mmx | host::kIsaX86Sse | host::kIsaX86Sse2 |
                    host::kIsaX86Lm,
                2495},
       Bytes({0x0a, 0x1b, 0x2c, 0x3d, 0x4e, 0x5f, 0x60, 0x71, 0x82, 0x93, 0xa4, 0xb5, 0xc6, 0xd7,
              0xe8, 0xf9}),
       std::nullopt, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fixture);
    const std::string root = FixtureRoot(c.fixture);
    ASSERT_TRUE(std::filesystem::is_directory(root)) << root;
    EXPECT_EQ(host::ReadOemText(root), c.oem);
    EXPECT_EQ(host::ReadPlatformType(root), c.platform);
    EXPECT_EQ(host::ReadOsPrettyName(root), c.prettyName);
    EXPECT_EQ(host::ReadCpuFacts(root), c.cpu);
    EXPECT_EQ(host::ReadMachineId(root), c.machineId);
    EXPECT_EQ(host::ReadHardwareSerial(root), c.serial);
    EXPECT_EQ(host::ReadHardwareUuid(root), c.uuid);
  }
}

TEST(HostFixtures, CpufreqMaximumReplacesTheCurrentCpuMHz) {
  // The laptop's processor 0 was idling at 800.032 MHz when recorded; its maximum is 4 GHz.
  const auto text =
      host::ReadHostFile(FixtureRoot("x86-laptop"), "proc/cpuinfo", host::kMaxCpuInfoBytes);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(host::ParseCpuInfo(*text).clockMHz, 800u);
  EXPECT_EQ(host::ReadCpuFacts(FixtureRoot("x86-laptop"))->clockMHz, 4000u);
}

// ---------------------------------------------------------------------------------------------
// Reading files

TEST(ReadHostFile, ReadsRegularFilesOnlyAndNeverMoreThanTheCap) {
  TempTree tree;
  tree.Write("etc/empty", "");
  tree.Write("etc/binary", "a\0b\xff\n"s);
  tree.Write("etc/big", std::string(host::kMaxHostFileBytes, 'x') + "TAIL");
  tree.MakeDir("etc/folder");

  EXPECT_EQ(host::ReadHostFile(tree.Root(), "etc/empty"), std::optional<std::string>(""));
  EXPECT_EQ(host::ReadHostFile(tree.Root(), "etc/binary"), std::optional("a\0b\xff\n"s));
  EXPECT_EQ(host::ReadHostFile(tree.Root(), "etc/big"),
            std::optional(std::string(host::kMaxHostFileBytes, 'x')));
  EXPECT_EQ(host::ReadHostFile(tree.Root(), "etc/big", 3), std::optional("xxx"s));
  EXPECT_EQ(host::ReadHostFile(tree.Root(), "etc/missing"), std::nullopt);
  EXPECT_EQ(host::ReadHostFile(tree.Root(), "etc/folder"), std::nullopt);
  // A device file would never end (dev/zero) or has nothing to say: only regular files are read.
  EXPECT_EQ(host::ReadHostFile("/", "dev/zero"), std::nullopt);
  EXPECT_EQ(host::ReadHostFile("/", "dev/null"), std::nullopt);
}

TEST(ReadHostFile, JoinsRootAndPathWithExactlyOneSlash) {
  TempTree tree;
  tree.Write("etc/machine-id", "x");
  for (const std::string& root : {tree.Root(), tree.Root() + "/"}) {
    for (const char* path : {"etc/machine-id", "/etc/machine-id"}) {
      EXPECT_EQ(host::ReadHostFile(root, path), std::optional("x"s)) << root << " " << path;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Text

TEST(CleanText, CutsAtNulRepairsUtf8BlanksControlsAndTrims) {
  const std::string kFffd = "\xEF\xBF\xBD";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Dell Inc.\n", "Dell Inc."},
      {"  padded  \n", "padded"},
      {"Raspberry Pi 4\0garbage"s, "Raspberry Pi 4"},
      {"\0after"s, ""},
      {"a\tb\r\nc\x1b[31m", "a b  c [31m"},
      {"del\x7f", "del"},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
      {"x\xFFy", "x" + kFffd + "y"},
      {"\xC0\xAF", kFffd + kFffd},                          // overlong '/'
      {"\xED\xA0\x80", kFffd + kFffd + kFffd},              // a UTF-16 surrogate
      {"\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd},  // above U+10FFFF
      {"end\xE2\x82", "end" + kFffd + kFffd},               // cut short at the end
      {"", ""},
      {" \n\t ", ""},
  };
  for (const auto& [raw, clean] : cases) EXPECT_EQ(host::CleanText(raw), clean) << raw;
}

TEST(ParseEnvValue, RemovesShellQuotingLikeTheShell) {
  struct Case {
    std::string text;
    std::optional<std::string> value;  // of key A
  };
  const std::vector<Case> cases = {
      {"A=\"Debian GNU/Linux 12 (bookworm)\"\n", "Debian GNU/Linux 12 (bookworm)"},
      {"A='single $quoted \\\" text'\n", "single $quoted \\\" text"},
      {"A=\"say \\\"hi\\\" \\\\ \\$HOME \\`x\\` \\n\"\n", "say \"hi\" \\ $HOME `x` \\n"},
      {"A=plain value  \t\n", "plain value"},
      {"A=a\\ b\\\"c\n", "a b\"c"},
      {"A=\"a\"'b'c\n", "abc"},
      {"A=\"kept trailing \"\n", "kept trailing "},
      {"A=\"line one\nline two\"\n", "line one\nline two"},
      {"A=\"joined \\\nline\"\n", "joined line"},
      {"A=con\\\ntinued\n", "continued"},
      {"A=1\nA=2\n", "2"},
      {"  A = spaced\n", "spaced"},
      {"A=windows\r\n", "windows"},
      {"A=\"quoted\"\r\n", "quoted"},
      {"A=no newline", "no newline"},
      {"A=\n", ""},
      {"A=ends in backslash\\", "ends in backslash"},
      {"#A=1\n;A=2\n  # A=3\nB=4\n", std::nullopt},
      {"AB=1\nA B=2\n", std::nullopt},
      {"just words\n", std::nullopt},
      {"", std::nullopt},
      // A quote that never closes spoils only its own assignment.
      {"A=\"never closed\nB=2\n", std::nullopt},
      {"A=1\nA='never closed\nB=2\n", "1"},
      {"A=\"never closed\nA=3\n", "3"},
  };
  for (const auto& c : cases) EXPECT_EQ(host::ParseEnvValue(c.text, "A"), c.value) << c.text;
  EXPECT_EQ(host::ParseEnvValue("A=\"never closed\nB=2\n", "B"), std::optional("2"s));
}

// ---------------------------------------------------------------------------------------------
// OEM text, platform type, version

TEST(ComposeOemText, JoinsDmiVendorAndProductElseUsesTheDeviceTreeModel) {
  struct Case {
    std::string vendor, product, model;
    std::optional<std::string> oem;
  };
  const std::vector<Case> cases = {
      {"LENOVO\n", "20QDCTO1WW\n", "ignored\0"s, "LENOVO 20QDCTO1WW"},
      {"QEMU\n", "", "", "QEMU"},
      {"  \n", "Standard PC (Q35 + ICH9, 2009)\n", "", "Standard PC (Q35 + ICH9, 2009)"},
      {"", "", "Pine64 PinePhone (1.2)\0"s, "Pine64 PinePhone (1.2)"},
      {"\n", "\n", "\0"s, std::nullopt},
      {"", "", "", std::nullopt},
      {"Acme\xFF\n", "Box\n", "", "Acme\xEF\xBF\xBD Box"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(host::ComposeOemText(c.vendor, c.product, c.model), c.oem) << c.vendor << c.product;
  }
}

TEST(ChassisNameFromSmbiosType, NamesEveryMappedEnclosureTypeAndNothingElse) {
  const std::vector<std::pair<int, std::string>> mapped = {
      {3, "desktop"},      {4, "desktop"},      {5, "desktop"},   {6, "desktop"},   {7, "desktop"},
      {8, "laptop"},       {9, "laptop"},       {10, "laptop"},   {11, "handset"},  {13, "desktop"},
      {14, "laptop"},      {15, "desktop"},     {16, "desktop"},  {17, "server"},   {23, "server"},
      {24, "desktop"},     {25, "server"},      {28, "server"},   {29, "server"},   {30, "tablet"},
      {31, "convertible"}, {32, "convertible"}, {33, "embedded"}, {34, "embedded"}, {35, "desktop"},
      {36, "desktop"},
  };
  for (int type = 0; type < 128; ++type) {
    std::optional<std::string> expected;
    for (const auto& [number, name] : mapped) {
      if (number == type) expected = name;
    }
    EXPECT_EQ(host::ChassisNameFromSmbiosType(std::to_string(type) + "\n"), expected) << type;
    // Bit 7 is the enclosure's lock flag, not part of the type.
    EXPECT_EQ(host::ChassisNameFromSmbiosType(std::to_string(type | 0x80)), expected) << type;
  }
  for (const char* text :
       {"", "\n", "256", "0x9", "9 laptop", "-9", "laptop", "99999999999999999999999"}) {
    EXPECT_EQ(host::ChassisNameFromSmbiosType(text), std::nullopt) << text;
  }
}

TEST(ChoosePlatformType, MachineInfoThenDmiThenDeviceTree) {
  struct Case {
    std::string machineInfo, dmi, deviceTree;
    std::optional<std::string> chassis;
  };
  const std::vector<Case> cases = {
      {"CHASSIS=vm\n", "10\n", "handset\0"s, "vm"},
      {"PRETTY_HOSTNAME=\"Desk\"\nCHASSIS=\"tablet\"\n", "3\n", "", "tablet"},
      {"CHASSIS=\n", "10\n", "", "laptop"},
      {"CHASSIS=\"  \"\n", "23\n", "", "server"},
      {"ICON_NAME=computer\n", "9\n", "", "laptop"},
      {"", "2\n", "handset\0"s, "handset"},
      {"", "", "convertible\0"s, "convertible"},
      {"CHASSIS='\n", "", "", std::nullopt},
      {"", "1\n", "\0"s, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(host::ChoosePlatformType(c.machineInfo, c.dmi, c.deviceTree), c.chassis)
        << c.machineInfo << "|" << c.dmi;
  }
}

TEST(ParseKernelRelease, TakesTheFirstThreeNumbers) {
  const std::vector<std::pair<std::string, host::KernelVersion>> cases = {
      {"6.1.0-18-amd64", {6, 1, 0}},
      {"5.15.167.4-microsoft-standard-WSL2", {5, 15, 167}},
      {"6.8", {6, 8, 0}},
      {"6.8-rc1", {6, 8, 0}},
      {"3.10.0-1160.el7.x86_64", {3, 10, 0}},
      {"6.18.44-fc-v1523", {6, 18, 44}},
      {"6", {6, 0, 0}},
      {"6.", {6, 0, 0}},
      {"6..1", {6, 0, 0}},
      {"6.1.", {6, 1, 0}},
      {"999999999.0.1", {999999999, 0, 1}},
      {"4294967296.1.1", {0, 0, 0}},
      {"6.1.0000000000", {0, 0, 0}},
      {"v6.1.0", {0, 0, 0}},
      {" 6.1.0", {0, 0, 0}},
      {"garbage", {0, 0, 0}},
      {"", {0, 0, 0}},
  };
  for (const auto& [release, version] : cases) {
    EXPECT_EQ(host::ParseKernelRelease(release), version) << release;
  }
}

TEST(OsPrettyName, UnquotedFromEtcElseUsrLib) {
  EXPECT_EQ(host::ParseOsPrettyName("NAME=x\nPRETTY_NAME='Alpine Linux v3.19'\n"),
            std::optional("Alpine Linux v3.19"s));
  EXPECT_EQ(host::ParseOsPrettyName("PRETTY_NAME=\"Tux \\\"Edge\\\" 1\"\n"),
            std::optional("Tux \"Edge\" 1"s));
  EXPECT_EQ(host::ParseOsPrettyName("PRETTY_NAME=\"Two\nLines\"\n"), std::optional("Two Lines"s));
  EXPECT_EQ(host::ParseOsPrettyName("PRETTY_NAME=\"\"\n"), std::nullopt);
  EXPECT_EQ(host::ParseOsPrettyName("NAME=\"Linux\"\n"), std::nullopt);

  // etc/os-release wins as a whole when it can be read, even without PRETTY_NAME.
  TempTree tree;
  tree.Write("usr/lib/os-release", "PRETTY_NAME=\"Vendor Linux\"\n");
  EXPECT_EQ(host::ReadOsPrettyName(tree.Root()), std::optional("Vendor Linux"s));
  tree.Write("etc/os-release", "NAME=\"Local\"\n");
  EXPECT_EQ(host::ReadOsPrettyName(tree.Root()), std::nullopt);
  tree.Write("etc/os-release", "PRETTY_NAME=Local\n");
  EXPECT_EQ(host::ReadOsPrettyName(tree.Root()), std::optional("Local"s));
}

// ---------------------------------------------------------------------------------------------
// Processor

TEST(ParseCpuInfo, Arm32WithTheProcessorNameFirstAndHardwareLast) {
  std::string text = "Processor\t: ARMv7 Processor rev 10 (v7l)\n";
  for (int p = 0; p < 2; ++p) {
    text += "processor\t: " + std::to_string(p) +
            "\nBogoMIPS\t: 7.54\n"
            "Features\t: half thumb fastmult vfp edsp neon vfpv3 tls vfpd32 \n"
            "CPU implementer\t: 0x41\nCPU architecture: 7\nCPU variant\t: 0x2\n"
            "CPU part\t: 0xc09\nCPU revision\t: 10\n\n";
  }
  text +=
      "Hardware\t: Freescale i.MX6 Quad/DualLite (Device Tree)\nRevision\t: 0000\n"
      "Serial\t\t: 0000000000000000\n";
  EXPECT_EQ(host::ParseCpuInfo(text),
            (CpuFacts{"Cortex-A9", "Freescale i.MX6 Quad/DualLite (Device Tree)", "r2p10", "ARM", 2,
                      2, 10, host::kIsaArmFp | host::kIsaArmSimd, 0}));
}

TEST(ParseCpuInfo, ArmVendorsPartsAndFirstProcessorWins) {
  // big.LITTLE: processor 0 is the small core; the first block decides.
  const std::string bigLittle =
      "processor\t: 0\nFeatures\t: fp asimd evtstrm aes pmull sha1 sha2 crc32 atomics fphp "
      "asimdhp cpuid asimdrdm lrcpc dcpop asimddp sve\nCPU implementer\t: 0x41\n"
      "CPU architecture: 8\nCPU variant\t: 0x1\nCPU part\t: 0xd05\nCPU revision\t: 0\n\n"
      "processor\t: 1\nFeatures\t: fp\nCPU implementer\t: 0x41\nCPU variant\t: 0x4\n"
      "CPU part\t: 0xd0b\nCPU revision\t: 1\n\n";
  EXPECT_EQ(host::ParseCpuInfo(bigLittle),
            (CpuFacts{"Cortex-A55", "", "r1p0", "ARM", 2, 1, 0,
                      host::kIsaArmFp | host::kIsaArmSimd | host::kIsaArmAes | host::kIsaArmSha1 |
                          host::kIsaArmSha2 | host::kIsaArmCrc32 | host::kIsaArmAtomics |
                          host::kIsaArmSve,
                      0}));

  struct Case {
    std::string implementer, part, vendor, core;
  };
  const std::vector<Case> cases = {
      {"0x51", "0x805", "Qualcomm", "part 0x805"},
      {"0x61", "0x022", "Apple", "part 0x022"},
      {"0xc0", "0xac3", "Ampere", "part 0xac3"},
      {"0x99", "0xd08", "implementer 0x99", "part 0xd08"},  // ARM's table only for ARM parts
      {"0x41", "0xfff", "ARM", "part 0xfff"},
      {"0x41", "0xd0c", "ARM", "Neoverse-N1"},
      {"0x41", "junk", "ARM", ""},
      {"junk", "0xd03", "", "part 0xd03"},
  };
  for (const auto& c : cases) {
    const CpuFacts facts = host::ParseCpuInfo("processor : 0\nCPU implementer : " + c.implementer +
                                              "\nCPU part : " + c.part + "\nmodel name : Kryo\n");
    EXPECT_EQ(facts.vendor, c.vendor) << c.implementer << " " << c.part;
    EXPECT_EQ(facts.core, c.core) << c.implementer << " " << c.part;
    EXPECT_EQ(facts.name, "Kryo");
    EXPECT_EQ(facts.catalog, "");
  }
}

TEST(ParseCpuInfo, X86FallbacksAndDamagedText) {
  // No microcode line (as in most virtual machines): the stepping names the catalog entry.
  EXPECT_EQ(host::ParseCpuInfo("processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\n"
                               "model\t\t: 85\nstepping\t: 7\n"),
            (CpuFacts{"family 6 model 85", "", "stepping 7", "GenuineIntel", 1, 85, 7, 0, 0}));
  // No family, model or stepping, CRLF line ends, no final newline, a NUL and a bad byte.
  EXPECT_EQ(host::ParseCpuInfo("processor : 0\r\nvendor_id : Hygon\xFF\r\n"
                               "model name : Dhyana\0 junk\r\nflags : sse2 avx512f lm\r\n"
                               "cpu MHz : fast\r\nprocessor : 1"s),
            (CpuFacts{"", "Dhyana", "", "Hygon\xEF\xBF\xBD", 2, 0, 0,
                      host::kIsaX86Sse2 | host::kIsaX86Lm, 0}));
  // Numbers too large for their fields are clamped, numbers too large for 64 bits ignored.
  const CpuFacts big = host::ParseCpuInfo(
      "vendor_id : X\ncpu family : 99999999999999999999999\nmodel : 70000\nstepping : 65536\n");
  EXPECT_EQ(big.core, "");
  EXPECT_EQ(big.coreRevision, 65535);
  EXPECT_EQ(big.processorRevision, 65535);
  // Other processor families: just the name and the count.
  EXPECT_EQ(host::ParseCpuInfo("processor\t: 0\nhart\t\t: 0\nisa\t\t: rv64imafdc\n"
                               "model name\t: SiFive U74\n\nprocessor\t: 1\n"),
            (CpuFacts{"", "SiFive U74", "", "", 2, 0, 0, 0, 0}));
  EXPECT_EQ(host::ParseCpuInfo(""), CpuFacts{});
  EXPECT_EQ(host::ParseCpuInfo("\0\0\0no colon here\n:\n::\n"s), CpuFacts{});
}

TEST(ParseCpuInfo, CpuMHzRoundsToTheNearestMHz) {
  const std::vector<std::pair<std::string, std::uint32_t>> cases = {
      {"2399.5", 2400},    {"1999.499", 1999}, {"2899.998", 2900},
      {"800", 800},        {"0.6", 1},         {"4294967295.4", 4294967295u},
      {"4294967295.5", 0}, {"-1", 0},          {"1.2.3", 0},
      {"0x10", 0},         {".5", 0},
  };
  for (const auto& [text, mHz] : cases) {
    EXPECT_EQ(host::ParseCpuInfo("vendor_id : X\ncpu MHz : " + text + "\n").clockMHz, mHz) << text;
  }
}

TEST(ParseCpuInfo, CountsLogicalProcessorsUpTo65535) {
  std::string text;
  for (int p = 0; p < 70000; ++p) text += "processor : " + std::to_string(p) + "\n";
  EXPECT_EQ(host::ParseCpuInfo(text).version, 65535);
}

TEST(ParseCpuFreqKHzAsMHz, RoundsKilohertzAndRefusesNonsense) {
  const std::vector<std::pair<std::string, std::optional<std::uint32_t>>> cases = {
      {"1800000\n", 1800},
      {"1499999", 1500},
      {"1499499", 1499},
      {"500", 1},
      {"4294967295499", 4294967295u},
      {"4294967295500", std::nullopt},
      {"99999999999999999999999", std::nullopt},
      {"499", std::nullopt},
      {"0\n", std::nullopt},
      {"", std::nullopt},
      {"-5", std::nullopt},
      {"0x10", std::nullopt},
      {"1.8e6", std::nullopt},
  };
  for (const auto& [text, mHz] : cases) EXPECT_EQ(host::ParseCpuFreqKHzAsMHz(text), mHz) << text;
}

TEST(ReadCpuFacts, NeedsCpuinfoAndReadsItPastTheSmallFileCap) {
  TempTree tree;
  EXPECT_EQ(host::ReadCpuFacts(tree.Root()), std::nullopt);

  // 5000 processors take about 300 KiB: all of them count, and a broken cpufreq file is ignored.
  std::string text;
  for (int p = 0; p < 5000; ++p) {
    text += "processor\t: " + std::to_string(p) +
            "\nvendor_id\t: GenuineIntel\ncpu MHz\t\t: 2100.4\n\n";
  }
  ASSERT_GT(text.size(), host::kMaxHostFileBytes);
  tree.Write("proc/cpuinfo", text);
  tree.Write("sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq", "<unsupported>\n");
  const auto facts = host::ReadCpuFacts(tree.Root());
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->version, 5000);
  EXPECT_EQ(facts->clockMHz, 2100u);
}

// ---------------------------------------------------------------------------------------------
// Hardware identifiers

TEST(ParseMachineId, ExactlyThirtyTwoHexDigitsAndAnOptionalNewline) {
  const Id128 expected = Bytes({0x3d, 0x12, 0x19, 0xc7, 0xc4, 0xc5, 0x40, 0x4a, 0xaa, 0x1f, 0x6d,
                                0x2a, 0x48, 0xad, 0xfd, 0xa4});
  for (const char* text : {"3d1219c7c4c5404aaa1f6d2a48adfda4\n", "3d1219c7c4c5404aaa1f6d2a48adfda4",
                           "3D1219C7C4C5404AAA1F6D2A48ADFDA4\n"}) {
    EXPECT_EQ(host::ParseMachineId(text), expected) << text;
  }
  EXPECT_EQ(host::ParseMachineId("000000000000000000000000000000ff"),
            Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff}));
  for (const std::string& text :
       {"3d1219c7c4c5404aaa1f6d2a48adfda\n"s,       // 31 digits
        "3d1219c7c4c5404aaa1f6d2a48adfda4a\n"s,     // 33 digits
        "3d1219c7c4c5404aaa1f6d2a48adfdag\n"s,      // not hex
        "3d1219c7-c4c5-404a-aa1f-6d2a48adfda4\n"s,  // UUID form
        "3d1219c7c4c5404aaa1f6d2a48adfda4\n\n"s, "3d1219c7c4c5404aaa1f6d2a48adfda4\r\n"s,
        " 3d1219c7c4c5404aaa1f6d2a48adfda4\n"s, "3d1219c7c4c5404a\0aa1f6d2a48adfda4"s,
        "00000000000000000000000000000000\n"s,  // uninitialised
        "uninitialized\n"s, ""s}) {
    EXPECT_EQ(host::ParseMachineId(text), std::nullopt) << text;
  }
}

TEST(ParseHardwareSerial, DropsFirmwarePlaceholders) {
  for (const std::string& raw : {""s,
                                 "\n"s,
                                 "0\n"s,
                                 "None\n"s,
                                 "none"s,
                                 "To be filled by O.E.M.\n"s,
                                 "To Be Filled By O.E.M.   \n"s,
                                 "Default string\n"s,
                                 "System Serial Number\n"s,
                                 "Not Specified\n"s,
                                 "NOT SPECIFIED"s,
                                 "Not Applicable"s,
                                 "Not Available"s,
                                 "N/A"s,
                                 "Unknown"s,
                                 "00000000\n"s,
                                 "0000000000000000\0"s,
                                 "FFFFFFFF"s,
                                 "ffff-ffff"s,
                                 "00:00:00:00"s,
                                 "0.0"s,
                                 "\0not read past the NUL"s}) {
    EXPECT_EQ(host::ParseHardwareSerial(raw), std::nullopt) << raw;
  }
  const std::vector<std::pair<std::string, std::string>> kept = {
      {"7QK3XN2\n", "7QK3XN2"},       {"10000000a1b2c3d4\0"s, "10000000a1b2c3d4"},
      {"  PF1ABCDE  \n", "PF1ABCDE"}, {"0F", "0F"},
      {"00000001", "00000001"},       {"Not Specified Either", "Not Specified Either"},
      {"SN\xFF", "SN\xEF\xBF\xBD"},
  };
  for (const auto& [raw, serial] : kept) EXPECT_EQ(host::ParseHardwareSerial(raw), serial) << raw;
}

TEST(HardwareSerial, DmiElseDeviceTree) {
  EXPECT_EQ(host::ChooseHardwareSerial("R90ABCDE\n", "ignored\0"s), std::optional("R90ABCDE"s));
  EXPECT_EQ(host::ChooseHardwareSerial("Default string\n", "c0ffee42\0"s),
            std::optional("c0ffee42"s));
  EXPECT_EQ(host::ChooseHardwareSerial("", "0000000000000000\0"s), std::nullopt);

  // product_serial is root-only on most machines: unreadable counts as absent.
  TempTree tree;
  tree.MakeDir("sys/class/dmi/id/product_serial");
  tree.Write("proc/device-tree/serial-number", "abc123\0"s);
  EXPECT_EQ(host::ReadHardwareSerial(tree.Root()), std::optional("abc123"s));
}

TEST(ParseUuidText, EightFourFourFourTwelveBytesInWrittenOrder) {
  const Id128 ordered = Bytes({0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa,
                               0xbb, 0xcc, 0xdd, 0xee, 0xff});
  for (const std::string& text :
       {"00112233-4455-6677-8899-aabbccddeeff"s, "00112233-4455-6677-8899-AABBCCDDEEFF\n"s,
        " 00112233-4455-6677-8899-aabbccddeeff \n"s,
        "00112233-4455-6677-8899-aabbccddeeff\0junk"s}) {
    EXPECT_EQ(host::ParseUuidText(text), ordered) << text;
  }
  for (const std::string& text :
       {"{00112233-4455-6677-8899-aabbccddeeff}"s, "00112233445566778899aabbccddeeff"s,
        "0011223-34455-6677-8899-aabbccddeeff"s, "00112233-4455-6677-8899-aabbccddeef"s,
        "00112233-4455-6677-8899-aabbccddeeff0"s, "00112233-4455-6677-8899-aabbccddeefg"s,
        "00112233-4455-6677-8899+aabbccddeeff"s, ""s}) {
    EXPECT_EQ(host::ParseUuidText(text), std::nullopt) << text;
  }
}

TEST(HardwareUuid, DmiElseDeviceTreeSkippingNullAndAllOnes) {
  const std::string raw = "\x12\x00\xff\x34\x56\x78\x9a\xbc\xde\xf0\x01\x23\x45\x67\x89\xab"s;
  const Id128 rawBytes = Bytes({0x12, 0x00, 0xff, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0, 0x01,
                                0x23, 0x45, 0x67, 0x89, 0xab});
  EXPECT_EQ(host::ParseDeviceTreeUuid(raw), rawBytes);
  EXPECT_EQ(host::ParseDeviceTreeUuid("12ff3456-789a-bcde-f001-23456789abcd\0"s),
            Bytes({0x12, 0xff, 0x34, 0x56, 0x78, 0x9a, 0xbc, 0xde, 0xf0, 0x01, 0x23, 0x45, 0x67,
                   0x89, 0xab, 0xcd}));
  EXPECT_EQ(host::ParseDeviceTreeUuid(raw.substr(0, 15)), std::nullopt);

  const std::string dmi = "8f3b1c2a-5d4e-4f60-9a7b-0c1d2e3f4a5b\n";
  const Id128 dmiBytes = Bytes({0x8f, 0x3b, 0x1c, 0x2a, 0x5d, 0x4e, 0x4f, 0x60, 0x9a, 0x7b, 0x0c,
                                0x1d, 0x2e, 0x3f, 0x4a, 0x5b});
  EXPECT_EQ(host::ChooseHardwareUuid(dmi, raw), dmiBytes);
  EXPECT_EQ(host::ChooseHardwareUuid("00000000-0000-0000-0000-000000000000\n", raw), rawBytes);
  EXPECT_EQ(host::ChooseHardwareUuid("FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF\n", raw), rawBytes);
  EXPECT_EQ(host::ChooseHardwareUuid("Not Settable\n", raw), rawBytes);
  EXPECT_EQ(host::ChooseHardwareUuid("", std::string(16, '\0')), std::nullopt);
  EXPECT_EQ(host::ChooseHardwareUuid("", std::string(16, '\xff')), std::nullopt);
  EXPECT_EQ(host::ChooseHardwareUuid("", ""), std::nullopt);
}

}  // namespace
