#include "reports/ask_about_target.h"

#include "aspi/executor.h"
#include "aspi/request_block.h"

void AskAboutTarget(std::uint8_t command, const Unit& unit) {
  ClearRequestBlock();
  RequestBlock.SRB_Cmd = command;
  RequestBlock.SRB_Hdr_Rsvd = 0;
  RequestBlock.SRB_HaId = static_cast<std::uint8_t>(unit.adapter);
  RequestBlock.SRB_Target = static_cast<std::uint8_t>(unit.target);
  RequestBlock.SRB_Lun = unit.lun;
  ExecuteRequest(RequestBlock, false);
}
