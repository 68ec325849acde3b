// The reports' texts as code page 932 bytes, converted once from the
// readable literals in texts.cpp.
#pragma once

#include <string>

struct ReportTexts {
  // Error boxes of the survey.
  std::string aspiNotInstalled;
  std::string adapterInquiryFailed;
  // Host adapter pane.
  std::string adapterCountLabel;
  std::string adapterScsiIdLabel;
  // Device type report.
  std::string deviceSuffix;
  std::string aspiDeviceTypeLabel;
  std::string osManagedDriveText;
  std::string driveText;
  std::string headsLabel;
  std::string sectorsLabel;
  // Inquiry report.
  std::string inquiryLabel;
  std::string vendorLabel;
  std::string productLabel;
  std::string revisionLabel;
  std::string isoVersionLabel;
  std::string ecmaVersionLabel;
  std::string ansiVersionLabel;
  std::string dataFormatLabel;
  std::string removableMedium;
  std::string asyncEventNotification;
  std::string relativeAddressing;
  std::string wideBus32;
  std::string wideBus16;
  std::string synchronousTransfer;
  std::string linkedCommands;
  std::string commandQueuing;
  std::string softReset;
  // Capacity report.
  std::string readCapacityTitle;
  std::string sectorSizeLabel;
  std::string capacityLabel;
  // Identity lines of busview-report: the serial number, the designators
  // by type, the word for designator types without a label of their own,
  // and what a designator names when it is not the logical unit (indexed
  // by association).
  std::string serialNumberLabel;
  std::string naaLabel;
  std::string eui64Label;
  std::string t10VendorIdLabel;
  std::string scsiNameLabel;
  std::string designatorTypeLabel;
  std::string associationWords[4];
};

const ReportTexts& Texts();
