// Shared pieces of the fuzz targets: reading typed values from the fuzzer's bytes, and the checks
// that every report must pass whatever the device answered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/types.h"

namespace fuzz {

using Bytes = std::vector<BYTE>;

// Stops the run with a message naming the broken rule; the fuzzer keeps the input that did it.
[[noreturn]] inline void Fail(std::string_view what, std::string_view context = {}) {
  std::fprintf(stderr, "fuzz check failed: %.*s\n", static_cast<int>(what.size()), what.data());
  if (!context.empty()) {
    std::fprintf(stderr, "  in: \"");
    for (char c : context.substr(0, 2000)) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte >= 32 && byte < 127 && byte != '"' && byte != '\\') {
        std::fputc(byte, stderr);
      } else {
        std::fprintf(stderr, "\\x%02x", byte);
      }
    }
    std::fprintf(stderr, "\"\n");
  }
  std::abort();
}

inline void Require(bool condition, std::string_view what, std::string_view context = {}) {
  if (!condition) Fail(what, context);
}

// With VANTRACE_FUZZ_SHOW set in the environment, prints `text` (a report) to standard error, so
// that a replayed input shows what it did.
inline void Show(const std::string& text) {
  static const bool show = std::getenv("VANTRACE_FUZZ_SHOW") != nullptr;
  if (show) std::fprintf(stderr, "%s----\n", text.c_str());
}

// Reads values from the front of the fuzzer's bytes. Once the bytes run out every value is zero,
// so any input, however short, describes a whole device.
class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t remaining() const { return size_ - position_; }

  BYTE Byte() { return position_ < size_ ? data_[position_++] : 0; }
  WORD U16() { return static_cast<WORD>(Byte() | (Byte() << 8)); }
  DWORD U32() { return static_cast<DWORD>(U16() | (static_cast<DWORD>(U16()) << 16)); }
  std::uint64_t U64() { return U32() | (static_cast<std::uint64_t>(U32()) << 32); }
  bool Bool() { return (Byte() & 1) != 0; }

  // Up to `n` bytes, fewer when the input ends.
  Bytes Take(std::size_t n) {
    const std::size_t count = n < remaining() ? n : remaining();
    Bytes bytes(data_ + position_, data_ + position_ + count);
    position_ += count;
    return bytes;
  }
  // All bytes that are left.
  Bytes Rest() { return Take(remaining()); }

  // A sequence of `unit`s of at most `max` elements, laid out as: a 16-bit length L (reduced to
  // 0..max), a 16-bit pattern length P (reduced to 0..L; 0 means L), then P units that are
  // repeated to fill L. So a short input can still describe a text that fills a whole buffer.
  template <typename Unit, typename ReadUnit>
  std::basic_string<Unit> Sequence(std::size_t max, ReadUnit readUnit) {
    const std::size_t length = U16() % (max + 1);
    std::size_t pattern = length == 0 ? 0 : U16() % (length + 1);
    if (pattern == 0) pattern = length;
    std::basic_string<Unit> units;
    for (std::size_t i = 0; i < pattern; ++i) units.push_back(readUnit());
    std::basic_string<Unit> text;
    text.reserve(length);
    for (std::size_t i = 0; i < length; ++i) text.push_back(units[i % pattern]);
    return text;
  }
  std::u16string Wide(std::size_t max) {
    return Sequence<char16_t>(max, [this] { return static_cast<char16_t>(U16()); });
  }
  std::string Narrow(std::size_t max) {
    return Sequence<char>(max, [this] { return static_cast<char>(Byte()); });
  }
  Bytes Blob(std::size_t max) {
    const std::string text = Narrow(max);
    return Bytes(text.begin(), text.end());
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// A clock from the input: the default one, or eight arbitrary fields (so the time stamp can reach
// its longest, "65535:65535:65535 65535:65535:65535: ").
inline SYSTEMTIME ReadClock(Input& in) {
  SYSTEMTIME clock{2026, 2, 0, 1, 9, 5, 7, 0};
  if (in.Bool()) {
    clock.wYear = in.U16();
    clock.wMonth = in.U16();
    clock.wDayOfWeek = in.U16();
    clock.wDay = in.U16();
    clock.wHour = in.U16();
    clock.wMinute = in.U16();
    clock.wSecond = in.U16();
    clock.wMilliseconds = in.U16();
  }
  return clock;
}

// The time stamp that starts every report line written at `clock`.
inline std::string StampOf(const SYSTEMTIME& clock) {
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%u:%u:%u %u:%u:%u: ", clock.wYear, clock.wMonth, clock.wDay,
                clock.wHour, clock.wMinute, clock.wSecond);
  return stamp;
}

// The longest report line, its line feed included.
inline constexpr std::size_t kMaxLineBytes = 1023;

// What every report of one process must look like: it starts with the "LOG START" line, ends with
// a line feed, holds no NUL byte, and no line (line feed included) is longer than 1023 bytes.
// Returns the lines without their line feeds, the marker first.
inline std::vector<std::string> CheckReportShape(const std::string& report) {
  Require(report.starts_with("LOG START\n"), "report does not start with LOG START", report);
  Require(report.ends_with('\n'), "report does not end with a line feed", report);
  Require(report.find('\0') == std::string::npos, "report holds a NUL byte", report);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < report.size()) {
    const std::size_t end = report.find('\n', start);
    Require(end - start + 1 <= kMaxLineBytes, "report line longer than 1023 bytes",
            report.substr(start, end - start));
    lines.push_back(report.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The messages of a report in which every line after the marker must carry `stamp` (a line end in
// a device text shows as "?", so no device text can start a line of its own): the lines without
// marker and stamps.
inline std::vector<std::string> StampedMessages(const std::string& report,
                                                const std::string& stamp) {
  std::vector<std::string> lines = CheckReportShape(report);
  std::vector<std::string> messages;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    Require(lines[i].starts_with(stamp), "report line without its time stamp", lines[i]);
    messages.push_back(lines[i].substr(stamp.size()));
  }
  return messages;
}

// Upper-case hex digits of `bytes`, two per byte.
inline std::string Hex(const BYTE* bytes, std::size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0xF]);
  }
  return text;
}

inline bool IsUpperHex(std::string_view text) {
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// True when `text` is well-formed UTF-8: decoding and encoding again gives the same bytes (every
// ill-formed part would come back as U+FFFD's three bytes instead).
inline bool IsUtf8(std::string_view text) {
  return Utf16ToUtf8(Utf8ToUtf16(text)) == text;
}

// True when `text` holds no C0 control character and no DEL.
inline bool HasNoControls(std::string_view text) {
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127) return false;
  }
  return true;
}

}  // namespace fuzz
