// Decoding the replies that tell a device's identity and its target's
// logical units: vital product data pages 00h, 80h and 83h, and the LUN
// list of REPORT LUNS. Every reply is taken only when it is what was asked
// for and fits in the bytes that came back.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "scsi/designators.h"

// One designation descriptor of page 83h.
struct Designator {
  std::uint8_t protocolIdentifier = 0;
  std::uint8_t codeSet = 0;      // 1 binary, 2 ASCII, 3 UTF-8
  bool protocolIdentifierValid = false;
  std::uint8_t association = 0;  // 0 the logical unit, 1 a target port, 2 the target device
  std::uint8_t type = 0;         // scsi::DesignatorType
  std::vector<std::uint8_t> bytes;
};

// `reply` holds the bytes that came back for a request of page `code`.
// Nothing unless its page code is `code` and the page fits in it (a device
// that sends its standard INQUIRY data instead, or a page length that
// promises more than came, has no such page).

// Page 00h: the page codes it lists. It must list itself first.
std::optional<std::vector<std::uint8_t>> DecodeSupportedPages(std::span<const std::uint8_t> reply);
// Page 80h: the serial number without the blanks and NUL bytes around it.
std::optional<std::string> DecodeUnitSerialNumber(std::span<const std::uint8_t> reply);
// Page 83h: its designators, up to the first that overruns the page.
std::optional<std::vector<Designator>> DecodeDesignators(std::span<const std::uint8_t> reply);

// A REPORT LUNS reply: the LUNs of one level below 256 (the ones a one-byte
// SRB_Lun reaches), ascending and each once; `cut` when the list length
// promises more LUNs than came back. Nothing for a reply too short to hold
// the header or a list length that is no whole number of LUNs.
struct LunList {
  std::vector<std::uint8_t> luns;
  bool cut = false;
};
std::optional<LunList> DecodeLunList(std::span<const std::uint8_t> reply);

// Lower-case hexadecimal digits of `bytes`, two a byte.
std::string HexDigits(std::span<const std::uint8_t> bytes);

// The logical unit's NAA designator as lsscsi --wwn shows it ("0x" and
// lower-case digits); nothing when it has none.
std::optional<std::string> WorldWideName(const std::vector<Designator>& designators);
