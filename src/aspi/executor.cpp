#include "aspi/executor.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "aspi/given_up_requests.h"
#include "aspi/recorded_request.h"
#include "win32_stand_ins/buffer_handles.h"
#include "win32_stand_ins/never_destroyed.h"

#ifdef _WIN32
#include "aspi/windows_event_calls.h"
AspiCalls Aspi = {GetASPI32SupportInfo,
                  SendASPI32Command,
                  windows_event_calls::CreateEventA,
                  windows_event_calls::WaitForSingleObject,
                  windows_event_calls::ResetEvent,
                  windows_event_calls::CloseHandle};
#else
AspiCalls Aspi = {GetASPI32SupportInfo, SendASPI32Command, CreateEventA,
                  WaitForSingleObject,  ResetEvent,        CloseHandle};
#endif

namespace {

// The block the layer works on, and its event. It lives on the heap so
// that a request given up after its wait can be kept until the layer is
// done with it.
struct PrivateRequest {
  SRB block;
  HANDLE event = nullptr;
  // A SCSI command's data go into a buffer of the request's own, copied to
  // the caller's buffer once the command has completed. A layer that
  // finishes after the wait writes here, not into a later request's data.
  std::vector<std::uint8_t> data;
  BufferHandle dataHandle = 0;

  PrivateRequest() = default;
  PrivateRequest(const PrivateRequest&) = delete;
  PrivateRequest& operator=(const PrivateRequest&) = delete;
  ~PrivateRequest() { UnregisterDataBuffer(dataHandle); }
};

// Points the request's block at a copy of the caller's data buffer: bytes
// the device leaves alone keep what the caller had there.
void SwapInPrivateDataCopy(PrivateRequest& own, const RecordedRequest& request) {
  if (!request.hasCallerBuffer) return;
  const auto length = static_cast<std::uint32_t>(request.callerData.size());
  own.data = request.callerData;
  own.data.resize(std::max<std::size_t>(length, 1));
  own.dataHandle = RegisterDataBuffer(own.data.data(), length);
  own.block.SRB_BufPointer = own.dataHandle;
}

// Given-up requests, kept alive until their layer has written a final
// status; those still pending when the program ends are never freed.
struct AbandonedRequests {
  std::mutex mutex;
  std::vector<std::unique_ptr<PrivateRequest>> requests;
};

AbandonedRequests& Abandoned() {
  static NeverDestroyed<AbandonedRequests> abandoned;
  return *abandoned;
}

std::uint8_t LoadStatus(SRB& block) {
  return std::atomic_ref<std::uint8_t>(block.SRB_Status).load(std::memory_order_acquire);
}

// The layer may still be writing a given-up block, so its bytes are read
// through atomic loads.
void CopyBack(SRB& to, SRB& from) {
  auto* target = reinterpret_cast<std::uint8_t*>(&to);
  auto* source = reinterpret_cast<std::uint8_t*>(&from);
  for (std::size_t i = 0; i < sizeof(SRB); ++i) {
    target[i] = std::atomic_ref<std::uint8_t>(source[i]).load(std::memory_order_relaxed);
  }
}

}  // namespace

RequestAnswers* AnswersFirst = nullptr;

void ReapAbandonedRequests() {
  AbandonedRequests& abandoned = Abandoned();
  const std::lock_guard lock(abandoned.mutex);
  std::erase_if(abandoned.requests, [](const std::unique_ptr<PrivateRequest>& request) {
    if (LoadStatus(request->block) == SS_PENDING) return false;
    // The layer signals after the status; on a closed handle that fails
    // harmlessly, since handles are never given out twice.
    Aspi.CloseHandle(request->event);
    return true;
  });
}

std::size_t AbandonedRequestCount() {
  AbandonedRequests& abandoned = Abandoned();
  const std::lock_guard lock(abandoned.mutex);
  return abandoned.requests.size();
}

bool AspiAvailable() {
  return ((Aspi.GetASPI32SupportInfo() >> 8) & 0xFFu) == SS_COMP;
}

struct RequestInFlight {
  std::unique_ptr<PrivateRequest> own;
  HANDLE event = nullptr;
  std::chrono::steady_clock::time_point sent;
};

namespace {

// Takes the answer once the request is done or waited for: the status
// decides, once, so that a layer finishing from here on is too late and
// the answer never holds a half-taken completion.
void TakeAnswer(RecordedRequest& request) {
  const std::shared_ptr<RequestInFlight> flight = std::move(request.inFlight);
  SRB& block = flight->own->block;
  const std::uint8_t status = LoadStatus(block);
  CopyBack(request.answer, block);
  request.answer.SRB_Status = status;
  // Other request kinds keep reply bytes where a SCSI command names its buffer.
  if (request.hasCallerBuffer) request.answer.SRB_BufPointer = request.asked.SRB_BufPointer;

  if (status != SS_PENDING) {
    // The status was read with acquire ordering: the data are all there.
    const std::vector<std::uint8_t>& data = flight->own->data;
    request.answerData.assign(data.begin(), data.begin() + request.callerData.size());
    Aspi.CloseHandle(flight->event);
    return;
  }
  // Given up: the layer still holds the block's address and the event, and
  // may write or signal them later.
  flight->own->event = flight->event;
  AbandonedRequests& abandoned = Abandoned();
  const std::lock_guard lock(abandoned.mutex);
  abandoned.requests.push_back(std::move(flight->own));
}

}  // namespace

bool SendRequest(RecordedRequest& request) {
  ReapAbandonedRequests();

  auto own = std::make_unique<PrivateRequest>();
  own->block = request.asked;
  SwapInPrivateDataCopy(*own, request);
  request.answer = request.asked;
  request.answerData.clear();

  const HANDLE event = Aspi.CreateEventA(nullptr, 0, 0, nullptr);
  if (event == nullptr) {
    request.answer.SRB_Status = SS_ABORTED;
    return true;
  }

  SRB& block = own->block;
  if (request.notify) {
    block.SRB_Flags |= SRB_EVENT_NOTIFY;
    block.SRB_PostProc = static_cast<SrbPointer>(reinterpret_cast<std::uintptr_t>(event));
  } else {
    block.SRB_Flags = 0;
  }

  Aspi.SendASPI32Command(&block);
  const bool pending = LoadStatus(block) == SS_PENDING;
  request.inFlight = std::make_shared<RequestInFlight>(
      RequestInFlight{std::move(own), event, std::chrono::steady_clock::now()});
  if (pending) return false;
  TakeAnswer(request);
  return true;
}

void AwaitRequest(RecordedRequest& request) {
  const RequestInFlight& flight = *request.inFlight;
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - flight.sent);
  const auto left = static_cast<DWORD>(
      std::max<std::int64_t>(0, std::int64_t{RequestWaitMilliseconds} - waited.count()));
  if (Aspi.WaitForSingleObject(flight.event, left) == WAIT_OBJECT_0) Aspi.ResetEvent(flight.event);
  TakeAnswer(request);
}

void RunRequest(RecordedRequest& request) {
  if (!SendRequest(request)) AwaitRequest(request);
}

void ExecuteRequest(SRB& block, bool notify) {
  if (AnswersFirst != nullptr && AnswersFirst->Answer(block, notify)) return;
  RecordedRequest request = RecordRequest(block, notify);
  RunRequest(request);
  HandBack(request, block);
}
