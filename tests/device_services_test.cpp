// Device services: the HAL's kernel I/O controls and the entry points found at run time.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "device/entry_points.h"
#include "device/hal.h"
#include "platform/linux/linux_device.h"
#include "platform/modules.h"
#include "tests/sim_fixture.h"

namespace {

using testing_support::InstallSimulated;

TEST(KernelIoControl, DeviceIdSizeQueryLearnsTheSizeThenTheStructureArrives) {
  sim::DeviceProfile profile;
  const sim::Bytes structure = sim::DeviceIdStructure(sim::Bytes(12, 0xAA), sim::Bytes(16, 0xBB));
  profile.hal.deviceId.answer = structure;
  auto& device = InstallSimulated(profile);

  DEVICE_ID header{};
  EXPECT_FALSE(
      KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, &header, sizeof header, nullptr));
  EXPECT_EQ(header.dwSize, 48u);
  EXPECT_EQ(header.dwPresetIDOffset, 0u);  // only the size is written on a refusal for room

  BYTE out[1024] = {};
  DWORD returned = 0;
  EXPECT_TRUE(KernelIoControl(IOCTL_HAL_GET_DEVICEID, nullptr, 0, out, header.dwSize, &returned));
  EXPECT_EQ(returned, 48u);
  EXPECT_EQ(0, std::memcmp(out, structure.data(), structure.size()));
  ASSERT_EQ(device.record().halCalls.size(), 2u);
  EXPECT_EQ(device.record().halCalls[0].outSize, 20u);
  EXPECT_FALSE(device.record().halCalls[0].bytesReturnedPassed);
}

TEST(KernelIoControl, RefusedCallsLeaveTheOutputAsTheDeviceSays) {
  sim::DeviceProfile profile;
  profile.hal.uuid.answer = sim::Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  profile.hal.uuid.refusals = 2;
  profile.hal.uuid.refusedWrite = {0xEE, 0xEE};
  InstallSimulated(profile);

  BYTE out[16];
  std::memset(out, 0x55, sizeof out);
  DWORD returned = 0;
  EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_UUID, nullptr, 0, out, sizeof out, &returned));
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(out[1], 0xEE);
  EXPECT_EQ(out[2], 0x55);
  EXPECT_EQ(returned, 0u);
  EXPECT_FALSE(KernelIoControl(IOCTL_HAL_GET_UUID, nullptr, 0, out, sizeof out, &returned));
  EXPECT_TRUE(KernelIoControl(IOCTL_HAL_GET_UUID, nullptr, 0, out, sizeof out, &returned));
  EXPECT_EQ(returned, 16u);
  EXPECT_EQ(out[15], 16);
}

TEST(KernelIoControl, ProcessorRecordOrRefusal) {
  sim::DeviceProfile profile;
  sim::Bytes record(sizeof(PROCESSOR_INFO), 0);
  record[0] = 1;
  profile.hal.processor.answer = record;
  InstallSimulated(profile);
  PROCESSOR_INFO info{};
  DWORD returned = 0;
  EXPECT_TRUE(
      KernelIoControl(IOCTL_PROCESSOR_INFORMATION, nullptr, 0, &info, sizeof info, &returned));
  EXPECT_EQ(info.wVersion, 1);

  InstallSimulated(sim::DeviceProfile{});
  EXPECT_FALSE(
      KernelIoControl(IOCTL_PROCESSOR_INFORMATION, nullptr, 0, &info, sizeof info, &returned));
}

TEST(EntryPoints, SystemLibraryExportsWhatTheDeviceHas) {
  sim::DeviceProfile profile;
  profile.uniqueId.present = true;
  profile.uniqueId.bytes = {0x0A, 0x0B};
  InstallSimulated(profile);

  HMODULE upper = GetModuleHandleW(u"COREDLL.DLL");
  HMODULE lower = LoadLibraryW(u"coredll.dll");
  ASSERT_NE(upper, nullptr);
  EXPECT_EQ(upper, lower);
  auto getId = EntryPointAs<PFN_GetDeviceUniqueID>(GetProcAddressW(lower, kGetDeviceUniqueIDName));
  ASSERT_NE(getId, nullptr);
  BYTE app[16] = {};
  BYTE out[20] = {};
  DWORD length = 20;
  EXPECT_EQ(getId(app, 16, 1, out, &length), S_OK);
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(out[1], 0x0B);

  // CoCreateGuid is not there on this device; CeGetVolumeInfoW is, by ordinal only.
  EXPECT_EQ(GetProcAddressW(lower, kCoCreateGuidName), nullptr);
  EXPECT_NE(GetProcAddressW(upper, OrdinalName(kCeGetVolumeInfoWOrdinal)), nullptr);
  EXPECT_EQ(GetProcAddressW(upper, OrdinalName(1977)), nullptr);
  EXPECT_EQ(GetProcAddressA(nullptr, "CoCreateGuid"), nullptr);
}

TEST(EntryPoints, MissingLibraryOrEntryPointGivesNull) {
  sim::DeviceProfile profile;
  profile.libraries[u"NAVIAPI"].hasEntryPoint = false;
  InstallSimulated(profile);
  EXPECT_EQ(LoadLibraryW(u"marina_api"), nullptr);
  HMODULE navi = LoadLibraryW(u"NAVIAPI");
  ASSERT_NE(navi, nullptr);
  EXPECT_EQ(GetProcAddressA(navi, kAtlasGetUuidName), nullptr);
  EXPECT_TRUE(FreeLibrary(navi));
}

TEST(EntryPoints, EachLoadTakesAReferenceAndTheLastFreeReleasesTheLibrary) {
  sim::DeviceProfile profile;
  profile.libraries[u"marina_api"].wideText = u"0x1234";
  auto& device = InstallSimulated(profile);

  HMODULE first = LoadLibraryW(u"marina_api");
  HMODULE second = LoadLibraryW(u"MARINA_API");
  EXPECT_EQ(first, second);
  EXPECT_EQ(ModuleReferenceCount(u"marina_api"), 2);
  EXPECT_EQ(device.record().libraryLoads.at(u"marina_api"), 1);
  auto cardId = EntryPointAs<PFN_SD_CardID>(GetProcAddressA(first, kSdCardIdName));
  ASSERT_NE(cardId, nullptr);
  char16_t text[1024] = {};
  EXPECT_EQ(cardId(text), 1);
  EXPECT_EQ(std::u16string(text), u"0x1234");

  EXPECT_TRUE(FreeLibrary(first));
  EXPECT_EQ(device.record().libraryUnloads.count(u"marina_api"), 0u);
  EXPECT_TRUE(FreeLibrary(second));
  EXPECT_EQ(device.record().libraryUnloads.at(u"marina_api"), 1);
  EXPECT_EQ(ModuleReferenceCount(u"marina_api"), 0);
  EXPECT_FALSE(FreeLibrary(first));
  EXPECT_EQ(GetModuleHandleW(u"marina_api"), nullptr);
}

// Real shared libraries on this machine: found beside the executable, never in the current folder.
class HostLibraries : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ =
        std::filesystem::temp_directory_path() / ("vantrace-libs-" + std::to_string(::getpid()));
    std::filesystem::remove_all(base_);
    std::filesystem::create_directories(base_ / "bin");
    std::filesystem::create_directories(base_ / "cwd");
    ::chmod(base_.c_str(), 0755);
    ::chmod((base_ / "bin").c_str(), 0755);
    ::chmod((base_ / "cwd").c_str(), 0755);
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    previousCwd_ = previous;
  }
  void TearDown() override {
    ASSERT_EQ(::chdir(previousCwd_.c_str()), 0);
    std::filesystem::remove_all(base_);
  }
  void Place(const std::filesystem::path& folder) {
    const auto target = folder / "libNAVIAPI.so";
    std::filesystem::copy_file(std::filesystem::path(VANTRACE_FIXTURE_LIB_DIR) / "libNAVIAPI.so",
                               target, std::filesystem::copy_options::overwrite_existing);
    ::chmod(target.c_str(), 0755);
  }
  LinuxDevice& Install() {
    auto device = std::make_unique<LinuxDevice>(
        LinuxDevice::Options{.root = "/", .executable = (base_ / "bin" / "vantrace21").string()});
    LinuxDevice& installed = *device;
    InstallDevice(std::move(device));
    return installed;
  }

  std::filesystem::path base_;
  std::string previousCwd_;
};

TEST_F(HostLibraries, LoadedFromTheExecutablesFolderAndUnloadedWithTheLastReference) {
  Place(base_ / "bin");
  Install();
  HMODULE navi = LoadLibraryW(kNavigationLibrary);
  ASSERT_NE(navi, nullptr);
  auto getUuid = EntryPointAs<PFN_AtlasGetUUID>(GetProcAddressA(navi, kAtlasGetUuidName));
  ASSERT_NE(getUuid, nullptr);
  char text[1024] = {};
  EXPECT_EQ(getUuid(text), 1);
  EXPECT_STREQ(text, "FIXTURE-NAVI-0001");
  EXPECT_TRUE(FreeLibrary(navi));
  const std::string file = (base_ / "bin" / "libNAVIAPI.so").string();
  EXPECT_EQ(::dlopen(file.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
}

TEST_F(HostLibraries, NeverFromTheCurrentFolder) {
  Place(base_ / "cwd");
  ASSERT_EQ(::chdir((base_ / "cwd").c_str()), 0);
  Install();
  EXPECT_EQ(LoadLibraryW(kNavigationLibrary), nullptr);
}

TEST_F(HostLibraries, NotFromAFolderOthersCanWriteTo) {
  Place(base_ / "bin");
  ::chmod((base_ / "bin").c_str(), 0777);
  Install();
  EXPECT_EQ(LoadLibraryW(kNavigationLibrary), nullptr);
}

TEST_F(HostLibraries, NamesWithAFolderAreRefused) {
  Place(base_ / "bin");
  Install();
  const std::u16string byPath = u"../bin/NAVIAPI";
  EXPECT_EQ(LoadLibraryW(byPath.c_str()), nullptr);
}

}  // namespace
