#include "wnaspi32/sim/bus_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "wnaspi32/sim/json_fields.h"

namespace wnaspi32::sim {
namespace {

constexpr int MaxDelayMs = 24 * 60 * 60 * 1000;
constexpr std::size_t MaxAdapters = 255;
constexpr std::size_t MaxInquiryLength = 255;
constexpr std::size_t MaxVpdPageLength = 4 + 0xFFFF;
constexpr std::size_t MaxFileBytes = 16 << 20;
constexpr int MaxNesting = 64;

std::uint8_t ReadByte(const Json& value, const std::string& path) {
  return static_cast<std::uint8_t>(ReadUnsigned(value, path, 0xFF));
}

// Reads `object[key]` with `read` when the key is there.
template <typename Read>
void Optional(const Json& object, const std::string& path, std::string_view key, Read read) {
  const auto found = object.find(key);
  if (found != object.end()) read(*found, ChildPath(path, key));
}

// Per-kind values: one number for every kind, or an object with a key per kind.
template <typename Read>
void ReadPerKind(const Json& value, const std::string& path,
                 std::initializer_list<std::pair<std::string_view, Outcome*>> kinds, Read read) {
  if (!value.is_object()) {
    for (auto [key, outcome] : kinds) read(value, path, *outcome);
    return;
  }
  for (const auto& [key, item] : value.items()) {
    bool known = false;
    for (auto [name, outcome] : kinds) {
      if (key != name) continue;
      read(item, ChildPath(path, key), *outcome);
      known = true;
    }
    if (!known) Fail(ChildPath(path, key), "unknown key");
  }
}

void ReadStatus(const Json& value, const std::string& path, Outcome& outcome) {
  outcome.status = ReadByte(value, path);
}

void ReadDelay(const Json& value, const std::string& path, Outcome& outcome) {
  outcome.delayMs = static_cast<int>(ReadSigned(value, path, -1, MaxDelayMs));
}

std::vector<std::uint8_t> ReadInquiryObject(const Json& object, const std::string& path) {
  CheckKeys(object, path,
            {"type", "qualifier", "removable", "version", "aenc", "format", "flags", "vendor",
             "product", "revision", "length"});
  std::uint8_t type = 0, qualifier = 0, version = 0, format = 0, flags = 0;
  bool removable = false, aenc = false;
  std::size_t length = 36;
  std::string vendor(8, ' '), product(16, ' '), revision(4, ' ');
  Optional(object, path, "type", [&](const auto& v, const auto& p) { type = ReadUnsigned(v, p, 0x1F); });
  Optional(object, path, "qualifier", [&](const auto& v, const auto& p) { qualifier = ReadUnsigned(v, p, 7); });
  Optional(object, path, "removable", [&](const auto& v, const auto& p) { removable = ReadBool(v, p); });
  Optional(object, path, "version", [&](const auto& v, const auto& p) { version = ReadByte(v, p); });
  Optional(object, path, "aenc", [&](const auto& v, const auto& p) { aenc = ReadBool(v, p); });
  Optional(object, path, "format", [&](const auto& v, const auto& p) { format = ReadUnsigned(v, p, 0x7F); });
  Optional(object, path, "flags", [&](const auto& v, const auto& p) { flags = ReadByte(v, p); });
  Optional(object, path, "vendor", [&](const auto& v, const auto& p) { vendor = ReadTextField(v, p, 8, ' '); });
  Optional(object, path, "product",
           [&](const auto& v, const auto& p) { product = ReadTextField(v, p, 16, ' '); });
  Optional(object, path, "revision",
           [&](const auto& v, const auto& p) { revision = ReadTextField(v, p, 4, ' '); });
  Optional(object, path, "length",
           [&](const auto& v, const auto& p) { length = ReadUnsigned(v, p, MaxInquiryLength); });

  std::vector<std::uint8_t> bytes(std::max<std::size_t>(length, 36), 0);
  bytes[0] = static_cast<std::uint8_t>(qualifier << 5 | type);
  bytes[1] = removable ? 0x80 : 0x00;
  bytes[2] = version;
  bytes[3] = static_cast<std::uint8_t>((aenc ? 0x80 : 0x00) | format);
  bytes[4] = static_cast<std::uint8_t>(length > 5 ? length - 5 : 0);
  bytes[7] = flags;
  const std::string text = vendor + product + revision;
  std::memcpy(&bytes[8], text.data(), text.size());
  bytes.resize(length);
  return bytes;
}

Target ReadTarget(const Json& object, const std::string& path) {
  RequireObject(object, path);
  CheckKeys(object, path,
            {"id", "lun", "type", "inquiry", "vpd", "capacity", "disk", "status", "delay_ms"});
  if (!object.contains("id")) Fail(ChildPath(path, "id"), "missing");
  Target target;
  target.id = ReadByte(object["id"], ChildPath(path, "id"));
  Optional(object, path, "lun", [&](const auto& v, const auto& p) { target.lun = ReadByte(v, p); });
  Optional(object, path, "inquiry", [&](const Json& value, const std::string& at) {
    if (value.is_string()) {
      target.inquiry = ParseHex(value.get<std::string>(), at);
      if (target.inquiry->size() > MaxInquiryLength)
        Fail(at, "more than " + std::to_string(MaxInquiryLength) + " bytes");
    } else if (value.is_object()) {
      target.inquiry = ReadInquiryObject(value, at);
    } else {
      Fail(at, "expected an object or a text of hex digits");
    }
  });
  Optional(object, path, "vpd", [&](const Json& pages, const std::string& at) {
    RequireObject(pages, at);
    for (const auto& [key, bytes] : pages.items()) {
      const std::string pagePath = ChildPath(at, key);
      const auto code = static_cast<std::uint8_t>(ReadUnsigned(Json(key), pagePath, 0xFF));
      if (!bytes.is_string()) Fail(pagePath, "expected a text of hex digits");
      if (target.vpdPages.contains(code)) Fail(pagePath, "page given twice");
      target.vpdPages[code] = ParseHex(bytes.get<std::string>(), pagePath);
      if (target.vpdPages[code].size() > MaxVpdPageLength)
        Fail(pagePath, "more than " + std::to_string(MaxVpdPageLength) + " bytes");
    }
  });
  target.deviceType = target.inquiry && !target.inquiry->empty() ? (*target.inquiry)[0] & 0x1F : 0x1F;
  Optional(object, path, "type", [&](const auto& v, const auto& p) { target.deviceType = ReadByte(v, p); });
  Optional(object, path, "capacity", [&](const Json& value, const std::string& at) {
    RequireObject(value, at);
    CheckKeys(value, at, {"last_lba", "block_length"});
    Capacity capacity{0, 512};
    Optional(value, at, "last_lba",
             [&](const auto& v, const auto& p) { capacity.lastLba = ReadUnsigned(v, p, UINT64_MAX); });
    Optional(value, at, "block_length",
             [&](const auto& v, const auto& p) { capacity.blockLength = ReadUnsigned(v, p, UINT32_MAX); });
    target.capacity = capacity;
  });
  Optional(object, path, "disk", [&](const Json& value, const std::string& at) {
    RequireObject(value, at);
    CheckKeys(value, at, {"flags", "drive", "heads", "sectors"});
    DiskInfo& disk = target.disk;
    Optional(value, at, "flags", [&](const auto& v, const auto& p) { disk.driveFlags = ReadByte(v, p); });
    Optional(value, at, "drive", [&](const auto& v, const auto& p) { disk.int13Drive = ReadByte(v, p); });
    Optional(value, at, "heads", [&](const auto& v, const auto& p) { disk.heads = ReadByte(v, p); });
    Optional(value, at, "sectors", [&](const auto& v, const auto& p) { disk.sectors = ReadByte(v, p); });
  });
  const auto kinds = {std::pair<std::string_view, Outcome*>{"dev_type", &target.devType},
                      {"disk_info", &target.diskInfo},
                      {"inquiry", &target.inquiryCommand},
                      {"read_capacity", &target.readCapacity}};
  Optional(object, path, "status",
           [&](const auto& v, const auto& p) { ReadPerKind(v, p, kinds, ReadStatus); });
  Optional(object, path, "delay_ms",
           [&](const auto& v, const auto& p) { ReadPerKind(v, p, kinds, ReadDelay); });
  return target;
}

Adapter ReadAdapter(const Json& object, const std::string& path, std::size_t adapterCount) {
  RequireObject(object, path);
  CheckKeys(object, path, {"scsi_id", "manager", "identifier", "ha_count", "target_ids", "status",
                           "delay_ms", "targets"});
  Adapter adapter;
  adapter.haCount = static_cast<std::uint8_t>(adapterCount);
  adapter.managerId = SimManagerName;
  adapter.managerId.resize(AdapterNameWidth, '\0');
  adapter.identifier.assign(AdapterNameWidth, '\0');
  Optional(object, path, "scsi_id", [&](const auto& v, const auto& p) { adapter.scsiId = ReadByte(v, p); });
  Optional(object, path, "manager", [&](const auto& v, const auto& p) {
    adapter.managerId = ReadTextField(v, p, AdapterNameWidth, '\0');
  });
  Optional(object, path, "identifier", [&](const auto& v, const auto& p) {
    adapter.identifier = ReadTextField(v, p, AdapterNameWidth, '\0');
  });
  Optional(object, path, "ha_count", [&](const auto& v, const auto& p) { adapter.haCount = ReadByte(v, p); });
  Optional(object, path, "target_ids", [&](const auto& v, const auto& p) { adapter.targetIds = ReadByte(v, p); });
  Optional(object, path, "status", [&](const auto& v, const auto& p) { ReadStatus(v, p, adapter.inquiry); });
  Optional(object, path, "delay_ms", [&](const auto& v, const auto& p) { ReadDelay(v, p, adapter.inquiry); });
  Optional(object, path, "targets", [&](const Json& targets, const std::string& at) {
    if (!targets.is_array()) Fail(at, "expected an array of targets");
    for (std::size_t i = 0; i < targets.size(); ++i) {
      const std::string targetPath = IndexPath(at, i);
      Target target = ReadTarget(targets[i], targetPath);
      // One device per ID and LUN: a second one there is a slip in the file.
      if (FindUnit(adapter, target.id, target.lun) != nullptr)
        Fail(ChildPath(targetPath, "id"),
             "target " + std::to_string(target.id) +
                 (target.lun == 0 ? "" : " LUN " + std::to_string(target.lun)) +
                 " is already on this adapter");
      adapter.targets.push_back(std::move(target));
    }
  });
  return adapter;
}

Bus ReadBus(const Json& root) {
  if (!root.is_object()) Fail("", "expected an object with \"adapters\"");
  CheckKeys(root, "", {"support_info", "adapters"});
  if (!root.contains("adapters")) Fail("adapters", "missing");
  const Json& adapters = root["adapters"];
  if (!adapters.is_array()) Fail("adapters", "expected an array of adapters");
  if (adapters.size() > MaxAdapters)
    Fail("adapters", "more than " + std::to_string(MaxAdapters) + " adapters");
  Bus bus;
  for (std::size_t i = 0; i < adapters.size(); ++i)
    bus.adapters.push_back(ReadAdapter(adapters[i], IndexPath("adapters", i), adapters.size()));
  bus.supportInfo = bus.adapters.empty() ? 0x0000E800u
                                         : 0x0100u | static_cast<std::uint32_t>(bus.adapters.size());
  Optional(root, "", "support_info", [&](const auto& v, const auto& p) {
    bus.supportInfo = static_cast<std::uint32_t>(ReadUnsigned(v, p, UINT32_MAX));
  });
  return bus;
}

// One line of reasonable length, whatever the file held.
std::string OneLine(std::string text) {
  constexpr std::size_t MaxLine = 400;
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  if (text.size() > MaxLine) {
    std::size_t cut = MaxLine;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text = text.substr(0, cut) + "...";
  }
  return text;
}

// The parser's own words without its "[json.exception...] " prefix, and
// with the bytes of a broken UTF-8 sequence it quotes made harmless.
std::string ParserProblem(std::string what) {
  if (what.rfind("[json.exception.", 0) == 0) {
    const std::size_t end = what.find("] ");
    if (end != std::string::npos) what.erase(0, end + 2);
  }
  for (char& c : what)
    if (static_cast<unsigned char>(c) >= 0x80) c = '?';
  return what;
}

std::string LineAndColumn(std::string_view text, std::size_t offset) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// A number too large even for a double gives no position; it quotes the
// number, so look for it.
std::string PlaceOfQuotedNumber(std::string_view text, const std::string& what) {
  const std::size_t open = what.find('\'');
  const std::size_t close = what.rfind('\'');
  if (open == std::string::npos || close <= open + 1) return "";
  const std::size_t at = text.find(std::string_view(what).substr(open + 1, close - open - 1));
  return at == std::string_view::npos ? "" : LineAndColumn(text, at);
}

// Where `text` opens an array or object nested deeper than MaxNesting, or
// nothing. Looked for before parsing, so that no reader of the parsed value
// ever walks a deep one.
std::optional<std::size_t> TooDeep(std::string_view text) {
  int depth = 0;
  bool inString = false, escaped = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > MaxNesting) return i;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<Bus> ParseBus(std::string_view text, FieldError& error) {
  if (const auto deep = TooDeep(text)) {
    error = {LineAndColumn(text, *deep),
             "nested deeper than " + std::to_string(MaxNesting) + " levels"};
    return std::nullopt;
  }
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& e) {
    // nlohmann says "... parse error at line 3, column 7: <problem>".
    const std::string what = ParserProblem(e.what());
    const std::size_t at = what.find(" at line ");
    const std::size_t colon = what.find(": ", at == std::string::npos ? 0 : at);
    if (at != std::string::npos && colon != std::string::npos) {
      error = {what.substr(at + 4, colon - at - 4), what.substr(colon + 2)};
    } else {
      error = {LineAndColumn(text, e.byte > 0 ? e.byte - 1 : 0), what};
    }
    return std::nullopt;
  } catch (const Json::exception& e) {
    const std::string what = ParserProblem(e.what());
    error = {PlaceOfQuotedNumber(text, what), what};
    return std::nullopt;
  }
  try {
    return ReadBus(root);
  } catch (const FieldError& e) {
    error = e;
  } catch (const Json::exception& e) {
    error = {"", ParserProblem(e.what())};
  }
  return std::nullopt;
}

std::optional<Bus> LoadBusFile(const std::string& path, std::string& error) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                       std::fclose);
  std::string text;
  std::string problem;
  if (!file) {
    problem = std::string("cannot open: ") + std::strerror(errno);
  } else {
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0 && text.size() <= MaxFileBytes)
      text.append(chunk, got);
    if (std::ferror(file.get()))
      problem = std::string("cannot read: ") + std::strerror(errno);
    else if (text.size() > MaxFileBytes)
      problem = "larger than " + std::to_string(MaxFileBytes >> 20) + " MiB";
  }
  if (problem.empty()) {
    FieldError wrong;
    std::optional<Bus> bus = ParseBus(text, wrong);
    if (bus) return bus;
    problem = (wrong.place.empty() ? std::string("top level") : wrong.place) + ": " + wrong.problem;
  }
  error = OneLine("bus file " + path + ": " + problem);
  return std::nullopt;
}

}  // namespace wnaspi32::sim
