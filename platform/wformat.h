// The platform's printf-style formatter for wide (char16_t) text.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "platform/types.h"

// Format rules (the platform's wide printf rules):
//   %s, %ls   const WCHAR* (wide text)           %hs   const char* (each byte becomes code 0..255)
//   %c, %lc   int, written as one WCHAR (low 16 bits); a value of 0 writes a NUL character and
//             formatting continues after it        %hc   int, written as its low 8 bits
//   %d %i     signed; %u %o %x %X unsigned. No size modifier and "l" read a 32-bit int (long is
//             32 bits on the platform), "h" truncates to 16 bits, "ll" and "I64" read a 64-bit
//             long long.
//   Flags "-", "0", "+", " ", "#"; width and precision as digits or "*" (an int argument; a
//   negative width left-justifies, a negative precision is ignored). Precision limits how many
//   characters of a string are read (the string need not be terminated within the precision); on
//   integers it is the minimum number of digits and disables the "0" flag. A null string prints
//   "(null)", subject to the precision like any other string. "%%" writes "%".
// The formatter never reads an argument that the format does not name:
//   - "%n" (with any flags or modifiers) writes nothing and consumes no argument;
//   - an unknown or incomplete conversion ("%q", "%f", "%lls", a trailing "%") is written literally
//     and consumes no argument, not even for a "*" it contains.
// The format is never read past its terminator.

// Writes at most `count` characters to `buffer`, terminator included. Returns the length of the
// result (without terminator) when it fits with its terminator; `count` when the result is exactly
// `count` characters long (all written, no terminator); -1 when it is longer (the first `count`
// characters are written, no terminator). Nothing is written when count == 0. A null `buffer` with
// a nonzero count, or a null `format`, returns -1 (with a null format, buffer[0] is terminated).
int _vsnwprintf(WCHAR* buffer, std::size_t count, const WCHAR* format, va_list args);
int _snwprintf(WCHAR* buffer, std::size_t count, const WCHAR* format, ...);

// The platform's wsprintf: `buffer` must hold 1024 characters. Always terminates; a longer result
// is cut to its first 1023 characters. Returns the number of characters stored before the
// terminator (0 for a null format).
inline constexpr std::size_t kWsprintfMaxChars = 1024;
int wsprintfW(WCHAR* buffer, const WCHAR* format, ...);
