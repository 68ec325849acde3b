#include <gtest/gtest.h>

#include "report_fixture.h"
#include "reports/device_reports.h"

namespace {

std::string Header(int adapter, int target) {
  return "HostNo " + std::to_string(adapter) + ",ID " + std::to_string(target) + S(" の装置");
}
std::string TypeLine(const std::string& word) { return "ASPI" + S("のDevice Type") + Blanks(5) + "= " + word; }
std::string OsDriveLine(const char* hex) {
  return S("INT13H UNIT (OS管理) (ドライブ番号 = ") + hex + ")";
}
std::string DriveLine(const char* hex) { return S("INT13H UNIT (ドライブ番号 = ") + hex + ")"; }
std::string HeadsLine(int heads) { return S("ヘッド変換値") + Blanks(10) + "= " + std::to_string(heads); }
std::string SectorsLine(int sectors) {
  return S("セクタ変換値") + Blanks(10) + "= " + std::to_string(sectors);
}

struct DeviceTypeCase {
  const char* name;
  std::int32_t target;
  std::int32_t adapter;
  std::vector<std::string> simple;
  std::vector<std::string> detailed;
};
void PrintTo(const DeviceTypeCase& c, std::ostream* os) { *os << c.name; }

class DeviceTypeReportTest : public ReportTest,
                             public ::testing::WithParamInterface<DeviceTypeCase> {};

TEST_P(DeviceTypeReportTest, SimpleMode) {
  UseBus("device_types.json");
  window.detailed = false;
  ReportDeviceType(GetParam().target, GetParam().adapter);
  EXPECT_EQ(window.Memo1(), GetParam().simple);
}

TEST_P(DeviceTypeReportTest, DetailedMode) {
  UseBus("device_types.json");
  window.detailed = true;
  ReportDeviceType(GetParam().target, GetParam().adapter);
  EXPECT_EQ(window.Memo1(), GetParam().detailed);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, DeviceTypeReportTest,
    ::testing::Values(
        // The worked example: an OS-managed INT 13h disk.
        DeviceTypeCase{"OsManagedDisk", 0, 0,
                       {Header(0, 0), TypeLine(S("ＨＤＤ"))},
                       {Header(0, 0), TypeLine(S("ＨＤＤ")), OsDriveLine("80"), HeadsLine(64),
                        SectorsLine(32)}},
        DeviceTypeCase{"FlagsThreeNoDriveLine", 1, 0,
                       {Header(0, 1), TypeLine(S("不明"))},
                       {Header(0, 1), TypeLine(S("不明")), HeadsLine(255), SectorsLine(63)}},
        DeviceTypeCase{"FlagsZeroNoDiskLines", 2, 0,
                       {Header(0, 2), TypeLine("")},
                       {Header(0, 2), TypeLine("")}},
        // Only the two low bits count: 5 reads as 1.
        DeviceTypeCase{"FlagsFiveReadAsOne", 3, 0,
                       {Header(0, 3), TypeLine(S("ＣＤ－ＲＯＭ"))},
                       {Header(0, 3), TypeLine(S("ＣＤ－ＲＯＭ")), OsDriveLine("A"), HeadsLine(1),
                        SectorsLine(2)}},
        DeviceTypeCase{"FlagsTwoDriveZero", 4, 0,
                       {Header(0, 4), TypeLine(S("光メモリ（ライトワンス）"))},
                       {Header(0, 4), TypeLine(S("光メモリ（ライトワンス）")), DriveLine("0"),
                        HeadsLine(0), SectorsLine(0)}},
        // A failed device type request still leaves the disk information.
        DeviceTypeCase{"DeviceTypeFails", 5, 0, {},
                       {DriveLine("81"), HeadsLine(8), SectorsLine(17)}},
        DeviceTypeCase{"DiskInformationFails", 6, 0,
                       {Header(0, 6), TypeLine(S("ＨＤＤ"))},
                       {Header(0, 6), TypeLine(S("ＨＤＤ"))}},
        DeviceTypeCase{"NoDevice", 7, 0, {}, {}},
        // Requests carry the low byte (44); the header the number given.
        DeviceTypeCase{"TargetThreeHundred", 300, 0,
                       {Header(0, 300), TypeLine(S("ＭＯ"))},
                       {Header(0, 300), TypeLine(S("ＭＯ"))}},
        DeviceTypeCase{"AdapterTwoFiftySeven", 0, 257,
                       {Header(257, 0), TypeLine("")},
                       {Header(257, 0), TypeLine("")}},
        DeviceTypeCase{"TypeAboveThirtyOne", 1, 1,
                       {Header(1, 1), TypeLine("")},
                       {Header(1, 1), TypeLine("")}},
        DeviceTypeCase{"CommunicationsDevice", 2, 1,
                       {Header(1, 2), TypeLine(S("通信装置"))},
                       {Header(1, 2), TypeLine(S("通信装置"))}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ReportTest, DeviceTypeRequestsAddressTheLowBytes) {
  UseBus("device_types.json");
  window.detailed = true;
  ReportDeviceType(300, 256);
  EXPECT_EQ(RequestBlock.SRB_Cmd, SC_GET_DISK_INFO);
  EXPECT_EQ(RequestBlock.SRB_Target, 44);
  EXPECT_EQ(RequestBlock.SRB_HaId, 0);
  EXPECT_EQ(RequestBlock.SRB_Lun, 0);
}

}  // namespace
