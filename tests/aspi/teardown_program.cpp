// Ends the program with a request given up after its wait, as busview does
// when a device hangs: the real executor, the shared layer and a simulated
// bus. It must end with status 0 and without a sanitizer report.
//
//   teardown_program hung-command     a SCSI command that never completes
//   teardown_program hung-request     a plain request that never completes
//   teardown_program late-completion  a SCSI command that completes while
//                                     the program is ending
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "aspi/executor.h"
#include "aspi/given_up_requests.h"
#include "aspi/request_block.h"
#include "reports/ask_about_target.h"

namespace {

using Clock = std::chrono::steady_clock;

// Delay of the late completion: a little beyond the executor's wait.
constexpr int LateMs = RequestWaitMilliseconds + 300;

// When the late completion is due; 0 when none is.
std::atomic<long long> lateCompletionDue{0};

void SendInquiry(std::int32_t target) {
  ClearRequestBlock();
  RequestBlock.SRB_Cmd = SC_EXEC_SCSI_CMD;
  RequestBlock.SRB_Target = static_cast<std::uint8_t>(target);
  RequestBlock.SRB_BufLen = 40;
  RequestBlock.SRB_BufPointer = DataBufferPointer();
  RequestBlock.SRB_SenseLen = 14;
  RequestBlock.SRB_CDBLen = 6;
  RequestBlock.CDBByte[0] = 0x12;
  RequestBlock.CDBByte[4] = 36;
  ExecuteRequest(RequestBlock, true);
}

int Fail(const char* what) {
  std::fprintf(stderr, "teardown_program: %s\n", what);
  return 1;
}

}  // namespace

// Runs after every static destructor of the program and its libraries:
// holds the process until the late completion has come and gone.
__attribute__((destructor)) static void AwaitLateCompletion() {
  const long long due = lateCompletionDue.load();
  if (due == 0) return;
  const auto until = Clock::time_point(Clock::duration(due)) + std::chrono::milliseconds(500);
  std::this_thread::sleep_until(until);
}

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const std::string delay = mode == "late-completion" ? std::to_string(LateMs) : "-1";
  // Target 1 answers at once; target 0 is the device the mode is about.
  const std::string bus = R"({"adapters": [{"targets": [
      {"id": 0, "inquiry": {"vendor": "HUNG"}, "delay_ms": )" + delay + R"(},
      {"id": 1, "inquiry": {"vendor": "QUICK"}}]}]})";
  char path[] = "/tmp/teardown_program.XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return Fail("cannot make the bus file");
  close(fd);
  std::ofstream(path) << bus;
  setenv("WNASPI32_BUS", path, 1);
  const bool available = AspiAvailable();  // the layer reads the bus file here
  std::remove(path);
  if (!available) return Fail("the layer did not take the bus file");

  // A command that completes, as every run has before a device hangs.
  SendInquiry(1);
  if (RequestBlock.SRB_Status != SS_COMP || std::memcmp(DataBuffer + 8, "QUICK", 5) != 0)
    return Fail("the answering device did not answer");

  if (mode == "hung-command" || mode == "late-completion") {
    const auto sent = Clock::now();
    SendInquiry(0);
    if (mode == "late-completion")
      lateCompletionDue = (sent + std::chrono::milliseconds(LateMs)).time_since_epoch().count();
  } else if (mode == "hung-request") {
    AskAboutTarget(SC_GET_DEV_TYPE, {.adapter = 0, .target = 0, .lun = 0});
  } else {
    return Fail("mode: hung-command, hung-request or late-completion");
  }
  if (RequestBlock.SRB_Status != SS_PENDING) return Fail("the request was not given up");
  if (AbandonedRequestCount() != 1) return Fail("the given-up request is not kept");
  return 0;
}
