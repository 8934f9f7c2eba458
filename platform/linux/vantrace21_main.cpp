// vantrace21: the report of this Linux machine, written to log_guids.txt beside the executable.
#include <memory>

#include "platform/linux/linux_device.h"
#include "platform/mfc.h"

int main() {
  InstallDevice(std::make_unique<LinuxDevice>());
  return AfxWinMain();
}
