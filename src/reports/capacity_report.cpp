#include "aspi/executor.h"
#include "aspi/request_block.h"
#include "reports/device_facts.h"
#include "reports/device_reports.h"
#include "reports/format.h"
#include "reports/report_window.h"
#include "reports/texts.h"

namespace {

// READ CAPACITY (10) answers with this last block address when the device
// has more blocks than the field holds; READ CAPACITY (16) then tells.
constexpr std::uint32_t LastAddressTooLarge = 0xFFFFFFFF;
constexpr std::uint32_t ReadCapacity16Length = 32;

std::uint64_t BigEndian(const std::uint8_t* bytes, int count) {
  std::uint64_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | bytes[i];
  return value;
}

void PrepareCommand(std::int32_t target, std::int32_t adapter, std::uint32_t bufferLength,
                    std::uint8_t cdbLength) {
  ClearDataBuffer();
  ClearRequestBlock();
  RequestBlock.SRB_Cmd = SC_EXEC_SCSI_CMD;
  RequestBlock.SRB_HaId = static_cast<std::uint8_t>(adapter);
  RequestBlock.SRB_Flags = 0;
  RequestBlock.SRB_Target = static_cast<std::uint8_t>(target);
  RequestBlock.SRB_Lun = 0;
  RequestBlock.SRB_BufLen = bufferLength;
  RequestBlock.SRB_BufPointer = DataBufferPointer();
  RequestBlock.SRB_SenseLen = 14;
  RequestBlock.SRB_CDBLen = cdbLength;
}

// READ CAPACITY (16), SBC: service action 10h, allocation length 32. Leaves
// `capacity` as it was when the command does not complete or its reply
// cannot be right: a block length of 0, which is also what a reply too
// short to hold one leaves in the cleared buffer.
void ReadLongCapacity(std::int32_t target, std::int32_t adapter, Capacity& capacity) {
  PrepareCommand(target, adapter, ReadCapacity16Length, 16);
  RequestBlock.CDBByte[0] = 0x9E;
  RequestBlock.CDBByte[1] = 0x10;
  RequestBlock.CDBByte[10] = static_cast<std::uint8_t>(ReadCapacity16Length >> 24);
  RequestBlock.CDBByte[11] = static_cast<std::uint8_t>(ReadCapacity16Length >> 16);
  RequestBlock.CDBByte[12] = static_cast<std::uint8_t>(ReadCapacity16Length >> 8);
  RequestBlock.CDBByte[13] = static_cast<std::uint8_t>(ReadCapacity16Length);
  ExecuteRequest(RequestBlock, true);
  if (RequestBlock.SRB_Status != SS_COMP) return;
  const auto blockLength = static_cast<std::uint32_t>(BigEndian(DataBuffer + 8, 4));
  if (blockLength == 0) return;
  capacity.lastAddress = BigEndian(DataBuffer, 8);
  capacity.blockLength = blockLength;
}

}  // namespace

bool ReadCapacity(std::int32_t target, std::int32_t adapter, Capacity& capacity) {
  PrepareCommand(target, adapter, 8, 10);
  RequestBlock.CDBByte[0] = 0x25;
  ExecuteRequest(RequestBlock, true);
  if (RequestBlock.SRB_Status != SS_COMP) return false;

  capacity = {BigEndian(DataBuffer, 4), static_cast<std::uint32_t>(BigEndian(DataBuffer + 4, 4))};
  if (capacity.lastAddress == LastAddressTooLarge) ReadLongCapacity(target, adapter, capacity);
  return true;
}

void ReportCapacity(std::int32_t target, std::int32_t adapter) {
  const ReportTexts& texts = Texts();
  MainWindow->AppendMemo1(" ");

  Capacity capacity;
  if (!ReadCapacity(target, adapter, capacity)) return;

  MainWindow->AppendMemo1(texts.readCapacityTitle);
  MainWindow->AppendMemo1(ReportLine(texts.sectorSizeLabel, capacity.blockLength));
  MainWindow->AppendMemo1(ReportNumberLine(texts.capacityLabel, CapacityMegabytes(capacity)));
}
