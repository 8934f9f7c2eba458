// The identifier in the root's text file and the navigation library's identifier.
#include "probes/probes.h"

void GetTextDeviceID() {}
void Atlas_GetDeviceUUID() {}
