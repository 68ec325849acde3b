#include "aspi/executor.h"
#include "aspi/request_block.h"
#include "reports/device_facts.h"
#include "reports/device_reports.h"
#include "reports/format.h"
#include "reports/report_window.h"
#include "reports/texts.h"
#include "scsi/commands.h"

namespace {

using scsi::GetBigEndian;

void PrepareCommand(const Unit& unit, std::uint32_t bufferLength, std::uint8_t cdbLength) {
  ClearDataBuffer();
  ClearRequestBlock();
  RequestBlock.SRB_Cmd = SC_EXEC_SCSI_CMD;
  RequestBlock.SRB_HaId = static_cast<std::uint8_t>(unit.adapter);
  RequestBlock.SRB_Flags = 0;
  RequestBlock.SRB_Target = static_cast<std::uint8_t>(unit.target);
  RequestBlock.SRB_Lun = unit.lun;
  RequestBlock.SRB_BufLen = bufferLength;
  RequestBlock.SRB_BufPointer = DataBufferPointer();
  RequestBlock.SRB_SenseLen = 14;
  RequestBlock.SRB_CDBLen = cdbLength;
}

// READ CAPACITY (16), asking for the whole 32-byte reply. Leaves
// `capacity` as it was when the command does not complete or its reply
// cannot be right: a block length of 0, which is also what a reply too
// short to hold one leaves in the cleared buffer.
void ReadLongCapacity(const Unit& unit, Capacity& capacity) {
  PrepareCommand(unit, scsi::ReadCapacity16Length, 16);
  RequestBlock.CDBByte[0] = scsi::ServiceActionIn16;
  RequestBlock.CDBByte[1] = scsi::ReadCapacity16Action;
  scsi::PutBigEndian(RequestBlock.CDBByte, scsi::ReadCapacity16AllocationLength,
                     scsi::ReadCapacity16Length);
  ExecuteRequest(RequestBlock, true);
  if (RequestBlock.SRB_Status != SS_COMP) return;
  const auto blockLength = static_cast<std::uint32_t>(GetBigEndian(DataBuffer + 8, 4));
  if (blockLength == 0) return;
  capacity.lastAddress = GetBigEndian(DataBuffer, 8);
  capacity.blockLength = blockLength;
}

}  // namespace

bool ReadCapacity(const Unit& unit, Capacity& capacity) {
  PrepareCommand(unit, scsi::ReadCapacity10Length, 10);
  RequestBlock.CDBByte[0] = scsi::ReadCapacity10;
  ExecuteRequest(RequestBlock, true);
  if (RequestBlock.SRB_Status != SS_COMP) return false;

  capacity = {GetBigEndian(DataBuffer, 4),
              static_cast<std::uint32_t>(GetBigEndian(DataBuffer + 4, 4))};
  if (capacity.lastAddress == scsi::LastAddressTooLarge)
    ReadLongCapacity(unit, capacity);
  return true;
}

void ReportCapacity(std::int32_t target, std::int32_t adapter, std::uint8_t lun) {
  const ReportTexts& texts = Texts();
  MainWindow->AppendMemo1(" ");

  Capacity capacity;
  if (!ReadCapacity({.adapter = adapter, .target = target, .lun = lun}, capacity)) return;

  MainWindow->AppendMemo1(texts.readCapacityTitle);
  MainWindow->AppendMemo1(ReportLine(texts.sectorSizeLabel, capacity.blockLength));
  MainWindow->AppendMemo1(ReportNumberLine(texts.capacityLabel, CapacityMegabytes(capacity)));
}
