// Requests that stay pending and complete later from a thread of the layer.
#include <pthread.h>

#include <chrono>
#include <limits>
#include <thread>

#include "sim_fixture.h"
#include "win32_stand_ins/win32_events.h"

namespace {

using namespace simtest;
using Clock = std::chrono::steady_clock;

// A plain request has no event: watch its status instead.
bool AwaitStatus(SRB& srb, std::chrono::milliseconds limit) {
  const auto end = Clock::now() + limit;
  while (StatusOf(srb) == SS_PENDING) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

struct Event {
  HANDLE handle = CreateEventA(nullptr, 0, 0, nullptr);
  ~Event() { CloseHandle(handle); }
  std::uint32_t Number() const {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle));
  }
};

SRB Notified(SRB srb, const Event& event) {
  srb.SRB_Flags |= SRB_EVENT_NOTIFY;
  srb.SRB_PostProc = event.Number();
  return srb;
}

constexpr auto Generous = std::chrono::seconds(5);

TEST(SimDelay, ScsiCommandCompletesLateAndSignalsItsEvent) {
  UseBus(R"({"adapters": [{"targets": [{"id": 0, "inquiry": {"vendor": "LATE"},
      "capacity": {"last_lba": 99, "block_length": 512},
      "delay_ms": {"inquiry": 60, "read_capacity": 60}}]}]})");
  Buffer buffer;
  Event event;
  SRB srb = Notified(ScsiRequest(0, 0, buffer, 40, {0x12, 0, 0, 0, 8, 0}), event);
  const auto start = Clock::now();
  ASSERT_EQ(SendASPI32Command(&srb), SS_PENDING);
  EXPECT_EQ(StatusOf(srb), SS_PENDING);
  ASSERT_EQ(WaitForSingleObject(event.handle, 5000), WAIT_OBJECT_0);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(60));
  EXPECT_EQ(StatusOf(srb), SS_COMP);
  EXPECT_EQ(srb.SRB_TargStat, STATUS_GOOD);
  EXPECT_EQ(buffer.bytes[0], 0x00);
  EXPECT_EQ(buffer.bytes[7], 0x00);
  // Eight bytes asked for: the late reply leaves the rest as it was.
  EXPECT_EQ(buffer.bytes[8], Buffer::Marker);
}

TEST(SimDelay, PlainRequestsCompleteLateWithoutAnEvent) {
  UseBus(R"({"adapters": [{"delay_ms": 40, "identifier": "SLOW",
      "targets": [{"id": 2, "type": 1, "disk": {"flags": 2, "drive": 129},
                   "delay_ms": 40}]}]})");
  struct Case {
    const char* what;
    SRB srb;
  };
  Case cases[] = {
      {"adapter inquiry", TargetRequest(SC_HA_INQUIRY, 0, 0)},
      {"device type", TargetRequest(SC_GET_DEV_TYPE, 0, 2)},
      {"disk info", TargetRequest(SC_GET_DISK_INFO, 0, 2)},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(SendASPI32Command(&c.srb), SS_PENDING);
    ASSERT_TRUE(AwaitStatus(c.srb, Generous));
    EXPECT_EQ(StatusOf(c.srb), SS_COMP);
  }
  EXPECT_EQ(cases[0].srb.HA_Identifier[0], 'S');
  EXPECT_EQ(cases[1].srb.SRB_DeviceType, 1);
  EXPECT_EQ(cases[2].srb.SRB_Int13HDriveInfo, 129);
}

TEST(SimDelay, AFailedLateCommandStillSignals) {
  UseBus(R"({"adapters": [{"targets": [{"id": 0, "inquiry": {},
      "status": {"read_capacity": 4}, "delay_ms": {"read_capacity": 30}}]}]})");
  Buffer buffer;
  Event event;
  SRB srb = Notified(ScsiRequest(0, 0, buffer, 8, {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0}), event);
  ASSERT_EQ(SendASPI32Command(&srb), SS_PENDING);
  ASSERT_EQ(WaitForSingleObject(event.handle, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(StatusOf(srb), SS_ERR);
  EXPECT_EQ(buffer.bytes[0], Buffer::Marker);
}

// A device that never answers (delay -1, or a status that leaves the
// request pending) holds up no other device.
TEST(SimDelay, AHungDeviceDoesNotHoldUpOthers) {
  UseBus(R"({"adapters": [{"targets": [
      {"id": 0, "inquiry": {}, "delay_ms": -1},
      {"id": 1, "inquiry": {}, "delay_ms": {"inquiry": 20}},
      {"id": 2, "inquiry": {}, "status": {"inquiry": 0}}]}]})");
  Buffer hungBuffer, hungByStatusBuffer, buffer;
  Event hungEvent, hungByStatusEvent, event;
  SRB hung = Notified(ScsiRequest(0, 0, hungBuffer, 40, {0x12, 0, 0, 0, 36, 0}), hungEvent);
  SRB hungByStatus =
      Notified(ScsiRequest(0, 2, hungByStatusBuffer, 40, {0x12, 0, 0, 0, 36, 0}), hungByStatusEvent);
  SRB quick = Notified(ScsiRequest(0, 1, buffer, 40, {0x12, 0, 0, 0, 36, 0}), event);
  ASSERT_EQ(SendASPI32Command(&hung), SS_PENDING);
  ASSERT_EQ(SendASPI32Command(&hungByStatus), SS_PENDING);
  ASSERT_EQ(SendASPI32Command(&quick), SS_PENDING);
  ASSERT_EQ(WaitForSingleObject(event.handle, 5000), WAIT_OBJECT_0);
  EXPECT_EQ(StatusOf(quick), SS_COMP);
  EXPECT_EQ(WaitForSingleObject(hungEvent.handle, 100), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(hungByStatusEvent.handle, 0), WAIT_TIMEOUT);
  EXPECT_EQ(StatusOf(hung), SS_PENDING);
  EXPECT_EQ(StatusOf(hungByStatus), SS_PENDING);
  EXPECT_EQ(hungBuffer.bytes[0], Buffer::Marker);
}

// Where no thread can be had for a late answer the layer answers at once,
// with the data a thread would have brought.
TEST(SimDelay, WithoutAThreadTheAnswerComesAtOnceWithItsData) {
  UseBus(R"({"adapters": [{"targets": [{"id": 0, "inquiry": {"vendor": "LATE"},
      "delay_ms": {"inquiry": 60}}]}]})");
  // Threads made from here on ask for more stack than there is room for.
  pthread_attr_t usual, impossible;
  ASSERT_EQ(pthread_getattr_default_np(&usual), 0);
  ASSERT_EQ(pthread_getattr_default_np(&impossible), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&impossible, std::numeric_limits<std::size_t>::max() / 2), 0);
  ASSERT_EQ(pthread_setattr_default_np(&impossible), 0);
  Buffer buffer;
  Event event;
  SRB srb = Notified(ScsiRequest(0, 0, buffer, 40, {0x12, 0, 0, 0, 36, 0}), event);
  const std::uint32_t status = SendASPI32Command(&srb);
  pthread_setattr_default_np(&usual);
  pthread_attr_destroy(&usual);
  pthread_attr_destroy(&impossible);
  EXPECT_EQ(status, SS_COMP);
  EXPECT_EQ(StatusOf(srb), SS_COMP);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.bytes.data() + 8), 4), "LATE");
}

}  // namespace
