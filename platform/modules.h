// Libraries and their entry points, found at run time: the built-in system library and the device
// makers' libraries.
#pragma once

#include "platform/types.h"

// Loads a library by name and takes a reference to it; null when it is not installed. The system
// library "coredll.dll" (any case, with or without ".dll") is always there.
HMODULE LoadLibraryW(LPCWSTR name);
// The handle of a library that is already loaded (the system library always is), without taking a
// reference; null otherwise.
HMODULE GetModuleHandleW(LPCWSTR name);
// An entry point by wide name, or by ordinal when `name` is a number below 0x10000 in pointer form.
FARPROC GetProcAddressW(HMODULE module, LPCWSTR name);
// An entry point by 8-bit name.
FARPROC GetProcAddressA(HMODULE module, LPCSTR name);
// Releases a reference; the library is unloaded with its last one. FALSE for an unknown handle.
BOOL FreeLibrary(HMODULE module);

// How many references the library with this name holds now (0 when it is not loaded).
int ModuleReferenceCount(LPCWSTR name);

// The ordinal form of an entry point's name.
inline LPCWSTR OrdinalName(WORD ordinal) {
  return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(ordinal));
}
