// The network adapter report.
#include "probes/probes.h"

void DumpAdaptersInfo() {}
