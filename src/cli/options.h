// busview-report's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cp932_output.h"

struct Options {
  bool detailed = false;
  bool json = false;
  // The JSON document's facts in the Prometheus text format.
  bool prometheus = false;
  // Every target ID the adapters have and every LUN, not just the window's.
  bool all = false;
  bool help = false;
  bool version = false;
  std::optional<std::int32_t> adapter;
  std::optional<std::int32_t> target;
  std::optional<Encoding> encoding;
  std::optional<std::string> bus;
  // The report goes to this file, which it replaces once it is whole.
  std::optional<std::string> output;
  // The arguments as given, for the JSON document.
  std::vector<std::string> arguments;
};

// Why a command line was refused. `Usage`: `text` is the whole message
// (ASCII). `NotAnInteger`: `text` is the part that is no integer, told with
// the window's message. `NoAdapter`: an empty adapter text, told with the
// window's request to select one.
struct OptionError {
  enum class Kind { Usage, NotAnInteger, NoAdapter };
  Kind kind;
  std::string text;
};

struct ParsedOptions {
  Options options;
  std::optional<OptionError> error;
};

ParsedOptions ParseOptions(const std::vector<std::string_view>& arguments);

// The usage text --help prints.
extern const char* const UsageText;
