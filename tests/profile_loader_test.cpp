// Loading device profiles from JSON: the ready examples, how fields land in the profile, and the
// one message an invalid profile gets.
#include "platform/sim/profile_loader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "device/hal.h"
#include "platform/sim/simulated_device.h"
#include "platform/storage.h"

namespace {

using namespace std::string_view_literals;
using sim::Bytes;
using sim::DeviceProfile;

const std::string kExamples = std::string(VANTRACE_SOURCE_DIR) + "/examples/";

DeviceProfile Load(const std::string& name) {
  std::string error;
  auto profile = sim::LoadProfileFile(kExamples + name, &error);
  EXPECT_TRUE(profile.has_value()) << error;
  return profile.value_or(DeviceProfile{});
}

DeviceProfile Parse(const std::string& json) {
  std::string error;
  auto profile = sim::ParseProfile(json, &error);
  EXPECT_TRUE(profile.has_value()) << json << "\n" << error;
  return profile.value_or(DeviceProfile{});
}

Bytes Slice(const Bytes& bytes, std::size_t at, std::size_t count) {
  if (at + count > bytes.size()) return {};
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at),
               bytes.begin() + static_cast<std::ptrdiff_t>(at + count));
}

// UTF-16 text as the little-endian bytes a record holds; a literal keeps its embedded and final
// NULs when written with the sv suffix.
Bytes WideBytes(std::u16string_view text) {
  Bytes bytes;
  for (char16_t c : text) {
    bytes.push_back(static_cast<BYTE>(c & 0xFF));
    bytes.push_back(static_cast<BYTE>(c >> 8));
  }
  return bytes;
}

Bytes Text(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

TEST(ProfileExamples, NavigationDeviceHasEverySource) {
  const DeviceProfile p = Load("navigation-device.json");

  EXPECT_EQ(p.clock.wYear, 2026);
  EXPECT_EQ(p.clock.wMonth, 2);
  EXPECT_EQ(p.clock.wDayOfWeek, 0);  // a Sunday
  EXPECT_EQ(p.clock.wDay, 1);
  EXPECT_EQ(p.clock.wHour, 9);
  EXPECT_EQ(p.clock.wMinute, 5);
  EXPECT_EQ(p.clock.wSecond, 7);
  EXPECT_EQ(p.executable, u"\\Windows\\Vantrace21.exe");
  EXPECT_FALSE(p.reportMediumReadOnly);
  EXPECT_EQ(p.oemInfo, u"Kestrel Navi 5000");
  EXPECT_EQ(p.platformType, u"NAVDEVICE");

  ASSERT_TRUE(p.version.has_value());
  EXPECT_EQ(p.version->dwOSVersionInfoSize, 276u);
  EXPECT_EQ(p.version->dwMajorVersion, 6u);
  EXPECT_EQ(p.version->dwMinorVersion, 0u);
  EXPECT_EQ(p.version->dwBuildNumber, 3122u);
  EXPECT_EQ(p.version->dwPlatformId, 3u);
  EXPECT_EQ(std::u16string(p.version->szCSDVersion), u"R3");

  // The processor record, field by field at its offsets.
  ASSERT_TRUE(p.hal.processor.answer.has_value());
  const Bytes& cpu = *p.hal.processor.answer;
  ASSERT_EQ(cpu.size(), 576u);
  EXPECT_EQ(Slice(cpu, 0, 2), (Bytes{0x01, 0x00}));
  EXPECT_EQ(Slice(cpu, 2, 26), WideBytes(u"ARM1176JZF-S\0"sv));
  EXPECT_EQ(Slice(cpu, 82, 2), (Bytes{0x07, 0x00}));
  EXPECT_EQ(Slice(cpu, 84, 30), WideBytes(u"Kestrel K7 SoC\0"sv));
  EXPECT_EQ(Slice(cpu, 164, 2), (Bytes{0x02, 0x00}));
  EXPECT_EQ(Slice(cpu, 166, 20), WideBytes(u"KS-7700-A\0"sv));
  EXPECT_EQ(Slice(cpu, 366, 44), WideBytes(u"Kestrel Semiconductor\0"sv));
  EXPECT_EQ(Slice(cpu, 568, 4), (Bytes{0x00, 0x00, 0x01, 0x00}));
  EXPECT_EQ(Slice(cpu, 572, 4), (Bytes{0x00, 0xAD, 0xB5, 0x1F}));  // 532000000
  EXPECT_EQ(p.hal.processor.refusals, 0);

  // The device ID structure: header, 12 preset bytes at 20, 16 platform bytes at 32.
  ASSERT_TRUE(p.hal.deviceId.answer.has_value());
  const Bytes& id = *p.hal.deviceId.answer;
  ASSERT_EQ(id.size(), 48u);
  EXPECT_EQ(Slice(id, 0, 20),
            (Bytes{48, 0, 0, 0, 20, 0, 0, 0, 12, 0, 0, 0, 32, 0, 0, 0, 16, 0, 0, 0}));
  EXPECT_EQ(Slice(id, 20, 12), Text("KESTREL-N500"));
  EXPECT_EQ(Slice(id, 32, 16), (Bytes{0x00, 0x0C, 0x29, 0x3A, 0x51, 0x7E, 0x40, 0x12, 0x8C, 0x44,
                                      0x19, 0xA0, 0x7F, 0x33, 0xD2, 0x01}));
  ASSERT_TRUE(p.hal.uuid.answer.has_value());
  EXPECT_EQ(*p.hal.uuid.answer, (Bytes{0x6B, 0x29, 0xFC, 0x40, 0xCA, 0x47, 0x10, 0x67, 0xB3, 0x1D,
                                       0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA}));

  EXPECT_TRUE(p.uniqueId.present);
  EXPECT_EQ(p.uniqueId.result, 0);
  EXPECT_EQ(p.uniqueId.bytes.size(), 20u);
  EXPECT_EQ(p.uniqueId.length, std::nullopt);

  ASSERT_TRUE(p.guid.present);
  ASSERT_TRUE(p.guid.guid.has_value());
  EXPECT_EQ(p.guid.guid->Data1, 0x6b29fc40u);
  EXPECT_EQ(p.guid.guid->Data2, 0xca47);
  EXPECT_EQ(p.guid.guid->Data3, 0x1067);
  EXPECT_EQ(Bytes(p.guid.guid->Data4, p.guid.guid->Data4 + 8),
            (Bytes{0xb3, 0x1d, 0x00, 0xdd, 0x01, 0x06, 0x62, 0xda}));
  EXPECT_TRUE(p.hasCeGetVolumeInfo);

  EXPECT_EQ(p.bluetooth.address, 0x001122334455u);
  EXPECT_FALSE(p.bluetooth.bindFails);

  ASSERT_EQ(p.adapters.adapters.size(), 2u);
  const AdapterFacts& wlan = p.adapters.adapters[0];
  EXPECT_EQ(wlan.name, "WLAN1");
  EXPECT_EQ(wlan.hardwareAddress, (Bytes{0x00, 0x0C, 0x29, 0x3A, 0x51, 0x7E}));
  EXPECT_TRUE(wlan.dhcpEnabled);
  ASSERT_EQ(wlan.addresses.size(), 2u);
  EXPECT_EQ(wlan.addresses[1].ip, "10.0.0.23");
  EXPECT_EQ(wlan.addresses[1].mask, "255.0.0.0");
  EXPECT_TRUE(wlan.haveWins);
  EXPECT_EQ(wlan.secondaryWinsServer, "192.168.1.6");
  EXPECT_EQ(wlan.leaseObtained, 1769850000);
  const AdapterFacts& usb = p.adapters.adapters[1];
  EXPECT_EQ(usb.hardwareAddress, (Bytes{0x80, 0x00, 0x60, 0x0F, 0xE8, 0x00}));
  EXPECT_FALSE(usb.dhcpEnabled);
  EXPECT_EQ(usb.gateways, std::vector<std::string>{"169.254.2.2"});
  EXPECT_TRUE(p.adapters.errorOnQuery.empty());

  // Root entries in listing order; the card's volume carries a well-formed serial reply.
  ASSERT_TRUE(p.rootGiven);
  ASSERT_TRUE(p.root.has_value());
  std::vector<std::u16string> names;
  for (const auto& entry : *p.root) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"Windows", u"My Documents", u"Storage Card",
                                                u"ResidentFlash", u"deviceid.txt"}));
  const sim::RootEntry& card = (*p.root)[2];
  ASSERT_TRUE(card.volume.has_value());
  EXPECT_FALSE(card.volume->fails);
  EXPECT_EQ(card.volume->reply,
            (Bytes{21, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0x12, 0x34, 0x56, 0x78, 0}));
  EXPECT_EQ(card.volume->bytesReturned, std::nullopt);
  EXPECT_EQ(card.store, u"DSK2:");
  const sim::RootEntry& flash = (*p.root)[3];
  EXPECT_FALSE(flash.volume.has_value());
  EXPECT_EQ(flash.store, u"DSK1:");
  EXPECT_FALSE((*p.root)[0].volume.has_value());
  EXPECT_FALSE((*p.root)[0].store.has_value());
  ASSERT_EQ(p.stores.count(u"DSK1:"), 1u);
  EXPECT_EQ(Slice(p.stores.at(u"DSK1:").reply, 12, 13),
            (Bytes{16, 0, 0, 0, 'F', 'L', 'A', 'S', 'H', '0', '0', '1', 0}));

  ASSERT_EQ(p.libraries.size(), 2u);
  EXPECT_EQ(p.libraries.at(u"marina_api").wideText, u"0x1234ABCD");
  EXPECT_EQ(p.libraries.at(u"marina_api").result, 1);
  EXPECT_EQ(p.libraries.at(u"NAVIAPI").narrowText, Text("KN5-4F2A-99C1-0D37"));
  EXPECT_TRUE(p.libraries.at(u"NAVIAPI").hasEntryPoint);

  ASSERT_EQ(p.files.count(u"\\deviceid.txt"), 1u);
  EXPECT_EQ(p.files.at(u"\\deviceid.txt"), Text("KN5-0042-7731\r\n"));
}

TEST(ProfileExamples, BareDeviceHasNoSource) {
  const DeviceProfile p = Load("bare-device.json");
  EXPECT_EQ(p.oemInfo, std::nullopt);
  EXPECT_EQ(p.platformType, std::nullopt);
  EXPECT_FALSE(p.version.has_value());
  EXPECT_FALSE(p.hal.processor.answer.has_value());
  EXPECT_FALSE(p.hal.deviceId.answer.has_value());
  EXPECT_TRUE(p.hal.deviceId.refusedWrite.empty());
  EXPECT_FALSE(p.hal.uuid.answer.has_value());
  EXPECT_TRUE(p.hal.uuid.refusedWrite.empty());
  EXPECT_FALSE(p.uniqueId.present);
  EXPECT_FALSE(p.guid.present);
  EXPECT_FALSE(p.hasCeGetVolumeInfo);
  EXPECT_FALSE(p.bluetooth.address.has_value());
  EXPECT_TRUE(p.adapters.adapters.empty());
  EXPECT_EQ(p.adapters.errorOnQuery, (std::map<int, DWORD>{{1, 31}, {2, 31}}));
  EXPECT_TRUE(p.rootGiven);
  EXPECT_FALSE(p.root.has_value());
  EXPECT_TRUE(p.stores.empty());
  EXPECT_TRUE(p.libraries.empty());
  EXPECT_TRUE(p.files.empty());
}

TEST(ProfileLoader, EmptyProfileKeepsTheDefaults) {
  const DeviceProfile p = Parse("{}");
  const DeviceProfile d;
  EXPECT_EQ(std::memcmp(&p.clock, &d.clock, sizeof d.clock), 0);
  EXPECT_EQ(p.executable, u"\\Windows\\Vantrace21.exe");
  EXPECT_FALSE(p.rootGiven);
  EXPECT_TRUE(p.hasCeGetVolumeInfo);
  EXPECT_FALSE(p.hal.deviceId.answer.has_value());
  EXPECT_FALSE(p.uniqueId.present);
}

TEST(ProfileLoader, ProcessorTextsKeepEveryCodeUnit) {
  // Tab, a NUL inside, a character above 126, a text that fills its field, and an unpaired
  // surrogate given as code units.
  const std::string forty(40, 'N');
  const DeviceProfile p = Parse(R"({"processor": {"core": "A\tB\u0000C\u00e9", "name": ")" + forty +
                                R"(", "vendor": [65, 55296, 66], "catalog": "\ud83d\ude00"}})");
  ASSERT_TRUE(p.hal.processor.answer.has_value());
  const Bytes& cpu = *p.hal.processor.answer;
  EXPECT_EQ(Slice(cpu, 2, 14), WideBytes(u"A\tB\0C\u00e9\0"sv));
  EXPECT_EQ(Slice(cpu, 84, 80), WideBytes(std::u16string(40, u'N')));
  EXPECT_EQ(Slice(cpu, 164, 2), (Bytes{0, 0}));  // the full name runs up to the next field
  EXPECT_EQ(Slice(cpu, 166, 6), (Bytes{0x3D, 0xD8, 0x00, 0xDE, 0, 0}));
  EXPECT_EQ(Slice(cpu, 366, 8), (Bytes{65, 0, 0x00, 0xD8, 66, 0, 0, 0}));
}

TEST(ProfileLoader, ScalarForms) {
  const DeviceProfile p = Parse(R"({
    "clock": "2024-02-29 23:59:58.250",
    "processor": {"instruction_set": "0xFFFFFFFF"},
    "get_device_unique_id": {"result": "0x80004005", "bytes": "  0a   0B ", "length": 40},
    "co_create_guid": {"result": -2147024809,
                       "guid": "40 FC 29 6B 47 CA 67 10 B3 1D 00 DD 01 06 62 DA"},
    "bluetooth": {"address": "01:02:03:04:05:06:07:08", "getsockname_fails": true},
    "report_faults": {"operation": "write", "at": 3, "kind": "short-write", "persistent": true}
  })");
  EXPECT_EQ(p.clock.wYear, 2024);
  EXPECT_EQ(p.clock.wMonth, 2);
  EXPECT_EQ(p.clock.wDay, 29);
  EXPECT_EQ(p.clock.wDayOfWeek, 4);  // a Thursday
  EXPECT_EQ(p.clock.wHour, 23);
  EXPECT_EQ(p.clock.wSecond, 58);
  EXPECT_EQ(p.clock.wMilliseconds, 250);
  EXPECT_EQ(Slice(*p.hal.processor.answer, 568, 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(p.uniqueId.result, E_FAIL);
  EXPECT_EQ(p.uniqueId.bytes, (Bytes{0x0A, 0x0B}));
  EXPECT_EQ(p.uniqueId.length, 40u);
  EXPECT_EQ(p.guid.result, E_INVALIDARG);
  ASSERT_TRUE(p.guid.guid.has_value());
  EXPECT_EQ(p.guid.guid->Data1, 0x6b29fc40u);  // the same GUID as the navigation device's
  EXPECT_EQ(p.guid.guid->Data3, 0x1067);
  EXPECT_EQ(p.bluetooth.address, 0x0102030405060708u);
  EXPECT_TRUE(p.bluetooth.getsocknameFails);
  EXPECT_EQ(p.faults.operation, sim::FileFaults::Operation::kWrite);
  EXPECT_EQ(p.faults.kind, sim::FileFaults::Kind::kShortWrite);
  EXPECT_EQ(p.faults.at, 3);
  EXPECT_TRUE(p.faults.persistent);

  const DeviceProfile raw = Parse(R"({"clock": {"year": 1999, "day_of_week": 6}})");
  EXPECT_EQ(raw.clock.wYear, 1999);
  EXPECT_EQ(raw.clock.wMonth, 2);  // the other fields stay the default clock's
  EXPECT_EQ(raw.clock.wDayOfWeek, 6);
  EXPECT_EQ(raw.clock.wSecond, 7);
}

TEST(ProfileLoader, HalAnswers) {
  const DeviceProfile raw = Parse(R"({"hal": {
    "device_id": {"raw": "30 00 00 00 14 00 00 00 0C 00 00 00 20 00 00 00 10 00 00 00 41",
                  "refusals": 2, "refused_write": "DE AD"},
    "uuid": {"refusals": "all", "refused_write": "01 02 03"}}})");
  ASSERT_TRUE(raw.hal.deviceId.answer.has_value());
  EXPECT_EQ(raw.hal.deviceId.answer->size(), 21u);  // as given: its header's counts are not checked
  EXPECT_EQ(raw.hal.deviceId.answer->at(0), 0x30);
  EXPECT_EQ(raw.hal.deviceId.refusals, 2);
  EXPECT_EQ(raw.hal.deviceId.refusedWrite, (Bytes{0xDE, 0xAD}));
  EXPECT_FALSE(raw.hal.uuid.answer.has_value());
  EXPECT_EQ(raw.hal.uuid.refusedWrite, (Bytes{1, 2, 3}));

  // Every query refused, yet the size query of 20 bytes finds what the profile writes.
  sim::SimulatedDevice device(raw);
  BYTE header[20] = {};
  EXPECT_EQ(device.KernelIoControl(IOCTL_HAL_GET_UUID, nullptr, 0, header, 20, nullptr), FALSE);
  EXPECT_EQ(Bytes(header, header + 4), (Bytes{1, 2, 3, 0}));

  const DeviceProfile empty = Parse(R"({"hal": {"device_id": {}, "uuid": {}}})");
  EXPECT_EQ(empty.hal.deviceId.answer,
            (Bytes{20, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(empty.hal.uuid.answer, Bytes{});
}

TEST(ProfileLoader, RootStoresAndLibraries) {
  EXPECT_FALSE(Parse(R"({"files": {"\\a.txt": {"hex": ""}}})").rootGiven);
  const DeviceProfile emptyRoot = Parse(R"({"root": []})");
  EXPECT_TRUE(emptyRoot.rootGiven);
  ASSERT_TRUE(emptyRoot.root.has_value());
  EXPECT_TRUE(emptyRoot.root->empty());

  const DeviceProfile p = Parse(R"({
    "root": [{"name": "A", "volume": {"raw": "01 02 03", "bytes_returned": 0}},
             {"name": "B", "volume": {"fails": true}, "store": null},
             {"name": "C", "volume": {}}],
    "stores": {"DSK9:": {"serial": ""}},
    "libraries": {"MARINA_API": {"units": [48, 120, 4660]},
                  "naviapi": {"entry_point": false, "result": 0, "hex": "FF 00 41"}}
  })");
  ASSERT_EQ(p.root->size(), 3u);
  EXPECT_EQ((*p.root)[0].volume->reply, (Bytes{1, 2, 3}));
  EXPECT_EQ((*p.root)[0].volume->bytesReturned, 0u);
  EXPECT_TRUE((*p.root)[1].volume->fails);
  EXPECT_FALSE((*p.root)[1].store.has_value());
  EXPECT_FALSE((*p.root)[2].volume->fails);
  EXPECT_TRUE((*p.root)[2].volume->reply.empty());
  EXPECT_EQ(p.stores.at(u"DSK9:").reply,
            (Bytes{17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0}));
  EXPECT_EQ(p.libraries.at(u"MARINA_API").wideText, u"0x\u1234");
  EXPECT_EQ(p.libraries.at(u"MARINA_API").result, 1);
  EXPECT_FALSE(p.libraries.at(u"naviapi").hasEntryPoint);
  EXPECT_EQ(p.libraries.at(u"naviapi").result, 0);
  EXPECT_EQ(p.libraries.at(u"naviapi").narrowText, (Bytes{0xFF, 0x00, 0x41}));

  // A text that fills the entry point's whole buffer is accepted; one unit more is not.
  EXPECT_EQ(Parse(R"({"libraries": {"NAVIAPI": {"text": ")" + std::string(1024, 'x') + "\"}}}")
                .libraries.at(u"NAVIAPI")
                .narrowText.size(),
            1024u);
}

struct Invalid {
  std::string json;
  std::string message;
};

TEST(ProfileLoader, InvalidProfilesGetOneMessageNamingTheField) {
  const std::string long41(41, 'A');
  std::string emoji51;
  for (int i = 0; i < 51; ++i) emoji51 += "\xF0\x9F\x98\x80";  // U+1F600, two code units each
  const Invalid cases[] = {
      // The document itself.
      {R"({"clock": })",
       "parse error at line 1, column 11: syntax error while parsing value - unexpected '}'; "
       "expected '[', '{', or a literal"},
      {"{\n  \"root\": [\"a\",]\n}",
       "parse error at line 2, column 16: syntax error while parsing value - unexpected ']'; "
       "expected '[', '{', or a literal"},
      {"",
       "parse error at line 1, column 1: syntax error while parsing value - unexpected end of "
       "input; expected '[', '{', or a literal"},
      {R"({"processor": {"version": 1e400}})", "parse error: number overflow parsing '1e400'"},
      {R"({"oem_info": "\ud800"})",
       "parse error at line 1, column 21: syntax error while parsing value - invalid string: "
       "surrogate U+D800..U+DBFF must be followed by U+DC00..U+DFFF; last read: '\"\\ud800\"'"},
      {"[]", "top level: expected an object, got an array"},
      // Unknown and repeated keys, at any depth.
      {R"({"hal": {"device_id": {"presett": ""}}})",
       "hal.device_id.presett: unknown key (known keys: preset, platform, raw, refusals, "
       "refused_write)"},
      {R"({"adapters": {"list": [{}, {"ip_addresses": [{"ip": "1", "gw": "2"}]}]}})",
       "adapters.list[1].ip_addresses[0].gw: unknown key (known keys: ip, mask)"},
      {R"({"root": [{"name": "a", "volume": {"serial": "01", "serial": "02"}}]})",
       "root[0].volume.serial: duplicate key"},
      {R"({"stores": {"DSK1:": {}, "DSK1:": {}}})", "stores[\"DSK1:\"]: duplicate key"},
      // Wrong types and ranges.
      {R"({"version": {"major": "6"}})", "version.major: expected an integer, got \"6\""},
      {R"({"sockets_fail": 1})", "sockets_fail: expected true or false, got 1"},
      {R"({"processor_refusals": 1.5})", "processor_refusals: expected an integer, got 1.5"},
      {R"({"processor": {"version": 65536}})", "processor.version: 65536 is out of range 0..65535"},
      {R"({"adapters": {"list": [{"index": -1}]}})",
       "adapters.list[0].index: -1 is out of range 0..4294967295"},
      {R"({"co_create_guid": {"result": 2147483648}})",
       "co_create_guid.result: 2147483648 is out of range -2147483648..2147483647"},
      {R"({"get_device_unique_id": {"result": "0x8000400G"}})",
       "get_device_unique_id.result: \"0x8000400G\": bad hex number"},
      {R"({"oem_info": 5})", "oem_info: expected a string or an array of UTF-16 code units, got 5"},
      {R"({"processor": {"vendor": [65, 65536]}})",
       "processor.vendor[1]: 65536 is out of range 0..65535"},
      {R"({"report_medium": "readonly"})",
       "report_medium: \"readonly\": expected one of \"writable\", \"read-only\""},
      {R"({"report_faults": {"kind": "short-write"}})",
       "report_faults.kind: \"short-write\" needs \"operation\": \"write\""},
      {R"({"clock": "2026-02-30 09:05:07"})",
       "clock: \"2026-02-30 09:05:07\": no such date or time"},
      {R"({"clock": "2026-2-1 9:05:07"})",
       "clock: \"2026-2-1 9:05:07\": expected a time like \"2026-02-01 09:05:07\""},
      // Hex bytes.
      {R"({"hal": {"device_id": {"preset": "12 3G"}}})",
       "hal.device_id.preset: \"12 3G\": bad hex byte \"3G\""},
      {R"({"hal": {"uuid": {"bytes": "1234"}}})",
       "hal.uuid.bytes: \"1234\": bad hex byte \"1234\""},
      {R"({"files": {"\\x": {"hex": 12}}})",
       "files[\"\\\\x\"].hex: expected hex bytes like \"12 34 56 78\", got 12"},
      // Sizes.
      {R"({"processor": {"core": ")" + long41 + R"("}})",
       "processor.core: text of 41 UTF-16 code units is longer than its field (40)"},
      {R"({"processor": {"vendor": ")" + emoji51 + R"("}})",
       "processor.vendor: text of 102 UTF-16 code units is longer than its field (100)"},
      {R"({"version": {"service_pack": ")" + std::string(128, 'x') + R"("}})",
       "version.service_pack: text of 128 UTF-16 code units is longer than its field (127)"},
      {R"({"root": [{"name": "a", "store": ")" + std::string(32, 'S') + R"("}]})",
       "root[0].store: text of 32 UTF-16 code units is longer than its field (31)"},
      {R"({"hal": {"device_id": {"raw": "01 02"}}})",
       "hal.device_id.raw: 2 bytes, shorter than the 20-byte DEVICE_ID header"},
      {R"({"libraries": {"NAVIAPI": {"text": ")" + std::string(1025, 'x') + R"("}}})",
       "libraries.NAVIAPI.text: 1025 bytes, more than the entry point's 1024-unit buffer"},
      // GUIDs and addresses.
      {R"({"co_create_guid": {"guid": "{6b29fc40-ca47-1067-b31d-00dd010662d}"}})",
       "co_create_guid.guid: \"{6b29fc40-ca47-1067-b31d-00dd010662d}\": expected a GUID like "
       "\"{01234567-89ab-cdef-0123-456789abcdef}\" or 16 hex bytes"},
      {R"({"co_create_guid": {"guid": "40 FC 29 6B 47 CA 67 10 B3 1D 00 DD 01 06 62"}})",
       "co_create_guid.guid: \"40 FC 29 6B 47 CA 67 10 B3 1D 00 DD 01 06 62\": expected a GUID "
       "like \"{01234567-89ab-cdef-0123-456789abcdef}\" or 16 hex bytes"},
      {R"({"bluetooth": {"address": "00:11:22:33:44"}})",
       "bluetooth.address: \"00:11:22:33:44\": expected six (or eight) bytes like "
       "\"00:11:22:33:44:55\""},
      {R"({"bluetooth": {"address": "00-11-22-33-44-55"}})",
       "bluetooth.address: \"00-11-22-33-44-55\": expected six (or eight) bytes like "
       "\"00:11:22:33:44:55\""},
      {R"({"adapters": {"list": [{"address": "00:1:22"}]}})",
       "adapters.list[0].address: \"00:1:22\": expected bytes like \"00:11:22:33:44:55\""},
      {R"({"adapters": {"error_on_query": {"first": 31}}})",
       "adapters.error_on_query.first: expected a query number (\"1\", \"2\", ...) as the key"},
      // Combinations and names.
      {R"({"hal": {"device_id": {"raw": "", "preset": ""}}})",
       "hal.device_id.preset: cannot be given with \"raw\""},
      {R"({"hal": {"uuid": {"bytes": "01", "refusals": "all"}}})",
       "hal.uuid.bytes: cannot be given with \"refusals\": \"all\""},
      {R"({"hal": {"uuid": {"refusals": "some"}}})",
       "hal.uuid.refusals: expected a count or \"all\", got \"some\""},
      {R"({"root": [{"name": "a", "volume": {"fails": true, "serial": "01"}}]})",
       "root[0].volume.serial: cannot be given with \"fails\": true"},
      {R"({"root": [{"volume": {}}]})", "root[0]: needs a \"name\""},
      {R"({"root": ["Windows", "WINDOWS"]})", "root[1]: the same name as root[0]"},
      {R"({"root": ["a\\b"]})",
       "root[0]: \"a\\\\b\": expected a name in the root folder, like \"Storage Card\""},
      {R"({"root": [7]})", "root[0]: expected a name or an object, got 7"},
      {R"({"files": {"deviceid.txt": {"text": ""}}})",
       "files[\"deviceid.txt\"]: \"deviceid.txt\": expected a device path starting with \"\\\\\""},
      {R"({"files": {"\\a.txt": {"text": "", "hex": ""}}})",
       "files[\"\\\\a.txt\"]: expected exactly one of \"text\" and \"hex\""},
      {R"({"files": {"\\a.txt": {"text": ""}, "\\A.TXT": {"hex": ""}}})",
       "files[\"\\\\a.txt\"]: the same file as \"\\\\A.TXT\""},
      {R"({"libraries": {"naviapi.dll": {}}})",
       "libraries[\"naviapi.dll\"]: unknown library (known libraries: marina_api, NAVIAPI)"},
      {R"({"libraries": {"marina_api": {"hex": "01"}}})",
       "libraries.marina_api.hex: SD_CardID writes wide text: give \"text\" or \"units\""},
      {R"({"libraries": {"NAVIAPI": {"text": "a", "hex": "01"}}})",
       "libraries.NAVIAPI.hex: cannot be given with \"text\""},
  };
  for (const Invalid& c : cases) {
    std::string error;
    EXPECT_FALSE(sim::ParseProfile(c.json, &error).has_value()) << c.json;
    EXPECT_EQ(error, c.message) << c.json;
  }
}

TEST(ProfileLoader, FileMessagesNameTheFile) {
  std::string error;
  const std::string missing = kExamples + "no-such-profile.json";
  EXPECT_FALSE(sim::LoadProfileFile(missing, &error).has_value());
  EXPECT_EQ(error, missing + ": cannot be read");

  const std::string path = ::testing::TempDir() + "profile_loader_bad.json";
  {
    std::ofstream out(path, std::ios::binary);
    out << "{\n  \"bluetooth\": {\"address\": \"00:11\"}\n}\n";
  }
  EXPECT_FALSE(sim::LoadProfileFile(path, &error).has_value());
  EXPECT_EQ(error, path +
                       ": bluetooth.address: \"00:11\": expected six (or eight) bytes like "
                       "\"00:11:22:33:44:55\"");
  std::remove(path.c_str());
}

}  // namespace
