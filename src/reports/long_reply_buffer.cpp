#include "reports/long_reply_buffer.h"

#include "win32_stand_ins/buffer_handles.h"

std::uint8_t LongReplyBuffer[LongReplyBufferSize];

SrbPointer LongReplyBufferPointer() {
  static const SrbPointer pointer = RegisterDataBuffer(LongReplyBuffer, LongReplyBufferSize);
  return pointer;
}

#include <algorithm>
#include <cstring>

#include "aspi/executor.h"
#include "aspi/request_block.h"

std::optional<std::span<const std::uint8_t>> SendForLongReply(const Unit& unit,
                                                              std::span<const std::uint8_t> cdb,
                                                              std::uint32_t length,
                                                              bool residualCounts) {
  length = std::min(length, LongReplyBufferSize);
  std::memset(LongReplyBuffer, 0, length);
  ClearRequestBlock();
  RequestBlock.SRB_Cmd = SC_EXEC_SCSI_CMD;
  RequestBlock.SRB_HaId = static_cast<std::uint8_t>(unit.adapter);
  RequestBlock.SRB_Flags = SRB_ENABLE_RESIDUAL_COUNT;
  RequestBlock.SRB_Target = static_cast<std::uint8_t>(unit.target);
  RequestBlock.SRB_Lun = unit.lun;
  RequestBlock.SRB_BufLen = length;
  RequestBlock.SRB_BufPointer = LongReplyBufferPointer();
  RequestBlock.SRB_SenseLen = 14;
  RequestBlock.SRB_CDBLen = static_cast<std::uint8_t>(std::min(cdb.size(), sizeof RequestBlock.CDBByte));
  std::copy_n(cdb.begin(), RequestBlock.SRB_CDBLen, RequestBlock.CDBByte);
  ExecuteRequest(RequestBlock, true);
  if (RequestBlock.SRB_Status != SS_COMP) return std::nullopt;
  const std::uint32_t residual = residualCounts ? std::min(RequestBlock.SRB_BufLen, length) : 0;
  return std::span<const std::uint8_t>(LongReplyBuffer, length - residual);
}
