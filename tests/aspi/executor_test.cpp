#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "aspi/given_up_requests.h"
#include "scripted_layer.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(AspiAvailable, OnlyTheStatusByteCounts) {
  struct Case {
    std::uint32_t supportInfo;
    bool usable;
  };
  const Case cases[] = {
      {0x00000102, true}, {0x00120100, true}, {0x0000E800, false},
      {0x00000001, false}, {0x0000E400, false}, {0x00000201, false},
  };
  ScriptedLayer layer;
  for (const Case& c : cases) {
    layer.supportInfo = c.supportInfo;
    EXPECT_EQ(AspiAvailable(), c.usable) << std::hex << c.supportInfo;
  }
}

TEST(ExecuteRequest, AnswerInsideTheCallIsCopiedBackWithoutWaitOrReset) {
  struct Case {
    bool notify;
    std::uint8_t status;
  };
  const Case cases[] = {{true, SS_COMP}, {false, SS_COMP}, {true, SS_ERR}, {false, SS_NO_DEVICE}};
  for (const Case& c : cases) {
    ScriptedLayer layer;
    layer.answer = {LayerAnswer::AtOnce, c.status, 0, {}};
    FillRecognisableScsiRequest(RequestBlock);
    ExecuteRequest(RequestBlock, c.notify);
    EXPECT_EQ(RequestBlock.SRB_Status, c.status);
    EXPECT_EQ(RequestBlock.SRB_HaStat, 0x5A) << "the layer's reply is in the caller's block";
    EXPECT_EQ(layer.sends, 1);
    EXPECT_EQ(layer.waits, 0);
    EXPECT_EQ(layer.resets, 0);
    EXPECT_EQ(layer.eventsCreated, 1) << "one event per request, also without notify";
    EXPECT_EQ(layer.closes, 1);
  }
}

// The layer fills a buffer of the request's own; the caller's buffer gets
// its bytes once the command has completed, and keeps its own bytes where
// the device wrote none.
TEST(ExecuteRequest, DataReachTheCallersBufferWhenTheCommandCompletes) {
  struct Case {
    LayerAnswer::Kind kind;
    std::uint8_t status;
  };
  const Case cases[] = {{LayerAnswer::AtOnce, SS_COMP}, {LayerAnswer::Later, SS_COMP},
                        {LayerAnswer::AtOnce, SS_ERR}};
  for (const Case& c : cases) {
    ScriptedLayer layer;
    const std::vector<std::uint8_t> reply = {0x05, 0x80, 0x02, 0x02, 0x1F};
    layer.answer = {c.kind, c.status, 50, c.status == SS_COMP ? reply : std::vector<std::uint8_t>{}};
    std::memset(DataBuffer, 0x77, sizeof DataBuffer);
    FillRecognisableScsiRequest(RequestBlock);
    RequestBlock.SRB_BufPointer = DataBufferPointer();
    ExecuteRequest(RequestBlock, true);

    EXPECT_EQ(RequestBlock.SRB_Status, c.status);
    EXPECT_NE(layer.lastSent.SRB_BufPointer, DataBufferPointer()) << "the layer got the caller's buffer";
    EXPECT_EQ(RequestBlock.SRB_BufPointer, DataBufferPointer()) << "the caller's block names its buffer";
    std::vector<std::uint8_t> expected(sizeof DataBuffer, 0x77);
    if (c.status == SS_COMP) std::copy(reply.begin(), reply.end(), expected.begin());
    EXPECT_EQ(std::vector<std::uint8_t>(DataBuffer, DataBuffer + sizeof DataBuffer), expected);
  }
}

TEST(ExecuteRequest, LayerWorksOnAPrivateCopyMarkedAsTheCallerAsked) {
  for (bool notify : {true, false}) {
    ScriptedLayer layer;
    SRB filled;
    FillRecognisableScsiRequest(filled);
    RequestBlock = filled;
    ExecuteRequest(RequestBlock, notify);

    EXPECT_NE(layer.lastSentAddress, static_cast<const void*>(&RequestBlock));
    EXPECT_EQ(layer.lastSent.SRB_Flags, notify ? SRB_EVENT_NOTIFY : 0);
    if (notify) {
      EXPECT_NE(layer.lastSent.SRB_PostProc, 0u);
      // The caller's block keeps the mark and the (now closed) event.
      EXPECT_EQ(RequestBlock.SRB_Flags, SRB_EVENT_NOTIFY);
      EXPECT_EQ(RequestBlock.SRB_PostProc, layer.lastSent.SRB_PostProc);
    } else {
      EXPECT_EQ(layer.lastSent.SRB_PostProc, 0u) << "a plain request never learns of the event";
    }
    // The layer gets the data buffer as a copy of the executor's own.
    EXPECT_NE(layer.lastSent.SRB_BufPointer, filled.SRB_BufPointer);
    EXPECT_EQ(RequestBlock.SRB_BufPointer, filled.SRB_BufPointer);
    SRB sentWithoutMarks = layer.lastSent;
    sentWithoutMarks.SRB_Flags = 0;
    sentWithoutMarks.SRB_PostProc = 0;
    sentWithoutMarks.SRB_BufPointer = filled.SRB_BufPointer;
    EXPECT_EQ(std::memcmp(&sentWithoutMarks, &filled, sizeof filled), 0);
  }
}

TEST(ExecuteRequest, NoEventMeansAbortedAndNothingSent) {
  ScriptedLayer layer;
  layer.eventCreationFails = true;
  SRB filled;
  FillRecognisableScsiRequest(filled);
  RequestBlock = filled;
  ExecuteRequest(RequestBlock, true);

  EXPECT_EQ(layer.sends, 0);
  EXPECT_EQ(RequestBlock.SRB_Status, SS_ABORTED);
  RequestBlock.SRB_Status = filled.SRB_Status;
  EXPECT_EQ(std::memcmp(&RequestBlock, &filled, sizeof filled), 0)
      << "every other byte stays as the caller filled it";
}

TEST(ExecuteRequestTiming, ScsiCommandCompletingAfterTwoSecondsReturnsThen) {
  ScriptedLayer layer;
  layer.answer = {LayerAnswer::Later, SS_COMP, 2000, {}};
  FillRecognisableScsiRequest(RequestBlock);
  const auto start = Clock::now();
  ExecuteRequest(RequestBlock, true);
  const double seconds = SecondsSince(start);

  EXPECT_EQ(RequestBlock.SRB_Status, SS_COMP);
  EXPECT_EQ(RequestBlock.SRB_HaStat, 0x5A);
  EXPECT_GE(seconds, 1.9);
  EXPECT_LT(seconds, 9.0) << "the event must end the wait";
  EXPECT_EQ(layer.waits, 1);
  EXPECT_EQ(layer.resets, 1);
}

TEST(ExecuteRequestTiming, CommandStillPendingAfterTenSecondsComesBackPending) {
  ScriptedLayer layer;
  layer.answer = {LayerAnswer::Never, SS_COMP, 0, {}};
  FillRecognisableScsiRequest(RequestBlock);
  const auto start = Clock::now();
  ExecuteRequest(RequestBlock, true);
  const double seconds = SecondsSince(start);

  EXPECT_EQ(RequestBlock.SRB_Status, SS_PENDING);
  EXPECT_GE(seconds, 9.99);
  EXPECT_LT(seconds, 15.0);
  EXPECT_EQ(layer.resets, 0);
}

TEST(ExecuteRequestTiming, PlainRequestAlwaysWaitsTheWholeTenSeconds) {
  ScriptedLayer layer;
  layer.answer = {LayerAnswer::Later, SS_COMP, 1000, {}};
  ClearRequestBlock();
  RequestBlock.SRB_Cmd = SC_GET_DEV_TYPE;
  const auto start = Clock::now();
  ExecuteRequest(RequestBlock, false);
  const double seconds = SecondsSince(start);

  EXPECT_GE(seconds, 9.99);
  EXPECT_EQ(RequestBlock.SRB_Status, SS_COMP) << "the status the layer wrote meanwhile";
  EXPECT_EQ(layer.resets, 0);
}

// A request given up after its wait completes later: the layer must find its
// block still there (AddressSanitizer watches), and its signal must not end
// the wait of the request that runs by then.
TEST(ExecuteRequestTiming, LateCompletionTouchesOnlyTheAbandonedRequest) {
  ScriptedLayer layer;
  ReapAbandonedRequests();
  const std::size_t abandonedBefore = AbandonedRequestCount();

  layer.answer = {LayerAnswer::Later, SS_COMP, 10500, std::vector<std::uint8_t>(36, 0xAA)};
  FillRecognisableScsiRequest(RequestBlock);
  RequestBlock.SRB_BufPointer = DataBufferPointer();
  ExecuteRequest(RequestBlock, true);
  ASSERT_EQ(RequestBlock.SRB_Status, SS_PENDING);
  EXPECT_EQ(AbandonedRequestCount(), abandonedBefore + 1);

  // The late completion lands about half a second into this request, which
  // brings no data of its own.
  std::memset(DataBuffer, 0x77, sizeof DataBuffer);
  layer.answer = {LayerAnswer::Later, SS_COMP, 2000, {}};
  FillRecognisableScsiRequest(RequestBlock);
  RequestBlock.SRB_BufPointer = DataBufferPointer();
  const auto start = Clock::now();
  ExecuteRequest(RequestBlock, true);
  const double seconds = SecondsSince(start);

  EXPECT_EQ(RequestBlock.SRB_Status, SS_COMP);
  EXPECT_GE(seconds, 1.9) << "woken by the abandoned request's signal";
  ReapAbandonedRequests();
  EXPECT_EQ(AbandonedRequestCount(), abandonedBefore) << "reaped once the layer finished";
  EXPECT_EQ(std::vector<std::uint8_t>(DataBuffer, DataBuffer + sizeof DataBuffer),
            std::vector<std::uint8_t>(sizeof DataBuffer, 0x77))
      << "the abandoned request's data landed in the caller's buffer";
}

}  // namespace
