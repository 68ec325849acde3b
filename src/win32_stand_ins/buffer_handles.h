// Stand-ins for data buffer addresses in the request block.
//
// On Linux the request block carries buffer addresses in 32-bit fields: a
// 64-bit build registers the buffer here and stores the small number it
// gets, which the ASPI layer turns back into the address. The program and
// the layer share this table through the one shared library that holds it.
// On Windows the field is as wide as an address and the handle is the
// address itself (aspi/windows_buffer_addresses.cpp).
#pragma once

#include <cstdint>

// What SRB_BufPointer holds for a buffer; the same type as SrbPointer.
#ifdef _WIN64
using BufferHandle = std::uint64_t;
#else
using BufferHandle = std::uint32_t;
#endif

extern "C" {
// Registers [address, address + length) and returns its handle; registering
// the same address again returns the same handle (with the new length).
// Returns 0 only for a null address.
BufferHandle RegisterDataBuffer(void* address, std::uint32_t length);

// Forgets a handle; it is never given out again, so a lookup of it from
// then on finds nothing.
void UnregisterDataBuffer(BufferHandle handle);

// The address and registered length behind a handle, or null (length 0)
// for a handle that was never given out.
void* LookupDataBuffer(BufferHandle handle, std::uint32_t* length);
}
