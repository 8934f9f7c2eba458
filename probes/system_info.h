// The processor query and the printable-text rewrite that the system report uses.
#pragma once

#include "device/hal.h"
#include "platform/types.h"

// Asks the HAL for the processor record. True when the kernel I/O control succeeds; `info` is
// written only then.
bool QueryProcessorInfo(PROCESSOR_INFO& info);

// Rewrites `text` in place, looking at no more than `limit` characters and stopping at the first
// NUL: every character outside 32..126 becomes '?'. A null `text` or a limit of 0 changes nothing.
void MakePrintable(WCHAR* text, UINT limit);
