// A device described by a profile: in-memory files, a fixed clock, recorded sleeps and message
// boxes, and answers that the profile gives.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/device.h"
#include "platform/sim/device_profile.h"

namespace sim {

// What the device saw during a run, for tests to assert on.
struct Record {
  std::vector<DWORD> sleeps;
  std::vector<std::pair<std::u16string, std::u16string>> messageBoxes;  // caption, text
  struct HalCall {
    DWORD code;
    DWORD outSize;
    bool bytesReturnedPassed;
  };
  std::vector<HalCall> halCalls;
  int adapterQueries = 0;
  std::map<std::u16string, int> libraryLoads;    // by name as asked
  std::map<std::u16string, int> libraryUnloads;  // by name as asked
  int entryPointCalls = 0;                       // calls of device makers' entry points
  int socketsOpened = 0;
  int socketsClosed = 0;
  int storageOpened = 0;
  int storageClosed = 0;
  std::vector<std::u16string> storageOpens;  // names as asked
  // Arguments of the last GetDeviceUniqueID call.
  Bytes uniqueIdAppData;
  DWORD uniqueIdVersion = 0;
  DWORD uniqueIdRoom = 0;
};

class SimulatedDevice : public Device {
 public:
  explicit SimulatedDevice(DeviceProfile profile);
  ~SimulatedDevice() override;

  DeviceProfile& profile() { return profile_; }
  const Record& record() const { return record_; }
  // A file's bytes, or nullopt when it does not exist.
  std::optional<Bytes> FileBytes(std::u16string_view path) const;
  std::string FileText(std::u16string_view path) const;
  // Sleeps are recorded; with this set they are also slept for real.
  void set_real_sleeps(bool real) { realSleeps_ = real; }

  SYSTEMTIME LocalTime() override;
  std::u16string ModuleFileName() override;
  void Sleep(DWORD milliseconds) override;
  void ShowMessageBox(std::u16string_view caption, std::u16string_view text) override;
  std::unique_ptr<DeviceFile> OpenFile(std::u16string_view path, FileMode mode,
                                       DWORD* error) override;
  std::optional<std::vector<std::u16string>> ListFolder(std::u16string_view path) override;
  std::optional<std::u16string> SystemParameterText(UINT action) override;
  bool GetVersion(OSVERSIONINFOW& info) override;
  BOOL KernelIoControl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                       DWORD* bytesReturned) override;
  std::uint32_t OpenStorage(std::u16string_view name) override;
  BOOL StorageIoControl(std::uint32_t handle, DWORD code, const void* in, DWORD inSize, void* out,
                        DWORD outSize, DWORD* bytesReturned) override;
  void CloseStorage(std::uint32_t handle) override;
  bool HasSystemEntryPoint(std::string_view name) override;
  HRESULT GetDeviceUniqueID(const BYTE* appData, DWORD appDataSize, DWORD version, BYTE* output,
                            DWORD* outputSize) override;
  HRESULT CoCreateGuid(GUID* guid) override;
  BOOL CeGetVolumeInfo(std::u16string_view path, int level, void* info) override;
  std::unique_ptr<DeviceLibrary> LoadLibrary(std::u16string_view name) override;
  bool StartSockets() override;
  std::uint32_t OpenSocket(int family, int type, int protocol) override;
  bool BindSocket(std::uint32_t socket, const void* address, int length) override;
  bool SocketName(std::uint32_t socket, void* address, int* length) override;
  void CloseSocket(std::uint32_t socket) override;
  DWORD QueryAdapters(std::vector<AdapterFacts>& adapters) override;

  // Used by the simulated files and libraries.
  Record& mutable_record() { return record_; }
  // Counts an append-file operation and says which fault, if any, it meets.
  FileFaults::Kind NextFault(FileFaults::Operation operation);

 private:
  const RootEntry* FindRootEntry(std::u16string_view path) const;

  DeviceProfile profile_;
  Record record_;
  bool realSleeps_ = false;
  std::map<DWORD, int> halQueries_;  // queries with room seen, by control
  std::map<std::uint32_t, const StorageReply*> storage_;
  std::uint32_t nextHandle_ = 1;
  std::map<std::uint32_t, bool> sockets_;  // open sockets: bound or not
  std::map<FileFaults::Operation, int> fileOperations_;
  bool faultTriggered_ = false;
};

// Folds a device path or name for comparison: ASCII letters to lower case, '/' to '\'.
std::u16string FoldPath(std::u16string_view path);

}  // namespace sim
