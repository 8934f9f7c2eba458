// Fuzz target: the GUID node and Bluetooth address sections against a simulated CoCreateGuid and
// Bluetooth stack that answer from the input.
//
// Input: clock; CoCreateGuid present, its result and the GUID it writes (or none); the radio's
// address (or no stack), a failing bind or getsockname.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sim/device_profile.h"
#include "probes/probes.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/sim_fixture.h"

namespace {
using fuzz::Require;
constexpr std::size_t kAddressChars = 17;  // 16 hex digits and the terminator
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  sim::DeviceProfile profile;
  profile.clock = fuzz::ReadClock(in);
  const BYTE mode = in.Byte();
  profile.guid.present = (mode & 1) != 0;
  profile.guid.result = (mode & 2) ? static_cast<HRESULT>(in.U32()) : S_OK;
  if (mode & 4) {
    GUID guid;
    const fuzz::Bytes bytes = in.Take(sizeof guid);
    std::memset(&guid, 0, sizeof guid);
    if (!bytes.empty()) std::memcpy(&guid, bytes.data(), bytes.size());
    profile.guid.guid = guid;
  }
  if (mode & 8) profile.bluetooth.address = in.U64();
  profile.bluetooth.bindFails = (mode & 16) != 0;
  profile.bluetooth.getsocknameFails = (mode & 32) != 0;

  // The node is bytes 10 to 15 of the GUID, zero-filled before the call; a failed call or a
  // missing entry point leaves the line empty. The address is its 8 bytes, least significant first.
  std::string node;
  if (profile.guid.present && profile.guid.result >= 0) {
    GUID guid{};
    if (profile.guid.guid) guid = *profile.guid.guid;
    node = fuzz::Hex(guid.Data4 + 2, 6);
  }
  std::string address;
  const sim::BluetoothProfile& bt = profile.bluetooth;
  if (bt.address && !bt.bindFails && !bt.getsocknameFails) {
    BYTE bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<BYTE>(*bt.address >> (8 * i));
    address = fuzz::Hex(bytes, 8);
  }

  const std::string stamp = fuzz::StampOf(profile.clock);
  sim::SimulatedDevice& device = testing_support::InstallSimulated(std::move(profile));
  GetMACaddress1();
  DumpBluetoothAddress();
  const std::string report = testing_support::ReportText(device);
  fuzz::Show(report);
  const std::vector<std::string> expected = {"GetMACaddress1:", " - " + node,
                                             "getMicrosoftBluetoothAddress:", " - " + address};
  Require(fuzz::StampedMessages(report, stamp) == expected,
          "the sections' lines differ from the device's answers", report);

  // The address alone: 17 characters written when there is one, nothing otherwise.
  constexpr char16_t kCanary = 0x5A5A;
  std::vector<char16_t> text(kAddressChars + 8, kCanary);
  const bool got = getMicrosoftBluetoothAddress(text.data());
  Require(got == !address.empty(), "getMicrosoftBluetoothAddress: wrong result");
  const std::size_t written = got ? kAddressChars : 0;
  if (got) {
    Require(std::equal(address.begin(), address.end(), text.begin()) && text[16] == u'\0',
            "getMicrosoftBluetoothAddress: wrong text", address);
  }
  Require(std::all_of(text.begin() + static_cast<std::ptrdiff_t>(written), text.end(),
                      [](char16_t c) { return c == kCanary; }),
          "getMicrosoftBluetoothAddress: wrote outside its 17 characters", address);
  Require(device.record().socketsOpened == device.record().socketsClosed, "a socket was left open");
  return 0;
}
