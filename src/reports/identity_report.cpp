#include "reports/identity_report.h"

#include <algorithm>

#include "reports/format.h"
#include "reports/report_window.h"
#include "reports/texts.h"

namespace {

using scsi::CodeSetAscii;
using scsi::CodeSetUtf8;
namespace DesignatorType = scsi::DesignatorType;

std::string Label(const Designator& designator, const ReportTexts& texts) {
  switch (designator.type) {
    case DesignatorType::Naa:
      return texts.naaLabel;
    case DesignatorType::Eui64:
      return texts.eui64Label;
    case DesignatorType::T10VendorId:
      return texts.t10VendorIdLabel;
    case DesignatorType::ScsiNameString:
      return texts.scsiNameLabel;
    default:
      return FormatLine("%s%d", {texts.designatorTypeLabel, designator.type});
  }
}

// Text designators as their bytes, without the blanks and NUL bytes that
// pad them; binary ones in hexadecimal, as lsscsi --wwn writes an NAA.
std::string Value(const Designator& designator) {
  if (designator.codeSet != CodeSetAscii && designator.codeSet != CodeSetUtf8)
    return "0x" + HexDigits(designator.bytes);
  std::string text(designator.bytes.begin(), designator.bytes.end());
  text.erase(text.find_last_not_of(std::string_view(" \0", 2)) + 1);
  return text;
}

}  // namespace

void ReportUnitHeader(const Unit& unit) {
  MainWindow->AppendMemo1(FormatLine(
      "%s%d%s%d%s%d", {"HostNo ", unit.adapter, ",ID ", unit.target, ",LUN ", unit.lun}));
}

void ReportIdentity(const DeviceIdentity& identity) {
  const ReportTexts& texts = Texts();
  if (identity.unitSerialNumber)
    MainWindow->AppendMemo1(ReportLine(texts.serialNumberLabel, *identity.unitSerialNumber));
  for (const Designator& designator : identity.designators) {
    MainWindow->AppendMemo1(ReportLine(Label(designator, texts),
                                       Value(designator) + texts.associationWords[designator.association & 3]));
  }
}
