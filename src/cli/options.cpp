#include "cli/options.h"

#include "text/integer_text.h"

namespace {

// The first character of `text`: one byte, or a whole UTF-8 sequence.
std::string_view FirstCharacter(std::string_view text) {
  if (text.empty()) return text;
  std::size_t length = 1;
  if (static_cast<unsigned char>(text[0]) >= 0xC0) {
    while (length < text.size() && length < 4 &&
           (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
      ++length;
    }
  }
  return text.substr(0, length);
}

// The adapter number at the start of a text, as the window takes it from
// its adapter list: the run of decimal digits the text begins with.
std::optional<std::int32_t> AdapterNumber(std::string_view text, std::string& failed) {
  const std::size_t digits = LeadingDigitCount(text);
  failed = digits == 0 ? std::string(FirstCharacter(text)) : std::string(text.substr(0, digits));
  return digits == 0 ? std::nullopt : ParseInteger(text.substr(0, digits));
}

}  // namespace

const char* const UsageText =
    "Usage: busview-report [--detailed] [--all] [--adapter N [--target T]]\n"
    "                      [--json|--prometheus] [--encoding utf-8|cp932]\n"
    "                      [--bus FILE] [--output FILE]\n"
    "\n"
    "Lists the SCSI host adapters and the devices at target IDs 0 to 7, as\n"
    "busview's window does, on standard output.\n"
    "\n"
    "  --detailed        for every answering target, the detailed display\n"
    "                    (INT 13h geometry, inquiry details, capacity,\n"
    "                    serial number and identifiers)\n"
    "  --all             every target ID each adapter has and every LUN\n"
    "  --adapter N       only host adapter N\n"
    "  --target T        with --adapter: one detailed display of target T\n"
    "  --json            the decoded facts as one JSON document (UTF-8)\n"
    "  --prometheus      the same facts as Prometheus metrics (text format,\n"
    "                    for the node exporter's textfile collector)\n"
    "  --encoding E      output bytes: utf-8 or cp932 (default: the locale's)\n"
    "  --bus FILE        a simulated bus described in FILE (as WNASPI32_BUS)\n"
    "  --output FILE     write to FILE instead of standard output; FILE is\n"
    "                    replaced only once the whole report is written\n"
    "  --help            this text\n"
    "  --version         the version\n"
    "\n"
    "Exit status: 0 done, 1 the ASPI layer is not usable or the output could not\n"
    "be written, 2 a bad command line.\n";

ParsedOptions ParseOptions(const std::vector<std::string_view>& arguments) {
  ParsedOptions parsed;
  Options& options = parsed.options;
  options.arguments.assign(arguments.begin(), arguments.end());
  auto fail = [&parsed](std::string message) {
    parsed.error = OptionError{OptionError::Kind::Usage, "busview-report: " + std::move(message)};
    return parsed;
  };
  // A refused number is told in the output's encoding, which a later
  // --encoding may still set: the first refusal stands, and parsing goes on.
  auto refuse = [&parsed](OptionError::Kind kind, std::string text) {
    if (!parsed.error) parsed.error = OptionError{kind, std::move(text)};
  };
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view name = arguments[i];
    std::optional<std::string_view> value;
    if (const std::size_t equals = name.find('='); name.starts_with("--") && equals != name.npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    const bool takesValue = name == "--adapter" || name == "--target" || name == "--encoding" ||
                            name == "--bus" || name == "--output";
    if (!takesValue && value) return fail("option '" + std::string(name) + "' takes no value");
    if (takesValue && !value) {
      if (i + 1 >= arguments.size()) return fail("option '" + std::string(name) + "' needs a value");
      value = arguments[++i];
    }

    if (name == "--detailed") {
      options.detailed = true;
    } else if (name == "--all") {
      options.all = true;
    } else if (name == "--json") {
      options.json = true;
    } else if (name == "--prometheus") {
      options.prometheus = true;
    } else if (name == "--help") {
      options.help = true;
    } else if (name == "--version") {
      options.version = true;
    } else if (name == "--adapter") {
      std::string failed;
      options.adapter = AdapterNumber(*value, failed);
      if (value->empty()) {
        refuse(OptionError::Kind::NoAdapter, {});
      } else if (!options.adapter) {
        refuse(OptionError::Kind::NotAnInteger, failed);
      }
    } else if (name == "--target") {
      options.target = ParseInteger(*value);
      if (!options.target) refuse(OptionError::Kind::NotAnInteger, std::string(*value));
    } else if (name == "--encoding") {
      options.encoding = EncodingNamed(*value);
      if (!options.encoding) {
        return fail("unknown encoding '" + std::string(*value) + "' (utf-8 or cp932)");
      }
    } else if (name == "--bus") {
      if (value->empty()) return fail("option '--bus' needs a file name");
      options.bus = std::string(*value);
    } else if (name == "--output") {
      if (value->empty()) return fail("option '--output' needs a file name");
      options.output = std::string(*value);
    } else if (name.starts_with("-")) {
      return fail("unknown option '" + std::string(name) + "'");
    } else {
      return fail("unexpected argument '" + std::string(name) + "'");
    }
  }
  if (parsed.error) return parsed;
  if (options.target && !options.adapter) return fail("option '--target' needs '--adapter'");
  if (options.target && options.all) return fail("option '--target' cannot be used with '--all'");
  if (options.json && options.prometheus)
    return fail("option '--prometheus' cannot be used with '--json'");
  return parsed;
}
