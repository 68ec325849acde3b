// For the lab's programs that ask one host adapter through the executor.
#pragma once

#include <cstdint>
#include <string>

#include "aspi/executor.h"
#include "aspi/request_block.h"

// The number of the first host adapter whose identifier (the host's driver
// name) begins with `name`; -1 when none does.
inline int FindAdapter(const std::string& name) {
  for (int adapter = 0; adapter < 255; ++adapter) {
    ClearRequestBlock();
    RequestBlock.SRB_Cmd = SC_HA_INQUIRY;
    RequestBlock.SRB_HaId = static_cast<std::uint8_t>(adapter);
    ExecuteRequest(RequestBlock, false);
    if (RequestBlock.SRB_Status != SS_COMP) return -1;
    const std::string identifier(reinterpret_cast<const char*>(RequestBlock.HA_Identifier), 16);
    if (identifier.starts_with(name)) return adapter;
  }
  return -1;
}
