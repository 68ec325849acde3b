// Reading a bus file (JSON) into the simulated bus.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "wnaspi32/sim/bus.h"

namespace wnaspi32::sim {

// Where a bus file is wrong, and how.
struct FieldError {
  std::string place;
  std::string problem;
};

// The bus `text` describes, or nothing with `error` saying where and what is
// wrong (the place is "line L, column C" for bad JSON, else a key path).
std::optional<Bus> ParseBus(std::string_view text, FieldError& error);

// Reads and parses the file at `path`. On failure `error` is one line that
// names the file, the place and the problem.
std::optional<Bus> LoadBusFile(const std::string& path, std::string& error);

}  // namespace wnaspi32::sim
