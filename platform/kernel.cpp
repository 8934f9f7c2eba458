// Core services of the platform, answered by the installed device.
#include "platform/kernel.h"

#include <cstdint>
#include <cstring>

#include "platform/device.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;

// Storage handles are the device's handle numbers, shifted so that no valid handle is null or
// INVALID_HANDLE_VALUE.
constexpr std::uintptr_t kStorageHandleBase = 0x10000;

std::uint32_t StorageNumber(HANDLE handle) {
  const auto value = reinterpret_cast<std::uintptr_t>(handle);
  if (value <= kStorageHandleBase || value > kStorageHandleBase + UINT32_MAX) return 0;
  return static_cast<std::uint32_t>(value - kStorageHandleBase);
}
}  // namespace

DWORD GetLastError() {
  return lastError;
}
void SetLastError(DWORD error) {
  lastError = error;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  if (module != nullptr || fileName == nullptr || size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::u16string path = CurrentDevice().ModuleFileName();
  // The platform cuts a path that does not fit and still terminates it.
  const std::size_t copied = path.size() < size ? path.size() : size - 1;
  std::memcpy(fileName, path.data(), copied * sizeof(WCHAR));
  fileName[copied] = u'\0';
  if (copied < path.size()) SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return static_cast<DWORD>(copied);
}

void GetLocalTime(SYSTEMTIME* time) {
  if (time != nullptr) *time = CurrentDevice().LocalTime();
}

void Sleep(DWORD milliseconds) {
  CurrentDevice().Sleep(milliseconds);
}

BOOL SystemParametersInfoW(UINT action, UINT param, PVOID data, UINT /*winIni*/) {
  if (action != SPI_GETOEMINFO && action != SPI_GETPLATFORMTYPE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (data == nullptr || param == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto text = CurrentDevice().SystemParameterText(action);
  if (!text) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  // `param` is the room in characters; a text that does not fit is refused, as the platform does.
  if (text->size() + 1 > param) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  auto* out = static_cast<WCHAR*>(data);
  std::memcpy(out, text->data(), text->size() * sizeof(WCHAR));
  out[text->size()] = u'\0';
  return TRUE;
}

BOOL GetVersionExW(OSVERSIONINFOW* info) {
  if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  OSVERSIONINFOW answer{};
  if (!CurrentDevice().GetVersion(answer)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  answer.dwOSVersionInfoSize = info->dwOSVersionInfoSize;
  answer.szCSDVersion[127] = u'\0';
  *info = answer;
  return TRUE;
}

BOOL KernelIoControl(DWORD ioControlCode, LPVOID inBuf, DWORD inBufSize, LPVOID outBuf,
                     DWORD outBufSize, LPDWORD bytesReturned) {
  return CurrentDevice().KernelIoControl(ioControlCode, inBuf, inBufSize, outBuf, outBufSize,
                                         bytesReturned);
}

HANDLE CreateFileW(LPCWSTR fileName, DWORD /*desiredAccess*/, DWORD /*shareMode*/,
                   SECURITY_ATTRIBUTES* /*securityAttributes*/, DWORD creationDisposition,
                   DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
  if (fileName == nullptr || creationDisposition != OPEN_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::uint32_t number = CurrentDevice().OpenStorage(fileName);
  if (number == 0) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  return reinterpret_cast<HANDLE>(kStorageHandleBase + number);
}

BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuf, DWORD inBufSize,
                     LPVOID outBuf, DWORD outBufSize, LPDWORD bytesReturned,
                     OVERLAPPED* /*overlapped*/) {
  const std::uint32_t number = StorageNumber(device);
  if (number == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return CurrentDevice().StorageIoControl(number, ioControlCode, inBuf, inBufSize, outBuf,
                                          outBufSize, bytesReturned);
}

BOOL CloseHandle(HANDLE object) {
  const std::uint32_t number = StorageNumber(object);
  if (number == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  CurrentDevice().CloseStorage(number);
  return TRUE;
}
