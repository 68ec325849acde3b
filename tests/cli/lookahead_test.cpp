// busview-report's lookahead against a bus of slow devices: the reports get
// the answers a run one request after the other gets, with each request
// reaching the layer once, and no adapter has more requests under way than
// it may.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "../reports/recording_window.h"
#include "aspi/given_up_requests.h"
#include "aspi/request_block.h"
#include "cli/lookahead.h"
#include "reports/ask_about_target.h"
#include "reports/device_facts.h"
#include "win32_stand_ins/buffer_handles.h"
#include "wnaspi32/front/backend.h"

namespace {

using UnitKey = std::tuple<int, int, int>;

// Two adapters of 4 targets with 3 LUNs each. A SCSI command completes
// after a few milliseconds on a thread of the bus's own; the other
// requests answer inside the call.
class SlowBus {
 public:
  // The unit that stops answering after its first `goneAfter` requests
  // (host adapter status 11h, as a device unplugged), and the unit whose
  // INQUIRY completes only after the executor's wait.
  UnitKey gone{-1, -1, -1};
  int goneAfter = 0;
  UnitKey late{-1, -1, -1};

  // Within another, it counts the same platform's events.
  SlowBus() : saved_(Aspi), outer_(active), platform_(outer_ != nullptr ? outer_->platform_ : Aspi) {
    active = this;
    Aspi.GetASPI32SupportInfo = [] { return std::uint32_t{0x0102}; };
    Aspi.SendASPI32Command = [](void* srb) { return active->Send(*static_cast<SRB*>(srb)); };
    Aspi.CreateEventA = [](void* attributes, BOOL manual, BOOL initial, const char* name) {
      ++active->eventsMade;
      return active->platform_.CreateEventA(attributes, manual, initial, name);
    };
    // Counted last: a thread still waiting after a scan touches the bus no
    // more once its event counts as closed.
    Aspi.CloseHandle = [](HANDLE event) {
      SlowBus* bus = active;
      const BOOL closed = bus->platform_.CloseHandle(event);
      ++bus->eventsClosed;
      return closed;
    };
  }
  ~SlowBus() {
    Settle();
    Aspi = saved_;
    active = outer_;
  }

  // Waits until every command has completed.
  void Settle() {
    for (std::thread& thread : completions_) thread.join();
    completions_.clear();
  }

  // What each unit was asked, in order: the command, or the SCSI opcode.
  std::map<UnitKey, std::vector<int>> asked;
  std::array<int, 2> mostUnderWay{};
  std::atomic<int> eventsMade{0}, eventsClosed{0};

 private:
  std::uint32_t Send(SRB& srb) {
    const UnitKey unit{srb.SRB_HaId, srb.SRB_Target, srb.SRB_Lun};
    const bool scsi = srb.SRB_Cmd == SC_EXEC_SCSI_CMD;
    std::size_t place = 0;
    {
      const std::lock_guard lock(mutex_);
      std::vector<int>& log = asked[unit];
      log.push_back(scsi ? srb.CDBByte[0] : -srb.SRB_Cmd);
      place = log.size();
      if (scsi) {
        const int now = ++underWay_[srb.SRB_HaId];
        mostUnderWay[srb.SRB_HaId] = std::max(mostUnderWay[srb.SRB_HaId], now);
      }
    }
    SRB reply = srb;
    std::uint8_t status = SS_COMP;
    if (unit == gone && static_cast<int>(place) > goneAfter) {
      reply.SRB_HaStat = HASTAT_SEL_TO;
      status = SS_ERR;
    } else if (srb.SRB_Cmd == SC_GET_DEV_TYPE) {
      reply.SRB_DeviceType = 0;
    }
    if (!scsi) {
      wnaspi32::Complete(srb, reply, status);
      return status;
    }
    // Data that tell the unit and the command apart.
    std::uint32_t room = 0;
    auto* buffer = static_cast<std::uint8_t*>(LookupDataBuffer(srb.SRB_BufPointer, &room));
    std::vector<std::uint8_t> data(std::min<std::uint32_t>(room, srb.SRB_BufLen));
    for (std::size_t i = 0; i < data.size(); ++i)
      data[i] = static_cast<std::uint8_t>(srb.SRB_HaId * 64 + srb.SRB_Target * 8 + srb.SRB_Lun + i +
                                          srb.CDBByte[0] + srb.CDBByte[4]);
    if (status == SS_COMP && !data.empty()) data[2] = 5;  // SCSI-3 and later
    const bool isLate = unit == late && srb.CDBByte[0] == 0x12;
    const auto delay = std::chrono::milliseconds(isLate ? RequestWaitMilliseconds + 200 : 20);
    srb.SRB_Status = SS_PENDING;
    const std::lock_guard lock(mutex_);
    completions_.emplace_back([this, &srb, reply, status, buffer, data, delay] {
      std::this_thread::sleep_for(delay);
      {
        const std::lock_guard lock(mutex_);
        --underWay_[srb.SRB_HaId];
      }
      wnaspi32::Complete(srb, reply, status, buffer, data.data(), static_cast<std::uint32_t>(data.size()));
    });
    return SS_PENDING;
  }

  static SlowBus* active;
  AspiCalls saved_;
  SlowBus* outer_;
  AspiCalls platform_;
  std::mutex mutex_;
  std::array<int, 2> underWay_{};
  std::vector<std::thread> completions_;
};
SlowBus* SlowBus::active = nullptr;

std::vector<ScanPiece> EveryUnit() {
  std::vector<ScanPiece> units;
  for (std::int32_t adapter = 0; adapter < 2; ++adapter)
    for (std::int32_t target = 0; target < 4; ++target)
      for (std::uint8_t lun = 0; lun < 3; ++lun)
        units.push_back({.kind = ScanPiece::Kind::Unit,
                         .unit = {.adapter = adapter, .target = target, .lun = lun},
                         .traits = {}});
  return units;
}

std::string Hex(const std::uint8_t* bytes, std::size_t length) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < length; ++i) {
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 15];
  }
  return text;
}

// A unit's report: its device type, its INQUIRY data and, when that came,
// its capacity; each line with the request's status.
void Report(const Unit& unit, std::uint8_t inquiryLength) {
  AskAboutTarget(SC_GET_DEV_TYPE, unit);
  MainWindow->AppendMemo1("type " + std::to_string(RequestBlock.SRB_Status) + " " +
                          std::to_string(RequestBlock.SRB_HaStat));
  SendInquiry(unit);
  if (inquiryLength != InquiryLength) {
    RequestBlock.CDBByte[4] = inquiryLength;
    ExecuteRequest(RequestBlock, true);
  }
  MainWindow->AppendMemo1("inquiry " + std::to_string(RequestBlock.SRB_Status) + " " +
                          Hex(DataBuffer, InquiryLength));
  if (RequestBlock.SRB_Status != SS_COMP) return;
  Capacity capacity;
  const bool read = ReadCapacity(unit, capacity);
  MainWindow->AppendMemo1("capacity " + std::to_string(read) + " " +
                          std::to_string(capacity.lastAddress) + " " + std::to_string(capacity.blockLength));
}

class UnitReports final : public ScanPlan {
 public:
  std::vector<ScanPiece> Ask(const ScanPiece& piece) override {
    Report(piece.unit, InquiryLength);
    return {};
  }
};

// The process's threads, as the kernel counts them.
int ThreadCount() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<int>(std::distance(begin(tasks), end(tasks)));
}

struct Scan {
  std::vector<std::string> lines;
  std::map<UnitKey, std::vector<int>> asked;
  std::array<int, 2> mostUnderWay;
  int served, missed;
};

// The reports of every unit, one after the other, with the lookahead
// asking `perAdapter` requests of an adapter at once.
Scan RunScan(const SlowBus& settings, int perAdapter, std::uint8_t inquiryLength) {
  SlowBus bus;
  bus.gone = settings.gone;
  bus.goneAfter = settings.goneAfter;
  bus.late = settings.late;
  RecordingWindow window;
  MainWindow = &window;
  UnitReports plan;
  Scan scan{};
  {
    Lookahead lookahead(plan, EveryUnit(), window, perAdapter);
    for (const ScanPiece& piece : EveryUnit()) {
      lookahead.Enter(piece.kind, piece.unit);
      Report(piece.unit, inquiryLength);
    }
    scan.served = lookahead.served();
    scan.missed = lookahead.missed();
  }
  MainWindow = nullptr;
  scan.lines = window.Memo1();
  scan.asked = bus.asked;
  scan.mostUnderWay = bus.mostUnderWay;
  return scan;
}

TEST(Lookahead, ReportsGetWhatTheyGetOneRequestAfterTheOther) {
  struct Case {
    const char* name;
    UnitKey gone;
    int goneAfter;
    UnitKey late;
    // The reports ask an INQUIRY the lookahead did not: it goes to the layer.
    std::uint8_t inquiryLength;
  };
  const Case cases[] = {
      {"slow devices", {-1, -1, -1}, 0, {-1, -1, -1}, InquiryLength},
      {"a device that goes during the scan", {1, 2, 1}, 2, {-1, -1, -1}, InquiryLength},
      {"reports that ask otherwise", {-1, -1, -1}, 0, {-1, -1, -1}, 24},
      {"an INQUIRY that completes after the wait", {0, 3, 2}, 99, {0, 3, 2}, InquiryLength},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SlowBus settings;
    settings.gone = c.gone;
    settings.goneAfter = c.goneAfter;
    settings.late = c.late;
    const Scan alone = RunScan(settings, 1, c.inquiryLength);
    const int threads = ThreadCount();
    const Scan ahead = RunScan(settings, 3, c.inquiryLength);
    // Nothing was under way at the end: a thread ending after it would race
    // the program's own end.
    EXPECT_EQ(ThreadCount(), threads) << "a thread of the lookahead outlived it";

    EXPECT_EQ(ahead.lines, alone.lines);
    EXPECT_EQ(alone.served + alone.missed, 0) << "one after the other, nothing is asked ahead";
    // A request the lookahead lacks, the reports make beside its own.
    const int own = c.inquiryLength == InquiryLength ? 0 : 1;
    for (const int most : ahead.mostUnderWay) {
      EXPECT_LE(most, 3 + own) << "no more at once than an adapter may have";
      EXPECT_GE(most, 2) << "nothing was asked ahead";
    }
    if (c.inquiryLength == InquiryLength) {
      EXPECT_EQ(ahead.asked, alone.asked) << "each unit is asked the same, in the same order";
      EXPECT_EQ(ahead.missed, 0);
      int requests = 0;
      for (const auto& [unit, commands] : alone.asked) requests += static_cast<int>(commands.size());
      EXPECT_EQ(ahead.served, requests) << "every request is served its answer";
    } else {
      // What the lookahead asked for the reports' place is asked again.
      EXPECT_GT(ahead.missed, 0);
    }
  }
}

// A scan that ends after the first unit's report, with the lookahead
// asking 3 requests of an adapter at once.
void ScanTheFirstUnitOnly() {
  RecordingWindow window;
  MainWindow = &window;
  UnitReports plan;
  {
    Lookahead lookahead(plan, EveryUnit(), window, 3);
    const ScanPiece first = EveryUnit().front();
    lookahead.Enter(first.kind, first.unit);
    Report(first.unit, InquiryLength);
  }
  MainWindow = nullptr;
}

// Waits, at most 20 s, until the threads that waited for requests after the
// scan's end have closed every request's event, or left it to the executor.
void AwaitEveryEventClosed(const SlowBus& bus) {
  for (int i = 0; i < 400 && bus.eventsClosed != bus.eventsMade; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ReapAbandonedRequests();
  }
}

TEST(Lookahead, TheScansEndLeavesARequestUnderWayToItsWait) {
  ReapAbandonedRequests();
  SlowBus bus;
  bus.late = {0, 0, 1};
  ScanTheFirstUnitOnly();
  // The late INQUIRY asked ahead is neither waited out nor given up yet.
  EXPECT_EQ(AbandonedRequestCount(), 0u);
  EXPECT_LT(bus.eventsClosed, bus.eventsMade);
  bus.Settle();
  AwaitEveryEventClosed(bus);
  EXPECT_EQ(AbandonedRequestCount(), 0u);
  EXPECT_EQ(bus.eventsClosed, bus.eventsMade);
}

// A scan that ends after its first unit (its output failed, say) leaves
// the requests the lookahead made for the next ones under way: each is
// still waited for, or given up to the executor, which keeps its block,
// buffer and event until the layer is done with them. Several rounds: a
// request may be sent a moment before the end or a moment after.
TEST(Lookahead, RequestsUnderWayOutliveAScanThatEndsEarly) {
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    ReapAbandonedRequests();  // what earlier tests gave up
    SlowBus bus;
    ScanTheFirstUnitOnly();
    bus.Settle();
    AwaitEveryEventClosed(bus);
    EXPECT_EQ(AbandonedRequestCount(), 0u);
    EXPECT_EQ(bus.eventsClosed, bus.eventsMade) << "a request's event was left behind";
  }
}

}  // namespace
