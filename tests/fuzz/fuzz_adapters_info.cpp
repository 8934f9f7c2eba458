// Fuzz target: the network adapter section.
//
// The first byte chooses:
//   even: DumpAdaptersInfo against a simulated device with up to six adapters whose texts,
//         hardware addresses, address lists and lease times come from the input, and errors on
//         chosen queries;
//   odd:  LogAdapterList on a buffer of records made of the input's bytes, with each record's
//         link set to any offset from the buffer's start (inside, outside, misaligned, back to
//         itself) or to null.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include "platform/iphlpapi.h"
#include "platform/sim/device_profile.h"
#include "probes/adapters_info_testing.h"
#include "probes/probes.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/sim_fixture.h"

namespace {

using fuzz::Require;

constexpr DWORD kErrorCodes[] = {
    111 /* ERROR_BUFFER_OVERFLOW */, 232 /* ERROR_NO_DATA */, 31, 87, 8, 0};

AdapterFacts ReadAdapter(fuzz::Input& in) {
  AdapterFacts a;
  a.name = in.Narrow(300);
  a.description = in.Narrow(160);
  a.hardwareAddress = in.Blob(12);
  a.index = in.U32();
  a.type = in.U32();
  a.dhcpEnabled = in.Bool();
  const int addresses = in.Byte() % 4;
  for (int i = 0; i < addresses; ++i) a.addresses.push_back({in.Narrow(20), in.Narrow(20)});
  const int gateways = in.Byte() % 3;
  for (int i = 0; i < gateways; ++i) a.gateways.push_back(in.Narrow(20));
  a.dhcpServer = in.Narrow(20);
  a.haveWins = in.Bool();
  a.primaryWinsServer = in.Narrow(20);
  a.secondaryWinsServer = in.Narrow(20);
  a.leaseObtained = static_cast<std::int64_t>(in.U64());
  a.leaseExpires = static_cast<std::int64_t>(in.U64());
  return a;
}

void FuzzSection(fuzz::Input& in) {
  sim::DeviceProfile profile;
  profile.clock = fuzz::ReadClock(in);
  const int adapters = in.Byte() % 7;
  for (int i = 0; i < adapters; ++i) profile.adapters.adapters.push_back(ReadAdapter(in));
  const int errors = in.Byte() % 4;
  for (int i = 0; i < errors; ++i) {
    const int query = 1 + in.Byte() % 3;
    const BYTE code = in.Byte();
    profile.adapters.errorOnQuery[query] =
        code < 200 ? kErrorCodes[code % std::size(kErrorCodes)] : in.U32();
  }
  const std::string stamp = fuzz::StampOf(profile.clock);
  sim::SimulatedDevice& device = testing_support::InstallSimulated(std::move(profile));
  DumpAdaptersInfo();
  const std::string report = testing_support::ReportText(device);
  fuzz::Show(report);
  // Every line carries its stamp, whatever line ends the adapter texts hold.
  const std::vector<std::string> messages = fuzz::StampedMessages(report, stamp);
  Require(!messages.empty() && messages.front() == "GetAdaptersInfo", "no heading", report);
  Require(device.record().adapterQueries <= 3, "more than three adapter queries", report);
  // Every adapter shown is one of the device's: never more name lines than adapters.
  std::size_t names = 0;
  for (const std::string& m : messages) names += m.starts_with(" - Adapter Name: \t") ? 1 : 0;
  Require(names <= device.profile().adapters.adapters.size(), "more adapters shown than exist",
          report);
}

void FuzzList(fuzz::Input& in) {
  const std::size_t records = in.Byte() % 5;
  const std::size_t size = records * sizeof(IP_ADAPTER_INFO) + in.Byte() % sizeof(IP_ADAPTER_INFO);
  // Exactly `size` bytes on the heap (aligned for records), so that a read beyond them is caught.
  auto buffer = std::make_unique<unsigned char[]>(size == 0 ? 1 : size);
  const fuzz::Bytes bytes = in.Take(size);
  if (!bytes.empty()) std::memcpy(buffer.get(), bytes.data(), bytes.size());
  const auto start = reinterpret_cast<std::uintptr_t>(buffer.get());
  for (std::size_t i = 0; i < records; ++i) {
    const BYTE link = in.Byte();
    std::uintptr_t target = 0;
    if (link < 64) {
      target = start + (link % 5) * sizeof(IP_ADAPTER_INFO);  // a record boundary
    } else if (link < 128) {
      target = start + static_cast<std::int32_t>(in.U32());  // anywhere near the buffer
    } else if (link < 192) {
      target = static_cast<std::uintptr_t>(in.U64());  // anywhere at all
    }
    std::memcpy(buffer.get() + i * sizeof(IP_ADAPTER_INFO) + offsetof(IP_ADAPTER_INFO, Next),
                &target, sizeof target);
  }
  sim::SimulatedDevice& device = testing_support::InstallSimulated();
  LogAdapterList(reinterpret_cast<const IP_ADAPTER_INFO*>(buffer.get()), size);
  const std::string report = testing_support::ReportText(device);
  fuzz::Show(report);
  if (report.empty()) return;
  std::size_t shown = 0;
  for (const std::string& m : fuzz::StampedMessages(report, fuzz::StampOf(device.LocalTime()))) {
    shown += m.starts_with(" - Adapter Name: \t") ? 1 : 0;
  }
  // A walk that links back to records it has seen still ends after as many as the buffer holds.
  Require(shown <= records, "the walk showed more records than the buffer holds", report);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  if (in.Byte() % 2 == 0) {
    FuzzSection(in);
  } else {
    FuzzList(in);
  }
  return 0;
}
