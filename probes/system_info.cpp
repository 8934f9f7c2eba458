// OEM and platform texts, operating-system version and processor.
#include "probes/probes.h"

void ReportSystemInfo() {}
