// Wide (char16_t) C-string functions under the platform's C-library names, and bounded copy
// helpers.
#pragma once

#include <cstddef>
#include <string_view>

#include "platform/types.h"

// These overload the host C library's wchar_t functions by parameter type; the program's wide text
// is always char16_t, so a call with WCHAR text always resolves here.

// Number of characters before the terminator.
std::size_t wcslen(const WCHAR* s);
// Like wcslen, but never looks at more than `max` characters (for buffers that may lack a
// terminator); returns `max` when none of the first `max` characters is the terminator.
std::size_t wcsnlen(const WCHAR* s, std::size_t max);
// Unbounded copy and append, as in the C library; prefer WideCopyBounded / WideAppendBounded.
WCHAR* wcscpy(WCHAR* dst, const WCHAR* src);
WCHAR* wcscat(WCHAR* dst, const WCHAR* src);
// C-library semantics: copies at most `count` characters, fills the rest of the `count` characters
// with terminators when `src` is shorter, and does NOT terminate when `src` has `count` or more.
WCHAR* wcsncpy(WCHAR* dst, const WCHAR* src, std::size_t count);
// Compares by code unit value (unsigned); negative, zero or positive.
int wcscmp(const WCHAR* a, const WCHAR* b);
// As wcscmp after folding 'A'-'Z' to 'a'-'z'; other characters are compared as they are.
int _wcsicmp(const WCHAR* a, const WCHAR* b);

// Copies `src` into `dst`, which holds `dstChars` characters: at most dstChars - 1 characters are
// copied, and the result is always terminated when dstChars > 0 (nothing is written when it is 0).
// Copying stops at a terminator inside `src`, so the return value (characters copied) always equals
// wcslen(dst) afterwards.
std::size_t WideCopyBounded(WCHAR* dst, std::size_t dstChars, std::u16string_view src);
// Appends `src` after the text already in `dst` with the same guarantee as WideCopyBounded; returns
// the number of characters appended. If `dst` holds no terminator within its `dstChars` characters,
// its last character is made the terminator and nothing is appended.
std::size_t WideAppendBounded(WCHAR* dst, std::size_t dstChars, std::u16string_view src);
