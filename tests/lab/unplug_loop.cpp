// In the lab's guest, while the host side unplugs and plugs back one
// device over and over: asks that device for its type, INQUIRY and READ
// CAPACITY(10) through the program's executor and the real layer, counts
// every outcome and judges whether the layer answered soundly.
//
//   unplug_loop ADAPTER-NAME TARGET CYCLES-FILE CYCLES SECONDS
//
// Runs until CYCLES-FILE (written by the host side) has counted CYCLES more
// remove/re-add cycles, at most SECONDS. Exit status 0 when every request
// came back with a sound status, the device answered, was seen gone and
// answered again afterwards.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <tuple>

#include "adapter_by_name.h"
#include "aspi/executor.h"
#include "aspi/given_up_requests.h"
#include "aspi/request_block.h"
#include "reports/ask_about_target.h"
#include "reports/unit.h"

namespace {

int CyclesSoFar(const char* file) {
  std::ifstream in(file);
  int cycles = 0;
  in >> cycles;
  return cycles;
}

void SendCommand(const Unit& unit, std::initializer_list<std::uint8_t> cdb, std::uint32_t length) {
  ClearRequestBlock();
  RequestBlock.SRB_Cmd = SC_EXEC_SCSI_CMD;
  RequestBlock.SRB_HaId = static_cast<std::uint8_t>(unit.adapter);
  RequestBlock.SRB_Target = static_cast<std::uint8_t>(unit.target);
  RequestBlock.SRB_Lun = unit.lun;
  RequestBlock.SRB_BufLen = length;
  RequestBlock.SRB_BufPointer = DataBufferPointer();
  RequestBlock.SRB_SenseLen = 14;
  RequestBlock.SRB_CDBLen = static_cast<std::uint8_t>(cdb.size());
  std::copy(cdb.begin(), cdb.end(), RequestBlock.CDBByte);
  ExecuteRequest(RequestBlock, true);
}

// (request, SRB_Status, SRB_HaStat, SRB_TargStat) -> how often.
using Outcome = std::tuple<std::string, int, int, int>;

// A gone device: get-device-type 82h, a command SS_ERR with HaStat 11h. A
// device that has just come back may report a unit attention (check
// condition). Without the right to the sg node the layer answers from
// sysfs, which has no size yet for a disk that has just come back and whose
// block device the kernel is still making: that READ CAPACITY fails with
// nothing to say about the bus.
bool Sound(const Outcome& o, bool privileged) {
  const auto& [request, status, haStat, targStat] = o;
  if (request == "type") return status == SS_COMP || status == SS_NO_DEVICE;
  if (status == SS_COMP) return true;
  if (status != SS_ERR) return false;
  if (haStat == HASTAT_SEL_TO) return true;
  return haStat == HASTAT_OK && (targStat != 0 || (!privileged && request == "capacity"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: unplug_loop ADAPTER-NAME TARGET CYCLES-FILE CYCLES SECONDS\n");
    return 2;
  }
  const std::string name = argv[1];
  const int target = std::atoi(argv[2]);
  const char* cyclesFile = argv[3];
  const int wanted = std::atoi(argv[4]);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[5]));

  if (!AspiAvailable()) {
    std::printf("unplug_loop: the layer is not usable\n");
    return 1;
  }
  const int adapter = FindAdapter(name);
  if (adapter < 0) {
    std::printf("unplug_loop: no adapter named %s\n", name.c_str());
    return 1;
  }

  // The guest's script lets the unplugging start only now: a USB stick's
  // adapter goes with the stick, and a survey without it finds nothing.
  std::printf("unplug_loop: surveyed\n");
  std::fflush(stdout);
  const Unit device{.adapter = adapter, .target = target, .lun = 0};

  std::map<Outcome, int> seen;
  const int first = CyclesSoFar(cyclesFile);
  int rounds = 0;
  int returns = 0;  // answered again after it was seen gone
  bool gone = false;
  while (CyclesSoFar(cyclesFile) - first < wanted && std::chrono::steady_clock::now() < deadline) {
    AskAboutTarget(SC_GET_DEV_TYPE, device);
    ++seen[{"type", RequestBlock.SRB_Status, 0, 0}];
    if (gone && RequestBlock.SRB_Status == SS_COMP) ++returns;
    gone = RequestBlock.SRB_Status == SS_NO_DEVICE;
    SendCommand(device, {0x12, 0, 0, 0, 36, 0}, 40);
    ++seen[{"inquiry", RequestBlock.SRB_Status, RequestBlock.SRB_HaStat,
            RequestBlock.SRB_TargStat}];
    ClearDataBuffer();
    SendCommand(device, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 8);
    ++seen[{"capacity", RequestBlock.SRB_Status, RequestBlock.SRB_HaStat,
            RequestBlock.SRB_TargStat}];
    ++rounds;
  }
  const int cycles = CyclesSoFar(cyclesFile) - first;

  bool sound = true;
  std::printf("unplug_loop: adapter %d target %d, %d rounds over %d cycles, back %d times\n",
              adapter, target, rounds, cycles, returns);
  for (const auto& [outcome, count] : seen) {
    const auto& [request, status, haStat, targStat] = outcome;
    const bool ok = Sound(outcome, geteuid() == 0);
    sound = sound && ok;
    std::printf("  %-8s status %02Xh hastat %02Xh targstat %02Xh: %d%s\n", request.c_str(),
                status, haStat, targStat, count, ok ? "" : "  <- unsound");
  }
  const bool answered = seen.contains({"inquiry", SS_COMP, 0, 0});
  const bool wentAway = seen.contains({"type", SS_NO_DEVICE, 0, 0});
  if (returns == 0) std::printf("unplug_loop: the device never came back\n");
  if (cycles < wanted) std::printf("unplug_loop: only %d cycles in time\n", cycles);
  if (!answered) std::printf("unplug_loop: the device never answered INQUIRY\n");
  if (!wentAway) std::printf("unplug_loop: the device was never seen gone\n");
  ReapAbandonedRequests();
  std::printf("unplug_loop: abandoned requests at the end: %zu\n", AbandonedRequestCount());
  return sound && answered && wentAway && returns > 0 && cycles >= wanted ? 0 : 1;
}
