#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "aspi/request_block.h"
#include "win32_stand_ins/buffer_handles.h"

namespace {

struct FieldPlace {
  const char* name;
  std::size_t offset;
  std::size_t width;
};

// Every field in the same order in every build, where the layer reads it.
// The two address fields are 4 bytes wide, and 8 on 64-bit Windows, where
// they lie on 8-byte boundaries and move the fields after them.
const FieldPlace Fields[] = {
    {"SRB_Cmd", offsetof(SRB, SRB_Cmd), sizeof SRB::SRB_Cmd},
    {"SRB_Status", offsetof(SRB, SRB_Status), sizeof SRB::SRB_Status},
    {"SRB_HaId", offsetof(SRB, SRB_HaId), sizeof SRB::SRB_HaId},
    {"SRB_Flags", offsetof(SRB, SRB_Flags), sizeof SRB::SRB_Flags},
    {"SRB_Hdr_Rsvd", offsetof(SRB, SRB_Hdr_Rsvd), sizeof SRB::SRB_Hdr_Rsvd},
    {"HA_Count", offsetof(SRB, HA_Count), sizeof SRB::HA_Count},
    {"HA_SCSI_ID", offsetof(SRB, HA_SCSI_ID), sizeof SRB::HA_SCSI_ID},
    {"HA_ManagerId", offsetof(SRB, HA_ManagerId), sizeof SRB::HA_ManagerId},
    {"HA_Identifier", offsetof(SRB, HA_Identifier), sizeof SRB::HA_Identifier},
    {"SRB_Target", offsetof(SRB, SRB_Target), sizeof SRB::SRB_Target},
    {"SRB_Lun", offsetof(SRB, SRB_Lun), sizeof SRB::SRB_Lun},
    {"SRB_DeviceType", offsetof(SRB, SRB_DeviceType), sizeof SRB::SRB_DeviceType},
    {"SRB_DriveFlags", offsetof(SRB, SRB_DriveFlags), sizeof SRB::SRB_DriveFlags},
    {"SRB_Int13HDriveInfo", offsetof(SRB, SRB_Int13HDriveInfo), sizeof SRB::SRB_Int13HDriveInfo},
    {"SRB_Heads", offsetof(SRB, SRB_Heads), sizeof SRB::SRB_Heads},
    {"SRB_Sectors", offsetof(SRB, SRB_Sectors), sizeof SRB::SRB_Sectors},
    {"SRB_BufLen", offsetof(SRB, SRB_BufLen), sizeof SRB::SRB_BufLen},
    {"SRB_BufPointer", offsetof(SRB, SRB_BufPointer), sizeof SRB::SRB_BufPointer},
    {"SRB_SenseLen", offsetof(SRB, SRB_SenseLen), sizeof SRB::SRB_SenseLen},
    {"SRB_CDBLen", offsetof(SRB, SRB_CDBLen), sizeof SRB::SRB_CDBLen},
    {"SRB_HaStat", offsetof(SRB, SRB_HaStat), sizeof SRB::SRB_HaStat},
    {"SRB_TargStat", offsetof(SRB, SRB_TargStat), sizeof SRB::SRB_TargStat},
    {"SRB_PostProc", offsetof(SRB, SRB_PostProc), sizeof SRB::SRB_PostProc},
    {"SRB_Rsvd2", offsetof(SRB, SRB_Rsvd2), sizeof SRB::SRB_Rsvd2},
    {"CDBByte", offsetof(SRB, CDBByte), sizeof SRB::CDBByte},
    {"SenseArea", offsetof(SRB, SenseArea), sizeof SRB::SenseArea},
};

#ifdef _WIN64
constexpr std::size_t ExpectedSize = 112, ExpectedAlignment = 8;
const FieldPlace Expected[] = {
    {"SRB_Cmd", 0, 1}, {"SRB_Status", 1, 1}, {"SRB_HaId", 2, 1}, {"SRB_Flags", 3, 1},
    {"SRB_Hdr_Rsvd", 4, 4}, {"HA_Count", 8, 1}, {"HA_SCSI_ID", 9, 1}, {"HA_ManagerId", 10, 16},
    {"HA_Identifier", 26, 16}, {"SRB_Target", 8, 1}, {"SRB_Lun", 9, 1}, {"SRB_DeviceType", 10, 1},
    {"SRB_DriveFlags", 10, 1}, {"SRB_Int13HDriveInfo", 11, 1}, {"SRB_Heads", 12, 1},
    {"SRB_Sectors", 13, 1}, {"SRB_BufLen", 12, 4}, {"SRB_BufPointer", 16, 8},
    {"SRB_SenseLen", 24, 1}, {"SRB_CDBLen", 25, 1}, {"SRB_HaStat", 26, 1}, {"SRB_TargStat", 27, 1},
    {"SRB_PostProc", 32, 8}, {"SRB_Rsvd2", 40, 20}, {"CDBByte", 60, 16}, {"SenseArea", 76, 36},
};
#else
constexpr std::size_t ExpectedSize = 100, ExpectedAlignment = 4;
const FieldPlace Expected[] = {
    {"SRB_Cmd", 0, 1}, {"SRB_Status", 1, 1}, {"SRB_HaId", 2, 1}, {"SRB_Flags", 3, 1},
    {"SRB_Hdr_Rsvd", 4, 4}, {"HA_Count", 8, 1}, {"HA_SCSI_ID", 9, 1}, {"HA_ManagerId", 10, 16},
    {"HA_Identifier", 26, 16}, {"SRB_Target", 8, 1}, {"SRB_Lun", 9, 1}, {"SRB_DeviceType", 10, 1},
    {"SRB_DriveFlags", 10, 1}, {"SRB_Int13HDriveInfo", 11, 1}, {"SRB_Heads", 12, 1},
    {"SRB_Sectors", 13, 1}, {"SRB_BufLen", 12, 4}, {"SRB_BufPointer", 16, 4},
    {"SRB_SenseLen", 20, 1}, {"SRB_CDBLen", 21, 1}, {"SRB_HaStat", 22, 1}, {"SRB_TargStat", 23, 1},
    {"SRB_PostProc", 24, 4}, {"SRB_Rsvd2", 28, 20}, {"CDBByte", 48, 16}, {"SenseArea", 64, 36},
};
#endif

TEST(RequestBlockLayout, FieldsLieAtTheLayersOffsets) {
  EXPECT_EQ(sizeof(SRB), ExpectedSize);
  EXPECT_EQ(alignof(SRB), ExpectedAlignment);
  ASSERT_EQ(std::size(Fields), std::size(Expected));
  for (std::size_t i = 0; i < std::size(Fields); ++i) {
    EXPECT_EQ(Fields[i].offset, Expected[i].offset) << Fields[i].name;
    EXPECT_EQ(Fields[i].width, Expected[i].width) << Fields[i].name;
  }
}

TEST(RequestBlockLayout, MultiByteFieldsAreLittleEndian) {
  SRB block{};
  block.SRB_BufLen = 0x11223344;
  block.SRB_PostProc = static_cast<SrbPointer>(0xA1B2C3D4);
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&block);
  const std::uint8_t bufLen[] = {0x44, 0x33, 0x22, 0x11};
  const std::uint8_t postProc[] = {0xD4, 0xC3, 0xB2, 0xA1, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(bytes + 12, bufLen, 4), 0);
  EXPECT_EQ(std::memcmp(bytes + Expected[22].offset, postProc, sizeof(SrbPointer)), 0);
}

TEST(RequestBlock, ClearingZeroesEveryByteLeftByTheLastRequest) {
  std::memset(&RequestBlock, 0xA5, sizeof RequestBlock);
  RequestBlock.SRB_Flags = SRB_EVENT_NOTIFY;
  RequestBlock.SRB_PostProc = 77;
  ClearRequestBlock();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&RequestBlock);
  for (std::size_t i = 0; i < sizeof RequestBlock; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(RequestBlock, DataBufferPointerLeadsBackToDataBuffer) {
  const SrbPointer pointer = DataBufferPointer();
  ASSERT_NE(pointer, 0u);
  EXPECT_EQ(DataBufferPointer(), pointer);
  std::uint32_t length = 0;
  EXPECT_EQ(LookupDataBuffer(pointer, &length), static_cast<void*>(DataBuffer));
  EXPECT_EQ(length, DataBufferSize);
}

}  // namespace
