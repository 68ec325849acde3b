// 32-bit stand-ins for data buffer addresses.
//
// The request block carries buffer addresses in 32-bit fields. A 32-bit
// build stores the address itself; a 64-bit build registers the buffer here
// and stores the small number it gets, which the ASPI layer turns back into
// the address. The program and the layer share this table through the one
// shared library that holds it.
#pragma once

#include <cstdint>

extern "C" {
// Registers [address, address + length) and returns its handle; registering
// the same address again returns the same handle (with the new length).
// Returns 0 only for a null address.
std::uint32_t RegisterDataBuffer(void* address, std::uint32_t length);

// Forgets a handle; it is never given out again, so a lookup of it from
// then on finds nothing.
void UnregisterDataBuffer(std::uint32_t handle);

// The address and registered length behind a handle, or null (length 0)
// for a handle that was never given out.
void* LookupDataBuffer(std::uint32_t handle, std::uint32_t* length);
}
