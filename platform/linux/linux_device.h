// This Linux machine as the device: every fact is read from the running system, through a root
// prefix so that recorded trees of other machines can stand in for "/".
#pragma once

#include <memory>
#include <string>

#include "platform/device.h"

class LinuxDevice : public Device {
 public:
  struct Options {
    // The folder that stands for the device's root "\" and for "/" when system files are read.
    std::string root = "/";
    // The running executable's host path; empty: /proc/self/exe.
    std::string executable;
  };

  LinuxDevice();
  explicit LinuxDevice(Options options);
  ~LinuxDevice() override;

  // The host path of a device path: "\a\b" -> "<root>/a/b".
  std::string HostPath(std::u16string_view devicePath) const;
  // The host path of a system file given from "/": "/proc/cpuinfo" -> "<root>/proc/cpuinfo".
  std::string SystemPath(const std::string& absolute) const;
  const Options& options() const { return options_; }

  SYSTEMTIME LocalTime() override;
  std::u16string ModuleFileName() override;
  void Sleep(DWORD milliseconds) override;
  void ShowMessageBox(std::u16string_view caption, std::u16string_view text) override;
  std::unique_ptr<DeviceFile> OpenFile(std::u16string_view path, FileMode mode,
                                       DWORD* error) override;
  std::optional<std::vector<std::u16string>> ListFolder(std::u16string_view path) override;

  // linux_system.cpp
  std::optional<std::u16string> SystemParameterText(UINT action) override;
  bool GetVersion(OSVERSIONINFOW& info) override;
  BOOL KernelIoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                       DWORD* bytesReturned) override;

  // linux_storage.cpp
  std::uint32_t OpenStorage(std::u16string_view name) override;
  BOOL StorageIoControl(std::uint32_t handle, DWORD code, const void* in, DWORD inSize, void* out,
                        DWORD outSize, DWORD* bytesReturned) override;
  void CloseStorage(std::uint32_t handle) override;
  BOOL CeGetVolumeInfo(std::u16string_view path, int level, void* info) override;

  // linux_identity.cpp
  bool HasSystemEntryPoint(std::string_view name) override;
  HRESULT GetDeviceUniqueID(const BYTE* appData, DWORD appDataSize, DWORD version, BYTE* output,
                            DWORD* outputSize) override;
  HRESULT CoCreateGuid(GUID* guid) override;

  // linux_libraries.cpp
  std::unique_ptr<DeviceLibrary> LoadLibrary(std::u16string_view name) override;

  // linux_bluetooth.cpp
  bool StartSockets() override;
  std::uint32_t OpenSocket(int family, int type, int protocol) override;
  bool BindSocket(std::uint32_t socket, const void* address, int length) override;
  bool SocketName(std::uint32_t socket, void* address, int* length) override;
  void CloseSocket(std::uint32_t socket) override;

  // linux_network.cpp
  DWORD QueryAdapters(std::vector<AdapterFacts>& adapters) override;

 private:
  // State of the areas that keep some, each defined in its area's file.
  // (each area's file also defines its deleter and its accessor, which creates the state on first
  // use).
  struct StorageState;
  struct SocketState;
  struct AreaDeleter {
    void operator()(StorageState* state) const;
    void operator()(SocketState* state) const;
  };
  StorageState& storage();
  SocketState& sockets();

  Options options_;
  std::unique_ptr<StorageState, AreaDeleter> storage_;
  std::unique_ptr<SocketState, AreaDeleter> sockets_;
};
