// A fake Windows storage stack behind the Windows backend's door: serves a
// bus file's machine through the control codes and structures Windows
// documents, its devices answering SCSI commands as the simulated bus's
// do, with Windows' rules on access rights and claimed units.
#pragma once

#include <memory>
#include <string>

#include "wnaspi32/sim/bus.h"
#include "wnaspi32/windows/storage_calls.h"

namespace wnaspi32::fake_windows {

enum class Rights { Administrator, OrdinaryUser };

class FakeStorage final : public windows::StorageCalls {
 public:
  FakeStorage(sim::Bus bus, Rights rights);
  ~FakeStorage() override;

  windows::Opened Open(const std::string& path, windows::Access access) override;
  std::optional<std::string> RegistryText(const std::string& key, const std::string& value) override;

  // The unit at `target`/`lun` of port `adapter` goes away: calls under way
  // on it end with ERROR_DEVICE_NOT_CONNECTED, later ones on handles open to
  // it too, and its device object can no longer be opened.
  void Unplug(std::size_t adapter, std::uint8_t target, std::uint8_t lun);

  class Machine;

 private:
  std::shared_ptr<Machine> machine_;
};

// The fake over the bus file `path` (WNASPI32_FAKE_WINDOWS), or null with
// `error` saying why when the file cannot be used.
std::shared_ptr<FakeStorage> LoadFakeStorage(const std::string& path, Rights rights, std::string& error);

}  // namespace wnaspi32::fake_windows
