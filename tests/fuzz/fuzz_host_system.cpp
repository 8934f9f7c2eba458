// Fuzz target: the parsers of this machine's system files (cpuinfo, os-release and machine-info,
// kernel release, UUID text, machine ID, firmware texts).
//
// The first byte chooses the parser; the rest of the input is the file's text. Parsers that take
// several texts get them as length-prefixed pieces (see fuzz::Input::Narrow).
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/linux/host_system.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::Require;

// A text handed back by a host parser: well-formed UTF-8 without control characters.
void CheckText(std::string_view text, std::string_view what) {
  Require(fuzz::IsUtf8(text), what, text);
  Require(fuzz::HasNoControls(text), what, text);
}

// A cleaned text also has no blanks at either end.
void CheckCleaned(std::string_view text, std::string_view what) {
  CheckText(text, what);
  Require(!text.starts_with(' ') && !text.ends_with(' '), what, text);
}

std::string IdText(const host::Id128& id, bool dashes) {
  std::string text;
  char digits[3];
  for (std::size_t i = 0; i < id.size(); ++i) {
    if (dashes && (i == 4 || i == 6 || i == 8 || i == 10)) text.push_back('-');
    std::snprintf(digits, sizeof digits, "%02x", id[i]);
    text += digits;
  }
  return text;
}

void FuzzCpuInfo(std::string_view text) {
  const host::CpuFacts facts = host::ParseCpuInfo(text);
  for (const std::string* field : {&facts.core, &facts.name, &facts.catalog, &facts.vendor}) {
    CheckText(*field, "cpuinfo: text field is not clean UTF-8");
  }
}

void FuzzEnv(std::string_view text) {
  if (const auto name = host::ParseOsPrettyName(text)) {
    Require(!name->empty(), "os-release: empty PRETTY_NAME given");
    CheckCleaned(*name, "os-release: PRETTY_NAME not cleaned");
  }
  for (const char* key : {"PRETTY_NAME", "CHASSIS", "ID"}) {
    if (const auto value = host::ParseEnvValue(text, key)) {
      // The value in single quotes, on a line of its own, reads back as itself.
      if (value->find_first_of("'\n") == std::string::npos) {
        const auto again = host::ParseEnvValue(std::string(key) + "='" + *value + "'\n", key);
        Require(again && *again == *value, "env: quoted value does not read back", *value);
      }
    }
  }
  if (const auto chassis = host::ChoosePlatformType(text, text, text)) {
    CheckCleaned(*chassis, "machine-info: chassis not cleaned");
  }
}

void FuzzKernelRelease(std::string_view text) {
  const host::KernelVersion v = host::ParseKernelRelease(text);
  const bool zero = v == host::KernelVersion{};
  Require(zero || (!text.empty() && text[0] >= '0' && text[0] <= '9'),
          "kernel release: version from a text without a leading digit", text);
  for (std::uint32_t n : {v.major, v.minor, v.build}) {
    Require(n <= 999999999u, "kernel release: number of more than nine digits", text);
  }
  const std::string again =
      std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.build);
  Require(host::ParseKernelRelease(again) == v, "kernel release: version does not read back",
          again);
}

void FuzzIdentifiers(std::string_view text) {
  if (const auto uuid = host::ParseUuidText(text)) {
    Require(host::ParseUuidText(IdText(*uuid, true)) == uuid, "UUID text does not read back", text);
  }
  if (const auto id = host::ParseMachineId(text)) {
    Require(*id != host::Id128{}, "machine ID: all-zero ID accepted", text);
    Require(host::ParseMachineId(IdText(*id, false) + "\n") == id, "machine ID does not read back",
            text);
  }
  if (const auto id = host::ParseDeviceTreeUuid(text)) {
    (void)host::IsUsableHardwareUuid(*id);
  }
  if (const auto id = host::ChooseHardwareUuid(text, text)) {
    Require(host::IsUsableHardwareUuid(*id), "hardware UUID: unusable UUID chosen", text);
  }
}

void FuzzFirmwareTexts(fuzz::Input& in) {
  const std::string a = in.Narrow(300);
  const std::string b = in.Narrow(300);
  const fuzz::Bytes rest = in.Rest();
  const std::string c(rest.begin(), rest.end());
  const std::string cleaned = host::CleanText(c);
  CheckCleaned(cleaned, "CleanText: result not clean");
  Require(host::CleanText(cleaned) == cleaned, "CleanText: not idempotent", c);
  if (const auto oem = host::ComposeOemText(a, b, c)) {
    CheckCleaned(*oem, "OEM text not cleaned");
  }
  if (const auto serial = host::ParseHardwareSerial(c)) {
    CheckCleaned(*serial, "serial not cleaned");
  }
  if (const auto serial = host::ChooseHardwareSerial(a, c)) {
    CheckCleaned(*serial, "serial not cleaned");
  }
  if (const auto chassis = host::ChassisNameFromSmbiosType(c)) {
    CheckCleaned(*chassis, "chassis name not clean");
  }
  (void)host::ParseCpuFreqKHzAsMHz(c);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const BYTE choice = in.Byte();
  if (choice % 5 == 4) {
    FuzzFirmwareTexts(in);
    return 0;
  }
  const fuzz::Bytes rest = in.Rest();
  const std::string text(rest.begin(), rest.end());
  switch (choice % 5) {
    case 0:
      FuzzCpuInfo(text);
      break;
    case 1:
      FuzzEnv(text);
      break;
    case 2:
      FuzzKernelRelease(text);
      break;
    default:
      FuzzIdentifiers(text);
      break;
  }
  return 0;
}
