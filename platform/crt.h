// The platform C runtime's streams over the device's files: _wfopen, fread, fwrite, fclose.
//
// These overload the host C library's functions by their stream type; the program's code uses only
// these. Modes: "r" (read an existing file) and "a" (append, created when missing), each optionally
// with "b" or "t": there is no line-end translation in either, a line feed is stored as one byte.
#pragma once

#include <cstddef>
// The host library's stream functions are declared first, so that its own declarations refer to
// them and not to these overloads.
#include <cstdio>
#include <cwchar>

#include "platform/types.h"

struct CE_FILE;

CE_FILE* _wfopen(const WCHAR* fileName, const WCHAR* mode);
std::size_t fread(void* buffer, std::size_t size, std::size_t count, CE_FILE* stream);
std::size_t fwrite(const void* buffer, std::size_t size, std::size_t count, CE_FILE* stream);
// Moves a stream opened for reading; origin SEEK_SET or SEEK_END. 0 on success, -1 otherwise.
int fseek(CE_FILE* stream, long offset, int origin);
// Returns 0 when everything written reached the medium, EOF (-1) otherwise.
int fclose(CE_FILE* stream);
