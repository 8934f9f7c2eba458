#include "platform/wformat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "platform/types.h"
#include "platform/wstring.h"

namespace {

constexpr char16_t kCanary = 0xCDCD;

// Formats into a roomy buffer and returns exactly the characters the formatter reported, checking
// the terminator after them (the text may contain NULs written by %c).
template <typename... Args>
std::u16string Fmt(const char16_t* format, Args... args) {
  std::vector<char16_t> buffer(256, kCanary);
  const int n = _snwprintf(buffer.data(), buffer.size(), format, args...);
  if (n < 0 || std::size_t(n) >= buffer.size() || buffer[std::size_t(n)] != 0) {
    return u"<bad result>";
  }
  return std::u16string(buffer.data(), std::size_t(n));
}

struct Case {
  const char16_t* format;
  std::u16string got;
  std::u16string want;
};

std::string Narrow(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) {
    if (c >= 0x20 && c < 0x7F) {
      out.push_back(char(c));
    } else {
      char hex[16];
      snprintf(hex, sizeof hex, "\\u%04X", unsigned(c));
      out += hex;
    }
  }
  return out;
}

void Check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(Narrow(c.got), Narrow(c.want)) << "format: " << Narrow(c.format);
  }
}

TEST(WideFormat, Integers) {
  Check({
      {u"%d", Fmt(u"%d", 0), u"0"},
      {u"%d", Fmt(u"%d", -42), u"-42"},
      {u"%i", Fmt(u"%i", 1234), u"1234"},
      {u"%d", Fmt(u"%d", INT_MIN), u"-2147483648"},
      {u"%d", Fmt(u"%d", E_FAIL), u"-2147467259"},
      {u"%u", Fmt(u"%u", -1), u"4294967295"},
      {u"%5d", Fmt(u"%5d", 42), u"   42"},
      {u"%-5d|", Fmt(u"%-5d|", 42), u"42   |"},
      {u"%05d", Fmt(u"%05d", -42), u"-0042"},
      {u"%-05d|", Fmt(u"%-05d|", 42), u"42   |"},
      {u"%+d", Fmt(u"%+d", 5), u"+5"},
      {u"%+d", Fmt(u"%+d", -5), u"-5"},
      {u"% d", Fmt(u"% d", 5), u" 5"},
      {u"%+ d", Fmt(u"%+ d", 5), u"+5"},
      {u"%+05d", Fmt(u"%+05d", 5), u"+0005"},
      {u"%+u", Fmt(u"%+u", 5), u"5"},
      {u"%.3d", Fmt(u"%.3d", 7), u"007"},
      {u"%8.3d", Fmt(u"%8.3d", -7), u"    -007"},
      {u"%08.3d", Fmt(u"%08.3d", 7), u"     007"},
      {u"%.0d", Fmt(u"%.0d", 0), u""},
      {u"%3.0d|", Fmt(u"%3.0d|", 0), u"   |"},
      {u"%.d", Fmt(u"%.d", 0), u""},
      {u"%*d", Fmt(u"%*d", 5, 42), u"   42"},
      {u"%*d|", Fmt(u"%*d|", -5, 42), u"42   |"},
      {u"%.*d", Fmt(u"%.*d", 3, 7), u"007"},
      {u"%.*d", Fmt(u"%.*d", -1, 7), u"7"},
      {u"%05.*d", Fmt(u"%05.*d", -1, 7), u"00007"},
      {u"%*.*d", Fmt(u"%*.*d", 6, 4, -12), u" -0012"},
      {u"%o", Fmt(u"%o", 8), u"10"},
      {u"%#o", Fmt(u"%#o", 8), u"010"},
      {u"%#o", Fmt(u"%#o", 0), u"0"},
      {u"%#.0o", Fmt(u"%#.0o", 0), u"0"},
      {u"%#.3o", Fmt(u"%#.3o", 8), u"010"},
  });
}

TEST(WideFormat, IntegerSizes) {
  Check({
      // "l" is 32 bits: an int -1 must not be read as a 64-bit long.
      {u"%ld", Fmt(u"%ld", -1), u"-1"},
      {u"%ld %ld", Fmt(u"%ld %ld", -1, 2), u"-1 2"},
      {u"%lu", Fmt(u"%lu", 0xFFFFFFFFu), u"4294967295"},
      {u"%lx", Fmt(u"%lx", 0xFFFFFFFFu), u"ffffffff"},
      {u"%li", Fmt(u"%li", LONG(-7)), u"-7"},
      {u"%hd", Fmt(u"%hd", 0x12345), u"9029"},
      {u"%hd", Fmt(u"%hd", 0x18000), u"-32768"},
      {u"%hu", Fmt(u"%hu", -1), u"65535"},
      {u"%hx", Fmt(u"%hx", 0x12345), u"2345"},
      {u"%lld", Fmt(u"%lld", LLONG_MIN), u"-9223372036854775808"},
      {u"%llu", Fmt(u"%llu", ULLONG_MAX), u"18446744073709551615"},
      {u"%I64d", Fmt(u"%I64d", -1234567890123LL), u"-1234567890123"},
      {u"%I64x", Fmt(u"%I64x", 0xFEDCBA9876543210ULL), u"fedcba9876543210"},
      {u"%I64u", Fmt(u"%I64u", 1ULL << 40), u"1099511627776"},
      {u"%llo", Fmt(u"%llo", ULLONG_MAX), u"1777777777777777777777"},
      // A 64-bit argument consumed correctly leaves the next one in place.
      {u"%I64d %d", Fmt(u"%I64d %d", 5LL, 6), u"5 6"},
  });
}

TEST(WideFormat, Hex) {
  Check({
      {u"%x", Fmt(u"%x", 0xDEADBEEF), u"deadbeef"},
      {u"%X", Fmt(u"%X", 0xDEADBEEF), u"DEADBEEF"},
      {u"%x", Fmt(u"%x", 0), u"0"},
      {u"%08lx", Fmt(u"%08lx", DWORD(0x1234)), u"00001234"},
      {u"%08lx", Fmt(u"%08lx", DWORD(0x4100C080)), u"4100c080"},
      {u"%04x", Fmt(u"%04x", 0xABC), u"0abc"},
      {u"%04x", Fmt(u"%04x", 0x12345), u"12345"},
      {u"%02X", Fmt(u"%02X", 5), u"05"},
      {u"%02X", Fmt(u"%02X", 0xABC), u"ABC"},
      {u"%#x", Fmt(u"%#x", 255), u"0xff"},
      {u"%#X", Fmt(u"%#X", 255), u"0XFF"},
      {u"%#x", Fmt(u"%#x", 0), u"0"},
      {u"%#010x", Fmt(u"%#010x", 255), u"0x000000ff"},
      {u"%#.4x", Fmt(u"%#.4x", 255), u"0x00ff"},
      {u"%-#6x|", Fmt(u"%-#6x|", 255), u"0xff  |"},
      {u"%x", Fmt(u"%x", E_FAIL), u"80004005"},
  });
}

TEST(WideFormat, Strings) {
  const char16_t unterminated[3] = {u'a', u'b', u'c'};
  const char narrowUnterminated[2] = {'x', 'y'};
  const char16_t* nullWide = nullptr;
  const char* nullNarrow = nullptr;
  Check({
      {u"%s", Fmt(u"%s", u"abc"), u"abc"},
      {u"%ls", Fmt(u"%ls", u"abc"), u"abc"},
      {u"%s", Fmt(u"%s", u"caf\u00E9 \u20AC"), u"caf\u00E9 \u20AC"},
      {u"%s", Fmt(u"%s", u""), u""},
      {u"%5s", Fmt(u"%5s", u"abc"), u"  abc"},
      {u"%-5s|", Fmt(u"%-5s|", u"abc"), u"abc  |"},
      {u"%05s", Fmt(u"%05s", u"abc"), u"  abc"},
      {u"%.2s", Fmt(u"%.2s", u"abc"), u"ab"},
      {u"%.0s", Fmt(u"%.0s", u"abc"), u""},
      {u"%5.1s", Fmt(u"%5.1s", u"abc"), u"    a"},
      {u"%.*s", Fmt(u"%.*s", 2, u"abc"), u"ab"},
      {u"%.*s", Fmt(u"%.*s", -1, u"abc"), u"abc"},
      // Precision bounds the read: the text needs no terminator within it.
      {u"%.3s", Fmt(u"%.3s", unterminated), u"abc"},
      {u"%s", Fmt(u"%s", nullWide), u"(null)"},
      {u"%8s", Fmt(u"%8s", nullWide), u"  (null)"},
      {u"%.3s", Fmt(u"%.3s", nullWide), u"(nu"},
      {u"%hs", Fmt(u"%hs", "abc"), u"abc"},
      {u"%-4hs|", Fmt(u"%-4hs|", "ab"), u"ab  |"},
      // Bytes are copied one to one, never decoded.
      {u"%hs", Fmt(u"%hs", "\xE9\xFF"), u"\u00E9\u00FF"},
      {u"%hs", Fmt(u"%hs", "\xC3\xA9"), u"\u00C3\u00A9"},
      {u"%.2hs", Fmt(u"%.2hs", narrowUnterminated), u"xy"},
      {u"%hs", Fmt(u"%hs", nullNarrow), u"(null)"},
  });
}

TEST(WideFormat, Characters) {
  Check({
      {u"%c", Fmt(u"%c", 'A'), u"A"},
      {u"%lc", Fmt(u"%lc", 0x20AC), u"\u20AC"},
      {u"%c", Fmt(u"%c", 0x120AC), u"\u20AC"},
      {u"%hc", Fmt(u"%hc", 0x1E9), u"\u00E9"},
      {u"%3c", Fmt(u"%3c", 'x'), u"  x"},
      {u"%-3c|", Fmt(u"%-3c|", 'x'), u"x  |"},
      // A zero writes a NUL and formatting goes on after it.
      {u"a%cb", Fmt(u"a%cb", 0), std::u16string(u"a\0b", 3)},
      {u"%c%d", Fmt(u"%c%d", 0, 7),
       std::u16string(u"\0"
                      u"7",
                      2)},
  });
}

TEST(WideFormat, PercentUnknownAndN) {
  Check({
      {u"100%%", Fmt(u"100%%"), u"100%"},
      {u"%%d", Fmt(u"%%d", 1), u"%d"},
      // %n writes nothing and takes no argument: the 5 goes to %d.
      {u"%n%d", Fmt(u"%n%d", 5), u"5"},
      {u"a%lnb%d", Fmt(u"a%lnb%d", 5), u"ab5"},
      {u"%*n%d", Fmt(u"%*n%d", 5), u"5"},
      // Unknown conversions come out literally and take no argument, not even for "*".
      {u"%q%d", Fmt(u"%q%d", 7), u"%q7"},
      {u"%-5q%d", Fmt(u"%-5q%d", 7), u"%-5q7"},
      {u"%*q%d", Fmt(u"%*q%d", 7), u"%*q7"},
      {u"%f%d", Fmt(u"%f%d", 7), u"%f7"},
      {u"%p%d", Fmt(u"%p%d", 7), u"%p7"},
      {u"%lls%d", Fmt(u"%lls%d", 7), u"%lls7"},
      {u"%I64c%d", Fmt(u"%I64c%d", 7), u"%I64c7"},
      {u"%I32d%d", Fmt(u"%I32d%d", 7), u"%I32d7"},
      {u"%I6", Fmt(u"%I6"), u"%I6"},
      {u"%5%", Fmt(u"%5%"), u"%5%"},
      // Incomplete conversions at the end of the format.
      {u"abc%", Fmt(u"abc%"), u"abc%"},
      {u"abc%-08.", Fmt(u"abc%-08."), u"abc%-08."},
      {u"abc%l", Fmt(u"abc%l"), u"abc%l"},
  });
}

TEST(WideFormat, ReportFormats) {
  const char16_t* nothing = nullptr;
  Check({
      {u"time",
       Fmt(u"%d:%d:%d %d:%d:%d: ", WORD(2024), WORD(3), WORD(5), WORD(14), WORD(7), WORD(9)),
       u"2024:3:5 14:7:9: "},
      {u"cpu", Fmt(u"CPU1 v=%08lx core='%ls' rev=%04x", DWORD(0x4100C080), u"ARM920T", DWORD(2)),
       u"CPU1 v=4100c080 core='ARM920T' rev=0002"},
      {u"cpu null core",
       Fmt(u"CPU1 v=%08lx core='%ls' rev=%04x", DWORD(0xFFFFFFFF), nothing, DWORD(0x1ABCD)),
       u"CPU1 v=ffffffff core='(null)' rev=1abcd"},
      {u"adr", Fmt(u" - adr: %d; data: %d (%c)", 16, BYTE(65), BYTE(65)),
       u" - adr: 16; data: 65 (A)"},
      {u"adr zero", Fmt(u" - adr: %d; data: %d (%c)", 3, BYTE(0), BYTE(0)),
       std::u16string(u" - adr: 3; data: 0 (\0)", 22)},
      {u"adapter", Fmt(u" - Adapter Name: \t%hs", "eth0"), u" - Adapter Name: \teth0"},
      {u"addr", Fmt(u" - Adapter Addr: \t%ld", DWORD(0x0100A8C0)), u" - Adapter Addr: \t16820416"},
      {u"addr high", Fmt(u" - Adapter Addr: \t%ld", DWORD(0xC0A80001)),
       u" - Adapter Addr: \t-1062731775"},
      {u"vol", Fmt(u"%s\\Vol:", u"\\Storage Card"), u"\\Storage Card\\Vol:"},
      {u"byte", Fmt(u"%02X", BYTE(0x0A)), u"0A"},
      {u"byte ff", Fmt(u"%02X", BYTE(0xFF)), u"FF"},
      {u"uid", Fmt(u" - failed calling pGetDeviceUniqueID = %d", E_FAIL),
       u" - failed calling pGetDeviceUniqueID = -2147467259"},
      {u"version", Fmt(u"%d.%d.%d %s (%d)", DWORD(5), DWORD(0), DWORD(1400), u"Build", 3),
       u"5.0.1400 Build (3)"},
  });
}

// The result is formatted into buffer[4..] with canaries all around.
struct Bounded {
  char16_t buffer[24];
  int result;
  template <typename... Args>
  Bounded(std::size_t count, const char16_t* format, Args... args) {
    for (char16_t& c : buffer) c = kCanary;
    result = _snwprintf(buffer + 4, count, format, args...);
  }
  std::u16string Region() const { return std::u16string(buffer, 24); }
};

std::u16string Expected(std::u16string_view written) {
  std::u16string s(24, kCanary);
  s.replace(4, written.size(), written);
  return s;
}

TEST(WideFormat, Bounds) {
  // "id=42" is 5 characters.
  const Bounded roomy(10, u"id=%d", 42);
  EXPECT_EQ(roomy.result, 5);
  EXPECT_EQ(roomy.Region(), Expected(std::u16string(u"id=42\0", 6)));

  const Bounded fitsWithTerminator(6, u"id=%d", 42);
  EXPECT_EQ(fitsWithTerminator.result, 5);
  EXPECT_EQ(fitsWithTerminator.Region(), Expected(std::u16string(u"id=42\0", 6)));

  const Bounded exact(5, u"id=%d", 42);
  EXPECT_EQ(exact.result, 5);
  EXPECT_EQ(exact.Region(), Expected(u"id=42"));

  const Bounded oneShort(4, u"id=%d", 42);
  EXPECT_EQ(oneShort.result, -1);
  EXPECT_EQ(oneShort.Region(), Expected(u"id=4"));

  const Bounded cutInString(3, u"%s!", u"abcdef");
  EXPECT_EQ(cutInString.result, -1);
  EXPECT_EQ(cutInString.Region(), Expected(u"abc"));

  const Bounded cutInPadding(6, u"%100d", 1);
  EXPECT_EQ(cutInPadding.result, -1);
  EXPECT_EQ(cutInPadding.Region(), Expected(u"      "));

  const Bounded cutInZeros(3, u"%.2147483647d", 1);
  EXPECT_EQ(cutInZeros.result, -1);
  EXPECT_EQ(cutInZeros.Region(), Expected(u"000"));

  const Bounded hugeWidth(4, u"%99999999999999999999d", 1);
  EXPECT_EQ(hugeWidth.result, -1);
  EXPECT_EQ(hugeWidth.Region(), Expected(u"    "));

  const Bounded zero(0, u"id=%d", 42);
  EXPECT_EQ(zero.result, -1);
  EXPECT_EQ(zero.Region(), Expected(u""));

  const Bounded zeroEmpty(0, u"");
  EXPECT_EQ(zeroEmpty.result, 0);
  EXPECT_EQ(zeroEmpty.Region(), Expected(u""));

  const Bounded emptyResult(1, u"%s", u"");
  EXPECT_EQ(emptyResult.result, 0);
  EXPECT_EQ(emptyResult.Region(), Expected(std::u16string(1, u'\0')));
}

TEST(WideFormat, NullArguments) {
  char16_t buffer[4] = {kCanary, kCanary, kCanary, kCanary};
  EXPECT_EQ(_snwprintf(buffer, 4, nullptr), -1);
  EXPECT_EQ(buffer[0], 0);
  EXPECT_EQ(buffer[1], kCanary);
  EXPECT_EQ(_snwprintf(nullptr, 4, u"x"), -1);
  EXPECT_EQ(_snwprintf(nullptr, 0, u""), 0);
}

TEST(WideFormat, WsprintfStopsAt1024Characters) {
  std::vector<char16_t> buffer(1100, kCanary);
  const std::u16string longText(2000, u'z');
  EXPECT_EQ(wsprintfW(buffer.data(), u"%s", longText.c_str()), 1023);
  EXPECT_EQ(std::u16string(buffer.data(), 1023), std::u16string(1023, u'z'));
  EXPECT_EQ(buffer[1023], 0);
  EXPECT_EQ(buffer[1024], kCanary);

  const std::u16string exactText(1024, u'y');
  EXPECT_EQ(wsprintfW(buffer.data(), u"%s", exactText.c_str()), 1023);
  EXPECT_EQ(buffer[1023], 0);
  EXPECT_EQ(buffer[1024], kCanary);

  EXPECT_EQ(wsprintfW(buffer.data(), u"%d-%s", 7, u"ok"), 4);
  EXPECT_EQ(std::u16string(buffer.data(), 5), std::u16string(u"7-ok\0", 5));
}

TEST(WideString, LengthsAndComparisons) {
  const char16_t unterminated[3] = {u'a', u'b', u'c'};
  EXPECT_EQ(wcslen(u""), 0u);
  EXPECT_EQ(wcslen(u"ab\u20ACd"), 4u);
  EXPECT_EQ(wcsnlen(u"abc", 10), 3u);
  EXPECT_EQ(wcsnlen(unterminated, 3), 3u);
  EXPECT_EQ(wcsnlen(unterminated, 2), 2u);

  EXPECT_EQ(wcscmp(u"abc", u"abc"), 0);
  EXPECT_LT(wcscmp(u"ab", u"abc"), 0);
  EXPECT_GT(wcscmp(u"abd", u"abc"), 0);
  EXPECT_GT(wcscmp(u"\uFFFF", u"a"), 0);  // code units compare unsigned

  EXPECT_EQ(_wcsicmp(u"Storage CARD", u"storage card"), 0);
  EXPECT_LT(_wcsicmp(u"ABC", u"abd"), 0);
  EXPECT_GT(_wcsicmp(u"abcd", u"ABC"), 0);
  // Folding is to lower case: '_' (0x5F) sorts before 'a' (0x61) whatever the case.
  EXPECT_LT(_wcsicmp(u"_", u"A"), 0);
  EXPECT_LT(_wcsicmp(u"[", u"a"), 0);
  // Only ASCII letters fold.
  EXPECT_NE(_wcsicmp(u"\u00C9", u"\u00E9"), 0);
}

TEST(WideString, CopyAndAppend) {
  char16_t buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), kCanary);
  EXPECT_EQ(wcscpy(buffer, u"ab"), buffer);
  EXPECT_EQ(wcscat(buffer, u"cd"), buffer);
  EXPECT_EQ(std::u16string(buffer, 6), std::u16string(u"abcd\0", 5) + kCanary);

  std::fill(std::begin(buffer), std::end(buffer), kCanary);
  wcsncpy(buffer, u"ab", 5);  // pads with terminators up to the count
  EXPECT_EQ(std::u16string(buffer, 6), std::u16string(u"ab\0\0\0", 5) + kCanary);
  wcsncpy(buffer, u"wxyz", 3);  // not terminated when the source is as long as the count
  EXPECT_EQ(std::u16string(buffer, 6), std::u16string(u"wxy\0\0", 5) + kCanary);
}

TEST(WideString, BoundedCopy) {
  struct {
    std::size_t dstChars;
    std::u16string src;
    std::size_t copied;
    std::u16string region;  // buffer[0..6) afterwards
  } cases[] = {
      {6, u"abc", 3, std::u16string(u"abc\0", 4) + kCanary + kCanary},
      {4, u"abc", 3, std::u16string(u"abc\0", 4) + kCanary + kCanary},
      {3, u"abc", 2, std::u16string(u"ab\0", 3) + kCanary + kCanary + kCanary},
      {1, u"abc", 0, std::u16string(1, u'\0') + std::u16string(5, kCanary)},
      {0, u"abc", 0, std::u16string(6, kCanary)},
      {6, u"", 0, std::u16string(1, u'\0') + std::u16string(5, kCanary)},
      // Stops at a terminator inside the source.
      {6, std::u16string(u"ab\0cd", 5), 2, std::u16string(u"ab\0", 3) + std::u16string(3, kCanary)},
  };
  for (const auto& c : cases) {
    char16_t buffer[6];
    std::fill(std::begin(buffer), std::end(buffer), kCanary);
    EXPECT_EQ(WideCopyBounded(buffer, c.dstChars, c.src), c.copied) << c.dstChars;
    EXPECT_EQ(std::u16string(buffer, 6), c.region) << c.dstChars;
  }
}

TEST(WideString, BoundedAppend) {
  struct {
    std::u16string start;  // initial buffer[0..6)
    std::size_t dstChars;
    std::u16string src;
    std::size_t appended;
    std::u16string region;
  } cases[] = {
      {std::u16string(u"ab\0", 3) + u"???", 6, u"cd", 2, std::u16string(u"abcd\0?", 6)},
      {std::u16string(u"ab\0", 3) + u"???", 6, u"cdefg", 3, std::u16string(u"abcde\0", 6)},
      {std::u16string(u"ab\0", 3) + u"???", 3, u"cd", 0, std::u16string(u"ab\0???", 6)},
      {std::u16string(u"ab\0", 3) + u"???", 0, u"cd", 0, std::u16string(u"ab\0???", 6)},
      // Existing text without a terminator inside the buffer gets one in the last place.
      {u"abcdef", 4, u"x", 0, std::u16string(u"abc\0ef", 6)},
  };
  for (const auto& c : cases) {
    char16_t buffer[6];
    std::copy(c.start.begin(), c.start.end(), buffer);
    EXPECT_EQ(WideAppendBounded(buffer, c.dstChars, c.src), c.appended) << c.dstChars;
    EXPECT_EQ(std::u16string(buffer, 6), c.region) << c.dstChars;
  }
}

}  // namespace
