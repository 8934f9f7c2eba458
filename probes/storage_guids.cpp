// Storage card identifiers of the root folder's entries.
#include "probes/probes.h"

void dumpStoregeGuids() {}
