// SCSI commands on the simulated bus: how much data lands, READ CAPACITY in
// both sizes, check conditions and the statuses a bus file sets.
#include <cstring>
#include <string>
#include <vector>

#include "sim_fixture.h"

namespace {

using namespace simtest;

std::size_t FilledBytes(const Buffer& buffer) {
  std::size_t count = 0;
  while (count < buffer.bytes.size() && buffer.bytes[count] != Buffer::Marker) ++count;
  return count;
}

TEST(SimInquiry, ReturnsTheLeastOfDeviceAllocationAndBuffer) {
  // Targets return 8, 36 and 96 bytes; a raw-bytes device returns 5.
  UseBus(R"({"adapters": [{"targets": [
      {"id": 0, "inquiry": {"length": 8}},
      {"id": 1, "inquiry": {"vendor": "V"}},
      {"id": 2, "inquiry": {"length": 96}},
      {"id": 3, "inquiry": "05 80 02 02 00"}]}]})");
  struct Case {
    std::uint8_t target;
    std::uint32_t bufLen;
    std::uint8_t allocation;
    std::size_t expected;
  };
  const Case cases[] = {
      {0, 40, 36, 8},   // a short reply leaves the rest as it was
      {1, 40, 36, 36},  // the program's INQUIRY: 36 asked, 40 allowed
      {1, 40, 20, 20},  // the CDB asks for less
      {1, 4, 36, 4},    // the block allows less
      {2, 40, 96, 40},
      {2, 200, 200, 81},  // never beyond the registered buffer
      {3, 40, 36, 5},
      {1, 40, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "target " << int(c.target) << " buflen " << c.bufLen
                                    << " alloc " << int(c.allocation));
    Buffer buffer;
    SRB srb = ScsiRequest(0, c.target, buffer, c.bufLen, {0x12, 0, 0, 0, c.allocation, 0});
    ASSERT_EQ(SendASPI32Command(&srb), SS_COMP);
    EXPECT_EQ(FilledBytes(buffer), c.expected);
  }
}

TEST(SimInquiry, ObjectFormBuildsTheStandardBytes) {
  UseBus(R"({"adapters": [{"targets": [{"id": 0, "inquiry": {
      "type": 5, "qualifier": 1, "removable": true, "version": "0x4A", "aenc": true,
      "format": 2, "flags": 255, "vendor": "AB", "product": {"hex": "41 00 42"},
      "revision": "1", "length": 40}}]}]})");
  Buffer buffer;
  SRB srb = ScsiRequest(0, 0, buffer, 81, {0x12, 0, 0, 0, 81, 0});
  ASSERT_EQ(SendASPI32Command(&srb), SS_COMP);
  const std::vector<std::uint8_t> head = {0x25, 0x80, 0x4A, 0x82, 35, 0, 0, 0xFF};
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.bytes.begin(), buffer.bytes.begin() + 8), head);
  // Texts are padded with blanks, raw bytes with NUL bytes.
  const std::string text(buffer.bytes.begin() + 8, buffer.bytes.begin() + 36);
  EXPECT_EQ(text, std::string("AB      A\0B\0\0\0\0\0\0\0\0\0\0\0\0\0001   ", 28));
  EXPECT_EQ(buffer.bytes[36], 0);
  EXPECT_EQ(buffer.bytes[39], 0);
  EXPECT_EQ(buffer.bytes[40], Buffer::Marker);

  SRB type = TargetRequest(SC_GET_DEV_TYPE, 0, 0);
  ASSERT_EQ(SendASPI32Command(&type), SS_COMP);
  EXPECT_EQ(type.SRB_DeviceType, 5) << "the type comes from INQUIRY byte 0 when not given";
}

std::uint64_t BigEndian(const std::uint8_t* bytes, int width) {
  std::uint64_t value = 0;
  for (int i = 0; i < width; ++i) value = value << 8 | bytes[i];
  return value;
}

TEST(SimReadCapacity, TenAndSixteenByteForms) {
  UseBus(R"({"adapters": [{"targets": [
      {"id": 0, "capacity": {"last_lba": 4110479, "block_length": 512}},
      {"id": 1, "capacity": {"last_lba": "0xFFFFFFFE", "block_length": 2048}},
      {"id": 2, "capacity": {"last_lba": "0xFFFFFFFF", "block_length": 512}},
      {"id": 3, "capacity": {"last_lba": 5860533167, "block_length": 4096}}]}]})");
  struct Case {
    std::uint8_t target;
    std::uint64_t lastLba;  // the full value, as READ CAPACITY(16) gives it
    std::uint32_t lastLba10;
    std::uint32_t blockLength;
  };
  const Case cases[] = {
      {0, 4110479, 4110479, 512},
      {1, 0xFFFFFFFE, 0xFFFFFFFE, 2048},
      {2, 0xFFFFFFFF, 0xFFFFFFFF, 512},
      {3, 5860533167, 0xFFFFFFFF, 4096},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "target " << int(c.target));
    Buffer ten;
    SRB srb10 = ScsiRequest(0, c.target, ten, 8, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    ASSERT_EQ(SendASPI32Command(&srb10), SS_COMP);
    EXPECT_EQ(BigEndian(&ten.bytes[0], 4), c.lastLba10);
    EXPECT_EQ(BigEndian(&ten.bytes[4], 4), c.blockLength);
    EXPECT_EQ(ten.bytes[8], Buffer::Marker);

    Buffer sixteen;
    SRB srb16 = ScsiRequest(0, c.target, sixteen, 32,
                            {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0});
    ASSERT_EQ(SendASPI32Command(&srb16), SS_COMP);
    EXPECT_EQ(BigEndian(&sixteen.bytes[0], 8), c.lastLba);
    EXPECT_EQ(BigEndian(&sixteen.bytes[8], 4), c.blockLength);
    EXPECT_EQ(sixteen.bytes[31], 0);
    EXPECT_EQ(sixteen.bytes[32], Buffer::Marker);
  }
  // The allocation length of READ CAPACITY(16) limits the reply.
  Buffer shortReply;
  SRB srb = ScsiRequest(0, 3, shortReply, 32, {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12, 0, 0});
  ASSERT_EQ(SendASPI32Command(&srb), SS_COMP);
  EXPECT_EQ(FilledBytes(shortReply), 12u);
}

TEST(SimCheckCondition, RejectedCommandsCarryIllegalRequestSense) {
  UseBus(R"({"adapters": [{"targets": [
      {"id": 0, "inquiry": {}},
      {"id": 1, "capacity": {}}]}]})");
  struct Case {
    const char* what;
    std::uint8_t target;
    std::vector<std::uint8_t> cdb;
    std::uint8_t asc;
  };
  const Case cases[] = {
      {"TEST UNIT READY", 0, {0x00, 0, 0, 0, 0, 0}, 0x20},
      {"READ(10)", 1, {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, 0x20},
      {"READ CAPACITY without capacity", 0, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0x20},
      {"READ CAPACITY(16) without capacity", 0, {0x9E, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0}, 0x20},
      {"INQUIRY without data", 1, {0x12, 0, 0, 0, 36, 0}, 0x20},
      {"INQUIRY of a product data page", 0, {0x12, 1, 0x80, 0, 36, 0}, 0x24},
      {"other service action of 9Eh", 1, {0x9E, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 32, 0, 0}, 0x24},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Buffer buffer;
    SRB srb = ScsiRequest(0, c.target, buffer, 40, {});
    std::copy(c.cdb.begin(), c.cdb.end(), srb.CDBByte);
    srb.SRB_CDBLen = static_cast<std::uint8_t>(c.cdb.size());
    ASSERT_EQ(SendASPI32Command(&srb), SS_ERR);
    EXPECT_EQ(srb.SRB_HaStat, HASTAT_OK);
    EXPECT_EQ(srb.SRB_TargStat, STATUS_CHKCOND);
    EXPECT_EQ(srb.SenseArea[0], 0x70);
    EXPECT_EQ(srb.SenseArea[2], 0x05);
    EXPECT_EQ(srb.SenseArea[7], 10);
    EXPECT_EQ(srb.SenseArea[12], c.asc);
    // Only the 14 bytes of room the request gave are written.
    for (std::size_t i = 14; i < sizeof srb.SenseArea; ++i) EXPECT_EQ(srb.SenseArea[i], 0) << i;
    EXPECT_EQ(buffer.bytes[0], Buffer::Marker);
  }
}

TEST(SimStatus, AStatusOtherThanOneWritesNoReply) {
  UseBus(R"({"adapters": [
      {"status": 2, "identifier": "X"},
      {"targets": [{"id": 0, "inquiry": {}, "capacity": {}, "disk": {"flags": 1},
                    "status": {"dev_type": 4, "disk_info": "0x82", "inquiry": 2,
                               "read_capacity": "0xE4"}},
                   {"id": 1, "inquiry": {}, "status": 4}]}]})");
  struct Case {
    const char* what;
    SRB srb;
    std::uint8_t status;
  };
  Buffer buffer;
  const Case cases[] = {
      {"adapter inquiry", TargetRequest(SC_HA_INQUIRY, 0, 0), 2},
      {"device type", TargetRequest(SC_GET_DEV_TYPE, 1, 0), 4},
      {"disk info", TargetRequest(SC_GET_DISK_INFO, 1, 0), 0x82},
      {"inquiry", ScsiRequest(1, 0, buffer, 40, {0x12, 0, 0, 0, 36, 0}), 2},
      {"read capacity", ScsiRequest(1, 0, buffer, 8, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}), 0xE4},
      {"one status for every kind", ScsiRequest(1, 1, buffer, 40, {0x12, 0, 0, 0, 36, 0}), 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SRB srb = c.srb;
    EXPECT_EQ(SendASPI32Command(&srb), c.status);
    // Apart from the status, the block is as it was sent.
    SRB expected = c.srb;
    expected.SRB_Status = c.status;
    EXPECT_EQ(std::memcmp(&srb, &expected, sizeof srb), 0);
    EXPECT_EQ(buffer.bytes[0], Buffer::Marker);
  }
}

}  // namespace
