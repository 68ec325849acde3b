#include "aspi/request_block.h"

#include <cstring>
#include <type_traits>

#include "win32_stand_ins/buffer_handles.h"

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

static_assert(std::is_same_v<SrbPointer, BufferHandle>);

SrbPointer DataBufferPointer() {
  static const SrbPointer pointer = RegisterDataBuffer(DataBuffer, DataBufferSize);
  return pointer;
}
