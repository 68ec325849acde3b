#include "reports/ask_about_target.h"

#include "aspi/executor.h"
#include "aspi/request_block.h"

void AskAboutTarget(std::uint8_t command, std::int32_t target, std::int32_t adapter,
                    std::uint8_t lun) {
  ClearRequestBlock();
  RequestBlock.SRB_Cmd = command;
  RequestBlock.SRB_Hdr_Rsvd = 0;
  RequestBlock.SRB_HaId = static_cast<std::uint8_t>(adapter);
  RequestBlock.SRB_Target = static_cast<std::uint8_t>(target);
  RequestBlock.SRB_Lun = lun;
  ExecuteRequest(RequestBlock, false);
}
