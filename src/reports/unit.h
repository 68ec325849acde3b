// One device on the buses: host adapter, target ID and logical unit, in one
// record, so that the numbers cannot change places on their way.
#pragma once

#include <cstdint>

// Written with designated initialisers, all three named:
// `{.adapter = a, .target = t, .lun = 0}`. Adapter and target are kept as
// given (a header shows them so); a request block takes their low bytes.
// A LUN is one byte, as SRB_Lun is.
struct Unit {
  std::int32_t adapter;
  std::int32_t target;
  std::uint8_t lun;
};
