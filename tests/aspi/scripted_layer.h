// A scripted ASPI layer for the executor's tests: it takes the place of
// the platform calls in `Aspi`, records what it is handed, and answers as
// the test tells it to.
#pragma once

#include <cstdint>
#include <thread>
#include <vector>

#include "aspi/executor.h"

struct LayerAnswer {
  enum Kind { AtOnce, Later, Never };
  Kind kind = AtOnce;
  std::uint8_t status = SS_COMP;
  int delayMilliseconds = 0;
  // What a SCSI command puts into the data buffer it was handed.
  std::vector<std::uint8_t> data;
};

class ScriptedLayer {
 public:
  ScriptedLayer();
  ~ScriptedLayer();  // waits for the layer's own threads, restores `Aspi`

  LayerAnswer answer;
  std::uint32_t supportInfo = 0x0101;
  bool eventCreationFails = false;

  // What the executor did, as seen from the layer.
  int sends = 0, eventsCreated = 0, waits = 0, resets = 0, closes = 0;
  SRB lastSent{};
  const void* lastSentAddress = nullptr;

 private:
  static std::uint32_t SupportInfo();
  static std::uint32_t Send(void* srb);
  static HANDLE Create(void*, BOOL, BOOL, const char*);
  static DWORD Wait(HANDLE, DWORD);
  static BOOL Reset(HANDLE);
  static BOOL Close(HANDLE);

  AspiCalls saved_;
  std::vector<std::thread> completions_;
};

// Fills a block the way a requester would, with recognisable bytes.
void FillRecognisableScsiRequest(SRB& block);
