// Pieces of the network adapter report that tests call directly.
#pragma once

#include <cstddef>

#include "platform/iphlpapi.h"
#include "platform/types.h"

// The number on the " - Adapter Addr: " line: the last four significant bytes of the hardware
// address (AddressLength of them, at most 8) read as one big-endian 32-bit value and taken as
// signed; fewer than four significant bytes give those bytes alone, none gives 0.
LONG AdapterAddressNumber(const BYTE (&address)[MAX_ADAPTER_ADDRESS_LENGTH], UINT length);

// Writes the lines of every adapter of the list that starts at `first`, the start of a buffer of
// `bufferSize` bytes. The walk stops at a record that does not lie wholly inside the buffer and
// after as many records as the buffer can hold; each text is read no further than its field.
void LogAdapterList(const IP_ADAPTER_INFO* first, std::size_t bufferSize);
