// The decoding of vital product data pages 00h, 80h and 83h and of REPORT
// LUNS lists on arbitrary replies, and the identity lines made of them: a
// reply is taken only when it fits in what came, what is taken never
// reaches beyond it, and the LUNs come out ascending, each once.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "recording_window.h"
#include "reports/identity_decoding.h"
#include "reports/identity_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> reply(data, size);

  if (const auto pages = DecodeSupportedPages(reply)) {
    if (pages->empty() || pages->front() != 0 || pages->size() + 4 > size) std::abort();
  }
  const auto serial = DecodeUnitSerialNumber(reply);
  if (serial && serial->size() + 4 > size) std::abort();
  const auto designators = DecodeDesignators(reply);
  if (designators) {
    std::size_t used = 4;
    for (const Designator& d : *designators) used += 4 + d.bytes.size();
    if (used > size || std::any_of(designators->begin(), designators->end(),
                                   [](const Designator& d) { return d.association > 3 || d.type > 15; }))
      std::abort();
    if (const auto wwn = WorldWideName(*designators); wwn && (wwn->size() % 2 != 0 || !wwn->starts_with("0x")))
      std::abort();
    RecordingWindow window;
    MainWindow = &window;
    ReportIdentity({.supportedPages = {}, .unitSerialNumber = serial, .designators = *designators});
    MainWindow = nullptr;
    if (window.Memo1().size() != designators->size() + (serial ? 1 : 0)) std::abort();
  }
  if (const auto list = DecodeLunList(reply)) {
    if (!std::is_sorted(list->luns.begin(), list->luns.end()) ||
        std::adjacent_find(list->luns.begin(), list->luns.end()) != list->luns.end() ||
        list->luns.size() * 8 + 8 > size)
      std::abort();
  }
  return 0;
}
