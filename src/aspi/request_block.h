// The one request block, the data-in buffer and the program-wide values
// that the reports and the commands share.
#pragma once

#include <cstdint>
#include <string>

#include "wnaspi32.h"

// Every request of the program passes through this one block, one request
// after the other.
extern SRB RequestBlock;

constexpr std::uint32_t DataBufferSize = 81;
// The data-in buffer of the SCSI commands; their data lands at offset 0.
extern std::uint8_t DataBuffer[DataBufferSize];

extern std::int32_t AdapterCount;
extern std::int32_t CurrentAdapter;
extern std::int32_t CurrentTarget;
extern std::int32_t ByteIndex;
extern std::int32_t FieldValue;
// The value under construction for one line: code page 932 bytes.
extern std::string WorkText;

// Sets all bytes of RequestBlock to zero (100; 112 on 64-bit Windows).
void ClearRequestBlock();

// Sets all bytes of DataBuffer to zero.
void ClearDataBuffer();

// What goes into SRB_BufPointer for DataBuffer: its address on Windows, a
// registered 32-bit handle of it on Linux.
SrbPointer DataBufferPointer();
