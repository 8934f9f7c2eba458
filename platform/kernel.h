// Core services of the platform: module path, local time, waits, system parameters, version, the
// HAL's kernel I/O controls, and volumes and stores opened as handles.
#pragma once

#include "platform/types.h"

inline constexpr UINT SPI_GETPLATFORMTYPE = 257;
inline constexpr UINT SPI_GETOEMINFO = 258;

inline constexpr DWORD GENERIC_READ = 0x80000000u;
inline constexpr DWORD GENERIC_WRITE = 0x40000000u;
inline constexpr DWORD FILE_SHARE_READ = 1;
inline constexpr DWORD FILE_SHARE_WRITE = 2;
inline constexpr DWORD OPEN_EXISTING = 3;

struct SECURITY_ATTRIBUTES;
struct OVERLAPPED;

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
void GetLocalTime(SYSTEMTIME* time);
void Sleep(DWORD milliseconds);
DWORD GetLastError();
void SetLastError(DWORD error);

BOOL SystemParametersInfoW(UINT action, UINT param, PVOID data, UINT winIni);
BOOL GetVersionExW(OSVERSIONINFOW* info);

BOOL KernelIoControl(DWORD ioControlCode, LPVOID inBuf, DWORD inBufSize, LPVOID outBuf,
                     DWORD outBufSize, LPDWORD bytesReturned);

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   SECURITY_ATTRIBUTES* securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile);
BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuf, DWORD inBufSize,
                     LPVOID outBuf, DWORD outBufSize, LPDWORD bytesReturned,
                     OVERLAPPED* overlapped);
BOOL CloseHandle(HANDLE object);
