#include "aspi/request_block.h"

#include <cstring>

#include "win32/buffer_handles.h"

SRB RequestBlock;
std::uint8_t DataBuffer[DataBufferSize];

std::int32_t AdapterCount;
std::int32_t CurrentAdapter;
std::int32_t CurrentTarget;
std::int32_t ByteIndex;
std::int32_t FieldValue;
std::string WorkText;

void ClearRequestBlock() { std::memset(&RequestBlock, 0, sizeof RequestBlock); }

void ClearDataBuffer() { std::memset(DataBuffer, 0, sizeof DataBuffer); }

std::uint32_t DataBufferPointer() {
  static const std::uint32_t pointer = RegisterDataBuffer(DataBuffer, DataBufferSize);
  return pointer;
}
