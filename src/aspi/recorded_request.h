// A request taken from the caller's block and buffer, run on a block and a
// buffer of its own, possibly on another thread, and its answer, handed to
// the caller later: how busview-report asks ahead of its reports. The
// executor runs every request this way.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "wnaspi32.h"

struct RequestInFlight;

struct RecordedRequest {
  // The request as the caller made it ready, and the bytes of its data
  // buffer at that moment (as many as the layer may reach).
  SRB asked{};
  bool notify = false;
  bool hasCallerBuffer = false;
  std::vector<std::uint8_t> callerData;
  // What the caller's block gets, and its buffer once the request is no
  // longer pending.
  SRB answer{};
  std::vector<std::uint8_t> answerData;
  // What the executor keeps while the layer has the request.
  std::shared_ptr<RequestInFlight> inFlight;
};

// Takes the request in `block` and the bytes of its data buffer. On the
// caller's thread, while its buffer holds them.
RecordedRequest RecordRequest(const SRB& block, bool notify);

// Hands the request to the layer on a block, an event and a buffer of its
// own and waits for it as ExecuteRequest does: at most 10 seconds, after
// which it counts as pending and is kept until the layer is done with it.
// Any thread may run requests at once.
void RunRequest(RecordedRequest& request);

// RunRequest in two steps: hands the request to the layer, and returns
// true when it is done with that (its answer is there); otherwise
// AwaitRequest, on any thread, waits for it until 10 seconds after it was
// handed over.
bool SendRequest(RecordedRequest& request);
void AwaitRequest(RecordedRequest& request);

// Whether `block` (with its buffer's bytes now) and `notify` ask what
// `request` asked.
bool AsksTheSame(const RecordedRequest& request, const SRB& block, bool notify);

// Leaves in `block` and its data buffer what ExecuteRequest would have
// left there for the answer of `request`.
void HandBack(const RecordedRequest& request, SRB& block);
