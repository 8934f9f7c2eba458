// Conversion of wide (char16_t) text to the platform's 8-bit code pages, and UTF-8 <-> UTF-16 at
// the host boundary.
#pragma once

#include <string>
#include <string_view>

#include "platform/types.h"

// The platform's default code page: code page 1252 (Western European).
inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_UTF8 = 65001;

// Converts `srcChars` characters of `src` (or, with -1, the text up to and including its
// terminator) to `codePage`. `flags` is accepted and ignored.
//   CP_ACP:  code page 1252. Characters the code page lacks (surrogate pairs count as one
//            character, lone surrogates as one each) become defaultChar[0], or '?' when
//            `defaultChar` is null; *usedDefault (when given) says whether that happened anywhere
//            in the source.
//   CP_UTF8: UTF-8; lone surrogates become U+FFFD. `defaultChar` is not used and *usedDefault is
//            set to FALSE.
// With dstBytes == 0 nothing is written and the number of bytes needed is returned. Otherwise
// characters are written while each whole character fits; the number of bytes written is returned
// when everything fitted. When not, the bytes that fitted stay written (never a partial character,
// never past dst[dstBytes - 1]) and 0 is returned. Unknown code pages, a null `src`, srcChars of 0
// or below -1, a negative `dstBytes` or a null `dst` with nonzero dstBytes return 0 and write
// nothing.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcChars, LPSTR dst,
                        int dstBytes, LPCSTR defaultChar, BOOL* usedDefault);

// Decodes UTF-8; each maximal ill-formed part (a bad byte, an overlong form, an encoded surrogate,
// a value above U+10FFFF, a sequence cut short by the end of the input) becomes one U+FFFD. Never
// reads past the end of `utf8`.
std::u16string Utf8ToUtf16(std::string_view utf8);
// Encodes UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);
