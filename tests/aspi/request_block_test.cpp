#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "aspi/request_block.h"
#include "win32/buffer_handles.h"

namespace {

struct FieldPlace {
  const char* name;
  std::size_t offset;
  std::size_t width;
};

// Where each field lies in the 100 bytes, as the layer reads them.
const FieldPlace Fields[] = {
    {"SRB_Cmd", offsetof(SRB, SRB_Cmd), 1},
    {"SRB_Status", offsetof(SRB, SRB_Status), 1},
    {"SRB_HaId", offsetof(SRB, SRB_HaId), 1},
    {"SRB_Flags", offsetof(SRB, SRB_Flags), 1},
    {"SRB_Hdr_Rsvd", offsetof(SRB, SRB_Hdr_Rsvd), 4},
    {"HA_Count", offsetof(SRB, HA_Count), 1},
    {"HA_SCSI_ID", offsetof(SRB, HA_SCSI_ID), 1},
    {"HA_ManagerId", offsetof(SRB, HA_ManagerId), 16},
    {"HA_Identifier", offsetof(SRB, HA_Identifier), 16},
    {"SRB_Target", offsetof(SRB, SRB_Target), 1},
    {"SRB_Lun", offsetof(SRB, SRB_Lun), 1},
    {"SRB_DeviceType", offsetof(SRB, SRB_DeviceType), 1},
    {"SRB_DriveFlags", offsetof(SRB, SRB_DriveFlags), 1},
    {"SRB_Int13HDriveInfo", offsetof(SRB, SRB_Int13HDriveInfo), 1},
    {"SRB_Heads", offsetof(SRB, SRB_Heads), 1},
    {"SRB_Sectors", offsetof(SRB, SRB_Sectors), 1},
    {"SRB_BufLen", offsetof(SRB, SRB_BufLen), 4},
    {"SRB_BufPointer", offsetof(SRB, SRB_BufPointer), 4},
    {"SRB_SenseLen", offsetof(SRB, SRB_SenseLen), 1},
    {"SRB_CDBLen", offsetof(SRB, SRB_CDBLen), 1},
    {"SRB_HaStat", offsetof(SRB, SRB_HaStat), 1},
    {"SRB_TargStat", offsetof(SRB, SRB_TargStat), 1},
    {"SRB_PostProc", offsetof(SRB, SRB_PostProc), 4},
    {"CDBByte", offsetof(SRB, CDBByte), 16},
    {"SenseArea", offsetof(SRB, SenseArea), 36},
};

const std::size_t ExpectedOffsets[] = {0, 1,  2,  3,  4,  8,  9,  10, 26, 8,  9,  10, 10,
                                       11, 12, 13, 12, 16, 20, 21, 22, 23, 24, 48, 64};

TEST(RequestBlockLayout, FieldsLieAtTheLayersOffsets) {
  ASSERT_EQ(sizeof(SRB), 100u);
  ASSERT_EQ(std::size(Fields), std::size(ExpectedOffsets));
  for (std::size_t i = 0; i < std::size(Fields); ++i) {
    EXPECT_EQ(Fields[i].offset, ExpectedOffsets[i]) << Fields[i].name;
    EXPECT_LE(Fields[i].offset + Fields[i].width, sizeof(SRB)) << Fields[i].name;
  }
}

TEST(RequestBlockLayout, MultiByteFieldsAreLittleEndian) {
  SRB block{};
  block.SRB_BufLen = 0x11223344;
  block.SRB_PostProc = 0xA1B2C3D4;
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&block);
  const std::uint8_t bufLen[] = {0x44, 0x33, 0x22, 0x11};
  const std::uint8_t postProc[] = {0xD4, 0xC3, 0xB2, 0xA1};
  EXPECT_EQ(std::memcmp(bytes + 12, bufLen, 4), 0);
  EXPECT_EQ(std::memcmp(bytes + 24, postProc, 4), 0);
}

TEST(RequestBlock, ClearingZeroesAllHundredBytesLeftByTheLastRequest) {
  std::memset(&RequestBlock, 0xA5, sizeof RequestBlock);
  RequestBlock.SRB_Flags = SRB_EVENT_NOTIFY;
  RequestBlock.SRB_PostProc = 77;
  ClearRequestBlock();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&RequestBlock);
  for (std::size_t i = 0; i < sizeof RequestBlock; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(RequestBlock, DataBufferPointerLeadsBackToDataBuffer) {
  const std::uint32_t pointer = DataBufferPointer();
  ASSERT_NE(pointer, 0u);
  EXPECT_EQ(DataBufferPointer(), pointer);
  std::uint32_t length = 0;
  EXPECT_EQ(LookupDataBuffer(pointer, &length), static_cast<void*>(DataBuffer));
  EXPECT_EQ(length, DataBufferSize);
}

}  // namespace
