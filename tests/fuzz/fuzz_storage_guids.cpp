// Fuzz target: the storage scan against a simulated device whose root entries, volumes, stores,
// storage identification replies and card library answer from the input.
//
// Input: clock; the root folder (not given, unsearchable, or up to four entries, each with a name,
// an optional volume reply and an optional store name, often one of the stores'); up to three
// stores with their replies; whether CeGetVolumeInfoW exists; the card library (absent, without
// entry point, or with a result and a text of up to 1100 code units, so that texts filling the
// 1024-unit buffer without terminator occur). A reply is raw bytes, or a header with any size,
// flags and serial offset followed by serial bytes at that offset; either fails or not and
// reports any byte count.
#include <cstdint>
#include <cstring>
#include <string>

#include "device/entry_points.h"
#include "platform/sim/device_profile.h"
#include "platform/storage.h"
#include "probes/probes.h"
#include "probes/storage_guids_testing.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/sim_fixture.h"

namespace {

using fuzz::Require;

constexpr std::size_t kReplyMax = 1100;

sim::StorageReply ReadReply(fuzz::Input& in) {
  sim::StorageReply reply;
  const BYTE mode = in.Byte();
  reply.fails = mode % 8 == 7;
  if (mode & 8) {
    reply.reply = in.Blob(kReplyMax);
  } else {
    STORAGE_IDENTIFICATION head{};
    head.dwSize = in.U32();
    head.dwFlags = in.U32();
    head.dwManufactureIDOffset = in.U32();
    head.dwSerialNumOffset = (mode & 16) ? in.U32() : in.U16() % kReplyMax;
    const fuzz::Bytes serial = in.Blob(600);
    const std::size_t offset = head.dwSerialNumOffset;
    reply.reply.resize(sizeof head, 0);
    std::memcpy(reply.reply.data(), &head, sizeof head);
    if (offset <= kReplyMax) {
      if (reply.reply.size() < offset) reply.reply.resize(offset, 0);
      reply.reply.insert(reply.reply.begin() + static_cast<std::ptrdiff_t>(offset), serial.begin(),
                         serial.end());
      if (mode & 32) reply.reply.push_back(0);
    }
  }
  switch ((mode >> 6) & 3) {
    case 0:
      break;  // the reply's size
    case 1:
      reply.bytesReturned = in.U16() % 1200;
      break;
    case 2:
      reply.bytesReturned = in.U32();
      break;
    default:
      reply.bytesReturned = 0;
      break;
  }
  return reply;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  sim::DeviceProfile profile;
  profile.clock = fuzz::ReadClock(in);

  std::vector<std::u16string> storeNames;
  const int stores = in.Byte() % 4;
  for (int i = 0; i < stores; ++i) {
    std::u16string name = in.Wide(40);
    storeNames.push_back(name);
    profile.stores[name] = ReadReply(in);
  }

  const BYTE rootMode = in.Byte() % 8;
  if (rootMode != 0) {
    profile.rootGiven = true;
    if (rootMode != 1) {
      std::vector<sim::RootEntry> entries;
      const int count = in.Byte() % 5;
      for (int i = 0; i < count; ++i) {
        sim::RootEntry entry;
        entry.name = in.Wide(40);
        const BYTE has = in.Byte();
        if (has & 1) entry.volume = ReadReply(in);
        if ((has & 6) == 2) entry.store = in.Wide(40);
        if ((has & 6) == 4 && !storeNames.empty()) {
          entry.store = storeNames[in.Byte() % storeNames.size()];
        }
        entries.push_back(std::move(entry));
      }
      profile.root = std::move(entries);
    }
  }
  profile.hasCeGetVolumeInfo = in.Bool();

  const BYTE library = in.Byte() % 4;
  if (library != 0) {
    sim::LibraryProfile card;
    card.hasEntryPoint = library != 1;
    card.result = library == 2 ? 1 : static_cast<std::int32_t>(in.U32());
    card.wideText = in.Wide(1100);
    profile.libraries[kCardLibrary] = card;
  }

  const std::size_t entries = profile.root ? profile.root->size() : 0;
  const std::string stamp = fuzz::StampOf(profile.clock);
  ResetCeGetVolumeInfoForTests();
  sim::SimulatedDevice& device = testing_support::InstallSimulated(std::move(profile));
  dumpStoregeGuids();
  const std::string report = testing_support::ReportText(device);
  fuzz::Show(report);

  const sim::Record& record = device.record();
  Require(record.storageOpened == record.storageClosed, "a volume or store was left open", report);
  int loads = 0;
  int unloads = 0;
  for (const auto& [name, n] : record.libraryLoads) loads += n;
  for (const auto& [name, n] : record.libraryUnloads) unloads += n;
  Require(loads == unloads, "a library was left loaded", report);

  // Identifier lines: "... = HEX" with the hex of a serial (at least 32 digits; a line cut to fit
  // still keeps far more, as names are short) or the library's 16 picks. An entry's name may hold
  // " = ", but the hex after the last one never does.
  std::size_t found = 0;
  bool none = false;
  // Every line carries its stamp, whatever line ends the entries' names hold.
  for (const std::string& message : fuzz::StampedMessages(report, stamp)) {
    const bool volume = message.starts_with(" - GetCardGUIDEx - ");
    const bool card = message.starts_with(" - Blaupunkt_GetCardGUID - ");
    none = none || message == " - no storages with guids!";
    if (!volume && !card) continue;
    ++found;
    const std::size_t equals = message.rfind(" = ");
    Require(equals != std::string::npos, "identifier line without \" = \"", message);
    const std::string hex = message.substr(equals + 3);
    Require(fuzz::IsUpperHex(hex) && hex.size() >= 32, "identifier is not hex of 32 or more digits",
            message);
    if (card) Require(hex.size() <= 34, "library identifier longer than its 16 picks", message);
  }
  Require(found <= 2 * entries, "more identifiers than root entries can give", report);
  Require(none == (found == 0), "\"no storages\" line does not match the identifiers found",
          report);
  return 0;
}
