#include "platform/wformat.h"

#include <climits>
#include <cstdint>
#include <type_traits>

namespace {

constexpr std::uint64_t kMaxField = INT_MAX;

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
  return (a > UINT64_MAX - b) ? UINT64_MAX : a + b;
}

// Collects the output: writes what fits into the caller's `count` characters and keeps counting
// past that, so the caller learns whether the result fitted.
class Output {
 public:
  Output(WCHAR* buffer, std::size_t count) : buffer_(buffer), count_(count) {}

  void Put(WCHAR c) { Repeat(c, 1); }

  void Repeat(WCHAR c, std::uint64_t n) {
    for (std::uint64_t i = 0; i < n && total_ + i < count_; ++i) buffer_[total_ + i] = c;
    total_ = SaturatingAdd(total_, n);
  }

  template <typename Char>
  void Write(const Char* s, std::size_t n) {
    for (std::size_t i = 0; i < n && total_ + i < count_; ++i) {
      buffer_[total_ + i] = static_cast<WCHAR>(static_cast<std::make_unsigned_t<Char>>(s[i]));
    }
    total_ = SaturatingAdd(total_, n);
  }

  // Once more than `count` characters are produced the outcome is settled.
  bool Overflowed() const { return total_ > count_; }
  std::uint64_t total() const { return total_; }

 private:
  WCHAR* buffer_;
  std::uint64_t count_;
  std::uint64_t total_ = 0;
};

enum class Size { kDefault, kShort, kLong, kLongLong, kMalformed };

struct Spec {
  bool left = false;
  bool zero = false;
  bool plus = false;
  bool space = false;
  bool alt = false;
  bool widthStar = false;
  std::uint64_t width = 0;
  bool hasPrecision = false;
  bool precisionStar = false;
  std::uint64_t precision = 0;
  Size size = Size::kDefault;
  WCHAR conversion = 0;
};

bool IsDigit(WCHAR c) {
  return c >= u'0' && c <= u'9';
}

// Reads digits at `p`, saturating at kMaxField.
std::uint64_t ParseNumber(const WCHAR*& p) {
  std::uint64_t value = 0;
  while (IsDigit(*p)) {
    value = value * 10 + std::uint64_t(*p - u'0');
    if (value > kMaxField) value = kMaxField;
    ++p;
  }
  return value;
}

// Parses a conversion after its '%'. Stops at the conversion character (returned in
// spec.conversion, which is 0 when the format ends first) or at a malformed size modifier; `p` is
// left on the character where parsing stopped.
void ParseSpec(const WCHAR*& p, Spec& spec) {
  for (;; ++p) {
    if (*p == u'-') {
      spec.left = true;
    } else if (*p == u'0') {
      spec.zero = true;
    } else if (*p == u'+') {
      spec.plus = true;
    } else if (*p == u' ') {
      spec.space = true;
    } else if (*p == u'#') {
      spec.alt = true;
    } else {
      break;
    }
  }
  if (*p == u'*') {
    spec.widthStar = true;
    ++p;
  } else {
    spec.width = ParseNumber(p);
  }
  if (*p == u'.') {
    ++p;
    spec.hasPrecision = true;
    if (*p == u'*') {
      spec.precisionStar = true;
      ++p;
    } else {
      spec.precision = ParseNumber(p);
    }
  }
  if (*p == u'h') {
    spec.size = Size::kShort;
    ++p;
  } else if (*p == u'l') {
    ++p;
    spec.size = Size::kLong;
    if (*p == u'l') {
      spec.size = Size::kLongLong;
      ++p;
    }
  } else if (*p == u'I') {
    // Only "I64" is known; otherwise stop on the first character that breaks it.
    ++p;
    if (*p != u'6' || *++p != u'4') {
      spec.size = Size::kMalformed;
      spec.conversion = *p;
      return;
    }
    spec.size = Size::kLongLong;
    ++p;
  }
  spec.conversion = *p;
}

bool IsValid(const Spec& spec, bool bare) {
  if (spec.size == Size::kMalformed) return false;
  switch (spec.conversion) {
    case u'd':
    case u'i':
    case u'u':
    case u'o':
    case u'x':
    case u'X':
      return true;
    case u'c':
    case u's':
      return spec.size == Size::kDefault || spec.size == Size::kShort || spec.size == Size::kLong;
    case u'%':
      return bare;
    case u'n':
      return true;
    default:
      return false;
  }
}

class Formatter {
 public:
  Formatter(WCHAR* buffer, std::size_t count, va_list args) : out_(buffer, count) {
    va_copy(args_, args);
  }
  ~Formatter() { va_end(args_); }
  Formatter(const Formatter&) = delete;
  Formatter& operator=(const Formatter&) = delete;

  std::uint64_t Run(const WCHAR* format) {
    const WCHAR* p = format;
    while (*p != 0 && !out_.Overflowed()) {
      if (*p != u'%') {
        out_.Put(*p++);
        continue;
      }
      const WCHAR* start = p++;
      Spec spec;
      ParseSpec(p, spec);
      if (!IsValid(spec, p == start + 1)) {
        // Written literally up to and including the offending character.
        if (*p != 0) ++p;
        out_.Write(start, std::size_t(p - start));
      } else if (spec.conversion == u'n') {
        ++p;  // writes nothing, reads nothing
      } else {
        ++p;
        Convert(spec);
      }
    }
    return out_.total();
  }

 private:
  void Convert(Spec& spec) {
    if (spec.widthStar) {
      const int w = va_arg(args_, int);
      if (w < 0) {
        spec.left = true;
        spec.width = std::uint64_t(-std::int64_t(w));
      } else {
        spec.width = std::uint64_t(w);
      }
    }
    if (spec.precisionStar) {
      const int prec = va_arg(args_, int);
      if (prec < 0) {
        spec.hasPrecision = false;
      } else {
        spec.precision = std::uint64_t(prec);
      }
    }
    switch (spec.conversion) {
      case u'%':
        out_.Put(u'%');
        break;
      case u'c':
        FormatChar(spec);
        break;
      case u's':
        FormatString(spec);
        break;
      case u'd':
      case u'i':
        FormatSigned(spec);
        break;
      default:
        FormatUnsigned(spec);
        break;
    }
  }

  void Pad(std::uint64_t length, const Spec& spec, bool before) {
    if (spec.width > length && spec.left != before) out_.Repeat(u' ', spec.width - length);
  }

  void FormatChar(const Spec& spec) {
    const int value = va_arg(args_, int);
    const WCHAR c = spec.size == Size::kShort ? WCHAR(value & 0xFF) : WCHAR(value & 0xFFFF);
    Pad(1, spec, true);
    out_.Put(c);
    Pad(1, spec, false);
  }

  template <typename Char>
  void WriteText(const Char* s, const Spec& spec) {
    static constexpr Char kNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
    if (s == nullptr) s = kNull;
    std::size_t n = 0;
    while ((!spec.hasPrecision || n < spec.precision) && s[n] != 0) ++n;
    Pad(n, spec, true);
    out_.Write(s, n);
    Pad(n, spec, false);
  }

  void FormatString(const Spec& spec) {
    if (spec.size == Size::kShort) {
      WriteText(va_arg(args_, const char*), spec);
    } else {
      WriteText(va_arg(args_, const char16_t*), spec);
    }
  }

  void FormatSigned(const Spec& spec) {
    std::int64_t value;
    switch (spec.size) {
      case Size::kLongLong:
        value = va_arg(args_, long long);
        break;
      case Size::kShort:
        value = static_cast<std::int16_t>(va_arg(args_, int));
        break;
      default:  // no modifier or "l": 32 bits
        value = va_arg(args_, int);
        break;
    }
    const std::uint64_t magnitude = value < 0 ? 0 - std::uint64_t(value) : std::uint64_t(value);
    WCHAR sign = 0;
    if (value < 0) {
      sign = u'-';
    } else if (spec.plus) {
      sign = u'+';
    } else if (spec.space) {
      sign = u' ';
    }
    WriteInteger(spec, magnitude, sign);
  }

  void FormatUnsigned(const Spec& spec) {
    std::uint64_t value;
    switch (spec.size) {
      case Size::kLongLong:
        value = va_arg(args_, unsigned long long);
        break;
      case Size::kShort:
        value = static_cast<std::uint16_t>(va_arg(args_, unsigned));
        break;
      default:
        value = va_arg(args_, unsigned);
        break;
    }
    WriteInteger(spec, value, 0);
  }

  void WriteInteger(const Spec& spec, std::uint64_t value, WCHAR sign) {
    const unsigned base = spec.conversion == u'o'                                ? 8
                          : (spec.conversion == u'x' || spec.conversion == u'X') ? 16
                                                                                 : 10;
    const char* digitSet = spec.conversion == u'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    char digits[24];  // 22 octal digits hold 64 bits
    std::size_t n = 0;
    for (std::uint64_t v = value; v != 0; v /= base) digits[n++] = digitSet[v % base];
    // Zero still prints one digit unless an explicit precision of 0 asks for none.
    if (value == 0 && !(spec.hasPrecision && spec.precision == 0)) digits[n++] = '0';

    const std::uint64_t minDigits = spec.hasPrecision ? spec.precision : 1;
    std::uint64_t zeros = minDigits > n ? minDigits - n : 0;
    if (spec.alt && base == 8 && zeros == 0 && (n == 0 || digits[n - 1] != '0')) zeros = 1;

    WCHAR prefix[3];
    std::size_t prefixLength = 0;
    if (sign != 0) prefix[prefixLength++] = sign;
    if (spec.alt && base == 16 && value != 0) {
      prefix[prefixLength++] = u'0';
      prefix[prefixLength++] = spec.conversion;
    }

    std::uint64_t length = prefixLength + zeros + n;
    if (spec.zero && !spec.left && !spec.hasPrecision && spec.width > length) {
      zeros += spec.width - length;
      length = spec.width;
    }
    Pad(length, spec, true);
    out_.Write(prefix, prefixLength);
    out_.Repeat(u'0', zeros);
    for (std::size_t i = n; i > 0; --i) out_.Put(WCHAR(digits[i - 1]));
    Pad(length, spec, false);
  }

  Output out_;
  va_list args_;
};

}  // namespace

int _vsnwprintf(WCHAR* buffer, std::size_t count, const WCHAR* format, va_list args) {
  if (buffer == nullptr && count != 0) return -1;
  if (format == nullptr) {
    if (count != 0) buffer[0] = 0;
    return -1;
  }
  Formatter formatter(buffer, count, args);
  const std::uint64_t total = formatter.Run(format);
  if (total < count) {
    buffer[total] = 0;
    return total <= std::uint64_t(INT_MAX) ? int(total) : -1;
  }
  if (total == count) return total <= std::uint64_t(INT_MAX) ? int(total) : -1;
  return -1;
}

int _snwprintf(WCHAR* buffer, std::size_t count, const WCHAR* format, ...) {
  va_list args;
  va_start(args, format);
  const int result = _vsnwprintf(buffer, count, format, args);
  va_end(args);
  return result;
}

int wsprintfW(WCHAR* buffer, const WCHAR* format, ...) {
  if (buffer == nullptr) return 0;
  if (format == nullptr) {
    buffer[0] = 0;
    return 0;
  }
  va_list args;
  va_start(args, format);
  int result = _vsnwprintf(buffer, kWsprintfMaxChars, format, args);
  va_end(args);
  if (result < 0 || std::size_t(result) >= kWsprintfMaxChars) {
    result = int(kWsprintfMaxChars - 1);
    buffer[result] = 0;
  }
  return result;
}
