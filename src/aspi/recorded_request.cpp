#include "aspi/recorded_request.h"

#include <algorithm>
#include <cstring>

#include "win32_stand_ins/buffer_handles.h"

namespace {

// The caller's data buffer as far as the layer may reach it: SRB_BufLen
// bytes, no more than were registered. Only SCSI commands have one.
std::uint8_t* CallerBuffer(const SRB& block, std::uint32_t& length) {
  length = 0;
  if (block.SRB_Cmd != SC_EXEC_SCSI_CMD) return nullptr;
  std::uint32_t registered = 0;
  auto* address = static_cast<std::uint8_t*>(LookupDataBuffer(block.SRB_BufPointer, &registered));
  if (address != nullptr) length = std::min(block.SRB_BufLen, registered);
  return address;
}

}  // namespace

RecordedRequest RecordRequest(const SRB& block, bool notify) {
  RecordedRequest request;
  request.asked = block;
  request.notify = notify;
  std::uint32_t length = 0;
  const std::uint8_t* address = CallerBuffer(block, length);
  request.hasCallerBuffer = address != nullptr;
  if (address != nullptr) request.callerData.assign(address, address + length);
  return request;
}

bool AsksTheSame(const RecordedRequest& request, const SRB& block, bool notify) {
  if (notify != request.notify || std::memcmp(&block, &request.asked, sizeof block) != 0) return false;
  std::uint32_t length = 0;
  const std::uint8_t* address = CallerBuffer(block, length);
  if ((address != nullptr) != request.hasCallerBuffer) return false;
  return length == request.callerData.size() &&
         std::equal(request.callerData.begin(), request.callerData.end(), address);
}

void HandBack(const RecordedRequest& request, SRB& block) {
  std::memcpy(&block, &request.answer, sizeof block);
  if (block.SRB_Status == SS_PENDING) return;
  // As it was asked: the answer's SRB_BufLen may hold the residual count.
  std::uint32_t length = 0;
  std::uint8_t* address = CallerBuffer(request.asked, length);
  if (address == nullptr) return;
  std::copy_n(request.answerData.begin(), std::min<std::size_t>(length, request.answerData.size()),
              address);
}
