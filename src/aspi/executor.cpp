#include "aspi/executor.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "aspi/given_up_requests.h"
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

// The caller's data buffer, where the request has one.
struct CallerData {
  std::uint8_t* address = nullptr;
  std::uint32_t length = 0;
};

// Copies the caller's data buffer into the request's own and points the
// request's block at that copy; returns where the caller's buffer is.
CallerData SwapInPrivateDataCopy(PrivateRequest& request) {
  SRB& own = request.block;
  if (own.SRB_Cmd != SC_EXEC_SCSI_CMD) return {};
  std::uint32_t registered = 0;
  auto* address = static_cast<std::uint8_t*>(LookupDataBuffer(own.SRB_BufPointer, &registered));
  if (address == nullptr) return {};
  const CallerData caller{address, std::min(own.SRB_BufLen, registered)};
  // Bytes the device leaves alone keep what the caller had there.
  request.data.assign(caller.address, caller.address + caller.length);
  request.data.resize(std::max<std::size_t>(caller.length, 1));
  request.dataHandle = RegisterDataBuffer(request.data.data(), caller.length);
  own.SRB_BufPointer = request.dataHandle;
  return caller;
}

// Given-up requests, kept alive until their layer has written a final
// status; those still pending when the program ends are never freed. Only
// the executor's thread touches this list.
std::vector<std::unique_ptr<PrivateRequest>>& Abandoned() {
  static NeverDestroyed<std::vector<std::unique_ptr<PrivateRequest>>> abandoned;
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

void ReapAbandonedRequests() {
  std::erase_if(Abandoned(), [](const std::unique_ptr<PrivateRequest>& request) {
    if (LoadStatus(request->block) == SS_PENDING) return false;
    // The layer signals after the status; on a closed handle that fails
    // harmlessly, since handles are never given out twice.
    Aspi.CloseHandle(request->event);
    return true;
  });
}

std::size_t AbandonedRequestCount() { return Abandoned().size(); }

bool AspiAvailable() {
  return ((Aspi.GetASPI32SupportInfo() >> 8) & 0xFFu) == SS_COMP;
}

void ExecuteRequest(SRB& block, bool notify) {
  ReapAbandonedRequests();

  auto request = std::make_unique<PrivateRequest>();
  SRB& own = request->block;
  std::memcpy(&own, &block, sizeof own);

  const SrbPointer callerBufPointer = block.SRB_BufPointer;
  const CallerData caller = SwapInPrivateDataCopy(*request);

  const HANDLE event = Aspi.CreateEventA(nullptr, 0, 0, nullptr);
  if (event == nullptr) {
    block.SRB_Status = SS_ABORTED;
    return;
  }

  if (notify) {
    own.SRB_Flags |= SRB_EVENT_NOTIFY;
    own.SRB_PostProc = static_cast<SrbPointer>(reinterpret_cast<std::uintptr_t>(event));
  } else {
    own.SRB_Flags = 0;
  }

  Aspi.SendASPI32Command(&own);

  if (LoadStatus(own) == SS_PENDING) {
    if (Aspi.WaitForSingleObject(event, RequestWaitMilliseconds) == WAIT_OBJECT_0) {
      Aspi.ResetEvent(event);
    }
  }

  // The status decides, once: a layer finishing from here on is too late,
  // and the caller's block and data never show a half-taken completion.
  const std::uint8_t status = LoadStatus(own);
  CopyBack(block, own);
  block.SRB_Status = status;
  // Other request kinds keep reply bytes where a SCSI command names its buffer.
  if (caller.address != nullptr) block.SRB_BufPointer = callerBufPointer;

  if (status != SS_PENDING) {
    // The status was read with acquire ordering: the data are all there.
    std::copy_n(request->data.begin(), caller.length, caller.address);
    Aspi.CloseHandle(event);
    return;
  }
  // Given up: the layer still holds the block's address and the event, and
  // may write or signal them later.
  request->event = event;
  Abandoned().push_back(std::move(request));
}
