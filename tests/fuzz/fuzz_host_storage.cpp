// Fuzz target: the parsers of this machine's storage facts (mount table and the mount of a path,
// SCSI serial number page, udev database record) and the storage identification reply.
//
// The first byte chooses the parser. The mount table takes a path (a length-prefixed piece) and
// then the table's text; the reply takes its room (0 to 1100 bytes) and then the serial.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/linux/host_storage.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz::Require;

bool HasNul(std::string_view text) {
  return text.find('\0') != std::string_view::npos;
}

// A serial as ReadDiskSerial cleans it: no NUL, no blank at either end, not empty.
void CheckSerial(const std::optional<std::string>& serial, std::string_view input) {
  if (!serial) return;
  Require(!serial->empty() && !HasNul(*serial), "serial empty or with a NUL byte", input);
  for (char blank : {' ', '\t', '\r', '\n'}) {
    Require(!serial->starts_with(blank) && !serial->ends_with(blank),
            "serial with a blank at an end", input);
  }
}

void FuzzMountInfo(fuzz::Input& in) {
  const std::string path = in.Narrow(200);
  const fuzz::Bytes rest = in.Rest();
  const std::string text(rest.begin(), rest.end());
  const std::vector<host::MountEntry> entries = host::ParseMountInfo(text);
  for (const host::MountEntry& e : entries) {
    Require(e.mountPoint.starts_with('/'), "mount point not absolute", e.mountPoint);
    for (const std::string* field : {&e.root, &e.mountPoint, &e.fsType, &e.source}) {
      Require(!HasNul(*field), "mount field with a NUL byte", *field);
    }
  }
  const auto mount = host::FindMountFor(entries, path);
  if (mount) {
    Require(path.starts_with('/'), "mount found for a relative path", path);
    Require(std::find(entries.begin(), entries.end(), *mount) != entries.end(),
            "mount found that is not in the table", path);
  }
  if (host::IsMountPoint(entries, path)) {
    Require(mount.has_value(), "a mount point with no mount", path);
  }
}

void FuzzReply(fuzz::Input& in) {
  const std::size_t room = in.U16() % 1101;
  const bool nullCount = in.Bool();
  const fuzz::Bytes rest = in.Rest();
  const std::string serial(rest.begin(), rest.end());

  // Exactly `room` bytes on the heap behind a span, filled with a canary.
  constexpr std::uint8_t kCanary = 0xA5;
  auto reply = std::make_unique<std::uint8_t[]>(std::max<std::size_t>(room, 1));
  std::fill_n(reply.get(), room, kCanary);
  std::uint32_t bytesReturned = 0xDEADBEEF;
  const bool ok = host::BuildStorageIdReply(serial, std::span<std::uint8_t>(reply.get(), room),
                                            nullCount ? nullptr : &bytesReturned);
  const std::size_t needed = host::kStorageIdHeaderBytes + serial.size() + 1;
  auto untouchedFrom = [&](std::size_t from) {
    return std::all_of(reply.get() + std::min(from, room), reply.get() + room,
                       [](std::uint8_t b) { return b == kCanary; });
  };
  auto dword = [&](std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 4; ++k)
      value |= static_cast<std::uint32_t>(reply[at + k]) << (8 * k);
    return value;
  };

  if (serial.empty() || HasNul(serial)) {
    Require(!ok && untouchedFrom(0), "reply written for a serial it cannot carry", serial);
    return;
  }
  if (room >= needed) {
    Require(ok, "reply that fits refused", serial);
    Require(dword(0) == needed && dword(4) == host::kStorageIdSerialNumberValid &&
                dword(8) == host::kStorageIdNoManufactureId &&
                dword(12) == host::kStorageIdHeaderBytes,
            "reply header wrong", serial);
    Require(std::memcmp(reply.get() + 16, serial.data(), serial.size()) == 0 &&
                reply[16 + serial.size()] == 0,
            "reply serial wrong", serial);
    Require(untouchedFrom(needed), "reply written past its size", serial);
    if (!nullCount) Require(bytesReturned == needed, "reply size not returned", serial);
    return;
  }
  Require(!ok, "reply that does not fit accepted", serial);
  if (!nullCount) Require(bytesReturned == 0, "refused reply returned bytes", serial);
  if (room >= host::kStorageIdHeaderBytes) {
    Require(dword(0) == needed, "refused reply does not say the size needed", serial);
    Require(untouchedFrom(host::kStorageIdHeaderBytes), "refused reply wrote past its header",
            serial);
  } else if (room >= 4) {
    Require(dword(0) == needed && untouchedFrom(4), "short refused reply wrong", serial);
  } else {
    Require(untouchedFrom(0), "reply of under 4 bytes written", serial);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  const BYTE choice = in.Byte() % 4;
  if (choice == 0) {
    FuzzMountInfo(in);
    return 0;
  }
  if (choice == 3) {
    FuzzReply(in);
    return 0;
  }
  const fuzz::Bytes rest = in.Rest();
  if (choice == 1) {
    // An exactly sized copy behind the span, so that a read past the page is caught.
    auto page = std::make_unique<std::uint8_t[]>(std::max<std::size_t>(rest.size(), 1));
    std::copy(rest.begin(), rest.end(), page.get());
    CheckSerial(host::ParseVpdPg80(std::span<const std::uint8_t>(page.get(), rest.size())),
                std::string(rest.begin(), rest.end()));
  } else {
    const std::string text(rest.begin(), rest.end());
    CheckSerial(host::ParseUdevSerial(text), text);
  }
  return 0;
}
