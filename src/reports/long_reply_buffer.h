// The data-in buffer of the replies longer than DataBuffer's 81 bytes: the
// vital product data pages and the LUN lists that busview-report asks for.
#pragma once

#include <cstdint>

#include "reports/unit.h"
#include "wnaspi32.h"

// Our adapters move at most 64 KiB in one transfer; a page's length field
// reaches 4 + 65535 bytes.
constexpr std::uint32_t LongReplyBufferSize = 64 * 1024;
extern std::uint8_t LongReplyBuffer[LongReplyBufferSize];

// What goes into SRB_BufPointer for LongReplyBuffer, as for DataBuffer.
SrbPointer LongReplyBufferPointer();

#include <optional>
#include <span>

// A data-in command of busview-report's own, the window never sends: `cdb`
// to `unit`, `length` bytes of LongReplyBuffer offered (cleared first), with
// notification and the residual count asked for. The bytes that came back
// (all `length` of them when the layer does not count, `residualCounts`
// false), or nothing when the command did not complete.
std::optional<std::span<const std::uint8_t>> SendForLongReply(const Unit& unit,
                                                              std::span<const std::uint8_t> cdb,
                                                              std::uint32_t length,
                                                              bool residualCounts);
