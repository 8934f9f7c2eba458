// The storage scan against simulated devices: card identifiers from storage identification
// replies by both routes, the card library's identifier, and the scan's lines.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/modules.h"
#include "platform/sim/device_profile.h"
#include "platform/sim/simulated_device.h"
#include "platform/storage.h"
#include "probes/probes.h"
#include "probes/storage_guids_testing.h"
#include "tests/sim_fixture.h"

namespace {

using sim::Bytes;
using sim::DeviceProfile;
using sim::LibraryProfile;
using sim::ReplyWithSerial;
using sim::RootEntry;
using sim::StorageReply;
using testing_support::InstallSimulated;
using testing_support::ReportMessages;
using Lines = std::vector<std::string>;

constexpr char16_t kCanary = u'#';

std::string Repeat(const std::string& text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

std::string Hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const BYTE b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

std::string Narrow(const std::u16string& text) {
  std::string out;
  for (const char16_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
  return out;
}

// A 1024-byte reply whose head puts the serial at `offset`, with `serial` written there (as much
// as fits), reporting `bytesReturned`.
StorageReply ReplyAt(DWORD offset, const Bytes& serial, DWORD bytesReturned) {
  StorageReply reply;
  reply.reply.assign(1024, 0);
  const STORAGE_IDENTIFICATION head{1024, 0, 0, offset};
  std::memcpy(reply.reply.data(), &head, sizeof head);
  for (std::size_t i = 0; i < serial.size() && offset + i < reply.reply.size(); ++i) {
    reply.reply[offset + i] = serial[i];
  }
  reply.bytesReturned = bytesReturned;
  return reply;
}

StorageReply Failing() {
  StorageReply reply;
  reply.fails = true;
  return reply;
}

DeviceProfile WithRoot(std::vector<RootEntry> entries) {
  DeviceProfile profile;
  profile.rootGiven = true;
  profile.root = std::move(entries);
  return profile;
}

// Runs the scan on the installed simulated device and returns the report's messages.
Lines Scan(sim::SimulatedDevice& device) {
  dumpStoregeGuids();
  return ReportMessages(device);
}

std::u16string CanaryBuffer() {
  return std::u16string(kCardGuidChars, kCanary);
}

class StorageGuidsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetCeGetVolumeInfoForTests(); }
  void TearDown() override {
    SetStorageReplyAllocatorForTests(nullptr);
    ResetCeGetVolumeInfoForTests();
  }
};

TEST_F(StorageGuidsTest, CardIdentifierFromTheVolumesSerialBytes) {
  struct Case {
    Bytes serial;
    std::string cardGuid;
  };
  const Case cases[] = {
      // Four bytes: the hex text four times.
      {{0x12, 0x34, 0x56, 0x78}, "12345678123456781234567812345678"},
      // Fewer than four: repeated up to exactly 32 characters.
      {{0x41, 0x42, 0x43}, "41424341424341424341424341424341"},
      {{0x05}, Repeat("05", 16)},
      {{0xFF, 0x0A}, Repeat("FF0A", 8)},
      // Seven bytes: twice is 28 characters, so repeated to 32.
      {{1, 2, 3, 4, 5, 6, 7}, "01020304050607010203040506070102"},
      // Eight or more: the hex text twice, never cut to 32.
      {{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18}, Repeat("A1B2C3D4E5F60718", 2)},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, Repeat("0102030405060708090A", 2)},
      // The serial ends at its first zero byte.
      {{0x41, 0x00, 0x42}, Repeat("41", 16)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.serial));
    auto& device =
        InstallSimulated(WithRoot({{u"Storage Card", ReplyWithSerial(c.serial), u"DSK1:"}}));
    device.profile().stores[u"DSK1:"] = ReplyWithSerial({0xEE});
    EXPECT_EQ(Scan(device),
              (Lines{"LOG START", " - GetCardGUIDEx - \\Storage Card = " + c.cardGuid}));
    // Route 1 answered: the store is not asked.
    EXPECT_EQ(device.record().storageOpens, std::vector<std::u16string>{u"\\Storage Card\\Vol:"});
    EXPECT_EQ(device.record().storageOpened, 1);
    EXPECT_EQ(device.record().storageClosed, 1);
  }
}

TEST_F(StorageGuidsTest, StoreIsAskedWhenTheVolumeGivesNoSerial) {
  struct Case {
    const char* what;
    std::optional<StorageReply> volume;
  };
  StorageReply zeroBytes = ReplyWithSerial({0x11, 0x22});
  zeroBytes.bytesReturned = 0;
  const Case cases[] = {
      {"no volume: an ordinary folder or file", std::nullopt},
      {"the control fails", Failing()},
      {"zero bytes returned", zeroBytes},
      {"the byte at the offset is zero", ReplyWithSerial({})},
      {"the offset equals the bytes returned", ReplyAt(16, {0x11, 0x22}, 16)},
      {"the offset lies beyond the bytes returned", ReplyAt(40, {0x11, 0x22}, 20)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto& device = InstallSimulated(WithRoot({{u"Storage Card", c.volume, u"DSK1:"}}));
    device.profile().stores[u"DSK1:"] = ReplyWithSerial({0xAB});
    EXPECT_EQ(Scan(device),
              (Lines{"LOG START", " - GetCardGUIDEx - \\Storage Card = " + Repeat("AB", 16)}));
    EXPECT_EQ(device.record().storageOpens,
              (std::vector<std::u16string>{u"\\Storage Card\\Vol:", u"DSK1:"}));
    // At most one handle at a time, and every one closed.
    EXPECT_EQ(device.record().storageOpened, c.volume ? 2 : 1);
    EXPECT_EQ(device.record().storageClosed, device.record().storageOpened);
  }
}

TEST_F(StorageGuidsTest, NoIdentifierLeavesTheBufferUntouchedAndNoLine) {
  struct Case {
    const char* what;
    std::optional<StorageReply> volume;
    bool hasCeGetVolumeInfo;
    std::optional<std::u16string> store;
    std::optional<StorageReply> storeReply;  // the reply of "DSK1:"; nullopt: no such store
  };
  const Case cases[] = {
      {"no CeGetVolumeInfoW in the system library", std::nullopt, false, u"DSK1:",
       ReplyWithSerial({0xAB})},
      {"CeGetVolumeInfoW refuses the path", Failing(), true, std::nullopt, ReplyWithSerial({0xAB})},
      {"the store does not open", ReplyWithSerial({}), true, u"DSK1:", std::nullopt},
      {"the store's control fails", std::nullopt, true, u"DSK1:", Failing()},
      {"the store's serial is empty", ReplyWithSerial({}), true, u"DSK1:", ReplyWithSerial({})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetCeGetVolumeInfoForTests();
    DeviceProfile profile = WithRoot({{u"Storage Card", c.volume, c.store}});
    profile.hasCeGetVolumeInfo = c.hasCeGetVolumeInfo;
    if (c.storeReply) profile.stores[u"DSK1:"] = *c.storeReply;
    auto& device = InstallSimulated(profile);

    std::u16string buffer = CanaryBuffer();
    EXPECT_EQ(GetCardGUIDEx(CString(u"\\Storage Card"), buffer.data()), FALSE);
    EXPECT_EQ(buffer, CanaryBuffer());

    EXPECT_EQ(Scan(device), (Lines{"LOG START", " - no storages with guids!"}));
    EXPECT_EQ(device.record().storageClosed, device.record().storageOpened);
  }
}

// The driver's count and offset never make the query read outside the 1024-byte reply, and the
// serial hex text holds at most 511 serial bytes.
TEST_F(StorageGuidsTest, RepliesAreReadOnlyWithinTheirBounds) {
  Bytes longSerial(600);
  for (std::size_t i = 0; i < longSerial.size(); ++i)
    longSerial[i] = static_cast<BYTE>(i % 255 + 1);
  const std::string first511 = Hex(Bytes(longSerial.begin(), longSerial.begin() + 511));

  struct Case {
    const char* what;
    StorageReply volume;
    std::optional<std::string> cardGuid;
  };
  const Case cases[] = {
      {"600 serial bytes are cut to 511", ReplyAt(16, longSerial, 1024), first511 + first511},
      {"a count beyond the reply ends the serial at the reply's end",
       ReplyAt(1000, Bytes(24, 0x5A), 5000), Repeat("5A", 48)},
      {"an offset at the reply's end", ReplyAt(1024, {}, 5000), std::nullopt},
      {"an offset far beyond the reply", ReplyAt(0xFFFFFFF0u, {}, 100), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    StorageReply volume = c.volume;
    if (!c.cardGuid) {
      // Every byte of the reply is non-zero, so only the bounds stop the rendering.
      std::memset(volume.reply.data() + 16, 0x77, volume.reply.size() - 16);
    }
    InstallSimulated(WithRoot({{u"Storage Card", volume, std::nullopt}}));
    std::u16string buffer = CanaryBuffer();
    const BOOL written = GetCardGUIDEx(CString(u"\\Storage Card"), buffer.data());
    if (!c.cardGuid) {
      EXPECT_EQ(written, FALSE);
      EXPECT_EQ(buffer, CanaryBuffer());
      continue;
    }
    ASSERT_EQ(written, TRUE);
    const std::size_t n = c.cardGuid->size();
    EXPECT_EQ(Narrow(buffer.substr(0, n)), *c.cardGuid);
    EXPECT_EQ(buffer[n], u'\0');
    // Nothing written after the terminator.
    EXPECT_EQ(buffer.substr(n + 1), std::u16string(kCardGuidChars - n - 1, kCanary));
  }
}

void* NoHeap(std::size_t) {
  return nullptr;
}

TEST_F(StorageGuidsTest, ReplyThatCannotBeHadIsAFailedQuery) {
  DeviceProfile profile = WithRoot({{u"Storage Card", ReplyWithSerial({1, 2, 3, 4}), u"DSK1:"}});
  profile.stores[u"DSK1:"] = ReplyWithSerial({5, 6, 7, 8});
  auto& device = InstallSimulated(profile);
  SetStorageReplyAllocatorForTests(&NoHeap);

  std::u16string buffer = CanaryBuffer();
  EXPECT_EQ(GetCardGUIDEx(CString(u"\\Storage Card"), buffer.data()), FALSE);
  EXPECT_EQ(buffer, CanaryBuffer());
  // Both routes were tried and both handles closed.
  EXPECT_EQ(device.record().storageOpens,
            (std::vector<std::u16string>{u"\\Storage Card\\Vol:", u"DSK1:"}));
  EXPECT_EQ(device.record().storageOpened, 2);
  EXPECT_EQ(device.record().storageClosed, 2);
  EXPECT_EQ(Scan(device), (Lines{"LOG START", " - no storages with guids!"}));
}

TEST_F(StorageGuidsTest, CeGetVolumeInfoIsResolvedOnceAndKept) {
  auto deviceWithStore = [](bool exported) {
    DeviceProfile profile = WithRoot({{u"SDMMC", std::nullopt, u"DSK1:"}});
    profile.stores[u"DSK1:"] = ReplyWithSerial({0x12, 0x34, 0x56, 0x78});
    profile.hasCeGetVolumeInfo = exported;
    return profile;
  };
  const Lines found{"LOG START", " - GetCardGUIDEx - \\SDMMC = " + Repeat("12345678", 4)};
  const Lines none{"LOG START", " - no storages with guids!"};

  // Once resolved, the entry point stays in use even where the system library no longer exports it.
  EXPECT_EQ(Scan(InstallSimulated(deviceWithStore(true))), found);
  EXPECT_EQ(Scan(InstallSimulated(deviceWithStore(false))), found);

  // A failed resolution is tried again for the next entry.
  ResetCeGetVolumeInfoForTests();
  EXPECT_EQ(Scan(InstallSimulated(deviceWithStore(false))), none);
  EXPECT_EQ(Scan(InstallSimulated(deviceWithStore(true))), found);
}

TEST_F(StorageGuidsTest, LibraryCardIdentifier) {
  struct Case {
    const char* what;
    LibraryProfile library;
    std::optional<std::string> cardGuid;  // nullopt: no library line
  };
  std::u16string unterminated = u"0x0123456789abcdef";
  unterminated.resize(1024, u'z');
  const Case cases[] = {
      {"0x1234", {true, 1, u"0x1234", {}}, "31323334313233343132333431323334"},
      {"empty text: picks of the zero-filled buffer", {true, 1, u"", {}}, Repeat("0", 32)},
      {"one character", {true, 1, u"A", {}}, Repeat("0", 32)},
      {"0xAB", {true, 1, u"0xAB", {}}, Repeat("4142", 8)},
      // Codes above 0xFF: the next pick overwrites all but two digits; the last keeps all.
      {"three-digit codes", {true, 1, u"0x\u0141", {}}, Repeat("14", 15) + "141"},
      {"four-digit codes", {true, 1, u"0x\u1234", {}}, Repeat("12", 15) + "1234"},
      {"a text that fills the buffer",
       {true, 1, unterminated, {}},
       "30313233343536373839616263646566"},
      {"exactly two characters: nothing to pick", {true, 1, u"ab", {}}, std::nullopt},
      {"the call returns zero", {true, 0, u"0x1234", {}}, std::nullopt},
      {"no SD_CardID", {false, 1, u"0x1234", {}}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeviceProfile profile = WithRoot({{u"Storage Card", std::nullopt, std::nullopt}});
    profile.libraries[u"marina_api"] = c.library;
    auto& device = InstallSimulated(profile);
    const Lines expected =
        c.cardGuid
            ? Lines{"LOG START", " - Blaupunkt_GetCardGUID - \\Storage Card = " + *c.cardGuid}
            : Lines{"LOG START", " - no storages with guids!"};
    EXPECT_EQ(Scan(device), expected);
    // Loaded and freed once for the one entry, the entry point called at most once.
    EXPECT_EQ(device.record().libraryLoads.at(u"marina_api"), 1);
    EXPECT_EQ(device.record().libraryUnloads.at(u"marina_api"), 1);
    EXPECT_EQ(ModuleReferenceCount(u"marina_api"), 0);
    EXPECT_EQ(device.record().entryPointCalls, c.library.hasEntryPoint ? 1 : 0);
  }
}

TEST_F(StorageGuidsTest, EveryRootEntryInOrderWithBothLines) {
  DeviceProfile profile = WithRoot({
      {u"Storage Card", ReplyWithSerial({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), std::nullopt},
      {u"Windows", std::nullopt, std::nullopt},
      {u"SDMMC", std::nullopt, u"DSK2:"},  // the last entry
  });
  profile.stores[u"DSK2:"] = ReplyWithSerial({0x12, 0x34, 0x56, 0x78});
  profile.libraries[u"marina_api"] = {true, 1, u"0x1234", {}};
  auto& device = InstallSimulated(profile);

  const std::string library = "31323334313233343132333431323334";
  EXPECT_EQ(Scan(device),
            (Lines{
                "LOG START",
                " - GetCardGUIDEx - \\Storage Card = " + Repeat("0102030405060708090A", 2),
                // Built over the 40 characters left by GetCardGUIDEx: 32 remain.
                " - Blaupunkt_GetCardGUID - \\Storage Card = " + library,
                " - Blaupunkt_GetCardGUID - \\Windows = " + library,
                " - GetCardGUIDEx - \\SDMMC = " + Repeat("12345678", 4),
                " - Blaupunkt_GetCardGUID - \\SDMMC = " + library,
            }));
  EXPECT_EQ(device.record().storageOpens,
            (std::vector<std::u16string>{u"\\Storage Card\\Vol:", u"\\Windows\\Vol:",
                                         u"\\SDMMC\\Vol:", u"DSK2:"}));
  EXPECT_EQ(device.record().storageOpened, 2);
  EXPECT_EQ(device.record().storageClosed, 2);
  EXPECT_EQ(device.record().libraryLoads.at(u"marina_api"), 3);
  EXPECT_EQ(device.record().libraryUnloads.at(u"marina_api"), 3);
  EXPECT_EQ(device.record().entryPointCalls, 3);
}

TEST_F(StorageGuidsTest, RootFolderWhoseSearchCannotStart) {
  struct Case {
    const char* what;
    std::optional<std::vector<RootEntry>> root;
  };
  const Case cases[] = {{"unreadable", std::nullopt}, {"empty", std::vector<RootEntry>{}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DeviceProfile profile;
    profile.rootGiven = true;
    profile.root = c.root;
    profile.libraries[u"marina_api"] = {true, 1, u"0x1234", {}};
    auto& device = InstallSimulated(profile);
    EXPECT_EQ(Scan(device), (Lines{"LOG START", " - no storages with guids!"}));
    EXPECT_TRUE(device.record().libraryLoads.empty());
    EXPECT_TRUE(device.record().storageOpens.empty());
  }
}

}  // namespace
