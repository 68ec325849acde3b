#include "aspi/executor.h"
#include "aspi/request_block.h"
#include "reports/ask_about_target.h"
#include "reports/device_facts.h"
#include "reports/device_reports.h"
#include "reports/device_type_words.h"
#include "reports/format.h"
#include "reports/report_window.h"
#include "reports/texts.h"

void ReportDeviceType(std::int32_t target, std::int32_t adapter, std::uint8_t lun) {
  const ReportTexts& texts = Texts();
  const Unit unit{.adapter = adapter, .target = target, .lun = lun};

  AskAboutTarget(SC_GET_DEV_TYPE, unit);
  if (RequestBlock.SRB_Status == SS_COMP) {
    WorkText = DeviceTypeWords(RequestBlock.SRB_DeviceType);
    // The header shows the numbers as given, not their low bytes.
    MainWindow->AppendMemo1(
        FormatLine("%s%d%s%d%s", {"HostNo ", adapter, ",ID ", target, texts.deviceSuffix}));
    MainWindow->AppendMemo1(ReportLine(texts.aspiDeviceTypeLabel, WorkText));
    WorkText.clear();
  }

  // Detailed mode asks for the disk information even when the device type
  // request failed.
  if (!MainWindow->RadioButton2Checked()) return;

  AskAboutTarget(SC_GET_DISK_INFO, unit);
  if (RequestBlock.SRB_Status != SS_COMP) return;

  FieldValue = DriveFlagsValue(RequestBlock.SRB_DriveFlags);
  if (FieldValue == 1) {
    MainWindow->AppendMemo1(FormatLine(
        "%s%x%s", {texts.osManagedDriveText, RequestBlock.SRB_Int13HDriveInfo, ")"}));
  } else if (FieldValue == 2) {
    MainWindow->AppendMemo1(
        FormatLine("%s%x%s", {texts.driveText, RequestBlock.SRB_Int13HDriveInfo, ")"}));
  }
  if (FieldValue != 0) {
    MainWindow->AppendMemo1(ReportLine(texts.headsLabel, RequestBlock.SRB_Heads));
    MainWindow->AppendMemo1(ReportLine(texts.sectorsLabel, RequestBlock.SRB_Sectors));
  }
}
