// This machine's sockets: the Bluetooth radio's address through the kernel's HCI interface.
//
// A Bluetooth socket of the platform stands for the machine's radio. Its own address is what the
// kernel's HCI control interface reports for the first radio, which any user may ask for; no
// connection is ever made. A kernel without Bluetooth refuses the HCI socket, and so the socket is
// refused here.
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>

#include "platform/linux/linux_device.h"

namespace {

// The platform's Bluetooth address family and socket address (its socket header cannot stand
// beside the host's, so the record is restated here, with its layout checked).
constexpr int kAfBt = 32;
struct SocketAddressBth {
  USHORT addressFamily;
  ULONGLONG btAddr;  // BT_ADDR
  GUID serviceClassId;
  ULONG port;
};
static_assert(sizeof(SocketAddressBth) == 40);
static_assert(offsetof(SocketAddressBth, btAddr) == 8);
static_assert(offsetof(SocketAddressBth, port) == 32);

// The kernel's HCI control interface, as its user ABI defines it.
constexpr int kAfBluetooth = 31;
constexpr int kBtprotoHci = 1;
constexpr unsigned long kHciGetDevList = _IOR('H', 210, int);
constexpr unsigned long kHciGetDevInfo = _IOR('H', 211, int);
constexpr std::uint16_t kHciMaxDevices = 16;

struct HciDevRequest {
  std::uint16_t devId;
  std::uint32_t devOpt;
};
static_assert(sizeof(HciDevRequest) == 8);

struct HciDevListRequest {
  std::uint16_t devNum;
  HciDevRequest devReq[kHciMaxDevices];
};
static_assert(offsetof(HciDevListRequest, devReq) == 4);

struct HciDevStats {
  std::uint32_t errRx, errTx, cmdTx, evtRx, aclTx, aclRx, scoTx, scoRx, byteRx, byteTx;
};

struct HciDevInfo {
  std::uint16_t devId;
  char name[8];
  std::uint8_t bdaddr[6];  // least significant byte first
  std::uint32_t flags;
  std::uint8_t type;
  std::uint8_t features[8];
  std::uint32_t pktType;
  std::uint32_t linkPolicy;
  std::uint32_t linkMode;
  std::uint16_t aclMtu;
  std::uint16_t aclPkts;
  std::uint16_t scoMtu;
  std::uint16_t scoPkts;
  HciDevStats stat;
};
static_assert(offsetof(HciDevInfo, bdaddr) == 10);
static_assert(offsetof(HciDevInfo, flags) == 16);
static_assert(offsetof(HciDevInfo, pktType) == 32);
static_assert(sizeof(HciDevInfo) == 92);

int IoctlRetrying(int fd, unsigned long request, void* argument) {
  for (;;) {
    const int result = ::ioctl(fd, request, argument);
    if (result >= 0 || errno != EINTR) return result;
  }
}

// The address of the first radio that has one, as the platform's 64-bit address (the kernel keeps
// the six bytes least significant first); nullopt when the machine has no radio with an address
// (a radio that has not been brought up yet reports all zeros).
std::optional<ULONGLONG> FirstRadioAddress(int fd) {
  HciDevListRequest list{};
  list.devNum = kHciMaxDevices;
  if (IoctlRetrying(fd, kHciGetDevList, &list) < 0) return std::nullopt;
  const std::uint16_t count = list.devNum < kHciMaxDevices ? list.devNum : kHciMaxDevices;
  for (std::uint16_t i = 0; i < count; ++i) {
    HciDevInfo info{};
    info.devId = list.devReq[i].devId;
    if (IoctlRetrying(fd, kHciGetDevInfo, &info) < 0) continue;
    ULONGLONG address = 0;
    for (std::size_t b = 0; b < sizeof info.bdaddr; ++b) {
      address |= static_cast<ULONGLONG>(info.bdaddr[b]) << (8 * b);
    }
    if (address != 0) return address;
  }
  return std::nullopt;
}

}  // namespace

struct LinuxDevice::SocketState {
  struct Open {
    int fd = -1;
    bool bound = false;
  };
  std::map<std::uint32_t, Open> open;
  std::uint32_t next = 1;
};
void LinuxDevice::AreaDeleter::operator()(SocketState* state) const {
  for (const auto& [number, socket] : state->open) ::close(socket.fd);
  delete state;
}
LinuxDevice::SocketState& LinuxDevice::sockets() {
  if (!sockets_) sockets_.reset(new SocketState{});
  return *sockets_;
}

bool LinuxDevice::StartSockets() {
  return true;
}

// Only the Bluetooth address family is offered; the socket's type and protocol do not change
// what it can tell, its own address.
std::uint32_t LinuxDevice::OpenSocket(int family, int /*type*/, int /*protocol*/) {
  if (family != kAfBt) return 0;
  const int fd = ::socket(kAfBluetooth, SOCK_RAW | SOCK_CLOEXEC, kBtprotoHci);
  if (fd < 0) return 0;
  SocketState& state = sockets();
  while (state.next == 0 || state.open.count(state.next) != 0) ++state.next;
  const std::uint32_t number = state.next++;
  state.open[number] = {fd, false};
  return number;
}

// Binding takes the local radio ("any" address, port 0): the socket then has an address of its
// own. Choosing a particular radio or port is not offered.
bool LinuxDevice::BindSocket(std::uint32_t socket, const void* address, int length) {
  auto it = sockets().open.find(socket);
  if (it == sockets().open.end() || address == nullptr ||
      length < static_cast<int>(sizeof(SocketAddressBth))) {
    return false;
  }
  SocketAddressBth wanted{};
  std::memcpy(&wanted, address, sizeof wanted);
  if (wanted.addressFamily != kAfBt || wanted.btAddr != 0 || wanted.port != 0 || it->second.bound) {
    return false;
  }
  it->second.bound = true;
  return true;
}

bool LinuxDevice::SocketName(std::uint32_t socket, void* address, int* length) {
  auto it = sockets().open.find(socket);
  if (it == sockets().open.end() || !it->second.bound || address == nullptr || length == nullptr ||
      *length < static_cast<int>(sizeof(SocketAddressBth))) {
    return false;
  }
  const auto radio = FirstRadioAddress(it->second.fd);
  if (!radio) return false;
  SocketAddressBth name{};
  name.addressFamily = kAfBt;
  name.btAddr = *radio;
  std::memcpy(address, &name, sizeof name);
  *length = sizeof name;
  return true;
}

void LinuxDevice::CloseSocket(std::uint32_t socket) {
  auto it = sockets().open.find(socket);
  if (it == sockets().open.end()) return;
  ::close(it->second.fd);
  sockets().open.erase(it);
}
