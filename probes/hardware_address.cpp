// Hardware addresses: the node of a fresh GUID and the Bluetooth radio's address.
#include "probes/probes.h"

void GetMACaddress1() {}
void DumpBluetoothAddress() {}
bool getMicrosoftBluetoothAddress(WCHAR* /*text*/) {
  return false;
}
