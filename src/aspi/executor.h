// Running requests through the ASPI layer.
#pragma once

#include "aspi/request_block.h"
#include "win32_stand_ins/win32_events.h"

// True when the layer says it is usable: bits 8-15 of
// GetASPI32SupportInfo equal SS_COMP.
bool AspiAvailable();

// Hands `block` to the layer and returns when the request has completed,
// or after waiting 10 seconds for it. With `notify` the layer signals an
// event on completion; without it a pending request always takes the whole
// wait. The outcome stands in block.SRB_Status.
void ExecuteRequest(SRB& block, bool notify);

// Answers ExecuteRequest takes before it asks the layer: busview-report
// serves its reports what it asked ahead of them. The window sets none.
class RequestAnswers {
 public:
  virtual ~RequestAnswers() = default;
  // Leaves in `block` and its data buffer what ExecuteRequest would leave
  // there, and returns true; or returns false, and the layer is asked.
  virtual bool Answer(SRB& block, bool notify) = 0;
};
// Null: every request goes to the layer.
extern RequestAnswers* AnswersFirst;

// The platform calls the executor makes. Tests put a scripted layer here;
// the program uses the real ones.
struct AspiCalls {
  std::uint32_t (*GetASPI32SupportInfo)();
  std::uint32_t (*SendASPI32Command)(void*);
  HANDLE (*CreateEventA)(void*, BOOL, BOOL, const char*);
  DWORD (*WaitForSingleObject)(HANDLE, DWORD);
  BOOL (*ResetEvent)(HANDLE);
  BOOL (*CloseHandle)(HANDLE);
};
extern AspiCalls Aspi;

// How long the executor waits for a pending request.
constexpr DWORD RequestWaitMilliseconds = 10000;
