// Host readers and parsers: system, processor and hardware-identifier facts of this Linux machine.
#include "platform/linux/host_system.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <limits>

#include "platform/linux/host_files.h"

namespace host {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::string_view TrimAsciiSpace(std::string_view s) {
  while (!s.empty() && IsAsciiSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsAsciiSpace(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view CutAtNul(std::string_view s) {
  return s.substr(0, s.find('\0'));
}

// The length of the well-formed UTF-8 sequence at the start of `s`, or 0 when there is none.
std::size_t Utf8SequenceLength(std::string_view s) {
  const auto lead = static_cast<unsigned char>(s[0]);
  std::size_t length = 0;
  std::uint32_t codePoint = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    codePoint = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    codePoint = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    codePoint = lead & 0x07u;
  } else {
    return 0;
  }
  if (s.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(s[i]);
    if ((next & 0xC0u) != 0x80u) return 0;
    codePoint = (codePoint << 6) | (next & 0x3Fu);
  }
  if (length == 3 && (codePoint < 0x800 || (codePoint >= 0xD800 && codePoint <= 0xDFFF))) return 0;
  if (length == 4 && (codePoint < 0x10000 || codePoint > 0x10FFFF)) return 0;
  return length;
}

// An unsigned number: decimal, or hexadecimal after "0x"/"0X". The whole text must be the number.
std::optional<std::uint64_t> ParseUnsigned(std::string_view s) {
  unsigned base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : s) {
    const int digit = base == 16 ? HexValue(c) : (IsDigit(c) ? c - '0' : -1);
    if (digit < 0) return std::nullopt;
    if (value > (std::numeric_limits<std::uint64_t>::max() - static_cast<unsigned>(digit)) / base) {
      return std::nullopt;
    }
    value = value * base + static_cast<unsigned>(digit);
  }
  return value;
}

std::uint16_t ClampTo16(std::uint64_t value) {
  return value > 0xFFFFu ? std::uint16_t{0xFFFF} : static_cast<std::uint16_t>(value);
}

std::string HexText(std::string_view prefix, std::uint64_t value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "0x%0*llx", width, static_cast<unsigned long long>(value));
  return std::string(prefix) + buffer;
}

std::string ReadOrEmpty(const std::string& root, std::string_view relativePath) {
  return ReadHostFile(root, relativePath).value_or(std::string());
}

// ---- /proc/cpuinfo

enum CpuKey : std::size_t {
  kVendorId,
  kModelName,
  kCpuFamily,
  kModel,
  kStepping,
  kMicrocode,
  kFlags,
  kCpuMHz,
  kCpuImplementer,
  kCpuPart,
  kCpuVariant,
  kCpuRevision,
  kFeatures,
  kHardware,
  kProcessorName,
  kCpuKeyCount
};

constexpr std::array<std::string_view, kCpuKeyCount> kCpuKeyNames = {
    "vendor_id",   "model name",   "cpu family", "model",           "stepping",
    "microcode",   "flags",        "cpu MHz",    "CPU implementer", "CPU part",
    "CPU variant", "CPU revision", "Features",   "Hardware",        "Processor"};

struct FlagBit {
  std::string_view token;
  std::uint32_t bit;
};

constexpr FlagBit kX86FlagBits[] = {
    {"fpu", kIsaX86Fpu}, {"mmx", kIsaX86Mmx},   {"sse", kIsaX86Sse}, {"sse2", kIsaX86Sse2},
    {"avx", kIsaX86Avx}, {"avx2", kIsaX86Avx2}, {"aes", kIsaX86Aes}, {"lm", kIsaX86Lm},
};

constexpr FlagBit kArmFeatureBits[] = {
    {"fp", kIsaArmFp},     {"vfp", kIsaArmFp},      {"asimd", kIsaArmSimd},
    {"neon", kIsaArmSimd}, {"aes", kIsaArmAes},     {"sha1", kIsaArmSha1},
    {"sha2", kIsaArmSha2}, {"crc32", kIsaArmCrc32}, {"atomics", kIsaArmAtomics},
    {"sve", kIsaArmSve},
};

template <std::size_t N>
std::uint32_t FlagsToBits(std::string_view tokens, const FlagBit (&table)[N]) {
  std::uint32_t bits = 0;
  std::size_t i = 0;
  while (i < tokens.size()) {
    while (i < tokens.size() && IsAsciiSpace(tokens[i])) ++i;
    const std::size_t start = i;
    while (i < tokens.size() && !IsAsciiSpace(tokens[i])) ++i;
    const std::string_view token = tokens.substr(start, i - start);
    for (const FlagBit& entry : table) {
      if (entry.token == token) bits |= entry.bit;
    }
  }
  return bits;
}

struct NamedCode {
  std::uint32_t code;
  std::string_view name;
};

constexpr NamedCode kArmImplementers[] = {
    {0x41, "ARM"},       {0x42, "Broadcom"}, {0x43, "Cavium"}, {0x46, "Fujitsu"},
    {0x48, "HiSilicon"}, {0x4e, "NVIDIA"},   {0x50, "APM"},    {0x51, "Qualcomm"},
    {0x53, "Samsung"},   {0x56, "Marvell"},  {0x61, "Apple"},  {0x69, "Intel"},
    {0xc0, "Ampere"},
};

// Parts designed by ARM itself (implementer 0x41).
constexpr NamedCode kArmParts[] = {
    {0xb76, "ARM1176"},     {0xc05, "Cortex-A5"},  {0xc07, "Cortex-A7"},   {0xc08, "Cortex-A8"},
    {0xc09, "Cortex-A9"},   {0xc0f, "Cortex-A15"}, {0xd03, "Cortex-A53"},  {0xd04, "Cortex-A35"},
    {0xd05, "Cortex-A55"},  {0xd07, "Cortex-A57"}, {0xd08, "Cortex-A72"},  {0xd09, "Cortex-A73"},
    {0xd0a, "Cortex-A75"},  {0xd0b, "Cortex-A76"}, {0xd0c, "Neoverse-N1"}, {0xd0d, "Cortex-A77"},
    {0xd40, "Neoverse-V1"}, {0xd41, "Cortex-A78"}, {0xd44, "Cortex-X1"},   {0xd46, "Cortex-A510"},
    {0xd47, "Cortex-A710"}, {0xd48, "Cortex-X2"},  {0xd49, "Neoverse-N2"}, {0xd4f, "Neoverse-V2"},
};

template <std::size_t N>
std::optional<std::string_view> LookUp(const NamedCode (&table)[N], std::uint64_t code) {
  for (const NamedCode& entry : table) {
    if (entry.code == code) return entry.name;
  }
  return std::nullopt;
}

// "2893.202" -> 2893, "2399.5" -> 2400: rounded half up on the first decimal.
std::optional<std::uint32_t> ParseMHz(std::string_view text) {
  const std::size_t dot = text.find('.');
  const auto whole = ParseUnsigned(text.substr(0, dot));
  if (!whole || text.substr(0, 2) == "0x") return std::nullopt;
  std::uint64_t value = *whole;
  if (dot != std::string_view::npos) {
    const std::string_view fraction = text.substr(dot + 1);
    for (char c : fraction) {
      if (!IsDigit(c)) return std::nullopt;
    }
    if (!fraction.empty() && fraction[0] >= '5') ++value;
  }
  if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

std::string FirstNonEmpty(std::initializer_list<std::optional<std::string_view>> candidates) {
  for (const auto& candidate : candidates) {
    if (!candidate) continue;
    std::string text = CleanText(*candidate);
    if (!text.empty()) return text;
  }
  return std::string();
}

// ---- Serial placeholders

constexpr std::string_view kSerialPlaceholders[] = {
    "None",          "To be filled by O.E.M.", "Default string", "System Serial Number",
    "Not Specified", "Not Applicable",         "Not Available",  "N/A",
    "Unknown",
};

bool IsAllOneDigit(std::string_view s) {
  char seen = 0;
  for (char c : s) {
    if (c == '-' || c == ':' || c == '.' || c == ' ') continue;
    const char lower = AsciiLower(c);
    if (lower != '0' && lower != 'f') return false;
    if (seen != 0 && lower != seen) return false;
    seen = lower;
  }
  return seen != 0;
}

}  // namespace

std::optional<std::string> ReadHostFile(const std::string& root, std::string_view relativePath,
                                        std::size_t maxBytes) {
  auto read = ReadCapped(JoinRoot(root, relativePath), maxBytes);
  if (!read) return std::nullopt;
  return std::move(read->data);
}

std::string CleanText(std::string_view raw) {
  raw = CutAtNul(raw);
  std::string out;
  out.reserve(raw.size());
  std::size_t i = 0;
  while (i < raw.size()) {
    const auto c = static_cast<unsigned char>(raw[i]);
    if (c < 0x80) {
      out.push_back(c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c));
      ++i;
      continue;
    }
    const std::size_t length = Utf8SequenceLength(raw.substr(i));
    if (length == 0) {
      out.append(kReplacementCharacter);
      ++i;
    } else {
      out.append(raw.substr(i, length));
      i += length;
    }
  }
  const std::size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  const std::size_t last = out.find_last_not_of(' ');
  return out.substr(first, last - first + 1);
}

std::optional<std::string> ParseEnvValue(std::string_view text, std::string_view key) {
  std::optional<std::string> found;
  const std::size_t n = text.size();
  std::size_t i = 0;
  const auto skipLine = [&](std::size_t from) {
    const std::size_t newline = text.find('\n', from);
    return newline == std::string_view::npos ? n : newline + 1;
  };
  while (i < n) {
    while (i < n && IsAsciiSpace(text[i])) ++i;
    if (i >= n) break;
    if (text[i] == '#' || text[i] == ';') {
      i = skipLine(i);
      continue;
    }
    const std::size_t keyStart = i;
    while (i < n && text[i] != '=' && text[i] != '\n') ++i;
    if (i >= n || text[i] == '\n') continue;  // no assignment on this line
    const std::string_view name = TrimAsciiSpace(text.substr(keyStart, i - keyStart));
    ++i;  // past '='
    while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;

    std::string value;
    std::size_t kept = 0;  // length of `value` without trailing unquoted blanks
    bool valid = true;
    std::size_t resumeAt = 0;
    while (i < n && text[i] != '\n') {
      const char c = text[i];
      if (c == '\'') {
        const std::size_t close = text.find('\'', i + 1);
        if (close == std::string_view::npos) {
          valid = false;
          resumeAt = skipLine(i);
          break;
        }
        value.append(text.substr(i + 1, close - i - 1));
        i = close + 1;
        kept = value.size();
      } else if (c == '"') {
        const std::size_t open = i;
        bool closed = false;
        ++i;
        while (i < n) {
          const char d = text[i];
          if (d == '"') {
            closed = true;
            ++i;
            break;
          }
          if (d == '\\' && i + 1 < n) {
            const char e = text[i + 1];
            if (e == '\n') {
              i += 2;
              continue;
            }
            if (e == '"' || e == '\\' || e == '$' || e == '`') {
              value.push_back(e);
              i += 2;
              continue;
            }
          }
          value.push_back(d);
          ++i;
        }
        if (!closed) {
          valid = false;
          resumeAt = skipLine(open);
          break;
        }
        kept = value.size();
      } else if (c == '\\') {
        if (i + 1 < n && text[i + 1] != '\n') value.push_back(text[i + 1]);
        i += 2;
        kept = value.size();
      } else {
        value.push_back(c);
        ++i;
        if (c != ' ' && c != '\t' && c != '\r') kept = value.size();
      }
    }
    if (!valid) {
      i = resumeAt;
      continue;
    }
    value.resize(kept);
    if (name == key) found = std::move(value);
  }
  return found;
}

std::optional<std::string> ComposeOemText(std::string_view dmiSysVendor,
                                          std::string_view dmiProductName,
                                          std::string_view deviceTreeModel) {
  const std::string vendor = CleanText(dmiSysVendor);
  const std::string product = CleanText(dmiProductName);
  if (!vendor.empty() && !product.empty()) return vendor + " " + product;
  if (!vendor.empty()) return vendor;
  if (!product.empty()) return product;
  std::string model = CleanText(deviceTreeModel);
  if (!model.empty()) return model;
  return std::nullopt;
}

std::optional<std::string> ReadOemText(const std::string& root) {
  return ComposeOemText(ReadOrEmpty(root, "sys/class/dmi/id/sys_vendor"),
                        ReadOrEmpty(root, "sys/class/dmi/id/product_name"),
                        ReadOrEmpty(root, "proc/device-tree/model"));
}

std::optional<std::string> ChassisNameFromSmbiosType(std::string_view chassisTypeText) {
  const std::string text = CleanText(chassisTypeText);
  if (text.empty() || text.substr(0, 2) == "0x") return std::nullopt;
  const auto number = ParseUnsigned(text);
  if (!number || *number > 0xFF) return std::nullopt;
  switch (*number & 0x7Fu) {
    case 3:   // desktop
    case 4:   // low-profile desktop
    case 5:   // pizza box
    case 6:   // mini tower
    case 7:   // tower
    case 13:  // all-in-one
    case 15:  // space-saving
    case 16:  // lunch box
    case 24:  // sealed-case PC
    case 35:  // mini PC
    case 36:  // stick PC
      return "desktop";
    case 8:   // portable
    case 9:   // laptop
    case 10:  // notebook
    case 14:  // sub-notebook
      return "laptop";
    case 31:  // convertible
    case 32:  // detachable
      return "convertible";
    case 17:  // main server chassis
    case 23:  // rack mount chassis
    case 25:  // multi-system chassis
    case 28:  // blade
    case 29:  // blade enclosure
      return "server";
    case 30:
      return "tablet";
    case 11:  // hand held
      return "handset";
    case 33:  // IoT gateway
    case 34:  // embedded PC
      return "embedded";
    default:
      return std::nullopt;
  }
}

std::optional<std::string> ChoosePlatformType(std::string_view machineInfo,
                                              std::string_view dmiChassisType,
                                              std::string_view deviceTreeChassisType) {
  if (const auto value = ParseEnvValue(machineInfo, "CHASSIS")) {
    std::string chassis = CleanText(*value);
    if (!chassis.empty()) return chassis;
  }
  if (auto named = ChassisNameFromSmbiosType(dmiChassisType)) return named;
  std::string deviceTree = CleanText(deviceTreeChassisType);
  if (!deviceTree.empty()) return deviceTree;
  return std::nullopt;
}

std::optional<std::string> ReadPlatformType(const std::string& root) {
  return ChoosePlatformType(ReadOrEmpty(root, "etc/machine-info"),
                            ReadOrEmpty(root, "sys/class/dmi/id/chassis_type"),
                            ReadOrEmpty(root, "proc/device-tree/chassis-type"));
}

KernelVersion ParseKernelRelease(std::string_view release) {
  std::uint32_t parts[3] = {0, 0, 0};
  std::size_t i = 0;
  for (std::size_t k = 0; k < 3; ++k) {
    if (k > 0) {
      if (i + 1 < release.size() && release[i] == '.' && IsDigit(release[i + 1])) {
        ++i;
      } else {
        break;
      }
    }
    if (i >= release.size() || !IsDigit(release[i])) return KernelVersion{};
    std::uint32_t value = 0;
    std::size_t digits = 0;
    while (i < release.size() && IsDigit(release[i])) {
      if (++digits > 9) return KernelVersion{};
      value = value * 10 + static_cast<std::uint32_t>(release[i] - '0');
      ++i;
    }
    parts[k] = value;
  }
  return KernelVersion{parts[0], parts[1], parts[2]};
}

std::optional<std::string> ParseOsPrettyName(std::string_view osRelease) {
  const auto value = ParseEnvValue(osRelease, "PRETTY_NAME");
  if (!value) return std::nullopt;
  std::string name = CleanText(*value);
  if (name.empty()) return std::nullopt;
  return name;
}

std::optional<std::string> ReadOsPrettyName(const std::string& root) {
  if (const auto text = ReadHostFile(root, "etc/os-release")) return ParseOsPrettyName(*text);
  if (const auto text = ReadHostFile(root, "usr/lib/os-release")) return ParseOsPrettyName(*text);
  return std::nullopt;
}

CpuFacts ParseCpuInfo(std::string_view cpuinfo) {
  std::array<std::optional<std::string_view>, kCpuKeyCount> first{};
  std::uint64_t processors = 0;
  std::size_t pos = 0;
  while (pos < cpuinfo.size()) {
    std::size_t end = cpuinfo.find('\n', pos);
    if (end == std::string_view::npos) end = cpuinfo.size();
    const std::string_view line = cpuinfo.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = TrimAsciiSpace(line.substr(0, colon));
    const std::string_view value = TrimAsciiSpace(line.substr(colon + 1));
    if (key == "processor") ++processors;
    for (std::size_t k = 0; k < kCpuKeyCount; ++k) {
      if (!first[k] && key == kCpuKeyNames[k]) first[k] = value;
    }
  }
  const auto number = [&](CpuKey k) -> std::optional<std::uint64_t> {
    return first[k] ? ParseUnsigned(*first[k]) : std::nullopt;
  };

  CpuFacts facts;
  facts.version = ClampTo16(processors);
  if (first[kVendorId]) {
    facts.vendor = CleanText(*first[kVendorId]);
    facts.name = FirstNonEmpty({first[kModelName]});
    const auto family = number(kCpuFamily);
    const auto model = number(kModel);
    const auto stepping = number(kStepping);
    if (family && model) {
      facts.core = "family " + std::to_string(*family) + " model " + std::to_string(*model);
    }
    facts.catalog = FirstNonEmpty({first[kMicrocode]});
    if (facts.catalog.empty() && stepping) facts.catalog = "stepping " + std::to_string(*stepping);
    facts.coreRevision = ClampTo16(model.value_or(0));
    facts.processorRevision = ClampTo16(stepping.value_or(0));
    if (first[kFlags]) facts.instructionSet = FlagsToBits(*first[kFlags], kX86FlagBits);
    if (first[kCpuMHz]) facts.clockMHz = ParseMHz(*first[kCpuMHz]).value_or(0);
  } else if (first[kCpuImplementer]) {
    if (const auto implementer = number(kCpuImplementer)) {
      const auto name = LookUp(kArmImplementers, *implementer);
      facts.vendor = name ? std::string(*name) : HexText("implementer ", *implementer, 2);
    }
    if (const auto part = number(kCpuPart)) {
      const auto name = number(kCpuImplementer) == 0x41u ? LookUp(kArmParts, *part) : std::nullopt;
      facts.core = name ? std::string(*name) : HexText("part ", *part, 3);
    }
    facts.name = FirstNonEmpty({first[kHardware], first[kModelName], first[kProcessorName]});
    const auto variant = number(kCpuVariant);
    const auto revision = number(kCpuRevision);
    if (variant || revision) {
      facts.catalog =
          "r" + std::to_string(variant.value_or(0)) + "p" + std::to_string(revision.value_or(0));
    }
    facts.coreRevision = ClampTo16(variant.value_or(0));
    facts.processorRevision = ClampTo16(revision.value_or(0));
    if (first[kFeatures]) facts.instructionSet = FlagsToBits(*first[kFeatures], kArmFeatureBits);
  } else {
    facts.name = FirstNonEmpty({first[kModelName], first[kHardware], first[kProcessorName]});
  }
  return facts;
}

std::optional<std::uint32_t> ParseCpuFreqKHzAsMHz(std::string_view text) {
  const std::string clean = CleanText(text);
  if (clean.empty() || clean.substr(0, 2) == "0x") return std::nullopt;
  const auto kHz = ParseUnsigned(clean);
  if (!kHz || *kHz > std::numeric_limits<std::uint64_t>::max() - 500) return std::nullopt;
  const std::uint64_t mHz = (*kHz + 500) / 1000;
  if (mHz == 0 || mHz > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::uint32_t>(mHz);
}

std::optional<CpuFacts> ReadCpuFacts(const std::string& root) {
  const auto cpuinfo = ReadHostFile(root, "proc/cpuinfo", kMaxCpuInfoBytes);
  if (!cpuinfo) return std::nullopt;
  CpuFacts facts = ParseCpuInfo(*cpuinfo);
  const auto maxFreq = ReadHostFile(root, "sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq");
  if (maxFreq) {
    if (const auto mHz = ParseCpuFreqKHzAsMHz(*maxFreq)) facts.clockMHz = *mHz;
  }
  return facts;
}

std::optional<Id128> ParseMachineId(std::string_view text) {
  if (text.size() == 33 && text[32] == '\n') text.remove_suffix(1);
  if (text.size() != 32) return std::nullopt;
  Id128 id{};
  bool allZero = true;
  for (std::size_t i = 0; i < id.size(); ++i) {
    const int high = HexValue(text[2 * i]);
    const int low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    id[i] = static_cast<std::uint8_t>(high << 4 | low);
    if (id[i] != 0) allZero = false;
  }
  if (allZero) return std::nullopt;
  return id;
}

std::optional<Id128> ReadMachineId(const std::string& root) {
  const auto text = ReadHostFile(root, "etc/machine-id");
  if (!text) return std::nullopt;
  return ParseMachineId(*text);
}

std::optional<std::string> ParseHardwareSerial(std::string_view raw) {
  std::string serial = CleanText(raw);
  if (serial.empty() || IsAllOneDigit(serial)) return std::nullopt;
  for (std::string_view placeholder : kSerialPlaceholders) {
    if (EqualsIgnoringAsciiCase(serial, placeholder)) return std::nullopt;
  }
  return serial;
}

std::optional<std::string> ChooseHardwareSerial(std::string_view dmiProductSerial,
                                                std::string_view deviceTreeSerialNumber) {
  if (auto serial = ParseHardwareSerial(dmiProductSerial)) return serial;
  return ParseHardwareSerial(deviceTreeSerialNumber);
}

std::optional<std::string> ReadHardwareSerial(const std::string& root) {
  return ChooseHardwareSerial(ReadOrEmpty(root, "sys/class/dmi/id/product_serial"),
                              ReadOrEmpty(root, "proc/device-tree/serial-number"));
}

std::optional<Id128> ParseUuidText(std::string_view text) {
  text = TrimAsciiSpace(CutAtNul(text));
  if (text.size() != 36) return std::nullopt;
  Id128 uuid{};
  std::size_t byte = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (text[i] != '-') return std::nullopt;
      ++i;
      continue;
    }
    const int high = HexValue(text[i]);
    const int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    uuid[byte++] = static_cast<std::uint8_t>(high << 4 | low);
    i += 2;
  }
  return uuid;
}

std::optional<Id128> ParseDeviceTreeUuid(std::string_view raw) {
  if (raw.size() == 16) {
    Id128 uuid{};
    for (std::size_t i = 0; i < uuid.size(); ++i) uuid[i] = static_cast<std::uint8_t>(raw[i]);
    return uuid;
  }
  return ParseUuidText(raw);
}

bool IsUsableHardwareUuid(const Id128& uuid) {
  bool allZero = true;
  bool allOnes = true;
  for (std::uint8_t b : uuid) {
    if (b != 0x00) allZero = false;
    if (b != 0xFF) allOnes = false;
  }
  return !allZero && !allOnes;
}

std::optional<Id128> ChooseHardwareUuid(std::string_view dmiProductUuid,
                                        std::string_view deviceTreeVmUuid) {
  if (const auto uuid = ParseUuidText(dmiProductUuid); uuid && IsUsableHardwareUuid(*uuid)) {
    return uuid;
  }
  if (const auto uuid = ParseDeviceTreeUuid(deviceTreeVmUuid);
      uuid && IsUsableHardwareUuid(*uuid)) {
    return uuid;
  }
  return std::nullopt;
}

std::optional<Id128> ReadHardwareUuid(const std::string& root) {
  return ChooseHardwareUuid(ReadOrEmpty(root, "sys/class/dmi/id/product_uuid"),
                            ReadOrEmpty(root, "proc/device-tree/vm,uuid"));
}

}  // namespace host
