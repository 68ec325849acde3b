// In the faults guest: asks targets of one host adapter through the
// program's executor and the real layer (built with AddressSanitizer and
// UndefinedBehaviorSanitizer).
//
//   fault_probe ADAPTER-NAME TARGET SENSE-LENGTH CDB-BYTE...
//     one SCSI command with a 512-byte buffer; prints "status S hastat H
//     targstat T ms M", then "sense ..." (SENSE-LENGTH bytes) and "data ..."
//     (the bytes that arrived, as the residual leaves them unknown: all 512)
//     in hexadecimal.
//   fault_probe ADAPTER-NAME --load SECONDS
//     asks targets 0-7 for type, disk information, INQUIRY and READ
//     CAPACITY all the while, then waits up to 60 s for its given-up
//     requests; exit status 0 when its descriptors and threads are back
//     where they were before, and its memory grew by less than 16 MiB
//     after the first round.
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "adapter_by_name.h"
#include "aspi/executor.h"
#include "aspi/given_up_requests.h"
#include "aspi/request_block.h"
#include "reports/ask_about_target.h"
#include "reports/unit.h"
#include "win32_stand_ins/buffer_handles.h"

namespace {

using Clock = std::chrono::steady_clock;

std::uint8_t Buffer[512];

void Send(const Unit& unit, std::uint8_t senseLength, const std::uint8_t* cdb,
          std::size_t cdbLength) {
  ClearRequestBlock();
  RequestBlock.SRB_Cmd = SC_EXEC_SCSI_CMD;
  RequestBlock.SRB_HaId = static_cast<std::uint8_t>(unit.adapter);
  RequestBlock.SRB_Target = static_cast<std::uint8_t>(unit.target);
  RequestBlock.SRB_Lun = unit.lun;
  RequestBlock.SRB_BufLen = sizeof Buffer;
  RequestBlock.SRB_BufPointer = RegisterDataBuffer(Buffer, sizeof Buffer);
  RequestBlock.SRB_SenseLen = senseLength;
  RequestBlock.SRB_CDBLen = static_cast<std::uint8_t>(cdbLength);
  std::memcpy(RequestBlock.CDBByte, cdb, cdbLength);
  ExecuteRequest(RequestBlock, true);
}

void PrintHex(const char* name, const std::uint8_t* bytes, std::size_t count) {
  std::printf("%s", name);
  for (std::size_t i = 0; i < count; ++i) std::printf(" %02x", bytes[i]);
  std::printf("\n");
}

int Count(const char* dir) {
  int count = 0;
  if (DIR* stream = opendir(dir)) {
    while (readdir(stream)) ++count;
    closedir(stream);
  }
  return count;
}

long RssKib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("VmRSS:")) return std::atol(line.c_str() + 6);
  return 0;
}

struct Usage {
  int fds, threads;
  long rssKib;
};
Usage Now() { return {Count("/proc/self/fd"), Count("/proc/self/task"), RssKib()}; }

void AskEveryTarget(int adapter) {
  const std::uint8_t inquiry[] = {0x12, 0, 0, 0, 36, 0};
  const std::uint8_t capacity[] = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (int target = 0; target < 8; ++target) {
    const Unit unit{.adapter = adapter, .target = target, .lun = 0};
    AskAboutTarget(SC_GET_DEV_TYPE, unit);
    AskAboutTarget(SC_GET_DISK_INFO, unit);
    Send(unit, 14, inquiry, sizeof inquiry);
    Send(unit, 14, capacity, sizeof capacity);
  }
}

int Load(int adapter, int seconds) {
  const Usage first = Now();
  AskEveryTarget(adapter);
  const long warmRssKib = RssKib();
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  int rounds = 1;
  for (; Clock::now() < end; ++rounds) AskEveryTarget(adapter);
  // The layer's threads end with the kernel's answers to given-up commands.
  for (int i = 0; i < 600 && (AbandonedRequestCount() > 0 || Now().threads > first.threads); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ReapAbandonedRequests();
  }
  const Usage last = Now();
  std::printf("fault_probe: %d rounds; fds %d -> %d, threads %d -> %d, "
              "VmRSS %ld -> %ld -> %ld KiB, given up and not back %zu\n", rounds, first.fds, last.fds, first.threads,
              last.threads, first.rssKib, warmRssKib, last.rssKib, AbandonedRequestCount());
  const bool flat = last.rssKib - warmRssKib < 16 * 1024;
  return last.fds == first.fds && last.threads == first.threads && flat ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || !AspiAvailable()) {
    std::fprintf(stderr, "usage: fault_probe NAME (TARGET SENSE-LENGTH CDB... | --load S)\n");
    return 2;
  }
  const int adapter = FindAdapter(argv[1]);
  if (adapter < 0) return 2;
  if (std::strcmp(argv[2], "--load") == 0) return Load(adapter, std::atoi(argv[3]));

  std::uint8_t cdb[16];
  std::size_t length = 0;
  for (int i = 4; i < argc && length < sizeof cdb; ++i)
    cdb[length++] = static_cast<std::uint8_t>(std::strtoul(argv[i], nullptr, 16));
  const auto senseLength = static_cast<std::uint8_t>(std::atoi(argv[3]));
  const auto start = Clock::now();
  Send({.adapter = adapter, .target = std::atoi(argv[2]), .lun = 0}, senseLength, cdb, length);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  std::printf("status %02x hastat %02x targstat %02x ms %lld\n", RequestBlock.SRB_Status,
              RequestBlock.SRB_HaStat, RequestBlock.SRB_TargStat,
              static_cast<long long>(ms.count()));
  PrintHex("sense", RequestBlock.SenseArea, std::min<std::size_t>(senseLength, 36));
  PrintHex("data", Buffer, sizeof Buffer);
  return 0;
}
