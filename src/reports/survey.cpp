#include "reports/survey.h"

#include <algorithm>

#include "aspi/executor.h"
#include "aspi/request_block.h"
#include "reports/format.h"
#include "reports/report_window.h"
#include "reports/texts.h"

void InquireHostAdapter(std::int32_t adapter) {
  ClearRequestBlock();
  RequestBlock.SRB_Cmd = SC_HA_INQUIRY;
  RequestBlock.SRB_HaId = static_cast<std::uint8_t>(adapter);
  RequestBlock.SRB_Hdr_Rsvd = 0;
  ExecuteRequest(RequestBlock, false);
}

AdapterTraits AskAdapterTraits(std::int32_t adapter) {
  constexpr std::uint8_t ResidualCountBit = 0x02;
  AdapterTraits traits;
  InquireHostAdapter(adapter);
  if (RequestBlock.SRB_Status != SS_COMP) return traits;
  traits.targetIds = std::max<std::int32_t>(traits.targetIds, RequestBlock.HA_Unique[3]);
  traits.residualCounts = (RequestBlock.HA_Unique[2] & ResidualCountBit) != 0;
  return traits;
}

namespace {

// A name field taken byte by byte, NUL bytes and blanks included.
void GatherName(const std::uint8_t (&field)[16]) {
  for (ByteIndex = 0; ByteIndex < 16; ++ByteIndex) {
    WorkText += static_cast<char>(field[ByteIndex]);
  }
}

}  // namespace

void SurveyHostAdapters() {
  const ReportTexts& texts = Texts();
  if (!AspiAvailable()) {
    MainWindow->ShowErrorBox(texts.aspiNotInstalled);
    // The end comes once the event loop runs; the survey still goes on.
    MainWindow->RequestEnd();
  }
  MainWindow->ClearMemo1();

  InquireHostAdapter(0);
  // Only an aborted request counts as failure here; other error statuses
  // leave the cleared fields to be read as they stand.
  if (RequestBlock.SRB_Status == SS_ABORTED) {
    MainWindow->ShowErrorBox(texts.adapterInquiryFailed);
    return;
  }
  CurrentTarget = RequestBlock.HA_SCSI_ID;
  AdapterCount = RequestBlock.HA_Count;
  MainWindow->AppendMemo2(FormatLine("%s%d", {texts.adapterCountLabel, AdapterCount}));
  MainWindow->AppendMemo2(FormatLine("%s%d", {texts.adapterScsiIdLabel, CurrentTarget}));
  MainWindow->AppendMemo2(" ");

  ClearDataBuffer();
  for (CurrentAdapter = 0; CurrentAdapter < AdapterCount; ++CurrentAdapter) {
    InquireHostAdapter(CurrentAdapter);
    if (RequestBlock.SRB_Status == SS_ABORTED) return;

    WorkText.clear();
    GatherName(RequestBlock.HA_ManagerId);
    MainWindow->AppendMemo2(
        FormatLine("%s%d%s%s", {"Host No.", CurrentAdapter, " Driver = ", WorkText}));
    WorkText.clear();
    GatherName(RequestBlock.HA_Identifier);
    MainWindow->AppendMemo2(
        FormatLine("%s%d%s%s", {"Host No.", CurrentAdapter, " Adapter = ", WorkText}));
    MainWindow->AddComboBox2Item(FormatLine("%d%s%s", {CurrentAdapter, " : ", WorkText}));
    WorkText.clear();
    MainWindow->AppendMemo2(" ");
  }
}
