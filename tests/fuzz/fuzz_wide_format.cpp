// Fuzz target: the wide formatter and the report log with device texts as the arguments of the
// report's own formats, and the code page conversions on arbitrary text.
//
// The first byte chooses: a report format through _snwprintf into a buffer of any size (0 to 2200
// characters) and through LogMessage; WideCharToMultiByte; or Utf8ToUtf16. Each result is compared
// with what the platform's rules say it must be.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "log/report_log.h"
#include "platform/codepage.h"
#include "platform/sim/simulated_device.h"
#include "platform/wformat.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/sim_fixture.h"

namespace {

using fuzz::Require;

// ---------------------------------------------------------------------------------------------
// The report's formats, piece by piece, so that the expected result can be built without the
// formatter.

enum class Kind { kLiteral, kWide, kNarrow, kChar, kInt, kUnsigned };

struct Piece {
  Kind kind;
  std::u16string_view text;  // the literal, or the conversion as written in the format
  const char* reference;     // integers: the same conversion for the C library's snprintf
};

// One argument, made from the input.
struct Arg {
  std::u16string wide;
  std::string narrow;
  std::uint32_t value = 0;
  const char16_t* W() const { return wide.c_str(); }
  const char* N() const { return narrow.c_str(); }
  int I() const { return static_cast<int>(value); }
  unsigned U() const { return value; }
};

// Where a formatted text goes: into `buffer` (room: `count` characters), or, with no buffer,
// through LogMessage into the report.
struct Call {
  const char16_t* format;
  char16_t* buffer;
  std::size_t count;
};

template <typename... T>
int Invoke(const Call& call, T... args) {
  if (call.buffer == nullptr) {
    LogMessage(call.format, args...);
    return 0;
  }
  return _snwprintf(call.buffer, call.count, call.format, args...);
}

struct Format {
  std::vector<Piece> pieces;
  int (*call)(const Call&, const Arg*);
};

Piece L(std::u16string_view text) {
  return {Kind::kLiteral, text, nullptr};
}
const Piece kS{Kind::kWide, u"%s", nullptr};
const Piece kLs{Kind::kWide, u"%ls", nullptr};
const Piece kHs{Kind::kNarrow, u"%hs", nullptr};
const Piece kC{Kind::kChar, u"%c", nullptr};
const Piece kD{Kind::kInt, u"%d", "%d"};
const Piece kLd{Kind::kInt, u"%ld", "%d"};

const std::vector<Format>& Formats() {
  static const std::vector<Format> formats = {
      {{L(u"SPI_GETOEMINFO: '"), kS, L(u"'")},
       [](const Call& c, const Arg* a) { return Invoke(c, a[1].W()); }},
      {{L(u"OSVersion: "), kS}, [](const Call& c, const Arg* a) { return Invoke(c, a[1].W()); }},
      {{kD, L(u"."), kD, L(u"."), kD, L(u" "), kS, L(u" ("), kD, L(u")")},
       [](const Call& c, const Arg* a) {
         return Invoke(c, a[0].I(), a[2].I(), a[4].I(), a[6].W(), a[8].I());
       }},
      {{L(u"CPU1 v="),
        {Kind::kUnsigned, u"%08lx", "%08x"},
        L(u" core='"),
        kLs,
        L(u"' rev="),
        {Kind::kUnsigned, u"%04x", "%04x"}},
       [](const Call& c, const Arg* a) { return Invoke(c, a[1].U(), a[3].W(), a[5].U()); }},
      {{L(u"CPU3 cat='"), kLs, L(u"' vendor='"), kLs, L(u"'")},
       [](const Call& c, const Arg* a) { return Invoke(c, a[1].W(), a[3].W()); }},
      {{L(u" - Adapter Name: \t"), kHs},
       [](const Call& c, const Arg* a) { return Invoke(c, a[1].N()); }},
      {{L(u" - Adapter Addr: \t"), kLd},
       [](const Call& c, const Arg* a) { return Invoke(c, a[1].I()); }},
      {{L(u" - adr: "), kD, L(u"; data: "), kD, L(u" ("), kC, L(u")")},
       [](const Call& c, const Arg* a) { return Invoke(c, a[1].I(), a[3].I(), a[5].I()); }},
      {{L(u" - GetCardGUIDEx - "), kS, L(u" = "), kS},
       [](const Call& c, const Arg* a) { return Invoke(c, a[1].W(), a[3].W()); }},
      {{L(u" - "), kS}, [](const Call& c, const Arg* a) { return Invoke(c, a[1].W()); }},
      {{kS, L(u"\\Vol:")}, [](const Call& c, const Arg* a) { return Invoke(c, a[0].W()); }},
      {{{Kind::kUnsigned, u"%02X", "%02X"}},
       [](const Call& c, const Arg* a) { return Invoke(c, a[0].U()); }},
      {{L(u"Report incomplete: "), kD, L(u" line(s) could not be written to "), kS},
       [](const Call& c, const Arg* a) { return Invoke(c, a[1].I(), a[3].W()); }},
  };
  return formats;
}

// The result the platform's rules give: strings up to their first NUL, narrow bytes as codes
// 0..255, "%c" as one character (NUL included), integers as the C library writes them.
std::u16string Expected(const Format& format, const std::vector<Arg>& args) {
  std::u16string result;
  for (std::size_t i = 0; i < format.pieces.size(); ++i) {
    const Piece& piece = format.pieces[i];
    const Arg& arg = args[i];
    switch (piece.kind) {
      case Kind::kLiteral:
        result += piece.text;
        break;
      case Kind::kWide:
        result += arg.wide.substr(0, arg.wide.find(u'\0'));
        break;
      case Kind::kNarrow:
        for (char c : arg.narrow.substr(0, arg.narrow.find('\0'))) {
          result.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
        }
        break;
      case Kind::kChar:
        result.push_back(static_cast<char16_t>(arg.value));
        break;
      case Kind::kInt:
      case Kind::kUnsigned: {
        char digits[32];
        if (piece.kind == Kind::kInt) {
          std::snprintf(digits, sizeof digits, piece.reference, static_cast<int>(arg.value));
        } else {
          std::snprintf(digits, sizeof digits, piece.reference, arg.value);
        }
        for (const char* p = digits; *p != '\0'; ++p) result.push_back(static_cast<char16_t>(*p));
        break;
      }
    }
  }
  return result;
}

std::string Narrow(std::u16string_view text) {
  std::string bytes;
  for (char16_t c : text) bytes.push_back(c < 128 ? static_cast<char>(c) : '~');
  return bytes;
}

sim::SimulatedDevice& Device() {
  static sim::SimulatedDevice& device = testing_support::InstallSimulated();
  return device;
}

// CP_ACP bytes of `text`, through a buffer that is certainly large enough.
std::string Ansi(std::u16string_view text) {
  if (text.empty()) return {};
  std::string bytes(text.size() * 3 + 1, '\0');
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                    bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr);
  Require(n > 0, "CP_ACP conversion with ample room failed", Narrow(text));
  bytes.resize(static_cast<std::size_t>(n));
  return bytes;
}

void FuzzFormat(fuzz::Input& in) {
  const auto& formats = Formats();
  const Format& format = formats[in.Byte() % formats.size()];
  std::vector<Arg> args(format.pieces.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    switch (format.pieces[i].kind) {
      case Kind::kWide:
        args[i].wide = in.Wide(2100);
        break;
      case Kind::kNarrow:
        args[i].narrow = in.Narrow(2100);
        break;
      case Kind::kLiteral:
        break;
      default:
        args[i].value = in.U32();
        break;
    }
  }
  std::u16string formatText;
  for (const Piece& piece : format.pieces) formatText += piece.text;
  const std::u16string expected = Expected(format, args);

  // Into a buffer of `count` characters, with canaries after it.
  constexpr char16_t kCanary = 0xA5A5;
  constexpr std::size_t kCanaries = 8;
  const std::size_t count = in.U16() % 2201;
  std::vector<char16_t> buffer(count + kCanaries, kCanary);
  const int result = format.call({formatText.c_str(), buffer.data(), count}, args.data());
  const std::size_t length = expected.size();
  const std::size_t written = std::min(length, count);
  const std::string context = Narrow(formatText) + " -> " + Narrow(expected);
  if (length < count) {
    Require(result == static_cast<int>(length), "_snwprintf: wrong length", context);
    Require(buffer[length] == u'\0', "_snwprintf: no terminator after a result that fits", context);
  } else if (length == count) {
    Require(result == static_cast<int>(count), "_snwprintf: exact fit not counted", context);
  } else {
    Require(result == -1, "_snwprintf: overflow not reported", context);
  }
  Require(std::equal(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(written),
                     buffer.begin()),
          "_snwprintf: wrong text", context);
  const std::size_t touched = length < count ? length + 1 : count;
  Require(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(touched), buffer.end(),
                      [](char16_t c) { return c == kCanary; }),
          "_snwprintf: wrote past the result or its room", context);

  // Through the report log: one line holding the message up to its first NUL, cut to 2047
  // characters by the formatting buffer and then to what fits the 1023-byte line.
  sim::SimulatedDevice& device = Device();
  device.profile().clock = fuzz::ReadClock(in);
  device.profile().files.clear();
  ResetReportLog();
  format.call({formatText.c_str(), nullptr, 0}, args.data());
  const std::string report = testing_support::ReportText(device);
  fuzz::Show(report);
  const std::string stamp = fuzz::StampOf(device.profile().clock);
  std::u16string message = expected.substr(0, expected.find(u'\0')).substr(0, 2047);
  const std::size_t room =
      fuzz::kMaxLineBytes - 1 - std::string("LOG START\n").size() - stamp.size();
  message.resize(std::min(message.size(), room));
  // A line end inside the message shows as "?", so that the message stays one line.
  std::replace(message.begin(), message.end(), u'\n', u'?');
  std::replace(message.begin(), message.end(), u'\r', u'?');
  const std::string line = "LOG START\n" + stamp + Ansi(message) + "\n";
  fuzz::CheckReportShape(report);
  Require(report == line, "LogMessage: report differs from its message", context + " | " + report);
}

// Whether a character of the conversion's result `full` ends right before byte `at`: a UTF-8
// character continues only into bytes 10xxxxxx; in the 8-bit code page every byte is one.
bool IsCharacterBoundary(UINT codePage, const std::string& full, std::size_t at) {
  if (codePage != CP_UTF8 || at >= full.size()) return true;
  return (static_cast<unsigned char>(full[at]) & 0xC0) != 0x80;
}

void FuzzWideToMultiByte(fuzz::Input& in) {
  const UINT codePage = in.Bool() ? CP_UTF8 : CP_ACP;
  const BYTE mode = in.Byte() % 3;  // the whole text, up to its terminator, or nothing
  const bool withDefault = in.Bool();
  const std::size_t room = in.U16() % 8200;
  const std::u16string text = in.Wide(4000);
  int srcChars = static_cast<int>(text.size());
  // An exactly sized copy, so that reading past the source is caught. With -1 it is terminated,
  // and the characters converted are those before the first NUL, then the terminator.
  std::vector<char16_t> src(text.begin(), text.end());
  std::u16string_view converted = text;
  std::string terminator;
  if (mode == 1) {
    src.push_back(u'\0');
    srcChars = -1;
    converted = converted.substr(0, text.find(u'\0'));
    terminator.push_back('\0');
  }
  if (mode == 2) srcChars = 0;

  const char* defaultChar = withDefault ? "#" : nullptr;
  BOOL usedDefault = FALSE;
  const int needed =
      WideCharToMultiByte(codePage, 0, src.data(), srcChars, nullptr, 0, defaultChar, &usedDefault);
  if (mode == 2 || (mode == 0 && text.empty())) {
    Require(needed == 0, "WideCharToMultiByte: converted no characters into something");
    return;
  }
  // The result with room to spare.
  std::string full(static_cast<std::size_t>(needed) + 16, '\x7F');
  const int n = WideCharToMultiByte(codePage, 0, src.data(), srcChars, full.data(),
                                    static_cast<int>(full.size()), defaultChar, &usedDefault);
  Require(n == needed, "WideCharToMultiByte: size query and conversion disagree");
  full.resize(static_cast<std::size_t>(n));

  if (codePage == CP_UTF8) {
    Require(full == Utf16ToUtf8(converted) + terminator,
            "WideCharToMultiByte: UTF-8 differs from Utf16ToUtf8", full);
  } else {
    std::size_t characters = converted.size();
    for (std::size_t i = 0; i + 1 < converted.size(); ++i) {
      if (converted[i] >= 0xD800 && converted[i] < 0xDC00 && converted[i + 1] >= 0xDC00 &&
          converted[i + 1] < 0xE000) {
        --characters;
        ++i;
      }
    }
    Require(full.size() == characters + terminator.size(),
            "WideCharToMultiByte: CP_ACP is not one byte per character", full);
  }

  // Into `room` bytes: everything when it fits; otherwise the whole characters that fit and 0.
  constexpr char kCanary = '\x5A';
  std::vector<char> dst(room + 8, kCanary);
  const int got =
      WideCharToMultiByte(codePage, 0, src.data(), srcChars, room == 0 ? nullptr : dst.data(),
                          static_cast<int>(room), defaultChar, &usedDefault);
  if (room == 0) {
    Require(got == needed, "WideCharToMultiByte: size query changed");
    return;
  }
  std::size_t kept = full.size();
  if (room < full.size()) {
    Require(got == 0, "WideCharToMultiByte: a result that does not fit reported success");
    kept = room;
    while (kept > 0 && !IsCharacterBoundary(codePage, full, kept)) --kept;
  } else {
    Require(got == needed, "WideCharToMultiByte: a result that fits was not counted");
  }
  Require(std::equal(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(kept), dst.begin()),
          "WideCharToMultiByte: wrong bytes in a short buffer", full);
  Require(std::all_of(dst.begin() + static_cast<std::ptrdiff_t>(kept), dst.end(),
                      [](char c) { return c == kCanary; }),
          "WideCharToMultiByte: wrote a partial character or past its room", full);
}

// Well-formed UTF-8 by the table of well-formed byte sequences, written independently of the
// decoder under test.
bool IsWellFormedUtf8(const fuzz::Bytes& bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const BYTE b = bytes[i];
    std::size_t n = 0;
    BYTE low = 0x80, high = 0xBF;
    if (b < 0x80) {
      n = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      n = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      n = 2;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      n = 3;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (bytes.size() - i - 1 < n) return false;
    for (std::size_t k = 1; k <= n; ++k) {
      const BYTE c = bytes[i + k];
      if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return false;
    }
    i += n + 1;
  }
  return true;
}

void FuzzUtf8(fuzz::Input& in) {
  const fuzz::Bytes bytes = in.Rest();
  // An exactly sized copy, so that reading past the view is caught.
  std::vector<char> copy(bytes.begin(), bytes.end());
  const std::u16string text = Utf8ToUtf16(std::string_view(copy.data(), copy.size()));
  Require(text.size() <= bytes.size(), "Utf8ToUtf16: more characters than bytes");
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00) {
      Require(i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000,
              "Utf8ToUtf16: unpaired high surrogate");
      ++i;
    } else {
      Require(!(c >= 0xDC00 && c < 0xE000), "Utf8ToUtf16: unpaired low surrogate");
    }
  }
  const std::string encoded = Utf16ToUtf8(text);
  Require(Utf8ToUtf16(encoded) == text, "Utf8ToUtf16: re-encoded text decodes differently");
  const bool wellFormed = IsWellFormedUtf8(bytes);
  Require(wellFormed == (encoded == std::string(bytes.begin(), bytes.end())),
          wellFormed ? "Utf8ToUtf16: well-formed UTF-8 changed"
                     : "Utf8ToUtf16: ill-formed UTF-8 survived unchanged",
          encoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  switch (in.Byte() % 3) {
    case 0:
      FuzzFormat(in);
      break;
    case 1:
      FuzzWideToMultiByte(in);
      break;
    default:
      FuzzUtf8(in);
      break;
  }
  return 0;
}
