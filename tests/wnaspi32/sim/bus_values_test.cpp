// How the values of a bus file reach the replies: number notations, texts
// in code page 932 and raw bytes, and what is taken when a key is left out.
#include <string>
#include <vector>

#include "sim_fixture.h"

namespace {

using namespace simtest;

SRB AdapterInquiry(std::uint8_t adapter) {
  SRB srb = TargetRequest(SC_HA_INQUIRY, adapter, 0);
  EXPECT_EQ(SendASPI32Command(&srb), SS_COMP);
  return srb;
}

std::string Field(const std::uint8_t* bytes, std::size_t count) {
  return {reinterpret_cast<const char*>(bytes), count};
}

TEST(SimValues, NumbersInJsonAndInCNotation) {
  const char* notations[] = {"15", "\"15\"", "\"0xF\"", "\"0X0f\"", "\"017\"", "\"+15\"", "15.0"};
  for (const char* notation : notations) {
    SCOPED_TRACE(notation);
    UseBus(std::string(R"({"adapters": [{"scsi_id": )") + notation + "}]}");
    EXPECT_EQ(AdapterInquiry(0).HA_SCSI_ID, 15);
  }
}

// Zero and the ends of a 32-bit value in every notation: a text is one
// whole number in C notation, or refused saying why.
TEST(SimValues, NotationsAtZeroAndAtTheLimits) {
  struct Case {
    const char* value;
    std::uint32_t taken;
    const char* problem;  // null when taken
  };
  const char* const range = "out of range (0 to 0xFFFFFFFF)";
  const Case cases[] = {
      {R"("0")", 0, nullptr},          {R"("00")", 0, nullptr},
      {R"("0x0")", 0, nullptr},        {R"("-0")", 0, nullptr},
      {"0", 0, nullptr},               {"-0.0", 0, nullptr},
      {R"("4294967295")", 0xFFFFFFFF, nullptr}, {R"("0xffffffff")", 0xFFFFFFFF, nullptr},
      {R"("037777777777")", 0xFFFFFFFF, nullptr}, {"4294967295", 0xFFFFFFFF, nullptr},
      {R"("4294967296")", 0, range},   {R"("0x100000000")", 0, range},
      {R"("040000000000")", 0, range}, {R"("-1")", 0, range},
      {"4294967296", 0, range},        {R"("08")", 0, "expected a number"},
      {R"("0x")", 0, "expected a number"}, {R"("")", 0, "expected a number"},
      {R"(" 1")", 0, "expected a number"}, {R"("1 ")", 0, "expected a number"},
      {R"("0b1")", 0, "expected a number"}, {R"("--1")", 0, "expected a number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    testing::internal::CaptureStderr();
    UseBus(std::string(R"({"adapters": [], "support_info": )") + c.value + "}");
    const std::string refusal = testing::internal::GetCapturedStderr();
    if (c.problem == nullptr) {
      EXPECT_EQ(refusal, "");
      EXPECT_EQ(GetASPI32SupportInfo(), c.taken);
    } else {
      EXPECT_NE(refusal.find(std::string("support_info: ") + c.problem), std::string::npos) << refusal;
    }
  }
}

TEST(SimValues, SupportInfoAndAdapterDefaults) {
  struct Case {
    std::string adapters;
    std::uint32_t supportInfo;
  };
  std::string many = "{}";
  for (int i = 1; i < 255; ++i) many += ",{}";
  const Case cases[] = {
      {"[]", 0x0000E800},
      {"[{}]", 0x0101},
      {"[{}, {}, {}]", 0x0103},
      {"[" + many + "]", 0x01FF},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.adapters.substr(0, 20));
    UseBus(R"({"adapters": )" + c.adapters + "}");
    EXPECT_EQ(GetASPI32SupportInfo(), c.supportInfo);
  }
  UseBus(R"({"support_info": "0x00120100", "adapters": [{}, {"ha_count": 9}]})");
  EXPECT_EQ(GetASPI32SupportInfo(), 0x00120100u);
  const SRB first = AdapterInquiry(0);
  EXPECT_EQ(first.HA_Count, 2) << "the number of adapters when not given";
  EXPECT_EQ(first.HA_SCSI_ID, 7);
  EXPECT_EQ(Field(first.HA_ManagerId, 16), std::string("ASPI for WIN32\0\0", 16));
  EXPECT_EQ(Field(first.HA_Identifier, 16), std::string(16, '\0'));
  EXPECT_EQ(AdapterInquiry(1).HA_Count, 9);
}

TEST(SimValues, TextsBecomeCodePage932OrRawBytes) {
  UseBus(R"({"adapters": [
      {"manager": "日本語", "identifier": "ｱｽﾋﾟ"},
      {"manager": {"hex": "41 42 00 ff"}, "identifier": {"hex": "4142434445464748494A4B4C4D4E4F50"},
       "targets": [{"id": 0, "inquiry": {"vendor": "ﾃｽﾄ", "product": "内蔵SCSI", "revision": {"hex": "31"}}}]}]})");
  const SRB first = AdapterInquiry(0);
  EXPECT_EQ(Field(first.HA_ManagerId, 16), std::string("\x93\xFA\x96\x7B\x8C\xEA", 6) + std::string(10, '\0'));
  EXPECT_EQ(Field(first.HA_Identifier, 16), std::string("\xB1\xBD\xCB\xDF", 4) + std::string(12, '\0'));
  const SRB second = AdapterInquiry(1);
  EXPECT_EQ(Field(second.HA_ManagerId, 16), std::string("AB\0\xFF", 4) + std::string(12, '\0'));
  EXPECT_EQ(Field(second.HA_Identifier, 16), "ABCDEFGHIJKLMNOP");

  Buffer buffer;
  SRB inquiry = ScsiRequest(1, 0, buffer, 40, {0x12, 0, 0, 0, 36, 0});
  ASSERT_EQ(SendASPI32Command(&inquiry), SS_COMP);
  // INQUIRY texts are padded with blanks; raw bytes with NUL bytes.
  EXPECT_EQ(Field(&buffer.bytes[8], 28), std::string("\xC3\xBD\xC4     "
                                                     "\x93\xE0\x91\xA0SCSI        "
                                                     "1\0\0\0", 28));
}

TEST(SimValues, WhatATargetAnswersByDefault) {
  UseBus(R"({"adapters": [{"targets": [
      {"id": 0},
      {"id": 1, "inquiry": ""},
      {"id": 2, "inquiry": "7F", "type": 3},
      {"id": 3, "inquiry": "05"}]}]})");
  struct Case {
    std::uint8_t target;
    std::uint8_t deviceType;
    std::uint8_t inquiryStatus;
  };
  const Case cases[] = {
      {0, 0x1F, SS_ERR},   // no INQUIRY data: type unknown, INQUIRY rejected
      {1, 0x1F, SS_COMP},  // INQUIRY data of no bytes
      {2, 3, SS_COMP},     // a type of its own beats INQUIRY byte 0
      {3, 5, SS_COMP},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.target));
    SRB type = TargetRequest(SC_GET_DEV_TYPE, 0, c.target);
    ASSERT_EQ(SendASPI32Command(&type), SS_COMP);
    EXPECT_EQ(type.SRB_DeviceType, c.deviceType);

    SRB disk = TargetRequest(SC_GET_DISK_INFO, 0, c.target);
    disk.SRB_DriveFlags = disk.SRB_Heads = 0xEE;
    ASSERT_EQ(SendASPI32Command(&disk), SS_COMP);
    EXPECT_EQ(disk.SRB_DriveFlags, 0);
    EXPECT_EQ(disk.SRB_Heads, 0);

    Buffer buffer;
    SRB inquiry = ScsiRequest(0, c.target, buffer, 40, {0x12, 0, 0, 0, 36, 0});
    EXPECT_EQ(SendASPI32Command(&inquiry), c.inquiryStatus);
    SRB capacity = ScsiRequest(0, c.target, buffer, 8, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(SendASPI32Command(&capacity), SS_ERR);
    EXPECT_EQ(capacity.SRB_TargStat, STATUS_CHKCOND);
  }
}

// The workstation example: two adapters and the devices of a demo machine.
TEST(SimValues, WorkstationExample) {
  testing::internal::CaptureStderr();
  UseBusFile(ExamplePath("workstation.json"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(GetASPI32SupportInfo(), 0x0102u);
  EXPECT_EQ(Field(AdapterInquiry(1).HA_Identifier, 8), "\x93\xE0\x91\xA0SCSI");
  struct Case {
    std::uint8_t adapter;
    std::uint8_t target;
    std::uint8_t deviceType;
    std::uint32_t lastLba10;  // 0: no READ CAPACITY
  };
  const Case devices[] = {
      {0, 0, 0, 8467367},    // disk
      {0, 1, 0, 0xFFFFFFFF}, // disk over 2 TiB
      {0, 4, 5, 332999},     // CD-ROM
      {0, 6, 6, 0},          // scanner
      {1, 3, 7, 310351},     // MO drive
      {1, 5, 1, 0},          // tape
  };
  for (const Case& c : devices) {
    SCOPED_TRACE(testing::Message() << int(c.adapter) << ":" << int(c.target));
    SRB type = TargetRequest(SC_GET_DEV_TYPE, c.adapter, c.target);
    ASSERT_EQ(SendASPI32Command(&type), SS_COMP);
    EXPECT_EQ(type.SRB_DeviceType, c.deviceType);
    Buffer buffer;
    SRB capacity = ScsiRequest(c.adapter, c.target, buffer, 8, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(SendASPI32Command(&capacity), c.lastLba10 != 0 ? SS_COMP : SS_ERR);
    if (c.lastLba10 != 0) {
      EXPECT_EQ(std::uint32_t(buffer.bytes[0] << 24 | buffer.bytes[1] << 16 | buffer.bytes[2] << 8 |
                              buffer.bytes[3]),
                c.lastLba10);
    }
  }
}

}  // namespace
