// The network adapter report against simulated devices, and its pieces on hand-made records.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "log/report_log.h"
#include "platform/device.h"
#include "platform/iphlpapi.h"
#include "probes/adapters_info_testing.h"
#include "probes/probes.h"
#include "tests/sim_fixture.h"

namespace {

using testing_support::InstallSimulated;
using testing_support::ReportMessages;
using Lines = std::vector<std::string>;

// A wired adapter with a fixed address, no DHCP, no WINS.
AdapterFacts Wired() {
  AdapterFacts a;
  a.name = "eth0";
  a.description = "Realtek RTL8139";
  a.hardwareAddress = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  a.index = 2;
  a.type = MIB_IF_TYPE_ETHERNET;
  a.addresses = {{"192.168.1.20", "255.255.255.0"}};
  a.gateways = {"192.168.1.1"};
  return a;
}

// A wireless adapter with a DHCP lease that names two WINS servers.
AdapterFacts WirelessWithWins() {
  AdapterFacts a;
  a.name = "wlan0";
  a.description = "Marvell 88W8686 SDIO";
  a.hardwareAddress = {0xB8, 0x27, 0xEB, 0x9A, 0x10, 0xC4};
  a.index = 3;
  a.type = IF_TYPE_IEEE80211;
  a.dhcpEnabled = true;
  a.addresses = {{"10.0.0.17", "255.255.0.0"}};
  a.gateways = {"10.0.0.1"};
  a.dhcpServer = "10.0.0.1";
  a.haveWins = true;
  a.primaryWinsServer = "10.0.0.5";
  a.secondaryWinsServer = "10.0.0.6";
  a.leaseObtained = 1767225600;
  return a;
}

// A point-to-point link by DHCP without WINS, without hardware address and gateway, whose
// description holds "%" conversions.
AdapterFacts DialUpByDhcp() {
  AdapterFacts a;
  a.name = "ppp0";
  a.description = "PPP 100% \"%s\" link";
  a.index = 4;
  a.type = MIB_IF_TYPE_OTHER;
  a.dhcpEnabled = true;
  a.addresses = {{"100.64.0.9", "255.255.255.255"}};
  a.dhcpServer = "100.64.0.1";
  a.leaseObtained = 1700000000;
  return a;
}

const Lines kWiredLines = {
    " - Adapter Name: \teth0",      " - Adapter Desc: \tRealtek RTL8139",
    " - Adapter Addr: \t725372254", " - IP Address: \t192.168.1.20",
    " - IP Mask: \t255.255.255.0",  " - Gateway: \t192.168.1.1",
    " - DHCP Enabled: No",          " - Have Wins: No",
};

const Lines kWirelessLines = {
    " - Adapter Name: \twlan0",
    " - Adapter Desc: \tMarvell 88W8686 SDIO",
    " - Adapter Addr: \t-342224700",
    " - IP Address: \t10.0.0.17",
    " - IP Mask: \t255.255.0.0",
    " - Gateway: \t10.0.0.1",
    " - DHCP Enabled: Yes",
    " - \tDHCP Server: \t10.0.0.1",
    " - Lease Obtained: 1767225600",
    " - Have Wins: Yes",
    " - \tPrimary Wins Server: \t10.0.0.5",
    " - \tSecondary Wins Server: \t10.0.0.6",
};

const Lines kDialUpLines = {
    " - Adapter Name: \tppp0",       " - Adapter Desc: \tPPP 100% \"%s\" link",
    " - Adapter Addr: \t0",          " - IP Address: \t100.64.0.9",
    " - IP Mask: \t255.255.255.255", " - Gateway: \t",
    " - DHCP Enabled: Yes",          " - \tDHCP Server: \t100.64.0.1",
    " - Lease Obtained: 1700000000", " - Have Wins: No",
};

Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

sim::DeviceProfile WithAdapters(std::vector<AdapterFacts> adapters) {
  sim::DeviceProfile profile;
  profile.adapters.adapters = std::move(adapters);
  return profile;
}

// One adapter with one address fits the first buffer: the query runs twice, no overflow line.
TEST(AdaptersInfo, OneAdapterFitsTheFirstBuffer) {
  for (const auto& [adapter, lines] :
       {std::pair{Wired(), kWiredLines}, std::pair{WirelessWithWins(), kWirelessLines}}) {
    auto& device = InstallSimulated(WithAdapters({adapter}));
    DumpAdaptersInfo();
    EXPECT_EQ(ReportMessages(device), Join({{"LOG START", "GetAdaptersInfo"}, lines}))
        << adapter.name;
    EXPECT_EQ(device.record().adapterQueries, 2) << adapter.name;
  }
}

// A list larger than the first buffer: the overflow line, three queries, every adapter in list
// order, DHCP and WINS lines each way, device texts written as they are even when they hold "%".
TEST(AdaptersInfo, ListLargerThanTheFirstBufferIsQueriedAgain) {
  auto& device = InstallSimulated(WithAdapters({Wired(), WirelessWithWins(), DialUpByDhcp()}));
  DumpAdaptersInfo();
  EXPECT_EQ(ReportMessages(device),
            Join({{"LOG START", "GetAdaptersInfo", " - ERROR_BUFFER_OVERFLOW"},
                  kWiredLines,
                  kWirelessLines,
                  kDialUpLines}));
  EXPECT_EQ(device.record().adapterQueries, 3);
}

// Only the first address, its mask and the first gateway are shown. The further address entries
// live in the same buffer after the record, so such an adapter no longer fits one record's room.
TEST(AdaptersInfo, SeveralAddressesShowOnlyTheFirst) {
  AdapterFacts adapter = Wired();
  adapter.addresses = {{"192.168.1.20", "255.255.255.0"},
                       {"192.168.7.3", "255.255.0.0"},
                       {"172.16.0.4", "255.240.0.0"}};
  adapter.gateways = {"192.168.1.1", "192.168.7.254"};
  auto& device = InstallSimulated(WithAdapters({adapter}));
  DumpAdaptersInfo();
  EXPECT_EQ(ReportMessages(device),
            Join({{"LOG START", "GetAdaptersInfo", " - ERROR_BUFFER_OVERFLOW"}, kWiredLines}));
  EXPECT_EQ(device.record().adapterQueries, 3);
}

// Only the last query decides: an error there gives the heading and the failure line (after the
// overflow line when the first query overflowed); errors of the queries before it don't count.
TEST(AdaptersInfo, OnlyTheLastQueryDecides) {
  struct Case {
    const char* what;
    std::vector<AdapterFacts> adapters;
    std::map<int, DWORD> errorOnQuery;
    Lines lines;
    int queries;
  };
  const Lines failed = {"LOG START", "GetAdaptersInfo", " - Call to GetAdaptersInfo failed."};
  const Lines overflowFailed = {"LOG START", "GetAdaptersInfo", " - ERROR_BUFFER_OVERFLOW",
                                " - Call to GetAdaptersInfo failed."};
  const std::vector<Case> cases = {
      {"error on the second of two", {Wired()}, {{2, ERROR_NOT_SUPPORTED}}, failed, 2},
      {"overflow on the second of two", {Wired()}, {{2, ERROR_BUFFER_OVERFLOW}}, failed, 2},
      {"no adapter at all", {}, {}, failed, 2},
      {"error on the third of three",
       {Wired(), DialUpByDhcp()},
       {{3, ERROR_NOT_ENOUGH_MEMORY}},
       overflowFailed,
       3},
      {"overflow on the third of three",
       {Wired(), DialUpByDhcp()},
       {{3, ERROR_BUFFER_OVERFLOW}},
       overflowFailed,
       3},
      {"error on the first, success on the second",
       {Wired()},
       {{1, ERROR_NOT_SUPPORTED}},
       Join({{"LOG START", "GetAdaptersInfo"}, kWiredLines}),
       2},
      {"error on the second of three is not examined",
       {Wired(), DialUpByDhcp()},
       {{2, ERROR_NOT_SUPPORTED}},
       Join({{"LOG START", "GetAdaptersInfo", " - ERROR_BUFFER_OVERFLOW"},
             kWiredLines,
             kDialUpLines}),
       3},
  };
  for (const Case& c : cases) {
    sim::DeviceProfile profile = WithAdapters(c.adapters);
    profile.adapters.errorOnQuery = c.errorOnQuery;
    auto& device = InstallSimulated(profile);
    DumpAdaptersInfo();
    EXPECT_EQ(ReportMessages(device), c.lines) << c.what;
    EXPECT_EQ(device.record().adapterQueries, c.queries) << c.what;
  }
}

// A device whose adapter list grows after the first query: the second query asks for more room
// than the buffer that was made for the first answer.
class GrowingDevice : public sim::SimulatedDevice {
 public:
  using SimulatedDevice::SimulatedDevice;
  DWORD QueryAdapters(std::vector<AdapterFacts>& adapters) override {
    const DWORD status = SimulatedDevice::QueryAdapters(adapters);
    if (record().adapterQueries >= 2) adapters.push_back(DialUpByDhcp());
    return status;
  }
};

// The last query is given the buffer's real size, not the larger size that the query before it
// asked for, so a list that grew in between is a failed query and nothing is written past the
// buffer.
TEST(AdaptersInfo, ListGrowingBetweenQueriesIsNotWrittenPastTheBuffer) {
  auto owned = std::make_unique<GrowingDevice>(WithAdapters({Wired(), WirelessWithWins()}));
  GrowingDevice& device = *owned;
  InstallDevice(std::move(owned));
  ResetReportLog();
  DumpAdaptersInfo();
  EXPECT_EQ(ReportMessages(device),
            (Lines{"LOG START", "GetAdaptersInfo", " - ERROR_BUFFER_OVERFLOW",
                   " - Call to GetAdaptersInfo failed."}));
  EXPECT_EQ(device.record().adapterQueries, 3);
}

TEST(AdaptersInfo, AddressNumberIsTheLastFourSignificantBytesBigEndianSigned) {
  struct Case {
    std::vector<BYTE> bytes;  // the whole 8-byte field from its start; the rest stays 0
    UINT length;
    LONG number;
  };
  const std::vector<Case> cases = {
      {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, 6, 0x2B3C4D5E},  // 725372254
      {{0xB8, 0x27, 0xEB, 0x9A, 0x10, 0xC4}, 6, -342224700},  // 0xEB9A10C4 as signed
      {{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}, 8, 0x55667788},
      {{0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}, 20, 0x55667788},  // at most 8 count
      {{0x80, 0x00, 0x00, 0x00}, 4, -2147483647 - 1},
      {{0xFF, 0xFF, 0xFF, 0xFF}, 4, -1},
      {{0x0A, 0xB1, 0xC2}, 3, 0x0AB1C2},  // fewer than four: those bytes alone
      {{0xA1, 0xB2}, 2, 41394},
      {{0x0A}, 1, 10},
      {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0xFF, 0xFF}, 6, 0x2B3C4D5E},  // bytes past the length
      {{0x12, 0x34}, 0, 0},
  };
  for (const Case& c : cases) {
    BYTE address[MAX_ADAPTER_ADDRESS_LENGTH] = {};
    std::memcpy(address, c.bytes.data(), c.bytes.size());
    EXPECT_EQ(AdapterAddressNumber(address, c.length), c.number)
        << "length " << c.length << ", first byte " << int{c.bytes[0]};
  }
}

// Records made by hand: a list that links back on itself ends after as many records as the buffer
// holds; a record that reaches past the buffer's end, starts before it or is not aligned ends the
// walk; a text that fills its field without a terminator is read to the field's end only.
TEST(AdaptersInfo, ListWalkStaysInsideTheBuffer) {
  std::vector<IP_ADAPTER_INFO> records(3);
  std::memset(records.data(), 0, records.size() * sizeof(IP_ADAPTER_INFO));
  std::memset(records[0].AdapterName, 'N', sizeof(records[0].AdapterName));
  std::memset(records[0].Description, 'D', sizeof(records[0].Description));
  std::memset(records[0].IpAddressList.IpAddress.String, '1', 16);
  std::memset(records[0].IpAddressList.IpMask.String, '2', 16);
  std::memcpy(records[1].AdapterName, "loop", 5);
  std::memcpy(records[2].AdapterName, "last", 5);
  const Lines first = {" - Adapter Name: \t" + std::string(sizeof(records[0].AdapterName), 'N'),
                       " - Adapter Desc: \t" + std::string(sizeof(records[0].Description), 'D'),
                       " - Adapter Addr: \t0",
                       " - IP Address: \t" + std::string(16, '1'),
                       " - IP Mask: \t" + std::string(16, '2'),
                       " - Gateway: \t",
                       " - DHCP Enabled: No",
                       " - Have Wins: No"};
  const auto plain = [](const std::string& name) {
    return Lines{" - Adapter Name: \t" + name, " - Adapter Desc: \t", " - Adapter Addr: \t0",
                 " - IP Address: \t",          " - IP Mask: \t",      " - Gateway: \t",
                 " - DHCP Enabled: No",        " - Have Wins: No"};
  };
  const auto walk = [&](const IP_ADAPTER_INFO* start, std::size_t size) {
    auto& device = InstallSimulated();
    LogAdapterList(start, size);
    return ReportMessages(device);
  };
  const std::size_t record = sizeof(IP_ADAPTER_INFO);

  records[0].Next = &records[1];
  records[1].Next = &records[0];
  EXPECT_EQ(walk(records.data(), 2 * record), Join({{"LOG START"}, first, plain("loop")}));

  records[0].Next = &records[2];  // the buffer ends 8 bytes before this record does
  EXPECT_EQ(walk(records.data(), 3 * record - 8), Join({{"LOG START"}, first}));
  EXPECT_EQ(walk(records.data(), 3 * record), Join({{"LOG START"}, first, plain("last")}));

  records[1].Next = &records[0];  // before the buffer's start
  EXPECT_EQ(walk(&records[1], 2 * record), Join({{"LOG START"}, plain("loop")}));

  records[0].Next = reinterpret_cast<IP_ADAPTER_INFO*>(reinterpret_cast<char*>(&records[1]) + 4);
  EXPECT_EQ(walk(records.data(), 3 * record), Join({{"LOG START"}, first}));
}

}  // namespace
