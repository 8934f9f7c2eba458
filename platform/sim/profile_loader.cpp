// Loading a device profile from JSON (the format is described in docs/device-profile.md).
//
// Every problem becomes one message: the JSON path of the field, then what is wrong with it. The
// JSON library's exceptions stay inside this file.
#include "platform/sim/profile_loader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "device/entry_points.h"
#include "device/hal.h"
#include "platform/codepage.h"
#include "platform/sim/simulated_device.h"

namespace sim {
namespace {

using Json = nlohmann::json;

constexpr std::int64_t kWordMax = 0xFFFF;
constexpr std::int64_t kDwordMax = 0xFFFFFFFF;
constexpr std::int64_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::size_t kLibraryRoom = 1024;  // the entry points' buffers, in units
constexpr std::size_t kStoreNameRoom = 31;  // CE_VOLUME_INFO.szStoreName without its terminator
constexpr std::size_t kServicePackRoom = 127;

// --- Paths and values in messages ---

bool IsIdentifier(std::string_view key) {
  if (key.empty() || (key[0] >= '0' && key[0] <= '9')) return false;
  for (char c : key) {
    const bool ok =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) return false;
  }
  return true;
}

// A string as it is written in JSON, quotes and escapes included.
std::string Quote(const std::string& text) {
  return Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
}

// The path of a member: "hal.uuid", or files["\\deviceid.txt"] for keys that are no identifiers.
std::string Member(const std::string& path, const std::string& key) {
  if (!IsIdentifier(key)) return path + "[" + Quote(key) + "]";
  return path.empty() ? key : path + "." + key;
}

std::string Element(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

// A short description of a value for messages: strings and scalars as written, cut when long.
std::string Describe(const Json& value) {
  if (value.is_object()) return "an object";
  if (value.is_array()) return "an array";
  std::string text = value.is_string() ? Quote(value.get_ref<const std::string&>()) : value.dump();
  constexpr std::size_t kShown = 48;
  if (text.size() > kShown) {
    std::size_t cut = kShown - 4;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text = text.substr(0, cut) + (value.is_string() ? "...\"" : "...");
  }
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Two hex digits as a byte, or -1.
int HexPair(std::string_view pair) {
  if (pair.size() != 2) return -1;
  const int high = HexDigit(pair[0]);
  const int low = HexDigit(pair[1]);
  return high < 0 || low < 0 ? -1 : high * 16 + low;
}

// "12 34 56 78": pairs of hex digits separated by blanks; "" is no bytes. On failure *bad is the
// first token that is no pair.
bool BlankBytes(const std::string& text, Bytes* out, std::string* bad) {
  Bytes bytes;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    const std::size_t end = std::min(text.find(' ', i), text.size());
    const std::string token = text.substr(i, end - i);
    const int byte = HexPair(token);
    if (byte < 0) {
      *bad = token;
      return false;
    }
    bytes.push_back(static_cast<BYTE>(byte));
    i = end;
  }
  *out = std::move(bytes);
  return true;
}

// Splits on ':' and reads each part as one byte; false when any part is no pair of hex digits.
bool ColonBytes(std::string_view text, Bytes* bytes) {
  bytes->clear();
  std::size_t start = 0;
  while (true) {
    const std::size_t colon = text.find(':', start);
    const int byte = HexPair(text.substr(start, colon - start));
    if (byte < 0) return false;
    bytes->push_back(static_cast<BYTE>(byte));
    if (colon == std::string_view::npos) return true;
    start = colon + 1;
  }
}

// Day of the week (0 = Sunday) of a date of the Gregorian calendar.
WORD DayOfWeek(int year, int month, int day) {
  static constexpr int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) --year;
  return static_cast<WORD>((year + year / 4 - year / 100 + year / 400 + kOffsets[month - 1] + day) %
                           7);
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// Reads the parts of a profile into a DeviceProfile; the first problem found is kept as the error.
class Reader {
 public:
  const std::string& error() const { return error_; }

  bool Profile(const Json& v, DeviceProfile* p) {
    if (!v.is_object()) return Fail("", "expected an object, got " + Describe(v));
    if (!Fields(v, "",
                {"comment",
                 "clock",
                 "executable",
                 "sockets_fail",
                 "report_medium",
                 "report_faults",
                 "files",
                 "oem_info",
                 "platform_type",
                 "version",
                 "processor",
                 "processor_refusals",
                 "hal",
                 "get_device_unique_id",
                 "co_create_guid",
                 "ce_get_volume_info",
                 "bluetooth",
                 "adapters",
                 "root",
                 "stores",
                 "libraries"})) {
      return false;
    }
    if (const Json* c = Find(v, "comment"); c != nullptr && !c->is_string()) {
      return Fail("comment", "expected a string, got " + Describe(*c));
    }
    if (const Json* c = Find(v, "clock"); c != nullptr && !Clock(*c, "clock", &p->clock)) {
      return false;
    }
    if (const Json* e = Find(v, "executable"); e != nullptr && !Executable(*e, &p->executable)) {
      return false;
    }
    if (const Json* s = Find(v, "sockets_fail"); s != nullptr) {
      if (!Bool(*s, "sockets_fail", &p->socketsFail)) return false;
    }
    if (const Json* m = Find(v, "report_medium"); m != nullptr) {
      std::string medium;
      if (!Choice(*m, "report_medium", {"writable", "read-only"}, &medium)) return false;
      p->reportMediumReadOnly = medium == "read-only";
    }
    if (const Json* f = Find(v, "report_faults"); f != nullptr && !Faults(*f, &p->faults)) {
      return false;
    }
    if (const Json* f = Find(v, "files"); f != nullptr && !Files(*f, &p->files)) return false;
    if (const Json* t = Find(v, "oem_info"); t != nullptr) {
      if (!OptionalText(*t, "oem_info", &p->oemInfo)) return false;
    }
    if (const Json* t = Find(v, "platform_type"); t != nullptr) {
      if (!OptionalText(*t, "platform_type", &p->platformType)) return false;
    }
    if (const Json* ver = Find(v, "version"); ver != nullptr && !Version(*ver, &p->version)) {
      return false;
    }
    if (const Json* proc = Find(v, "processor"); proc != nullptr) {
      if (!Processor(*proc, &p->hal.processor)) return false;
    }
    if (const Json* r = Find(v, "processor_refusals"); r != nullptr) {
      if (!Count(*r, "processor_refusals", &p->hal.processor.refusals)) return false;
    }
    if (const Json* h = Find(v, "hal"); h != nullptr && !Hal(*h, &p->hal)) return false;
    if (const Json* u = Find(v, "get_device_unique_id"); u != nullptr) {
      if (!UniqueId(*u, &p->uniqueId)) return false;
    }
    if (const Json* g = Find(v, "co_create_guid"); g != nullptr && !Guid(*g, &p->guid)) {
      return false;
    }
    if (const Json* c = Find(v, "ce_get_volume_info"); c != nullptr) {
      if (!Bool(*c, "ce_get_volume_info", &p->hasCeGetVolumeInfo)) return false;
    }
    if (const Json* b = Find(v, "bluetooth"); b != nullptr && !Bluetooth(*b, &p->bluetooth)) {
      return false;
    }
    if (const Json* a = Find(v, "adapters"); a != nullptr && !Adapters(*a, &p->adapters)) {
      return false;
    }
    if (const Json* r = Find(v, "root"); r != nullptr) {
      p->rootGiven = true;
      if (!Root(*r, &p->root)) return false;
    }
    if (const Json* s = Find(v, "stores"); s != nullptr && !Stores(*s, &p->stores)) return false;
    if (const Json* l = Find(v, "libraries"); l != nullptr && !Libraries(*l, &p->libraries)) {
      return false;
    }
    return true;
  }

 private:
  bool Fail(const std::string& path, const std::string& what) {
    if (error_.empty()) error_ = (path.empty() ? std::string("top level") : path) + ": " + what;
    return false;
  }

  static const Json* Find(const Json& object, const char* key) {
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
  }

  // An object whose keys are all among `known`.
  bool Fields(const Json& v, const std::string& path, std::initializer_list<const char*> known) {
    if (!v.is_object()) return Fail(path, "expected an object, got " + Describe(v));
    for (const auto& item : v.items()) {
      bool found = false;
      for (const char* k : known) found = found || item.key() == k;
      if (!found) {
        std::string list;
        for (const char* k : known) list += (list.empty() ? "" : ", ") + std::string(k);
        return Fail(Member(path, item.key()), "unknown key (known keys: " + list + ")");
      }
    }
    return true;
  }

  // --- Scalars ---

  bool Bool(const Json& v, const std::string& path, bool* out) {
    if (!v.is_boolean()) return Fail(path, "expected true or false, got " + Describe(v));
    *out = v.get<bool>();
    return true;
  }

  bool String(const Json& v, const std::string& path, std::string* out) {
    if (!v.is_string()) return Fail(path, "expected a string, got " + Describe(v));
    *out = v.get_ref<const std::string&>();
    return true;
  }

  bool Choice(const Json& v, const std::string& path, std::initializer_list<const char*> choices,
              std::string* out) {
    std::string list;
    for (const char* c : choices) list += (list.empty() ? "" : ", ") + Quote(c);
    if (!v.is_string()) return Fail(path, "expected one of " + list + ", got " + Describe(v));
    for (const char* c : choices) {
      if (v.get_ref<const std::string&>() == c) {
        *out = c;
        return true;
      }
    }
    return Fail(path, Describe(v) + ": expected one of " + list);
  }

  // An integer written as a JSON number, or as a "0x..." string of up to 16 hex digits. `bits32`
  // lets a hex string give any 32-bit pattern, read as a signed number (HRESULTs and results).
  bool Integer(const Json& v, const std::string& path, std::int64_t min, std::int64_t max,
               std::int64_t* out, bool bits32 = false) {
    std::int64_t value = 0;
    bool inRange = true;
    if (v.is_number_unsigned()) {
      const std::uint64_t u = v.get<std::uint64_t>();
      inRange = u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
      value = static_cast<std::int64_t>(u);
    } else if (v.is_number_integer()) {
      value = v.get<std::int64_t>();
    } else if (v.is_string() && v.get_ref<const std::string&>().starts_with("0x")) {
      const std::string& text = v.get_ref<const std::string&>();
      const std::string_view digits = std::string_view(text).substr(2);
      std::uint64_t u = 0;
      bool valid = !digits.empty() && digits.size() <= 16;
      for (char c : digits) {
        const int d = HexDigit(c);
        valid = valid && d >= 0;
        u = u * 16 + static_cast<std::uint64_t>(d < 0 ? 0 : d);
      }
      if (!valid) return Fail(path, Describe(v) + ": bad hex number");
      if (bits32) {
        if (u > static_cast<std::uint64_t>(kDwordMax)) {
          return Fail(path, Describe(v) + " is out of range 0x0..0xFFFFFFFF");
        }
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(u));
      } else {
        inRange = u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        value = static_cast<std::int64_t>(u);
      }
    } else {
      return Fail(path, "expected an integer, got " + Describe(v));
    }
    if (!inRange || value < min || value > max) {
      return Fail(path, Describe(v) + " is out of range " + std::to_string(min) + ".." +
                            std::to_string(max));
    }
    *out = value;
    return true;
  }

  template <typename T>
  bool Unsigned(const Json& v, const std::string& path, std::int64_t max, T* out) {
    std::int64_t value = 0;
    if (!Integer(v, path, 0, max, &value)) return false;
    *out = static_cast<T>(value);
    return true;
  }
  bool Word(const Json& v, const std::string& path, WORD* out) {
    return Unsigned(v, path, kWordMax, out);
  }
  bool Dword(const Json& v, const std::string& path, DWORD* out) {
    return Unsigned(v, path, kDwordMax, out);
  }
  bool Count(const Json& v, const std::string& path, int* out) {
    return Unsigned(v, path, kIntMax, out);
  }
  // A signed 32-bit result; a "0x..." string gives its bit pattern.
  bool Result(const Json& v, const std::string& path, std::int32_t* out) {
    std::int64_t value = 0;
    if (!Integer(v, path, std::numeric_limits<std::int32_t>::min(), kIntMax, &value, true)) {
      return false;
    }
    *out = static_cast<std::int32_t>(value);
    return true;
  }

  bool Hex(const Json& v, const std::string& path, Bytes* out) {
    if (!v.is_string()) {
      return Fail(path, "expected hex bytes like \"12 34 56 78\", got " + Describe(v));
    }
    std::string bad;
    if (!BlankBytes(v.get_ref<const std::string&>(), out, &bad)) {
      return Fail(path, Describe(v) + ": bad hex byte " + Quote(bad));
    }
    return true;
  }

  // A wide text: a string (any characters, "\u0000" included), or an array of UTF-16 code units
  // for texts that JSON strings cannot carry (unpaired surrogates).
  bool WideText(const Json& v, const std::string& path, std::u16string* out) {
    if (v.is_string()) {
      *out = Utf8ToUtf16(v.get_ref<const std::string&>());
      return true;
    }
    if (v.is_array()) return Units(v, path, out);
    return Fail(path, "expected a string or an array of UTF-16 code units, got " + Describe(v));
  }

  bool Units(const Json& v, const std::string& path, std::u16string* out) {
    if (!v.is_array())
      return Fail(path, "expected an array of UTF-16 code units, got " + Describe(v));
    std::u16string units;
    for (std::size_t i = 0; i < v.size(); ++i) {
      WORD unit = 0;
      if (!Word(v[i], Element(path, i), &unit)) return false;
      units.push_back(static_cast<char16_t>(unit));
    }
    *out = std::move(units);
    return true;
  }

  bool FitsField(const std::u16string& text, const std::string& path, std::size_t room) {
    if (text.size() <= room) return true;
    return Fail(path, "text of " + std::to_string(text.size()) +
                          " UTF-16 code units is longer than its field (" + std::to_string(room) +
                          ")");
  }

  // null: the query fails.
  bool OptionalText(const Json& v, const std::string& path, std::optional<std::u16string>* out) {
    if (v.is_null()) {
      out->reset();
      return true;
    }
    std::u16string text;
    if (!WideText(v, path, &text)) return false;
    *out = std::move(text);
    return true;
  }

  // A device path: starts with a backslash ('/' counts as one), names something below the root.
  bool DevicePath(const std::string& text, const std::string& path, std::u16string* out) {
    const std::u16string wide = Utf8ToUtf16(text);
    const std::u16string folded = FoldPath(wide);
    if (folded.size() < 2 || folded[0] != u'\\' || folded.back() == u'\\') {
      return Fail(path, Quote(text) + ": expected a device path starting with \"\\\\\"");
    }
    *out = wide;
    return true;
  }

  // --- Process, clock and files ---

  bool Clock(const Json& v, const std::string& path, SYSTEMTIME* out) {
    if (v.is_string()) return ClockText(v, path, out);
    if (!Fields(
            v, path,
            {"year", "month", "day_of_week", "day", "hour", "minute", "second", "milliseconds"})) {
      return false;
    }
    const std::pair<const char*, WORD*> fields[] = {{"year", &out->wYear},
                                                    {"month", &out->wMonth},
                                                    {"day_of_week", &out->wDayOfWeek},
                                                    {"day", &out->wDay},
                                                    {"hour", &out->wHour},
                                                    {"minute", &out->wMinute},
                                                    {"second", &out->wSecond},
                                                    {"milliseconds", &out->wMilliseconds}};
    for (const auto& [key, field] : fields) {
      if (const Json* f = Find(v, key); f != nullptr && !Word(*f, Member(path, key), field)) {
        return false;
      }
    }
    return true;
  }

  // "2026-02-01 09:05:07", optionally with ".250" milliseconds; the day of the week follows.
  bool ClockText(const Json& v, const std::string& path, SYSTEMTIME* out) {
    const std::string& text = v.get_ref<const std::string&>();
    const std::string_view pattern = "dddd-dd-dd dd:dd:dd";
    bool shape = text.size() == pattern.size() ||
                 (text.size() == pattern.size() + 4 && text[pattern.size()] == '.');
    for (std::size_t i = 0; shape && i < text.size(); ++i) {
      const char want = i < pattern.size() ? pattern[i] : (i == pattern.size() ? '.' : 'd');
      shape = want == 'd' ? (text[i] >= '0' && text[i] <= '9') : text[i] == want;
    }
    if (!shape) {
      return Fail(path, Describe(v) + ": expected a time like \"2026-02-01 09:05:07\"");
    }
    const auto number = [&](std::size_t at, std::size_t digits) {
      int n = 0;
      for (std::size_t i = at; i < at + digits; ++i) n = n * 10 + (text[i] - '0');
      return n;
    };
    const int year = number(0, 4);
    const int month = number(5, 2);
    const int day = number(8, 2);
    const int hour = number(11, 2);
    const int minute = number(14, 2);
    const int second = number(17, 2);
    const int millis = text.size() > pattern.size() ? number(20, 3) : 0;
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59) {
      return Fail(path, Describe(v) + ": no such date or time");
    }
    *out =
        SYSTEMTIME{static_cast<WORD>(year),   static_cast<WORD>(month), DayOfWeek(year, month, day),
                   static_cast<WORD>(day),    static_cast<WORD>(hour),  static_cast<WORD>(minute),
                   static_cast<WORD>(second), static_cast<WORD>(millis)};
    return true;
  }

  bool Executable(const Json& v, std::u16string* out) {
    std::string text;
    return String(v, "executable", &text) && DevicePath(text, "executable", out);
  }

  bool Faults(const Json& v, FileFaults* out) {
    const std::string path = "report_faults";
    if (!Fields(v, path, {"operation", "at", "kind", "persistent"})) return false;
    FileFaults faults;
    faults.kind = FileFaults::Kind::kIoError;
    faults.at = 1;
    std::string choice = "open";
    if (const Json* o = Find(v, "operation"); o != nullptr) {
      if (!Choice(*o, Member(path, "operation"), {"open", "write", "close"}, &choice)) return false;
    }
    faults.operation = choice == "open"    ? FileFaults::Operation::kOpen
                       : choice == "write" ? FileFaults::Operation::kWrite
                                           : FileFaults::Operation::kClose;
    if (const Json* a = Find(v, "at"); a != nullptr) {
      std::int64_t at = 0;
      if (!Integer(*a, Member(path, "at"), 1, kIntMax, &at)) return false;
      faults.at = static_cast<int>(at);
    }
    if (const Json* k = Find(v, "kind"); k != nullptr) {
      if (!Choice(*k, Member(path, "kind"), {"no-space", "io-error", "read-only", "short-write"},
                  &choice)) {
        return false;
      }
      faults.kind = choice == "no-space"    ? FileFaults::Kind::kNoSpace
                    : choice == "io-error"  ? FileFaults::Kind::kIoError
                    : choice == "read-only" ? FileFaults::Kind::kReadOnly
                                            : FileFaults::Kind::kShortWrite;
      if (faults.kind == FileFaults::Kind::kShortWrite &&
          faults.operation != FileFaults::Operation::kWrite) {
        return Fail(Member(path, "kind"), "\"short-write\" needs \"operation\": \"write\"");
      }
    }
    if (const Json* p = Find(v, "persistent"); p != nullptr) {
      if (!Bool(*p, Member(path, "persistent"), &faults.persistent)) return false;
    }
    *out = faults;
    return true;
  }

  bool Files(const Json& v, std::map<std::u16string, Bytes>* out) {
    if (!v.is_object()) return Fail("files", "expected an object, got " + Describe(v));
    std::map<std::u16string, std::string> seen;  // folded path -> key as written
    for (const auto& item : v.items()) {
      const std::string path = Member("files", item.key());
      std::u16string name;
      if (!DevicePath(item.key(), path, &name)) return false;
      const auto [it, fresh] = seen.emplace(FoldPath(name), item.key());
      if (!fresh) return Fail(path, "the same file as " + Quote(it->second));
      if (!Fields(item.value(), path, {"text", "hex"})) return false;
      const Json* text = Find(item.value(), "text");
      const Json* hex = Find(item.value(), "hex");
      if ((text == nullptr) == (hex == nullptr)) {
        return Fail(path, "expected exactly one of \"text\" and \"hex\"");
      }
      Bytes bytes;
      if (text != nullptr) {
        std::string s;
        if (!String(*text, Member(path, "text"), &s)) return false;
        bytes.assign(s.begin(), s.end());
      } else if (!Hex(*hex, Member(path, "hex"), &bytes)) {
        return false;
      }
      (*out)[name] = std::move(bytes);
    }
    return true;
  }

  // --- System information ---

  bool Version(const Json& v, std::optional<OSVERSIONINFOW>* out) {
    const std::string path = "version";
    if (v.is_null()) {
      out->reset();
      return true;
    }
    if (!Fields(v, path, {"major", "minor", "build", "platform_id", "service_pack"})) return false;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    info.dwPlatformId = VER_PLATFORM_WIN32_CE;
    const std::pair<const char*, DWORD*> fields[] = {{"major", &info.dwMajorVersion},
                                                     {"minor", &info.dwMinorVersion},
                                                     {"build", &info.dwBuildNumber},
                                                     {"platform_id", &info.dwPlatformId}};
    for (const auto& [key, field] : fields) {
      if (const Json* f = Find(v, key); f != nullptr && !Dword(*f, Member(path, key), field)) {
        return false;
      }
    }
    if (const Json* s = Find(v, "service_pack"); s != nullptr) {
      std::u16string text;
      const std::string spPath = Member(path, "service_pack");
      if (!WideText(*s, spPath, &text) || !FitsField(text, spPath, kServicePackRoom)) return false;
      std::copy(text.begin(), text.end(), info.szCSDVersion);
    }
    *out = info;
    return true;
  }

  // The 576-byte PROCESSOR_INFO; null refuses the query.
  bool Processor(const Json& v, HalAnswer* out) {
    const std::string path = "processor";
    if (v.is_null()) {
      out->answer.reset();
      return true;
    }
    if (!Fields(v, path,
                {"version", "core", "core_revision", "name", "processor_revision", "catalog",
                 "vendor", "instruction_set", "clock_speed"})) {
      return false;
    }
    PROCESSOR_INFO info;
    std::memset(&info, 0, sizeof info);
    const std::pair<const char*, WORD*> words[] = {
        {"version", &info.wVersion},
        {"core_revision", &info.wCoreRevision},
        {"processor_revision", &info.wProcessorRevision}};
    for (const auto& [key, field] : words) {
      if (const Json* f = Find(v, key); f != nullptr && !Word(*f, Member(path, key), field)) {
        return false;
      }
    }
    struct TextField {
      const char* key;
      WCHAR* field;
      std::size_t room;
    };
    const TextField texts[] = {{"core", info.szProcessCore, std::size(info.szProcessCore)},
                               {"name", info.szProcessorName, std::size(info.szProcessorName)},
                               {"catalog", info.szCatalogNumber, std::size(info.szCatalogNumber)},
                               {"vendor", info.szVendor, std::size(info.szVendor)}};
    for (const auto& t : texts) {
      const Json* f = Find(v, t.key);
      if (f == nullptr) continue;
      std::u16string text;
      const std::string fieldPath = Member(path, t.key);
      if (!WideText(*f, fieldPath, &text) || !FitsField(text, fieldPath, t.room)) return false;
      std::copy(text.begin(), text.end(), t.field);
    }
    const std::pair<const char*, DWORD*> dwords[] = {{"instruction_set", &info.dwInstructionSet},
                                                     {"clock_speed", &info.dwClockSpeed}};
    for (const auto& [key, field] : dwords) {
      if (const Json* f = Find(v, key); f != nullptr && !Dword(*f, Member(path, key), field)) {
        return false;
      }
    }
    Bytes bytes(sizeof info);
    std::memcpy(bytes.data(), &info, sizeof info);
    out->answer = std::move(bytes);
    return true;
  }

  // --- The HAL ---

  bool Hal(const Json& v, HalProfile* out) {
    if (!Fields(v, "hal", {"device_id", "uuid"})) return false;
    if (const Json* d = Find(v, "device_id"); d != nullptr && !DeviceId(*d, &out->deviceId)) {
      return false;
    }
    if (const Json* u = Find(v, "uuid"); u != nullptr && !Uuid(*u, &out->uuid)) return false;
    return true;
  }

  // The refusals and what a refused query writes, common to both HAL answers. "refusals": "all"
  // refuses every query, so the answer keys in `answerKeys` cannot be given with it.
  bool Refusals(const Json& v, const std::string& path,
                std::initializer_list<const char*> answerKeys, HalAnswer* out) {
    if (const Json* r = Find(v, "refusals"); r != nullptr) {
      if (r->is_string() && r->get_ref<const std::string&>() == "all") {
        for (const char* key : answerKeys) {
          if (Find(v, key) != nullptr) {
            return Fail(Member(path, key), "cannot be given with \"refusals\": \"all\"");
          }
        }
        out->answer.reset();
      } else if (!r->is_string() || r->get_ref<const std::string&>().starts_with("0x")) {
        if (!Count(*r, Member(path, "refusals"), &out->refusals)) return false;
      } else {
        return Fail(Member(path, "refusals"), "expected a count or \"all\", got " + Describe(*r));
      }
    }
    if (const Json* w = Find(v, "refused_write"); w != nullptr) {
      if (!Hex(*w, Member(path, "refused_write"), &out->refusedWrite)) return false;
    }
    return true;
  }

  bool DeviceId(const Json& v, HalAnswer* out) {
    const std::string path = "hal.device_id";
    if (v.is_null()) {
      *out = HalAnswer{};
      return true;
    }
    if (!Fields(v, path, {"preset", "platform", "raw", "refusals", "refused_write"})) return false;
    HalAnswer answer;
    const Json* raw = Find(v, "raw");
    if (raw != nullptr) {
      for (const char* part : {"preset", "platform"}) {
        if (Find(v, part) != nullptr) {
          return Fail(Member(path, part), "cannot be given with \"raw\"");
        }
      }
      Bytes bytes;
      if (!Hex(*raw, Member(path, "raw"), &bytes)) return false;
      if (bytes.size() < sizeof(DEVICE_ID)) {
        return Fail(Member(path, "raw"), std::to_string(bytes.size()) +
                                             " bytes, shorter than the 20-byte DEVICE_ID header");
      }
      answer.answer = std::move(bytes);
    } else {
      Bytes preset;
      Bytes platform;
      if (const Json* p = Find(v, "preset"); p != nullptr) {
        if (!Hex(*p, Member(path, "preset"), &preset)) return false;
      }
      if (const Json* p = Find(v, "platform"); p != nullptr) {
        if (!Hex(*p, Member(path, "platform"), &platform)) return false;
      }
      answer.answer = DeviceIdStructure(preset, platform);
    }
    if (!Refusals(v, path, {"preset", "platform", "raw"}, &answer)) return false;
    *out = std::move(answer);
    return true;
  }

  bool Uuid(const Json& v, HalAnswer* out) {
    const std::string path = "hal.uuid";
    if (v.is_null()) {
      *out = HalAnswer{};
      return true;
    }
    if (!Fields(v, path, {"bytes", "refusals", "refused_write"})) return false;
    HalAnswer answer;
    Bytes bytes;
    if (const Json* b = Find(v, "bytes"); b != nullptr && !Hex(*b, Member(path, "bytes"), &bytes)) {
      return false;
    }
    answer.answer = std::move(bytes);
    if (!Refusals(v, path, {"bytes"}, &answer)) return false;
    *out = std::move(answer);
    return true;
  }

  // --- The system library's entry points ---

  bool UniqueId(const Json& v, UniqueIdProfile* out) {
    const std::string path = "get_device_unique_id";
    UniqueIdProfile id;
    if (v.is_null()) {
      *out = id;
      return true;
    }
    if (!Fields(v, path, {"result", "bytes", "length"})) return false;
    id.present = true;
    if (const Json* r = Find(v, "result"); r != nullptr) {
      if (!Result(*r, Member(path, "result"), &id.result)) return false;
    }
    if (const Json* b = Find(v, "bytes"); b != nullptr) {
      if (!Hex(*b, Member(path, "bytes"), &id.bytes)) return false;
    }
    if (const Json* l = Find(v, "length"); l != nullptr) {
      DWORD length = 0;
      if (!Dword(*l, Member(path, "length"), &length)) return false;
      id.length = length;
    }
    *out = std::move(id);
    return true;
  }

  // "{01234567-89ab-cdef-0123-456789abcdef}" (fields as numbers), or 16 hex bytes in memory order.
  bool GuidValue(const Json& v, const std::string& path, GUID* out) {
    const std::string bad =
        ": expected a GUID like \"{01234567-89ab-cdef-0123-456789abcdef}\" or 16 hex bytes";
    if (!v.is_string()) return Fail(path, "expected a string, got " + Describe(v));
    const std::string& text = v.get_ref<const std::string&>();
    std::uint8_t bytes[16] = {};
    if (text.starts_with("{")) {
      const std::string_view shape = "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
      bool valid = text.size() == shape.size();
      std::string digits;
      for (std::size_t i = 0; valid && i < text.size(); ++i) {
        if (shape[i] == 'x') {
          valid = HexDigit(text[i]) >= 0;
          digits.push_back(text[i]);
        } else {
          valid = text[i] == shape[i];
        }
      }
      if (!valid) return Fail(path, Describe(v) + bad);
      // Data1, Data2 and Data3 are numbers stored little-endian; Data4 is bytes in order.
      std::uint8_t be[16];
      for (std::size_t i = 0; i < 16; ++i) {
        be[i] = static_cast<std::uint8_t>(HexPair(std::string_view(digits).substr(2 * i, 2)));
      }
      const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
      for (std::size_t i = 0; i < 16; ++i) bytes[i] = be[order[i]];
    } else {
      Bytes hex;
      std::string token;
      if (!BlankBytes(text, &hex, &token) || hex.size() != 16) return Fail(path, Describe(v) + bad);
      std::copy(hex.begin(), hex.end(), bytes);
    }
    std::memcpy(out, bytes, sizeof *out);
    return true;
  }

  bool Guid(const Json& v, GuidProfile* out) {
    const std::string path = "co_create_guid";
    GuidProfile guid;
    if (v.is_null()) {
      *out = guid;
      return true;
    }
    if (!Fields(v, path, {"guid", "result"})) return false;
    guid.present = true;
    if (const Json* g = Find(v, "guid"); g != nullptr) {
      GUID value{};
      if (!GuidValue(*g, Member(path, "guid"), &value)) return false;
      guid.guid = value;
    }
    if (const Json* r = Find(v, "result"); r != nullptr) {
      if (!Result(*r, Member(path, "result"), &guid.result)) return false;
    }
    *out = guid;
    return true;
  }

  // --- Bluetooth and adapters ---

  bool Bluetooth(const Json& v, BluetoothProfile* out) {
    const std::string path = "bluetooth";
    BluetoothProfile bt;
    if (v.is_null()) {
      *out = bt;
      return true;
    }
    if (!Fields(v, path, {"address", "bind_fails", "getsockname_fails"})) return false;
    bt.address = 0;
    if (const Json* a = Find(v, "address"); a != nullptr) {
      const std::string apath = Member(path, "address");
      std::string text;
      if (!String(*a, apath, &text)) return false;
      Bytes bytes;
      if (!ColonBytes(text, &bytes) || (bytes.size() != 6 && bytes.size() != 8)) {
        return Fail(apath,
                    Describe(*a) + ": expected six (or eight) bytes like \"00:11:22:33:44:55\"");
      }
      std::uint64_t value = 0;
      for (BYTE b : bytes) value = value << 8 | b;  // most significant byte first
      bt.address = value;
    }
    if (const Json* b = Find(v, "bind_fails"); b != nullptr) {
      if (!Bool(*b, Member(path, "bind_fails"), &bt.bindFails)) return false;
    }
    if (const Json* g = Find(v, "getsockname_fails"); g != nullptr) {
      if (!Bool(*g, Member(path, "getsockname_fails"), &bt.getsocknameFails)) return false;
    }
    *out = bt;
    return true;
  }

  bool Adapters(const Json& v, AdaptersProfile* out) {
    const std::string path = "adapters";
    if (!Fields(v, path, {"list", "error_on_query"})) return false;
    AdaptersProfile adapters;
    if (const Json* list = Find(v, "list"); list != nullptr) {
      const std::string lpath = Member(path, "list");
      if (!list->is_array()) return Fail(lpath, "expected an array, got " + Describe(*list));
      for (std::size_t i = 0; i < list->size(); ++i) {
        AdapterFacts facts;
        if (!Adapter((*list)[i], Element(lpath, i), &facts)) return false;
        adapters.adapters.push_back(std::move(facts));
      }
    }
    if (const Json* e = Find(v, "error_on_query"); e != nullptr) {
      const std::string epath = Member(path, "error_on_query");
      if (!e->is_object()) return Fail(epath, "expected an object, got " + Describe(*e));
      for (const auto& item : e->items()) {
        const std::string& key = item.key();
        const std::string qpath = Member(epath, key);
        bool number = !key.empty() && key.size() <= 9 && key[0] != '0';
        for (char c : key) number = number && c >= '0' && c <= '9';
        if (!number) return Fail(qpath, "expected a query number (\"1\", \"2\", ...) as the key");
        DWORD code = 0;
        if (!Dword(item.value(), qpath, &code)) return false;
        adapters.errorOnQuery[std::stoi(key)] = code;
      }
    }
    *out = std::move(adapters);
    return true;
  }

  bool Adapter(const Json& v, const std::string& path, AdapterFacts* out) {
    if (!Fields(v, path,
                {"name", "description", "address", "index", "type", "dhcp_enabled", "ip_addresses",
                 "gateways", "dhcp_server", "have_wins", "primary_wins_server",
                 "secondary_wins_server", "lease_obtained", "lease_expires"})) {
      return false;
    }
    AdapterFacts a;
    const std::pair<const char*, std::string*> texts[] = {
        {"name", &a.name},
        {"description", &a.description},
        {"dhcp_server", &a.dhcpServer},
        {"primary_wins_server", &a.primaryWinsServer},
        {"secondary_wins_server", &a.secondaryWinsServer}};
    for (const auto& [key, field] : texts) {
      if (const Json* f = Find(v, key); f != nullptr && !String(*f, Member(path, key), field)) {
        return false;
      }
    }
    if (const Json* addr = Find(v, "address"); addr != nullptr) {
      const std::string apath = Member(path, "address");
      std::string text;
      if (!String(*addr, apath, &text)) return false;
      if (text.find(':') != std::string::npos) {
        if (!ColonBytes(text, &a.hardwareAddress)) {
          return Fail(apath, Describe(*addr) + ": expected bytes like \"00:11:22:33:44:55\"");
        }
      } else if (!Hex(*addr, apath, &a.hardwareAddress)) {
        return false;
      }
    }
    if (const Json* f = Find(v, "index");
        f != nullptr && !Dword(*f, Member(path, "index"), &a.index)) {
      return false;
    }
    if (const Json* f = Find(v, "type");
        f != nullptr && !Dword(*f, Member(path, "type"), &a.type)) {
      return false;
    }
    const std::pair<const char*, bool*> flags[] = {{"dhcp_enabled", &a.dhcpEnabled},
                                                   {"have_wins", &a.haveWins}};
    for (const auto& [key, field] : flags) {
      if (const Json* f = Find(v, key); f != nullptr && !Bool(*f, Member(path, key), field)) {
        return false;
      }
    }
    if (const Json* list = Find(v, "ip_addresses"); list != nullptr) {
      const std::string lpath = Member(path, "ip_addresses");
      if (!list->is_array()) return Fail(lpath, "expected an array, got " + Describe(*list));
      for (std::size_t i = 0; i < list->size(); ++i) {
        const Json& entry = (*list)[i];
        const std::string epath = Element(lpath, i);
        if (!Fields(entry, epath, {"ip", "mask"})) return false;
        AdapterFacts::Address address;
        if (const Json* ip = Find(entry, "ip"); ip != nullptr) {
          if (!String(*ip, Member(epath, "ip"), &address.ip)) return false;
        }
        if (const Json* mask = Find(entry, "mask"); mask != nullptr) {
          if (!String(*mask, Member(epath, "mask"), &address.mask)) return false;
        }
        a.addresses.push_back(std::move(address));
      }
    }
    if (const Json* list = Find(v, "gateways"); list != nullptr) {
      const std::string lpath = Member(path, "gateways");
      if (!list->is_array()) return Fail(lpath, "expected an array, got " + Describe(*list));
      for (std::size_t i = 0; i < list->size(); ++i) {
        std::string gateway;
        if (!String((*list)[i], Element(lpath, i), &gateway)) return false;
        a.gateways.push_back(std::move(gateway));
      }
    }
    const std::pair<const char*, std::int64_t*> leases[] = {{"lease_obtained", &a.leaseObtained},
                                                            {"lease_expires", &a.leaseExpires}};
    for (const auto& [key, field] : leases) {
      const Json* f = Find(v, key);
      if (f != nullptr && !Integer(*f, Member(path, key), std::numeric_limits<std::int64_t>::min(),
                                   std::numeric_limits<std::int64_t>::max(), field)) {
        return false;
      }
    }
    *out = std::move(a);
    return true;
  }

  // --- Root folder, volumes and stores ---

  // {"serial": hex} or {"raw": hex} with an optional "bytes_returned", or {"fails": true}.
  bool Reply(const Json& v, const std::string& path, StorageReply* out) {
    if (!Fields(v, path, {"serial", "raw", "bytes_returned", "fails"})) return false;
    StorageReply reply;
    if (const Json* f = Find(v, "fails"); f != nullptr) {
      if (!Bool(*f, Member(path, "fails"), &reply.fails)) return false;
    }
    const Json* serial = Find(v, "serial");
    const Json* raw = Find(v, "raw");
    const Json* returned = Find(v, "bytes_returned");
    if (reply.fails) {
      for (const char* other : {"serial", "raw", "bytes_returned"}) {
        if (Find(v, other) != nullptr) {
          return Fail(Member(path, other), "cannot be given with \"fails\": true");
        }
      }
    }
    if (serial != nullptr && raw != nullptr) {
      return Fail(Member(path, "raw"), "cannot be given with \"serial\"");
    }
    if (serial != nullptr) {
      Bytes bytes;
      if (!Hex(*serial, Member(path, "serial"), &bytes)) return false;
      reply.reply = ReplyWithSerial(bytes).reply;
    }
    if (raw != nullptr && !Hex(*raw, Member(path, "raw"), &reply.reply)) return false;
    if (returned != nullptr) {
      DWORD count = 0;
      if (!Dword(*returned, Member(path, "bytes_returned"), &count)) return false;
      reply.bytesReturned = count;
    }
    *out = std::move(reply);
    return true;
  }

  // null: the root folder cannot be searched; a list: its entries in listing order.
  bool Root(const Json& v, std::optional<std::vector<RootEntry>>* out) {
    const std::string path = "root";
    if (v.is_null()) {
      out->reset();
      return true;
    }
    if (!v.is_array()) return Fail(path, "expected an array or null, got " + Describe(v));
    std::vector<RootEntry> entries;
    std::map<std::u16string, std::size_t> seen;  // folded name -> index
    for (std::size_t i = 0; i < v.size(); ++i) {
      const Json& item = v[i];
      const std::string epath = Element(path, i);
      RootEntry entry;
      const Json* name = &item;
      std::string npath = epath;
      if (!item.is_string() && !item.is_object()) {
        return Fail(epath, "expected a name or an object, got " + Describe(item));
      }
      if (item.is_object()) {
        if (!Fields(item, epath, {"name", "volume", "store"})) return false;
        name = Find(item, "name");
        npath = Member(epath, "name");
        if (name == nullptr) return Fail(epath, "needs a \"name\"");
      }
      std::string text;
      if (!String(*name, npath, &text)) return false;
      entry.name = Utf8ToUtf16(text);
      const bool plain = entry.name != u"." && entry.name != u".." &&
                         entry.name.find_first_of(u"\\/") == std::u16string::npos;
      if (entry.name.empty() || !plain) {
        return Fail(
            npath, Describe(*name) + ": expected a name in the root folder, like \"Storage Card\"");
      }
      const auto [it, fresh] = seen.emplace(FoldPath(entry.name), i);
      if (!fresh) return Fail(npath, "the same name as " + Element(path, it->second));
      if (item.is_object()) {
        if (const Json* vol = Find(item, "volume"); vol != nullptr && !vol->is_null()) {
          StorageReply reply;
          if (!Reply(*vol, Member(epath, "volume"), &reply)) return false;
          entry.volume = std::move(reply);
        }
        if (const Json* store = Find(item, "store"); store != nullptr && !store->is_null()) {
          std::u16string storeName;
          const std::string spath = Member(epath, "store");
          if (!WideText(*store, spath, &storeName) ||
              !FitsField(storeName, spath, kStoreNameRoom)) {
            return false;
          }
          entry.store = std::move(storeName);
        }
      }
      entries.push_back(std::move(entry));
    }
    *out = std::move(entries);
    return true;
  }

  bool Stores(const Json& v, std::map<std::u16string, StorageReply>* out) {
    if (!v.is_object()) return Fail("stores", "expected an object, got " + Describe(v));
    std::map<std::u16string, std::string> seen;
    for (const auto& item : v.items()) {
      const std::string path = Member("stores", item.key());
      const std::u16string name = Utf8ToUtf16(item.key());
      if (name.empty()) return Fail(path, "a store needs a name, like \"DSK1:\"");
      const auto [it, fresh] = seen.emplace(FoldPath(name), item.key());
      if (!fresh) return Fail(path, "the same store as " + Quote(it->second));
      StorageReply reply;
      if (!Reply(item.value(), path, &reply)) return false;
      (*out)[name] = std::move(reply);
    }
    return true;
  }

  // --- Device makers' libraries ---

  bool Libraries(const Json& v, std::map<std::u16string, LibraryProfile>* out) {
    if (!v.is_object()) return Fail("libraries", "expected an object, got " + Describe(v));
    const std::u16string card = FoldPath(kCardLibrary);
    const std::u16string navigation = FoldPath(kNavigationLibrary);
    std::map<std::u16string, std::string> seen;
    for (const auto& item : v.items()) {
      const std::string path = Member("libraries", item.key());
      const std::u16string name = Utf8ToUtf16(item.key());
      const std::u16string folded = FoldPath(name);
      if (folded != card && folded != navigation) {
        return Fail(path, "unknown library (known libraries: marina_api, NAVIAPI)");
      }
      const auto [it, fresh] = seen.emplace(folded, item.key());
      if (!fresh) return Fail(path, "the same library as " + Quote(it->second));
      LibraryProfile library;
      if (!Library(item.value(), path, folded == card, &library)) return false;
      (*out)[name] = std::move(library);
    }
    return true;
  }

  // marina_api's SD_CardID writes wide text ("text" or "units"); NAVIAPI's AtlasGetUUID writes
  // bytes ("text" as UTF-8, or "hex"). A text that fills the 1024-unit buffer has no terminator.
  bool Library(const Json& v, const std::string& path, bool wide, LibraryProfile* out) {
    if (!Fields(v, path, {"entry_point", "result", "text", "hex", "units"})) return false;
    LibraryProfile library;
    if (const Json* e = Find(v, "entry_point"); e != nullptr) {
      if (!Bool(*e, Member(path, "entry_point"), &library.hasEntryPoint)) return false;
    }
    if (const Json* r = Find(v, "result"); r != nullptr) {
      if (!Result(*r, Member(path, "result"), &library.result)) return false;
    }
    const char* foreign = wide ? "hex" : "units";
    if (Find(v, foreign) != nullptr) {
      return Fail(Member(path, foreign),
                  wide ? "SD_CardID writes wide text: give \"text\" or \"units\""
                       : "AtlasGetUUID writes bytes: give \"text\" or \"hex\"");
    }
    const char* rawKey = wide ? "units" : "hex";
    const Json* text = Find(v, "text");
    const Json* raw = Find(v, rawKey);
    if (text != nullptr && raw != nullptr) {
      return Fail(Member(path, rawKey), "cannot be given with \"text\"");
    }
    std::size_t size = 0;
    std::string sizePath;
    if (text != nullptr) {
      sizePath = Member(path, "text");
      std::string s;
      if (!String(*text, sizePath, &s)) return false;
      if (wide) {
        library.wideText = Utf8ToUtf16(s);
      } else {
        library.narrowText.assign(s.begin(), s.end());
      }
    } else if (raw != nullptr) {
      sizePath = Member(path, rawKey);
      if (wide ? !Units(*raw, sizePath, &library.wideText)
               : !Hex(*raw, sizePath, &library.narrowText)) {
        return false;
      }
    }
    size = wide ? library.wideText.size() : library.narrowText.size();
    if (size > kLibraryRoom) {
      return Fail(sizePath, std::to_string(size) + (wide ? " UTF-16 code units" : " bytes") +
                                ", more than the entry point's 1024-unit buffer");
    }
    *out = std::move(library);
    return true;
  }

  std::string error_;
};

// Notes the first key that an object repeats; the JSON library would keep only its last value.
class DuplicateKeys {
 public:
  bool Event(Json::parse_event_t event, const Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
        frames_.push_back({true, {}, {}, 0});
        break;
      case Json::parse_event_t::array_start:
        frames_.push_back({false, {}, {}, 0});
        break;
      case Json::parse_event_t::key: {
        Frame& top = frames_.back();
        top.key = parsed.get_ref<const std::string&>();
        if (!top.keys.insert(top.key).second && first_.empty()) first_ = Path();
        break;
      }
      case Json::parse_event_t::value:
        Advance();
        break;
      case Json::parse_event_t::object_end:
      case Json::parse_event_t::array_end:
        frames_.pop_back();
        Advance();
        break;
    }
    return true;
  }
  // The path of the first repeated key, or "".
  const std::string& first() const { return first_; }

 private:
  struct Frame {
    bool object;
    std::set<std::string> keys;
    std::string key;    // the current member of an object
    std::size_t index;  // the current element of an array
  };

  void Advance() {
    if (!frames_.empty() && !frames_.back().object) ++frames_.back().index;
  }

  std::string Path() const {
    std::string path;
    for (const Frame& f : frames_) path = f.object ? Member(path, f.key) : Element(path, f.index);
    return path;
  }

  std::vector<Frame> frames_;
  std::string first_;
};

}  // namespace

std::optional<DeviceProfile> ParseProfile(const std::string& json, std::string* error) {
  const auto fail = [&](const std::string& message) {
    if (error) *error = message;
    return std::nullopt;
  };
  DuplicateKeys duplicates;
  Json document;
  try {
    document = Json::parse(json, [&](int, Json::parse_event_t event, Json& parsed) {
      return duplicates.Event(event, parsed);
    });
  } catch (const Json::exception& e) {
    // "[json.exception.parse_error.101] parse error at line 1, column 2: ..." without its tag.
    std::string what = e.what();
    const std::size_t tag = what.find("] ");
    if (what.starts_with("[json.exception.") && tag != std::string::npos) what.erase(0, tag + 2);
    // A number too large for a double comes without a position; name it as a parse error too.
    if (!what.starts_with("parse error")) what = "parse error: " + what;
    return fail(what);
  }
  if (!duplicates.first().empty()) return fail(duplicates.first() + ": duplicate key");
  DeviceProfile profile;
  Reader reader;
  if (!reader.Profile(document, &profile)) return fail(reader.error());
  return profile;
}

std::optional<DeviceProfile> LoadProfileFile(const std::string& path, std::string* error) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    if (error) *error = path + ": is a folder, not a profile";
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) {
    if (error) *error = path + ": cannot be read";
    return std::nullopt;
  }
  std::string message;
  auto profile = ParseProfile(text.str(), &message);
  if (!profile && error) *error = path + ": " + message;
  return profile;
}

}  // namespace sim
