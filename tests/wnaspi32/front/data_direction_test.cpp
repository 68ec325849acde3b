// Which commands carry data to the device, and the front that refuses them
// before any backend sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "front_fixture.h"
#include "wnaspi32/front/data_direction.h"

namespace fronttest {
namespace {

TEST(DataDirectionTest, OpcodesThatDependOnTheDeviceOrTheCdbPassWhenTheyRead) {
  const std::pair<int, Bytes> reading[] = {
      {0, {0xA3, 0x0C}},                              // MAINTENANCE IN on a disk
      {5, {0xA4, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0}},   // REPORT KEY on a DVD drive
      {5, {0xA1, 0x01}},                              // BLANK on a CD writer
      {0, {0x85, 0x08, 0x0E}},                        // ATA IDENTIFY, from the device
      {0, {0x85, 0x06, 0x20}},                        // ATA CHECK POWER MODE, no data
      {0, {0x7F, 0, 0, 0, 0, 0, 0, 0x18, 0x00, 0x09}},  // READ(32)
  };
  for (const auto& [type, cdb] : reading)
    EXPECT_FALSE(wnaspi32::MovesDataToDevice(cdb, type)) << int{cdb[0]};
  EXPECT_TRUE(wnaspi32::MovesDataToDevice(Bytes{0x7F, 0, 0, 0, 0, 0, 0, 0x18, 0x00, 0x0B}, 0));
  EXPECT_TRUE(wnaspi32::MovesDataToDevice(Bytes{0xA1, 0x0A, 0x02}, 0));
}

// Commands of the primary, block, multimedia and stream command sets (and a
// scanner's and an optical memory drive's), each with the direction of its
// data as its command set defines it: the front refuses every data-out
// command before it reaches the backend and lets every data-in or no-data
// command through. Each CDB is the opcode and the bytes that settle the
// direction, padded to its group's length.
TEST(PublishedDirectionsTest, DataOutRefusedAndDataInLetThrough) {
  // A disk, a tape drive, a CD/DVD drive, a scanner and an optical memory
  // drive, each at the target ID of its type.
  CountingBackend& backend = UseCountingBackend({0, 1, 5, 6, 7});
  constexpr bool Out = true, In = false;
  struct Commands {
    int type;
    bool out;
    std::vector<Bytes> cdbs;
  };
  const Commands published[] = {
      {0, Out, {{0x04} /* FORMAT UNIT */, {0x07} /* REASSIGN BLOCKS */, {0x0A} /* WRITE(6) */,
                {0x15} /* MODE SELECT(6) */, {0x18} /* COPY */, {0x1D} /* SEND DIAGNOSTIC */,
                {0x2A} /* WRITE(10) */, {0x2E} /* WRITE AND VERIFY(10) */,
                {0x2F, 0x02} /* VERIFY(10), BYTCHK 01b */, {0x2F, 0x04} /* VERIFY(10), BYTCHK 10b */,
                {0x39} /* COMPARE */, {0x3A} /* COPY AND VERIFY */, {0x3B} /* WRITE BUFFER */,
                {0x3F} /* WRITE LONG(10) */, {0x40} /* CHANGE DEFINITION */,
                {0x41} /* WRITE SAME(10) */, {0x42} /* UNMAP */, {0x48, 0x01} /* SANITIZE, OVERWRITE */,
                {0x4C} /* LOG SELECT */, {0x50} /* XDWRITE(10) */, {0x51} /* XPWRITE(10) */,
                {0x53} /* XDWRITEREAD(10) */, {0x55} /* MODE SELECT(10) */,
                {0x5F} /* PERSISTENT RESERVE OUT */,
                {0x7F, 0, 0, 0, 0, 0, 0, 0x18, 0x00, 0x0B} /* WRITE(32) */,
                {0x7F, 0, 0, 0, 0, 0, 0, 0x18, 0x00, 0x0A, 0x02} /* VERIFY(32), BYTCHK */,
                {0x83} /* EXTENDED COPY */, {0x87} /* ACCESS CONTROL OUT */, {0x89} /* COMPARE AND WRITE */,
                {0x8A} /* WRITE(16) */, {0x8B} /* ORWRITE(16) */, {0x8D} /* WRITE ATTRIBUTE */,
                {0x8E} /* WRITE AND VERIFY(16) */, {0x8F, 0x02} /* VERIFY(16), BYTCHK */,
                {0x93} /* WRITE SAME(16) */, {0x9A} /* WRITE STREAM(16) */, {0x9C} /* WRITE ATOMIC(16) */,
                {0x9F, 0x11} /* WRITE LONG(16) */, {0xA4, 0x06} /* SET IDENTIFYING INFORMATION */,
                {0xAA} /* WRITE(12) */, {0xAE} /* WRITE AND VERIFY(12) */,
                {0xAF, 0x02} /* VERIFY(12), BYTCHK */, {0xB5} /* SECURITY PROTOCOL OUT */}},
      {0, In, {{0x00} /* TEST UNIT READY */, {0x01} /* REZERO UNIT */, {0x03} /* REQUEST SENSE */,
               {0x08} /* READ(6) */, {0x0B} /* SEEK(6) */, {0x12} /* INQUIRY */, {0x1A} /* MODE SENSE(6) */,
               {0x1B} /* START STOP UNIT */, {0x1C} /* RECEIVE DIAGNOSTIC RESULTS */,
               {0x1E} /* PREVENT ALLOW MEDIUM REMOVAL */, {0x25} /* READ CAPACITY(10) */,
               {0x28} /* READ(10) */, {0x2B} /* SEEK(10) */, {0x2F} /* VERIFY(10) */,
               {0x34} /* PRE-FETCH(10) */, {0x35} /* SYNCHRONIZE CACHE(10) */,
               {0x36} /* LOCK UNLOCK CACHE(10) */, {0x37} /* READ DEFECT DATA(10) */,
               {0x3C} /* READ BUFFER */, {0x3E} /* READ LONG(10) */, {0x48, 0x02} /* SANITIZE, BLOCK ERASE */,
               {0x4D} /* LOG SENSE */, {0x52} /* XDREAD(10) */, {0x5A} /* MODE SENSE(10) */,
               {0x5E} /* PERSISTENT RESERVE IN */, {0x7F, 0, 0, 0, 0, 0, 0, 0x18, 0x00, 0x09} /* READ(32) */,
               {0x7F, 0, 0, 0, 0, 0, 0, 0x18, 0x00, 0x0A} /* VERIFY(32) */,
               {0x84} /* RECEIVE COPY RESULTS */, {0x86} /* ACCESS CONTROL IN */,
               {0x88} /* READ(16) */, {0x8C} /* READ ATTRIBUTE */, {0x8F} /* VERIFY(16) */,
               {0x90} /* PRE-FETCH(16) */, {0x91} /* SYNCHRONIZE CACHE(16) */,
               {0x92} /* LOCK UNLOCK CACHE(16) */, {0x9E, 0x10} /* READ CAPACITY(16) */,
               {0x9E, 0x12} /* GET LBA STATUS */, {0xA0} /* REPORT LUNS */, {0xA2} /* SECURITY PROTOCOL IN */,
               {0xA3, 0x0C} /* REPORT SUPPORTED OPERATION CODES */, {0xA8} /* READ(12) */,
               {0xAB, 0x01} /* READ MEDIA SERIAL NUMBER */, {0xAF} /* VERIFY(12) */,
               {0xB7} /* READ DEFECT DATA(12) */}},
      {1, Out, {{0x04} /* FORMAT MEDIUM */, {0x0A} /* WRITE(6) */, {0x13, 0x02} /* VERIFY(6), BYTCMP */,
                {0x15} /* MODE SELECT(6) */, {0x4C} /* LOG SELECT */, {0x55} /* MODE SELECT(10) */,
                {0x8A} /* WRITE(16) */, {0x8D} /* WRITE ATTRIBUTE */, {0x8F, 0x02} /* VERIFY(16), BYTCMP */}},
      {1, In, {{0x01} /* REWIND */, {0x05} /* READ BLOCK LIMITS */, {0x08} /* READ(6) */,
               {0x0B} /* SET CAPACITY */, {0x0F} /* READ REVERSE(6) */, {0x10} /* WRITE FILEMARKS(6) */,
               {0x11} /* SPACE(6) */, {0x13} /* VERIFY(6) */, {0x14} /* RECOVER BUFFERED DATA */,
               {0x19} /* ERASE(6) */, {0x1B} /* LOAD UNLOAD */, {0x2B} /* LOCATE(10) */,
               {0x34} /* READ POSITION */, {0x44} /* REPORT DENSITY SUPPORT */,
               {0x80} /* WRITE FILEMARKS(16) */, {0x81} /* READ REVERSE(16) */, {0x82} /* ALLOW OVERWRITE */,
               {0x88} /* READ(16) */, {0x8F, 0x04} /* VERIFY(16), IMMED */, {0x91} /* SPACE(16) */,
               {0x92} /* LOCATE(16) */}},
      {5, Out, {{0x04} /* FORMAT UNIT */, {0x2A} /* WRITE(10) */, {0x2E} /* WRITE AND VERIFY(10) */,
                {0x54} /* SEND OPC INFORMATION */, {0x55} /* MODE SELECT(10) */, {0x5D} /* SEND CUE SHEET */,
                {0xA3} /* SEND KEY */, {0xAA} /* WRITE(12) */, {0xB6} /* SET STREAMING */,
                {0xBF} /* SEND DISC STRUCTURE */}},
      {5, In, {{0x23} /* READ FORMAT CAPACITIES */, {0x25} /* READ CAPACITY */, {0x28} /* READ(10) */,
               {0x2F} /* VERIFY(10) */, {0x35} /* SYNCHRONIZE CACHE */, {0x42} /* READ SUB-CHANNEL */,
               {0x43} /* READ TOC/PMA/ATIP */, {0x44} /* READ HEADER */, {0x45} /* PLAY AUDIO(10) */,
               {0x46} /* GET CONFIGURATION */, {0x47} /* PLAY AUDIO MSF */,
               {0x4A} /* GET EVENT STATUS NOTIFICATION */, {0x4B} /* PAUSE/RESUME */,
               {0x4E} /* STOP PLAY/SCAN */,
               {0x51} /* READ DISC INFORMATION */, {0x52} /* READ TRACK INFORMATION */,
               {0x53} /* RESERVE TRACK */, {0x58} /* REPAIR TRACK */, {0x5A} /* MODE SENSE(10) */,
               {0x5B} /* CLOSE TRACK/SESSION */, {0x5C} /* READ BUFFER CAPACITY */, {0xA1} /* BLANK */,
               {0xA4} /* REPORT KEY */, {0xA5} /* PLAY AUDIO(12) */, {0xA6} /* LOAD/UNLOAD MEDIUM */,
               {0xA7} /* SET READ AHEAD */, {0xA8} /* READ(12) */, {0xAC} /* GET PERFORMANCE */,
               {0xAD} /* READ DISC STRUCTURE */, {0xB9} /* READ CD MSF */, {0xBA} /* SCAN */,
               {0xBB} /* SET CD SPEED */, {0xBD} /* MECHANISM STATUS */, {0xBE} /* READ CD */}},
      {6, Out, {{0x24} /* SET WINDOW */, {0x2A} /* SEND(10) */}},
      {6, In, {{0x25} /* GET WINDOW */, {0x28} /* READ(10) */, {0x34} /* GET DATA BUFFER STATUS */}},
      {7, Out, {{0x3D} /* UPDATE BLOCK */}},
      {7, In, {{0x2C} /* ERASE(10) */, {0x2D} /* READ UPDATED BLOCK */}},
  };
  const auto groupLength = [](std::uint8_t opcode) -> std::size_t {
    const std::size_t lengths[] = {6, 10, 10, 16, 16, 12, 10, 10};
    return lengths[opcode >> 5];
  };
  for (const Commands& commands : published) {
    for (Bytes cdb : commands.cdbs) {
      SCOPED_TRACE(testing::Message() << "device type " << commands.type << ", opcode " << std::hex
                                      << int{cdb[0]} << (commands.out ? ", data-out" : ", data-in"));
      cdb.resize(std::max(cdb.size(), groupLength(cdb[0])), 0);
      const int reachedBefore = backend.commands;
      SRB srb = Command(static_cast<std::uint8_t>(commands.type), cdb);
      EXPECT_EQ(SendASPI32Command(&srb), commands.out ? SS_ERR : SS_COMP);
      EXPECT_EQ(backend.commands, reachedBefore + (commands.out ? 0 : 1));
    }
  }
}

}  // namespace
}  // namespace fronttest
