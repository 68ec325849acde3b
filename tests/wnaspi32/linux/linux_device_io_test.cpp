// The real door's parts that need no device: the header the sg driver gets,
// and the answer of the child that asks a block device.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "wnaspi32/linux/linux_device_io.h"

namespace {

using wnaspi32::linux_io::BlockAnswer;
using wnaspi32::linux_io::ScsiCommand;

TEST(SgRequestHeaderTest, DataInOrNoneWithTheCommandsTimeOut) {
  const std::uint8_t cdb[10] = {0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0};
  std::vector<std::uint8_t> data(512), sense(96);
  const ScsiCommand commands[] = {
      {.cdb = cdb, .data = data, .sense = sense, .timeoutMs = wnaspi32::linux_io::ScsiTimeoutMs},
      {.cdb = cdb, .data = {}, .sense = sense, .timeoutMs = wnaspi32::linux_io::ScsiTimeoutMs}};
  for (const ScsiCommand& command : commands) {
    SCOPED_TRACE(command.data.size());
    const sg_io_hdr_t header = wnaspi32::linux_io::SgRequestHeader(command);
    EXPECT_EQ(header.interface_id, 'S');
    EXPECT_EQ(header.dxfer_direction, command.data.empty() ? SG_DXFER_NONE : SG_DXFER_FROM_DEV);
    EXPECT_EQ(header.cmd_len, 10);
    EXPECT_EQ(header.cmdp, cdb);
    EXPECT_EQ(header.dxfer_len, command.data.size());
    EXPECT_EQ(header.dxferp, command.data.empty() ? nullptr : data.data());
    EXPECT_EQ(header.mx_sb_len, 96);
    EXPECT_EQ(header.sbp, sense.data());
    EXPECT_EQ(header.timeout, 8000u) << "the driver's default would outlast the program's wait";
  }
}

// Whatever keeps the child from answering (no right to the block device,
// a device gone, a child that died), the disk gets no geometry and no
// signature, never zeros that would make it an INT 13h unit.
TEST(BlockAnswerTest, OnlyAWholeAnswerTheChildGotCounts) {
  struct Case {
    const char* name;
    bool given;
    ssize_t got;
    bool counts;
  };
  const auto whole = static_cast<ssize_t>(sizeof(BlockAnswer));
  const Case cases[] = {
      {"answered", true, whole, true},
      {"could not open the block device", false, whole, false},
      {"died while writing", true, whole - 1, false},
      {"died before writing", true, 0, false},
      {"no child", true, -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BlockAnswer answer{.given = c.given, .geometry = {}, .signature = {0x78, 0x56, 0x34, 0x12}};
    answer.geometry.heads = 255;
    answer.geometry.sectors = 63;
    const auto geometry = wnaspi32::linux_io::GeometryIn(answer, c.got);
    const auto signature = wnaspi32::linux_io::SignatureIn(answer, c.got);
    ASSERT_EQ(geometry.has_value(), c.counts);
    ASSERT_EQ(signature.has_value(), c.counts);
    if (c.counts) {
      EXPECT_EQ(geometry->heads, 255);
      EXPECT_EQ(geometry->sectors, 63);
      EXPECT_EQ(*signature, 0x12345678u);
    }
  }
}

// The child that asks a block device borrows the process's memory while
// other threads run on: on a plain file it reads the signature (HDIO_GETGEO
// fails there), each time, and hands back nothing for a file that is not
// there.
TEST(BlockDeviceChildTest, AnswersEachAskerWhileOtherThreadsWrite) {
  char name[] = "/tmp/busview-mbr-XXXXXX";
  const int fd = ::mkstemp(name);
  ASSERT_GE(fd, 0);
  std::vector<std::uint8_t> sector(512, 0);
  const std::uint8_t signature[] = {0x78, 0x56, 0x34, 0x12};
  std::memcpy(sector.data() + 440, signature, sizeof signature);
  ASSERT_EQ(::write(fd, sector.data(), sector.size()), 512);
  ::close(fd);
  const auto io = wnaspi32::linux_io::MakeLinuxDeviceIo();
  std::atomic<bool> done{false};
  std::thread writer([&done] {
    std::vector<int> scribble(4096);
    for (int round = 0; !done; ++round) std::fill(scribble.begin(), scribble.end(), round);
  });
  std::vector<std::thread> askers;
  std::atomic<int> answered{0};
  for (int i = 0; i < 4; ++i) {
    askers.emplace_back([&] {
      for (int round = 0; round < 25; ++round) {
        if (io->MbrSignature(name) == 0x12345678u && !io->Geometry(name)) ++answered;
      }
    });
  }
  for (std::thread& asker : askers) asker.join();
  done = true;
  writer.join();
  EXPECT_EQ(answered, 100);
  EXPECT_FALSE(io->MbrSignature(std::string(name) + ".gone"));
  ::unlink(name);
}

}  // namespace
