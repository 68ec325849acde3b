// A backend on a fake tree with a scripted kernel door, and a way to run
// one SCSI command through it as the layer's front would.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "../linux/fake_sysfs.h"
#include "../linux/scripted_io.h"
#include "win32_stand_ins/win32_events.h"
#include "wnaspi32/sg/sg_backend.h"

namespace sgtest {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t Untouched = 0xA5;

inline Bytes Head(const Bytes& bytes, std::size_t n) { return {bytes.begin(), bytes.begin() + n}; }
inline Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

inline SRB Request(std::uint8_t cmd, std::uint8_t adapter, std::uint8_t target,
                   const Bytes& cdb = {}, std::uint32_t bufLen = 0) {
  SRB srb{};
  srb.SRB_Cmd = cmd;
  srb.SRB_HaId = adapter;
  srb.SRB_Target = target;
  srb.SRB_BufLen = bufLen;
  srb.SRB_SenseLen = cmd == SC_EXEC_SCSI_CMD ? 14 : 0;
  srb.SRB_CDBLen = static_cast<std::uint8_t>(cdb.size());
  std::copy(cdb.begin(), cdb.end(), srb.CDBByte);
  return srb;
}

inline std::uint8_t LoadStatus(SRB& srb) {
  return std::atomic_ref<std::uint8_t>(srb.SRB_Status).load(std::memory_order_acquire);
}

struct Finished {
  std::uint8_t returned = 0;  // what the backend's method returned
  std::uint8_t status = 0;    // the final SRB_Status
  SRB srb{};
  Bytes buffer;  // starts as Untouched bytes
};

// Sends a SCSI command with an event and waits for it when it is pending.
inline Finished RunScsi(wnaspi32::Backend& backend, SRB request, std::size_t bufferSize = 40) {
  Finished done{.returned = 0, .status = 0, .srb = request, .buffer = {}};
  done.buffer.assign(bufferSize, Untouched);
  HANDLE event = CreateEventA(nullptr, 0, 0, nullptr);
  done.srb.SRB_Flags |= SRB_EVENT_NOTIFY;
  done.srb.SRB_PostProc = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(event));
  const auto length =
      std::min<std::uint32_t>(request.SRB_BufLen, static_cast<std::uint32_t>(bufferSize));
  done.returned = backend.ExecScsiCommand(request.SRB_HaId, done.srb, done.buffer.data(), length);
  done.status = done.returned;
  if (done.returned == SS_PENDING) {
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    done.status = LoadStatus(done.srb);
  }
  CloseHandle(event);
  return done;
}

// A backend lent to the layer's front: its owner still owns it and joins
// its threads.
class Lent final : public wnaspi32::Backend {
 public:
  explicit Lent(wnaspi32::Backend& owner) : owner_(owner) {}
  std::uint32_t SupportInfo() override { return owner_.SupportInfo(); }
  int AdapterCount() override { return owner_.AdapterCount(); }
  std::uint8_t HostAdapterInquiry(int adapter, SRB& srb) override {
    return owner_.HostAdapterInquiry(adapter, srb);
  }
  std::uint8_t GetDeviceType(int adapter, SRB& srb) override {
    return owner_.GetDeviceType(adapter, srb);
  }
  std::uint8_t GetDiskInfo(int adapter, SRB& srb) override { return owner_.GetDiskInfo(adapter, srb); }
  std::uint8_t ExecScsiCommand(int adapter, SRB& srb, std::uint8_t* buffer,
                               std::uint32_t length) override {
    return owner_.ExecScsiCommand(adapter, srb, buffer, length);
  }
  std::optional<std::uint8_t> DeviceTypeOf(int adapter, const SRB& srb) override {
    return owner_.DeviceTypeOf(adapter, srb);
  }

 private:
  wnaspi32::Backend& owner_;
};

// Sends a request through the layer's front, as any program does, and
// waits for its event when it is pending.
inline std::uint8_t Send(SRB& srb) {
  HANDLE event = CreateEventA(nullptr, 0, 0, nullptr);
  srb.SRB_Flags |= SRB_EVENT_NOTIFY;
  srb.SRB_PostProc = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(event));
  if (SendASPI32Command(&srb) == SS_PENDING) {
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
  }
  CloseHandle(event);
  return LoadStatus(srb);
}

class SgBackendTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (lent_) wnaspi32::ReplaceBackend(wnaspi32::MakeNoAdaptersBackend());
    io->Release();
    backend.reset();  // joins the layer's threads
  }
  wnaspi32::Backend& Backend() {
    if (!backend) backend = wnaspi32::MakeSgBackend({tree.roots(), io});
    return *backend;
  }
  // Puts the fixture's backend behind the layer's front until the test ends.
  void LendToTheFront() {
    wnaspi32::ReplaceBackend(std::make_unique<Lent>(Backend()));
    lent_ = true;
  }

  FakeTree tree;
  std::shared_ptr<ScriptedIo> io = std::make_shared<ScriptedIo>();
  std::unique_ptr<wnaspi32::Backend> backend;

 private:
  bool lent_ = false;
};

}  // namespace sgtest
