#include "platform/codepage.h"

#include <climits>
#include <cstddef>
#include <cstdint>

namespace {

// Characters of code page 1252 at bytes 0x80-0x9F. The five positions the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) hold the C1 control of the same value, so those
// round-trip.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

constexpr char32_t kReplacement = 0xFFFD;
// Marks an unpaired surrogate in a decoded wide character.
constexpr char32_t kLoneSurrogate = 0xFFFFFFFF;

bool IsHighSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// Reads one character from `s` at `i` (a surrogate pair is one character) and advances `i`.
char32_t NextChar(std::u16string_view s, std::size_t& i) {
  const char32_t c = s[i++];
  if (IsHighSurrogate(c) && i < s.size() && IsLowSurrogate(s[i])) {
    const char32_t low = s[i++];
    return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
  }
  if (IsHighSurrogate(c) || IsLowSurrogate(c)) return kLoneSurrogate;
  return c;
}

// Returns the code page 1252 byte for `c`, or -1 when the code page lacks it.
int Cp1252Byte(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return int(c);
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] == c) return 0x80 + i;
  }
  return -1;
}

// Encodes `c` (a scalar value) as UTF-8 into `out`; returns the byte count.
std::size_t EncodeUtf8(char32_t c, unsigned char out[4]) {
  if (c < 0x80) {
    out[0] = static_cast<unsigned char>(c);
    return 1;
  }
  if (c < 0x800) {
    out[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
    out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 2;
  }
  if (c < 0x10000) {
    out[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
  }
  out[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
  out[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
  out[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
  out[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
  return 4;
}

void AppendUtf16(char32_t c, std::u16string& out) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

}  // namespace

int WideCharToMultiByte(UINT codePage, DWORD /*flags*/, LPCWSTR src, int srcChars, LPSTR dst,
                        int dstBytes, LPCSTR defaultChar, BOOL* usedDefault) {
  if (codePage != CP_ACP && codePage != CP_UTF8) return 0;
  if (src == nullptr || srcChars == 0 || srcChars < -1 || dstBytes < 0) return 0;
  if (dst == nullptr && dstBytes != 0) return 0;

  std::size_t length = srcChars;
  if (srcChars == -1) {
    length = 0;
    while (src[length] != 0) ++length;
    ++length;  // the terminator is converted too
  }
  const std::u16string_view text(src, length);
  const unsigned char fallback =
      defaultChar != nullptr ? static_cast<unsigned char>(defaultChar[0]) : '?';

  bool defaulted = false;
  bool fits = true;
  std::size_t produced = 0;  // bytes the whole conversion needs
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = NextChar(text, i);
    unsigned char bytes[4];
    std::size_t n = 1;
    if (codePage == CP_UTF8) {
      n = EncodeUtf8(c == kLoneSurrogate ? kReplacement : c, bytes);
    } else if (const int b = c == kLoneSurrogate ? -1 : Cp1252Byte(c); b >= 0) {
      bytes[0] = static_cast<unsigned char>(b);
    } else {
      bytes[0] = fallback;
      defaulted = true;
    }
    if (dstBytes != 0 && fits) {
      if (produced + n <= std::size_t(dstBytes)) {
        for (std::size_t k = 0; k < n; ++k) dst[produced + k] = static_cast<char>(bytes[k]);
      } else {
        fits = false;  // nothing more is written, but the scan goes on for *usedDefault
      }
    }
    produced += n;
  }
  if (usedDefault != nullptr) *usedDefault = defaulted ? TRUE : FALSE;
  if (!fits || produced > std::size_t(INT_MAX)) return 0;
  return int(produced);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  const std::size_t size = utf8.size();
  std::size_t i = 0;
  while (i < size) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    // Well-formed sequences: the lead byte fixes the length and the range of the second byte;
    // every later byte is 0x80-0xBF.
    std::size_t need;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    char32_t value;
    if (lead >= 0xC2 && lead <= 0xDF) {
      need = 1;
      value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      need = 2;
      value = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;   // no overlong forms
      if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      need = 3;
      value = lead & 0x07;
      if (lead == 0xF0) low = 0x90;   // no overlong forms
      if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    ++i;
    std::size_t got = 0;
    while (got < need && i < size) {
      const unsigned char b = static_cast<unsigned char>(utf8[i]);
      if (b < low || b > high) break;
      value = (value << 6) | (b & 0x3F);
      low = 0x80;
      high = 0xBF;
      ++i;
      ++got;
    }
    // An ill-formed part (lead plus the continuation bytes that were valid) becomes one U+FFFD;
    // the byte that broke it is decoded afresh.
    AppendUtf16(got == need ? value : kReplacement, out);
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size();) {
    const char32_t c = NextChar(utf16, i);
    unsigned char bytes[4];
    const std::size_t n = EncodeUtf8(c == kLoneSurrogate ? kReplacement : c, bytes);
    out.append(reinterpret_cast<const char*>(bytes), n);
  }
  return out;
}
