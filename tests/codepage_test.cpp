#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/types.h"

namespace {

constexpr char kCanary = '\x5A';

// Converts `src` (exact length) into a roomy buffer; returns the bytes reported written.
std::string ToBytes(UINT codePage, std::u16string_view src, LPCSTR defaultChar = nullptr,
                    BOOL* usedDefault = nullptr) {
  char buffer[64];
  const int n = WideCharToMultiByte(codePage, 0, src.data(), int(src.size()), buffer,
                                    int(sizeof buffer), defaultChar, usedDefault);
  return std::string(buffer, std::size_t(n));
}

TEST(CodePage, DefaultCodePageCharacters) {
  struct {
    std::u16string text;
    std::string bytes;
  } cases[] = {
      {u"A", "A"},
      {u"\u007F", "\x7F"},
      {u"\u00A0", "\xA0"},
      {u"\u00E9", "\xE9"},
      {u"\u00FF", "\xFF"},
      {u"\u20AC", "\x80"},
      {u"\u201A", "\x82"},
      {u"\u2019", "\x92"},
      {u"\u0178", "\x9F"},
      // Undefined positions round-trip from the C1 control of the same value.
      {u"\u0081\u008D\u008F\u0090\u009D", "\x81\x8D\x8F\x90\x9D"},
      // The other C1 controls have no place in the code page.
      {u"\u0080\u009F", "??"},
      {u"\u0100", "?"},
      {u"\u4E2D", "?"},
      {u"\uFFFD", "?"},
      // A surrogate pair is one character and one default; lone surrogates one each.
      {u"a\U0001F600b", "a?b"},
      {u"\xD800", "?"},
      {u"\xDC00\xD800", "??"},
      {u"\xD83D"
       u"x",
       "?x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToBytes(CP_ACP, c.text), c.bytes) << std::string(c.bytes);
  }
}

TEST(CodePage, DefaultCodePageHighHalfTable) {
  // Byte -> character for 0x80-0x9F, spelled out independently of the converter's table.
  const char16_t high[32] = {
      u'\u20AC', u'\u0081', u'\u201A', u'\u0192', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
      u'\u02C6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008D', u'\u017D', u'\u008F',
      u'\u0090', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
      u'\u02DC', u'\u2122', u'\u0161', u'\u203A', u'\u0153', u'\u009D', u'\u017E', u'\u0178',
  };
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(ToBytes(CP_ACP, std::u16string_view(&high[i], 1)), std::string(1, char(0x80 + i)))
        << "byte " << 0x80 + i;
  }
  // Exactly 256 characters convert without the default, onto 256 distinct bytes.
  std::set<unsigned char> bytes;
  int mapped = 0;
  for (char32_t c = 0; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    const char16_t unit = char16_t(c);
    char out = 0;
    BOOL usedDefault = 7;
    ASSERT_EQ(WideCharToMultiByte(CP_ACP, 0, &unit, 1, &out, 1, nullptr, &usedDefault), 1);
    if (usedDefault == FALSE) {
      ++mapped;
      bytes.insert(static_cast<unsigned char>(out));
    } else {
      ASSERT_EQ(usedDefault, TRUE);
      ASSERT_EQ(out, '?');
    }
  }
  EXPECT_EQ(mapped, 256);
  EXPECT_EQ(bytes.size(), 256u);
}

TEST(CodePage, DefaultCharacterAndFlag) {
  BOOL usedDefault = 7;
  EXPECT_EQ(ToBytes(CP_ACP, u"caf\u00E9 \u20AC", nullptr, &usedDefault), "caf\xE9 \x80");
  EXPECT_EQ(usedDefault, FALSE);

  usedDefault = 7;
  EXPECT_EQ(ToBytes(CP_ACP, u"x\u0100y\U0001F600", "*", &usedDefault), "x*y*");
  EXPECT_EQ(usedDefault, TRUE);

  // The size query reports the default too.
  usedDefault = 7;
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"\u4E2D", -1, nullptr, 0, nullptr, &usedDefault), 2);
  EXPECT_EQ(usedDefault, TRUE);

  // UTF-8 never uses the default character.
  usedDefault = 7;
  EXPECT_EQ(ToBytes(CP_UTF8, u"\xD800", "*", &usedDefault), "\xEF\xBF\xBD");
  EXPECT_EQ(usedDefault, FALSE);
}

TEST(CodePage, SizeQuery) {
  char untouched[4] = {kCanary, kCanary, kCanary, kCanary};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -1, untouched, 0, nullptr, nullptr), 4);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 3, untouched, 0, nullptr, nullptr), 3);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"a\U0001F600", 3, nullptr, 0, nullptr, nullptr), 2);
  EXPECT_EQ(
      WideCharToMultiByte(CP_UTF8, 0, u"\u00E9\u20AC\U0001F600", -1, nullptr, 0, nullptr, nullptr),
      10);
  EXPECT_EQ(std::string(untouched, 4), std::string(4, kCanary));
}

TEST(CodePage, WholeConversionWithTerminator) {
  char buffer[8];
  std::memset(buffer, kCanary, sizeof buffer);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"h\u00E9", -1, buffer, 8, nullptr, nullptr), 3);
  EXPECT_EQ(std::string(buffer, 4), std::string("h\xE9\0", 3) + kCanary);

  std::memset(buffer, kCanary, sizeof buffer);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"h\u00E9", -1, buffer, 4, nullptr, nullptr), 4);
  EXPECT_EQ(std::string(buffer, 5), std::string("h\xC3\xA9\0", 4) + kCanary);

  // Exactly the room for the given characters.
  std::memset(buffer, kCanary, sizeof buffer);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"hello", 5, buffer, 5, nullptr, nullptr), 5);
  EXPECT_EQ(std::string(buffer, 6), std::string("hello") + kCanary);
}

TEST(CodePage, LineIntoBufferWithoutRoomForTerminator) {
  // A terminated line into a zero-filled buffer that has room for its characters only: the
  // characters are written, the call reports failure, and the buffer still reads as the line.
  char buffer[1024] = {};
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"hello", -1, buffer, 5, nullptr, nullptr), 0);
  EXPECT_EQ(std::string(buffer, 5), "hello");
  EXPECT_EQ(std::string(buffer + 5, sizeof buffer - 5), std::string(sizeof buffer - 5, '\0'));
  EXPECT_EQ(std::strlen(buffer), 5u);
}

TEST(CodePage, InsufficientBufferNeverSplitsACharacter) {
  struct {
    UINT codePage;
    std::u16string text;
    int dstBytes;
    std::string written;  // then canaries up to 8 bytes
  } cases[] = {
      {CP_ACP, u"abcdef", 3, "abc"},
      {CP_UTF8, u"a\u20ACb", 3, "a"},             // the euro sign needs 3 bytes
      {CP_UTF8, u"a\U0001F600", 4, "a"},          // the pair needs 4
      {CP_UTF8, u"\u00E9\u00E9", 3, "\xC3\xA9"},  // second character does not fit
      {CP_UTF8, u"\u20ACa", 2, ""},               // nothing fits
  };
  for (const auto& c : cases) {
    char buffer[8];
    std::memset(buffer, kCanary, sizeof buffer);
    EXPECT_EQ(WideCharToMultiByte(c.codePage, 0, c.text.data(), int(c.text.size()), buffer,
                                  c.dstBytes, nullptr, nullptr),
              0);
    EXPECT_EQ(std::string(buffer, 8), c.written + std::string(8 - c.written.size(), kCanary))
        << c.dstBytes;
  }
}

TEST(CodePage, RejectedCalls) {
  char buffer[4] = {kCanary, kCanary, kCanary, kCanary};
  EXPECT_EQ(WideCharToMultiByte(437, 0, u"abc", -1, buffer, 4, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(437, 0, u"abc", -1, nullptr, 0, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, nullptr, -1, buffer, 4, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 0, buffer, 4, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", -2, buffer, 4, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 3, buffer, -1, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"abc", 3, nullptr, 4, nullptr, nullptr), 0);
  EXPECT_EQ(std::string(buffer, 4), std::string(4, kCanary));
}

TEST(CodePage, Utf8Encoding) {
  struct {
    std::u16string text;
    std::string bytes;
  } cases[] = {
      {u"\u007F", "\x7F"},
      {u"\u0080", "\xC2\x80"},
      {u"\u07FF", "\xDF\xBF"},
      {u"\u0800", "\xE0\xA0\x80"},
      {u"\uFFFF", "\xEF\xBF\xBF"},
      {u"\U00010000", "\xF0\x90\x80\x80"},
      {u"\U0001F600", "\xF0\x9F\x98\x80"},
      {u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
      {u"\xD800", "\xEF\xBF\xBD"},
      {u"a\xDC00", "a\xEF\xBF\xBD"},
      {u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},  // reversed pair
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToBytes(CP_UTF8, c.text), c.bytes);
    EXPECT_EQ(Utf16ToUtf8(c.text), c.bytes);
  }
}

TEST(CodePage, Utf8Decoding) {
  struct {
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"", u""},
      {"plain", u"plain"},
      {"caf\xC3\xA9 \xE2\x82\xAC", u"caf\u00E9 \u20AC"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"\xFF", u"\uFFFD"},
      {"a\xFE"
       "b",
       u"a\uFFFDb"},
      {"\x80", u"\uFFFD"},                                // lone continuation byte
      {"\xC0\x80", u"\uFFFD\uFFFD"},                      // overlong NUL
      {"\xC1\xBF", u"\uFFFD\uFFFD"},                      // overlong
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},            // overlong three-byte form
      {"\xF0\x80\x80\xAF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // overlong four-byte form
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xF5\x80", u"\uFFFD\uFFFD"},
      {"a\xE2\x82", u"a\uFFFD"},  // truncated at the end
      {"\xF0\x9F\x98", u"\uFFFD"},
      {"\xE2\x82x", u"\uFFFDx"},              // cut by an ASCII byte
      {"\xE2\xE2\x82\xAC", u"\uFFFD\u20AC"},  // cut by a new lead byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.bytes), c.text) << c.bytes;
  }
}

TEST(CodePage, Utf8DecodingStopsAtTheEndOfTheView) {
  // The view ends inside the euro sign: the bytes after it must not be used.
  const std::string whole = "x\xE2\x82\xAC";
  EXPECT_EQ(Utf8ToUtf16(std::string_view(whole.data(), 3)), u"x\uFFFD");
  EXPECT_EQ(Utf8ToUtf16(std::string_view(whole.data(), 1)), u"x");
}

TEST(CodePage, Utf8RoundTrip) {
  const std::u16string texts[] = {
      u"",
      u"ASCII only",
      u"\u00C9t\u00E9 \u20AC \u4E2D\u6587 \U0001F600 \U0010FFFF",
      std::u16string(u"nul\0inside", 10),
  };
  for (const auto& text : texts) {
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  }
  // Unpaired surrogates do not survive: they come back as U+FFFD.
  EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(u"a\xD800z")), u"a\uFFFDz");
}

}  // namespace
