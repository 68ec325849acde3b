#include "aspi/executor.h"
#include "aspi/request_block.h"
#include "reports/device_facts.h"
#include "reports/device_reports.h"
#include "reports/device_type_words.h"
#include "reports/format.h"
#include "reports/report_window.h"
#include "reports/texts.h"
#include "scsi/commands.h"

void SendInquiry(const Unit& unit) {
  // Positions a short reply does not fill must read as zero bytes, not as
  // an earlier device's data.
  ClearDataBuffer();
  ClearRequestBlock();
  RequestBlock.SRB_Cmd = SC_EXEC_SCSI_CMD;
  RequestBlock.SRB_HaId = static_cast<std::uint8_t>(unit.adapter);
  RequestBlock.SRB_Flags = 0;
  RequestBlock.SRB_Hdr_Rsvd = 0;
  RequestBlock.SRB_Target = static_cast<std::uint8_t>(unit.target);
  RequestBlock.SRB_Lun = unit.lun;
  // The layer may move 40 bytes; the device is asked for 36.
  RequestBlock.SRB_BufLen = 40;
  RequestBlock.SRB_BufPointer = DataBufferPointer();
  RequestBlock.SRB_SenseLen = 14;
  RequestBlock.SRB_CDBLen = 6;
  RequestBlock.CDBByte[0] = scsi::Inquiry;
  scsi::PutBigEndian(RequestBlock.CDBByte, scsi::InquiryAllocationLength, InquiryLength);
  ExecuteRequest(RequestBlock, true);
}

void ReportInquiry(std::int32_t target, std::int32_t adapter, std::uint8_t lun) {
  const ReportTexts& texts = Texts();

  SendInquiry({.adapter = adapter, .target = target, .lun = lun});
  WorkText.clear();
  if (RequestBlock.SRB_Status != SS_COMP) return;

  FieldValue = PeripheralDeviceType(DataBuffer);
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

  FieldValue = IsoVersion(DataBuffer);
  MainWindow->AppendMemo1(ReportLine(texts.isoVersionLabel, FieldValue));
  FieldValue = EcmaVersion(DataBuffer);
  MainWindow->AppendMemo1(ReportLine(texts.ecmaVersionLabel, FieldValue));
  FieldValue = AnsiVersion(DataBuffer);
  MainWindow->AppendMemo1(ReportLine(texts.ansiVersionLabel, FieldValue));

  FieldValue = ResponseDataFormat(DataBuffer);
  if (FieldValue < static_cast<std::int32_t>(DataFormatNames.size())) {
    MainWindow->AppendMemo1(FormatLine(
        "%-22s%s%s", {texts.dataFormatLabel, "= ", DataFormatNames[FieldValue]}));
  }

  for (const CapabilityBit& capability : CapabilityBits) {
    FieldValue = DataBuffer[capability.byte] & capability.mask;
    if (FieldValue != 0) MainWindow->AppendMemo1(texts.*capability.line);
  }
}
