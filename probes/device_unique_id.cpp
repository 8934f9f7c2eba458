// The system's per-application device identifier.
#include "probes/probes.h"

void DumpDeviceUniqueID() {}
