// The HAL's UUID, offered 1024 and 16 bytes.
#include "probes/probes.h"

void DumpDeviceUUID(HalOutputBuffer& /*halOutput*/) {}
void DumpDeviceUUID2(HalOutputBuffer& /*halOutput*/) {}
