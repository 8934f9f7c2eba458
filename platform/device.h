// The one seam between the platform layer and the machine: every fact the platform asks of a
// device.
//
// The platform functions (KernelIoControl, CreateFileW, GetAdaptersInfo, _wfopen, ...) keep the
// platform's contracts and ask the installed Device for the facts behind them. LinuxDevice answers
// from this Linux machine, SimulatedDevice from a profile. Exactly one device is installed per
// process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/types.h"

// An open file of the device. Writes and reads go straight to the medium; Close reports whether
// everything written reached it.
class DeviceFile {
 public:
  virtual ~DeviceFile() = default;
  // Reads up to `size` bytes; returns the count read, 0 at the end or on an error.
  virtual std::size_t Read(void* data, std::size_t size) = 0;
  // Writes all `size` bytes in one piece; returns the count written (less on failure).
  virtual std::size_t Write(const void* data, std::size_t size) = 0;
  // Moves the read position to `offset` bytes from the start (kStart) or the end (kEnd) of the
  // file; false when that position does not exist.
  enum class Origin { kStart, kEnd };
  virtual bool Seek(std::int64_t offset, Origin origin) = 0;
  // Flushes to the medium and closes; false when the data may not have reached it.
  virtual bool Close() = 0;
};

enum class FileMode {
  kRead,    // an existing file, for reading
  kAppend,  // created when missing (readable and writable by its owner only), written at its end
};

// A loaded library of the device: a device maker's library, found by name.
class DeviceLibrary {
 public:
  virtual ~DeviceLibrary() = default;
  // The entry point with this name, or null.
  virtual FARPROC Symbol(const char* name) = 0;
};

// One network adapter as the device knows it; the platform lays these out as IP_ADAPTER_INFO
// records.
struct AdapterFacts {
  struct Address {
    std::string ip;
    std::string mask;
  };
  std::string name;
  std::string description;
  std::vector<BYTE> hardwareAddress;  // all bytes the device has; the platform keeps at most 8
  DWORD index = 0;
  UINT type = 0;
  bool dhcpEnabled = false;
  std::vector<Address> addresses;  // first one first
  std::vector<std::string> gateways;
  std::string dhcpServer;
  bool haveWins = false;
  std::string primaryWinsServer;
  std::string secondaryWinsServer;
  std::int64_t leaseObtained = 0;  // seconds since 1970, 0 when unknown
  std::int64_t leaseExpires = 0;
};

class Device {
 public:
  virtual ~Device() = default;

  // --- Process and clock ---
  // The local time.
  virtual SYSTEMTIME LocalTime() = 0;
  // The running executable's path in the device's form, e.g. u"\\usr\\local\\bin\\vantrace21".
  virtual std::u16string ModuleFileName() = 0;
  virtual void Sleep(DWORD milliseconds) = 0;
  // Shows a message box and returns when it is dismissed.
  virtual void ShowMessageBox(std::u16string_view caption, std::u16string_view text) = 0;

  // --- Files and folders (paths in the device's form: backslashes, the root is "\") ---
  // Opens a file; null on failure, with the platform error code in *error.
  virtual std::unique_ptr<DeviceFile> OpenFile(std::u16string_view path, FileMode mode,
                                               DWORD* error) = 0;
  // The names of a folder's entries in listing order, without "." and ".."; nullopt when the folder
  // cannot be searched.
  virtual std::optional<std::vector<std::u16string>> ListFolder(std::u16string_view path) = 0;

  // --- System information ---
  // The text of a system parameter (SPI_GETOEMINFO, SPI_GETPLATFORMTYPE); nullopt when unknown.
  virtual std::optional<std::u16string> SystemParameterText(UINT action) = 0;
  // Fills the version record (its size field is the caller's); false when there is none.
  virtual bool GetVersion(OSVERSIONINFOW& info) = 0;

  // --- The HAL: kernel I/O controls, with the platform's arguments ---
  virtual BOOL KernelIoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                               DWORD* bytesReturned) = 0;

  // --- Volumes and stores ---
  // Opens a volume ("\\Storage Card\\Vol:") or store ("DSK1:") by name; a handle number > 0, or 0.
  virtual std::uint32_t OpenStorage(std::u16string_view name) = 0;
  virtual BOOL StorageIoControl(std::uint32_t handle, DWORD code, const void* in, DWORD inSize,
                                void* out, DWORD outSize, DWORD* bytesReturned) = 0;
  virtual void CloseStorage(std::uint32_t handle) = 0;

  // --- The system library's entry points, answered by the device ---
  // Whether the system library exports this entry point, by its name (also for those that are
  // looked up by ordinal, such as "CeGetVolumeInfoW").
  virtual bool HasSystemEntryPoint(std::string_view name) = 0;
  virtual HRESULT GetDeviceUniqueID(const BYTE* appData, DWORD appDataSize, DWORD version,
                                    BYTE* output, DWORD* outputSize) = 0;
  virtual HRESULT CoCreateGuid(GUID* guid) = 0;
  // Fills the 144-byte volume information of the volume that holds `path`; FALSE when unknown.
  virtual BOOL CeGetVolumeInfo(std::u16string_view path, int level, void* info) = 0;

  // --- Device makers' libraries ---
  // Loads a library by its bare name (u"NAVIAPI"); null when it is not installed.
  virtual std::unique_ptr<DeviceLibrary> LoadLibrary(std::u16string_view name) = 0;

  // --- Sockets ---
  virtual bool StartSockets() = 0;
  // Opens a socket; a handle number > 0, or 0 when refused.
  virtual std::uint32_t OpenSocket(int family, int type, int protocol) = 0;
  virtual bool BindSocket(std::uint32_t socket, const void* address, int length) = 0;
  // Fills the socket's own address; false on failure.
  virtual bool SocketName(std::uint32_t socket, void* address, int* length) = 0;
  virtual void CloseSocket(std::uint32_t socket) = 0;

  // --- Network adapters ---
  // One query of the adapter list: ERROR_SUCCESS with the adapters, or an error code.
  virtual DWORD QueryAdapters(std::vector<AdapterFacts>& adapters) = 0;
};

// The device of this process. Installing replaces the previous one.
void InstallDevice(std::unique_ptr<Device> device);
Device& CurrentDevice();
bool HasDevice();
