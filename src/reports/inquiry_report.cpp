#include <array>

#include "aspi/executor.h"
#include "aspi/request_block.h"
#include "reports/device_reports.h"
#include "reports/device_type_words.h"
#include "reports/format.h"
#include "reports/report_window.h"
#include "reports/texts.h"

namespace {

struct IdentificationField {
  const std::string ReportTexts::*label;
  std::int32_t first;
  std::int32_t last;
};

constexpr std::array<IdentificationField, 3> IdentificationFields{{
    {&ReportTexts::vendorLabel, 8, 15},
    {&ReportTexts::productLabel, 16, 31},
    {&ReportTexts::revisionLabel, 32, 35},
}};

struct Capability {
  int byte;
  std::uint8_t mask;
  const std::string ReportTexts::*line;
};

constexpr std::array<Capability, 9> Capabilities{{
    {1, 0x80, &ReportTexts::removableMedium},
    {3, 0x80, &ReportTexts::asyncEventNotification},
    {7, 0x80, &ReportTexts::relativeAddressing},
    {7, 0x40, &ReportTexts::wideBus32},
    {7, 0x20, &ReportTexts::wideBus16},
    {7, 0x10, &ReportTexts::synchronousTransfer},
    {7, 0x08, &ReportTexts::linkedCommands},
    {7, 0x02, &ReportTexts::commandQueuing},
    {7, 0x01, &ReportTexts::softReset},
}};

constexpr std::uint8_t InquiryAllocationLength = 36;

void SendInquiry(std::int32_t target, std::int32_t adapter) {
  // Positions a short reply does not fill must read as zero bytes, not as
  // an earlier device's data.
  ClearDataBuffer();
  ClearRequestBlock();
  RequestBlock.SRB_Cmd = SC_EXEC_SCSI_CMD;
  RequestBlock.SRB_HaId = static_cast<std::uint8_t>(adapter);
  RequestBlock.SRB_Flags = 0;
  RequestBlock.SRB_Hdr_Rsvd = 0;
  RequestBlock.SRB_Target = static_cast<std::uint8_t>(target);
  RequestBlock.SRB_Lun = 0;
  // The layer may move 40 bytes; the device is asked for 36.
  RequestBlock.SRB_BufLen = 40;
  RequestBlock.SRB_BufPointer = DataBufferPointer();
  RequestBlock.SRB_SenseLen = 14;
  RequestBlock.SRB_CDBLen = 6;
  RequestBlock.CDBByte[0] = 0x12;
  RequestBlock.CDBByte[4] = InquiryAllocationLength;
  ExecuteRequest(RequestBlock, true);
}

}  // namespace

void ReportInquiry(std::int32_t target, std::int32_t adapter) {
  const ReportTexts& texts = Texts();

  SendInquiry(target, adapter);
  WorkText.clear();
  if (RequestBlock.SRB_Status != SS_COMP) return;

  FieldValue = DataBuffer[0] & 0x1F;
  WorkText = DeviceTypeWords(FieldValue);
  MainWindow->AppendMemo1(ReportLine(texts.inquiryLabel, WorkText));

  for (const IdentificationField& field : IdentificationFields) {
    WorkText.clear();
    for (ByteIndex = field.first; ByteIndex <= field.last; ++ByteIndex) {
      WorkText += static_cast<char>(DataBuffer[ByteIndex]);
    }
    MainWindow->AppendMemo1(ReportLine(texts.*field.label, WorkText));
  }
  WorkText.clear();

  if (!MainWindow->RadioButton2Checked()) return;

  FieldValue = (DataBuffer[2] >> 6) & 3;
  MainWindow->AppendMemo1(ReportLine(texts.isoVersionLabel, FieldValue));
  FieldValue = (DataBuffer[2] >> 3) & 7;
  MainWindow->AppendMemo1(ReportLine(texts.ecmaVersionLabel, FieldValue));
  FieldValue = DataBuffer[2] & 7;
  MainWindow->AppendMemo1(ReportLine(texts.ansiVersionLabel, FieldValue));

  FieldValue = DataBuffer[3] & 0x0F;
  static constexpr const char* DataFormats[] = {"= SCSI-1", "= CCS", "= SCSI-2"};
  if (FieldValue <= 2) {
    MainWindow->AppendMemo1(
        FormatLine("%-22s%s", {texts.dataFormatLabel, DataFormats[FieldValue]}));
  }

  for (const Capability& capability : Capabilities) {
    FieldValue = DataBuffer[capability.byte] & capability.mask;
    if (FieldValue != 0) MainWindow->AppendMemo1(texts.*capability.line);
  }
}
