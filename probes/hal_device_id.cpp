// The HAL's device identifier, asked with a learned and with a fixed size.
#include "probes/probes.h"

void DumpDeviceGUID(HalOutputBuffer& /*halOutput*/) {}
void DumpDeviceGUID2(HalOutputBuffer& /*halOutput*/) {}
