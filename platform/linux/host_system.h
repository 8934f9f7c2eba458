// Host readers and parsers: system, processor and hardware-identifier facts of this Linux machine.
//
// Every reader takes `root`, the folder that stands for "/", and reads `<root>/<relative path>` (an
// empty root means "/"), so tests replay recorded trees of real machines. Each reader calls a pure
// parser over the file's text; the parsers never throw, never read past their input and accept any
// bytes (NUL bytes, invalid UTF-8, no final newline). Texts handed back are valid UTF-8 without
// control characters; the caller decodes them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace host {

using Id128 = std::array<std::uint8_t, 16>;

// ---------------------------------------------------------------------------------------------
// Reading files below the root

// At most this much is read from any one file; the rest is ignored. Every source read here is a
// line or a short list, so 64 KiB is far above any real value and bounds what a broken or hostile
// file can cost.
inline constexpr std::size_t kMaxHostFileBytes = 64 * 1024;
// /proc/cpuinfo grows with the number of logical processors (about 1.5 KiB each on x86), so it has
// its own cap: 4 MiB holds well over 2000 processors. Past the cap the processor count stops.
inline constexpr std::size_t kMaxCpuInfoBytes = 4 * 1024 * 1024;

// The first `maxBytes` bytes of `<root>/<relativePath>`. nullopt when the path is missing, is not a
// regular file (directories, FIFOs and devices are refused without blocking), cannot be opened
// (e.g. a root-only sysfs attribute) or a read fails.
std::optional<std::string> ReadHostFile(const std::string& root, std::string_view relativePath,
                                        std::size_t maxBytes = kMaxHostFileBytes);

// ---------------------------------------------------------------------------------------------
// Text

// A firmware or configuration text made safe to report: cut at the first NUL byte (device-tree
// strings end in one), every byte that is not part of a well-formed UTF-8 sequence replaced by
// U+FFFD, every C0 control character and DEL replaced by a space (so no value can break a report
// line), then spaces trimmed from both ends.
std::string CleanText(std::string_view raw);

// The value of the last `key=value` assignment of `key` in a shell-style environment file
// (os-release, machine-info), with shell quoting removed: '...' is literal; in "..." a backslash
// escapes only " \ $ ` and a newline; unquoted, a backslash escapes any character and trailing
// blanks are dropped. Quoted and unquoted parts join ("a"'b'c -> abc). Lines starting with # or ;
// are comments. An assignment whose quote is never closed is ignored and parsing resumes on the
// next line. The value is returned raw (not cleaned); nullopt when there is no valid assignment.
std::optional<std::string> ParseEnvValue(std::string_view envFile, std::string_view key);

// ---------------------------------------------------------------------------------------------
// OEM text

// `sys_vendor + " " + product_name` (each cleaned; either alone when the other is missing or
// empty), else the device-tree model, else nullopt. Missing files are passed as empty texts.
std::optional<std::string> ComposeOemText(std::string_view dmiSysVendor,
                                          std::string_view dmiProductName,
                                          std::string_view deviceTreeModel);
// From sys/class/dmi/id/{sys_vendor,product_name} and proc/device-tree/model.
std::optional<std::string> ReadOemText(const std::string& root);

// ---------------------------------------------------------------------------------------------
// Platform type (the chassis)

// The chassis name for an SMBIOS system-enclosure type given as the decimal text of
// sys/class/dmi/id/chassis_type (bit 7, the lock flag, is ignored):
//   desktop     3 desktop, 4 low-profile desktop, 5 pizza box, 6 mini tower, 7 tower,
//               13 all-in-one, 15 space-saving, 16 lunch box, 24 sealed-case PC, 35 mini PC,
//               36 stick PC
//   laptop      8 portable, 9 laptop, 10 notebook, 14 sub-notebook
//   convertible 31 convertible, 32 detachable
//   server      17 main server chassis, 23 rack mount, 25 multi-system, 28 blade,
//               29 blade enclosure
//   tablet      30 tablet
//   handset     11 hand held
//   embedded    33 IoT gateway, 34 embedded PC
// Everything else (1 other, 2 unknown, docking stations, expansion and peripheral chassis, unknown
// numbers, text that is not a number) gives nullopt, so the next source is asked.
std::optional<std::string> ChassisNameFromSmbiosType(std::string_view chassisTypeText);

// The chassis as hostnamectl shows it: etc/machine-info `CHASSIS=` (unquoted, cleaned, non-empty),
// else the DMI chassis type named as above, else the device-tree `chassis-type` string, else
// nullopt. Missing files are passed as empty texts.
std::optional<std::string> ChoosePlatformType(std::string_view machineInfo,
                                              std::string_view dmiChassisType,
                                              std::string_view deviceTreeChassisType);
// From etc/machine-info, sys/class/dmi/id/chassis_type and proc/device-tree/chassis-type.
std::optional<std::string> ReadPlatformType(const std::string& root);

// ---------------------------------------------------------------------------------------------
// Operating system version

struct KernelVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t build = 0;
  bool operator==(const KernelVersion&) const = default;
};

// The first three dot-separated decimal numbers at the start of a kernel release
// ("6.1.0-18-amd64" -> 6.1.0, "5.15.167.4-microsoft-standard-WSL2" -> 5.15.167, "6.8" -> 6.8.0,
// "6.8-rc1" -> 6.8.0). Numbering stops at the first character that does not continue it; missing
// numbers are 0. No leading digit, or a number longer than nine digits, gives 0.0.0.
KernelVersion ParseKernelRelease(std::string_view release);

// PRETTY_NAME of an os-release text, unquoted and cleaned; nullopt when absent or empty.
std::optional<std::string> ParseOsPrettyName(std::string_view osRelease);
// From etc/os-release; only when that file cannot be read, from usr/lib/os-release (a readable
// etc/os-release without PRETTY_NAME gives nullopt: the first file wins as a whole).
std::optional<std::string> ReadOsPrettyName(const std::string& root);

// ---------------------------------------------------------------------------------------------
// Processor

// Instruction-set bits. x86 `flags` use the low bits, ARM `Features` bits 16 and up, so a value
// says by itself which family it describes.
inline constexpr std::uint32_t kIsaX86Fpu = 1u << 0;       // fpu
inline constexpr std::uint32_t kIsaX86Mmx = 1u << 1;       // mmx
inline constexpr std::uint32_t kIsaX86Sse = 1u << 2;       // sse
inline constexpr std::uint32_t kIsaX86Sse2 = 1u << 3;      // sse2
inline constexpr std::uint32_t kIsaX86Avx = 1u << 4;       // avx
inline constexpr std::uint32_t kIsaX86Avx2 = 1u << 5;      // avx2
inline constexpr std::uint32_t kIsaX86Aes = 1u << 6;       // aes
inline constexpr std::uint32_t kIsaX86Lm = 1u << 7;        // lm (64-bit long mode)
inline constexpr std::uint32_t kIsaArmFp = 1u << 16;       // fp (arm64) or vfp (arm32)
inline constexpr std::uint32_t kIsaArmSimd = 1u << 17;     // asimd (arm64) or neon (arm32)
inline constexpr std::uint32_t kIsaArmAes = 1u << 18;      // aes
inline constexpr std::uint32_t kIsaArmSha1 = 1u << 19;     // sha1
inline constexpr std::uint32_t kIsaArmSha2 = 1u << 20;     // sha2
inline constexpr std::uint32_t kIsaArmCrc32 = 1u << 21;    // crc32
inline constexpr std::uint32_t kIsaArmAtomics = 1u << 22;  // atomics
inline constexpr std::uint32_t kIsaArmSve = 1u << 23;      // sve

// The processor record. Every key is taken from its first occurrence (that is processor 0; keys
// printed once after all processors, such as ARM's Hardware, are found the same way).
//
// x86 (the text has `vendor_id`):
//   vendor = vendor_id; name = model name; core = "family F model M" (decimal, from `cpu family`
//   and `model`, empty when either is missing); catalog = microcode as printed (e.g. "0xf4"),
//   else "stepping N", else empty; coreRevision = model; processorRevision = stepping;
//   instructionSet = kIsaX86* bits from `flags`; clockMHz = `cpu MHz` rounded to the nearest MHz.
// ARM (the text has `CPU implementer`):
//   vendor = the implementer's name (0x41 ARM, 0x42 Broadcom, 0x43 Cavium, 0x46 Fujitsu,
//   0x48 HiSilicon, 0x4e NVIDIA, 0x50 APM, 0x51 Qualcomm, 0x53 Samsung, 0x56 Marvell, 0x61 Apple,
//   0x69 Intel, 0xc0 Ampere; else "implementer 0xNN"); core = the Cortex/Neoverse name of `CPU
//   part` for ARM-designed parts (table in the source), else "part 0xNNN"; name = Hardware, else
//   model name, else Processor; coreRevision = CPU variant; processorRevision = CPU revision;
//   catalog = "rVpR" from those two (empty when both are missing); instructionSet = kIsaArm* bits
//   from `Features`; clockMHz = 0 (ARM prints no clock).
// Other processors: name = model name, else Hardware, else Processor; the rest empty or 0.
// Always: version = the number of `processor` entries (logical processors), at most 65535.
// Numbers above 65535 are stored as 65535. Empty or unknown text gives empty texts and zeros.
struct CpuFacts {
  std::string core;
  std::string name;
  std::string catalog;
  std::string vendor;
  std::uint16_t version = 0;
  std::uint16_t coreRevision = 0;
  std::uint16_t processorRevision = 0;
  std::uint32_t instructionSet = 0;
  std::uint32_t clockMHz = 0;
  bool operator==(const CpuFacts&) const = default;
};

CpuFacts ParseCpuInfo(std::string_view cpuinfo);

// A cpufreq frequency in kHz (decimal, e.g. "1800000\n") as MHz rounded to the nearest; nullopt
// for zero, a non-number or a value that does not fit 32 bits.
std::optional<std::uint32_t> ParseCpuFreqKHzAsMHz(std::string_view text);

// proc/cpuinfo (read up to kMaxCpuInfoBytes) parsed as above; the clock is replaced by
// sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq where that is readable and valid.
// nullopt when proc/cpuinfo cannot be read.
std::optional<CpuFacts> ReadCpuFacts(const std::string& root);

// ---------------------------------------------------------------------------------------------
// Hardware identifiers

// etc/machine-id content: exactly 32 hex digits (either case), then at most one newline; the
// bytes in the order written. Anything else, and the all-zero ID (an uninitialised machine), gives
// nullopt.
std::optional<Id128> ParseMachineId(std::string_view text);
std::optional<Id128> ReadMachineId(const std::string& root);

// A firmware serial number cleaned (see CleanText), or nullopt when it is a placeholder that
// firmware writes for "none". Placeholders, compared without regard to ASCII case: "", "None",
// "To be filled by O.E.M.", "Default string", "System Serial Number", "Not Specified",
// "Not Applicable", "Not Available", "N/A", "Unknown"; and any text whose characters, apart from
// the separators '-', ':', '.' and ' ', are all '0' (this includes "0") or all 'F'/'f'.
std::optional<std::string> ParseHardwareSerial(std::string_view raw);
// DMI product_serial when it gives a serial, else device-tree serial-number. Missing files are
// passed as empty texts.
std::optional<std::string> ChooseHardwareSerial(std::string_view dmiProductSerial,
                                                std::string_view deviceTreeSerialNumber);
// From sys/class/dmi/id/product_serial (root-only on most machines: unreadable means absent) and
// proc/device-tree/serial-number.
std::optional<std::string> ReadHardwareSerial(const std::string& root);

// A UUID in 8-4-4-4-12 hex form (either case), cut at the first NUL and trimmed of surrounding
// whitespace; the 16 bytes are taken in the order the digits are written (no byte swapping of the
// first three groups). nullopt for anything else.
std::optional<Id128> ParseUuidText(std::string_view text);
// Device-tree `vm,uuid`: exactly 16 bytes are the raw UUID; anything else is parsed as text.
std::optional<Id128> ParseDeviceTreeUuid(std::string_view raw);
// False for the all-zero and all-0xFF UUIDs that firmware reports when it has none.
bool IsUsableHardwareUuid(const Id128& uuid);
// DMI product_uuid when it parses and is usable, else device-tree vm,uuid when it parses and is
// usable, else nullopt (the caller then uses the machine ID). Missing files are empty texts.
std::optional<Id128> ChooseHardwareUuid(std::string_view dmiProductUuid,
                                        std::string_view deviceTreeVmUuid);
// From sys/class/dmi/id/product_uuid and proc/device-tree/vm,uuid.
std::optional<Id128> ReadHardwareUuid(const std::string& root);

}  // namespace host
