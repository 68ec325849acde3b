#include "scripted_layer.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "win32_stand_ins/buffer_handles.h"
#include "wnaspi32/front/backend.h"

namespace {
ScriptedLayer* active = nullptr;
// The data buffer a recognisable request names. It is a real one: on
// Windows SRB_BufPointer is taken as the address it holds.
std::uint8_t RecognisableRequestData[40];
}

ScriptedLayer::ScriptedLayer() : saved_(Aspi) {
  active = this;
  Aspi = {SupportInfo, Send, Create, Wait, Reset, Close};
}

ScriptedLayer::~ScriptedLayer() {
  for (std::thread& thread : completions_) thread.join();
  Aspi = saved_;
  active = nullptr;
}

std::uint32_t ScriptedLayer::SupportInfo() { return active->supportInfo; }

std::uint32_t ScriptedLayer::Send(void* request) {
  ScriptedLayer& layer = *active;
  auto& srb = *static_cast<SRB*>(request);
  ++layer.sends;
  layer.lastSentAddress = request;
  std::memcpy(&layer.lastSent, &srb, sizeof srb);
  const LayerAnswer answer = layer.answer;
  // The reply marks the block so that a test can tell it was written.
  SRB reply = srb;
  reply.SRB_HaStat = 0x5A;
  // The buffer is found once, when the command arrives, as a real layer does.
  std::uint32_t room = 0;
  auto* buffer = srb.SRB_Cmd == SC_EXEC_SCSI_CMD
                     ? static_cast<std::uint8_t*>(LookupDataBuffer(srb.SRB_BufPointer, &room))
                     : nullptr;
  const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(answer.data.size(), room));
  switch (answer.kind) {
    case LayerAnswer::AtOnce:
      wnaspi32::Complete(srb, reply, answer.status, buffer, answer.data.data(), length);
      return answer.status;
    case LayerAnswer::Later:
      srb.SRB_Status = SS_PENDING;
      // From here on the block belongs to the completing thread.
      layer.completions_.emplace_back([&srb, reply, answer, buffer, length] {
        std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMilliseconds));
        wnaspi32::Complete(srb, reply, answer.status, buffer, answer.data.data(), length);
      });
      return SS_PENDING;
    case LayerAnswer::Never:
      srb.SRB_Status = SS_PENDING;
      return SS_PENDING;
  }
  return SS_ERR;
}

HANDLE ScriptedLayer::Create(void* attributes, BOOL manual, BOOL initial, const char* name) {
  if (active->eventCreationFails) return nullptr;
  ++active->eventsCreated;
#ifdef _WIN32
  return CreateEventA(static_cast<LPSECURITY_ATTRIBUTES>(attributes), manual, initial, name);
#else
  return CreateEventA(attributes, manual, initial, name);
#endif
}

DWORD ScriptedLayer::Wait(HANDLE event, DWORD milliseconds) {
  ++active->waits;
  return WaitForSingleObject(event, milliseconds);
}

BOOL ScriptedLayer::Reset(HANDLE event) {
  ++active->resets;
  return ResetEvent(event);
}

BOOL ScriptedLayer::Close(HANDLE event) {
  ++active->closes;
  return CloseHandle(event);
}

void FillRecognisableScsiRequest(SRB& block) {
  std::memset(&block, 0, sizeof block);
  block.SRB_Cmd = SC_EXEC_SCSI_CMD;
  block.SRB_HaId = 3;
  block.SRB_Target = 5;
  block.SRB_BufLen = 40;
  block.SRB_BufPointer = RegisterDataBuffer(RecognisableRequestData, sizeof RecognisableRequestData);
  block.SRB_SenseLen = 14;
  block.SRB_CDBLen = 6;
  const std::uint8_t inquiry[] = {0x12, 0, 0, 0, 0x24, 0};
  std::memcpy(block.CDBByte, inquiry, sizeof inquiry);
}
