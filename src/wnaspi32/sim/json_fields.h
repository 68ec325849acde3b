// Reading the values of a bus file. Each reader names the value by its key
// path (adapters[0].targets[1].inquiry.vendor) and throws FieldError when
// the value is wrong.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "wnaspi32/sim/bus_file.h"

namespace wnaspi32::sim {

using Json = nlohmann::json;

// Throws FieldError for the value at `path`.
[[noreturn]] void Fail(const std::string& path, std::string problem);

std::string ChildPath(const std::string& path, std::string_view key);
std::string IndexPath(const std::string& path, std::size_t index);

// Fails on any key of `object` that is not in `known`.
void RequireObject(const Json& value, const std::string& path);
void CheckKeys(const Json& object, const std::string& path,
               std::initializer_list<std::string_view> known);

// Integers are JSON numbers or strings in C notation ("0x32", "012", "-1").
std::uint64_t ReadUnsigned(const Json& value, const std::string& path, std::uint64_t max);
std::int64_t ReadSigned(const Json& value, const std::string& path, std::int64_t min,
                        std::int64_t max);
bool ReadBool(const Json& value, const std::string& path);

// Hex digits in pairs; blanks between them are ignored.
std::vector<std::uint8_t> ParseHex(const std::string& digits, const std::string& path);

// A text field of `width` bytes: a JSON string (UTF-8, written in code page
// 932 and padded with `pad`) or {"hex": "..."} (raw bytes, padded with NUL).
std::string ReadTextField(const Json& value, const std::string& path, std::size_t width,
                          char pad);

}  // namespace wnaspi32::sim
