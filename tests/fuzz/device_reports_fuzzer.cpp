// The three device reports on arbitrary replies: statuses, device type and
// disk fields, INQUIRY data of 0 to 81 bytes, READ CAPACITY (10) and (16)
// data, through the real executor and a layer backend that answers as the
// input says. The reports must never crash, nor leave WorkText behind.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "aspi/request_block.h"
#include "wnaspi32/front/backend.h"
#include "fuzz_input.h"
#include "recording_window.h"
#include "reports/device_reports.h"

namespace {

struct Reply {
  std::uint8_t status = SS_ERR;
  std::vector<std::uint8_t> data;
};

class ScriptedDevice final : public wnaspi32::Backend {
 public:
  Reply devType, diskInfo;
  std::uint8_t type = 0, driveFlags = 0, int13Drive = 0, heads = 0, sectors = 0;
  std::map<std::uint8_t, Reply> commands;  // by operation code

  std::uint32_t SupportInfo() override { return 0x0101; }
  int AdapterCount() override { return 1; }
  std::uint8_t HostAdapterInquiry(int, SRB&) override { return SS_ERR; }
  std::uint8_t GetDeviceType(int, SRB& srb) override {
    srb.SRB_DeviceType = type;
    return devType.status;
  }
  std::uint8_t GetDiskInfo(int, SRB& srb) override {
    srb.SRB_DriveFlags = driveFlags;
    srb.SRB_Int13HDriveInfo = int13Drive;
    srb.SRB_Heads = heads;
    srb.SRB_Sectors = sectors;
    return diskInfo.status;
  }
  std::uint8_t ExecScsiCommand(int, SRB& srb, std::uint8_t* buffer, std::uint32_t length) override {
    const auto reply = commands.find(srb.CDBByte[0]);
    if (reply == commands.end()) return SS_ERR;
    if (buffer != nullptr && !reply->second.data.empty())
      std::memcpy(buffer, reply->second.data.data(),
                  std::min<std::size_t>(length, reply->second.data.size()));
    return reply->second.status;
  }
  std::optional<std::uint8_t> DeviceTypeOf(int, const SRB&) override { return type; }
};

// Any status but pending, which would hold every request for the whole wait.
std::uint8_t StatusOf(FuzzInput& input) {
  const std::uint8_t status = input.Byte();
  return status == SS_PENDING ? SS_COMP : status;
}

ScriptedDevice& Device() {
  static ScriptedDevice* device = [] {
    auto made = std::make_unique<ScriptedDevice>();
    ScriptedDevice* kept = made.get();
    wnaspi32::ReplaceBackend(std::move(made));
    return kept;
  }();
  return *device;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  ScriptedDevice& device = Device();
  RecordingWindow window;
  window.detailed = input.Byte() & 1;
  device.devType.status = StatusOf(input);
  device.type = input.Byte();
  device.diskInfo.status = StatusOf(input);
  device.driveFlags = input.Byte();
  device.int13Drive = input.Byte();
  device.heads = input.Byte();
  device.sectors = input.Byte();
  device.commands.clear();
  for (const std::uint8_t code : {0x12, 0x25, 0x9E}) {
    Reply& reply = device.commands[code];
    reply.status = StatusOf(input);
    reply.data = input.Bytes(input.Byte() % (DataBufferSize + 1));
  }

  MainWindow = &window;
  const std::int32_t target = static_cast<std::int32_t>(input.Number(4));
  ReportDeviceType(target, 0);
  ReportInquiry(target, 0);
  ReportCapacity(target, 0);
  MainWindow = nullptr;
  if (!WorkText.empty()) std::abort();
  return 0;
}
