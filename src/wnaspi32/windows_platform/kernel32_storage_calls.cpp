#include "wnaspi32/windows_platform/kernel32_storage_calls.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "win32_stand_ins/never_destroyed.h"

namespace wnaspi32::windows {
namespace {

std::wstring Wide(const std::string& text) {
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(length, 0)), L'\0');
  if (length > 0)
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string Utf8(const std::wstring& text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(std::max(length, 0)), '\0');
  if (length > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(),
                        length, nullptr, nullptr);
  return narrow;
}

// A time-out as WaitForSingleObject takes it, never INFINITE.
DWORD Milliseconds(std::chrono::milliseconds timeout) {
  return static_cast<DWORD>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, INFINITE - 1));
}

// A device object's handle: closed once neither the device nor any call
// on it needs it, so never under a call Windows has not ended.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { CloseHandle(handle_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  const HANDLE handle_;
};

// One DeviceIoControl and everything Windows may write while it runs: the
// OVERLAPPED, its event and both buffers. It never moves.
struct Call {
  std::shared_ptr<const Handle> device;
  std::vector<std::uint8_t> input;
  std::vector<std::uint8_t> output;
  OVERLAPPED overlapped{};
  bool ended = false;
  ControlResult result;

  Call() = default;
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;
  ~Call() {
    if (overlapped.hEvent != nullptr) CloseHandle(overlapped.hEvent);
  }

  void End(DWORD error, DWORD bytes) {
    ended = true;
    result.error = error;
    output.resize(std::min<std::size_t>(bytes, output.size()));
    result.output = std::move(output);
  }

  // Whether Windows has ended the call, waiting up to `milliseconds` for it.
  bool Ended(DWORD milliseconds) {
    if (ended) return true;
    if (WaitForSingleObject(overlapped.hEvent, milliseconds) != WAIT_OBJECT_0) return false;
    DWORD bytes = 0;
    if (GetOverlappedResult(device->get(), &overlapped, &bytes, FALSE)) {
      End(ERROR_SUCCESS, bytes);
    } else {
      const DWORD error = GetLastError();
      if (error == ERROR_IO_INCOMPLETE) return false;
      End(error, bytes);  // ERROR_MORE_DATA still returns what fitted
    }
    return true;
  }
};

// Calls dropped before Windows ended them. Each is freed once it has ended,
// as seen whenever a call starts or is dropped; none is ever waited for, and
// the list itself outlives the program's static destructors.
class GivenUpCalls {
 public:
  void Keep(std::unique_ptr<Call> call) {
    const std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }
  void FreeEnded() {
    const std::lock_guard lock(mutex_);
    calls_.remove_if([](const std::unique_ptr<Call>& call) { return call->Ended(0); });
  }

 private:
  std::mutex mutex_;
  std::list<std::unique_ptr<Call>> calls_;
};

GivenUpCalls& GivenUp() {
  static NeverDestroyed<GivenUpCalls> calls;
  return *calls;
}

class Kernel32Control final : public PendingControl {
 public:
  explicit Kernel32Control(std::unique_ptr<Call> call) : call_(std::move(call)) {}
  ~Kernel32Control() override {
    if (!call_->Ended(0)) GivenUp().Keep(std::move(call_));
  }

  // Starts the call; made before it, so that nothing can throw between
  // Windows taking the buffers and this holding them.
  void Start(std::uint32_t code) {
    Call& call = *call_;
    call.overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (call.overlapped.hEvent == nullptr) return call.End(GetLastError(), 0);
    DWORD bytes = 0;
    if (DeviceIoControl(call.device->get(), code, call.input.data(),
                        static_cast<DWORD>(call.input.size()), call.output.data(),
                        static_cast<DWORD>(call.output.size()), &bytes, &call.overlapped)) {
      // Ended at once; the OVERLAPPED holds the count.
      GetOverlappedResult(call.device->get(), &call.overlapped, &bytes, FALSE);
      return call.End(ERROR_SUCCESS, bytes);
    }
    const DWORD error = GetLastError();
    if (error != ERROR_IO_PENDING) call.End(error, error == ERROR_MORE_DATA ? bytes : 0);
  }

  bool Wait(std::chrono::milliseconds timeout) override {
    return call_->Ended(Milliseconds(timeout));
  }
  void Cancel() override {
    if (!call_->ended) CancelIoEx(call_->device->get(), &call_->overlapped);
  }
  ControlResult Result() const override { return call_->result; }

 private:
  std::unique_ptr<Call> call_;
};

class Kernel32Device final : public Device {
 public:
  explicit Kernel32Device(HANDLE handle) : handle_(std::make_shared<const Handle>(handle)) {}

  std::shared_ptr<PendingControl> Control(std::uint32_t code, std::vector<std::uint8_t> input,
                                          std::uint32_t outputLength) override {
    GivenUp().FreeEnded();
    auto call = std::make_unique<Call>();
    call->device = handle_;
    call->input = std::move(input);
    call->output.resize(outputLength);
    auto control = std::make_shared<Kernel32Control>(std::move(call));
    control->Start(code);
    return control;
  }

 private:
  const std::shared_ptr<const Handle> handle_;
};

class Kernel32StorageCalls final : public StorageCalls {
 public:
  Opened Open(const std::string& path, Access access) override {
    const DWORD rights = access == Access::None ? 0 : GENERIC_READ | GENERIC_WRITE;
    const HANDLE handle = CreateFileW(Wide(path).c_str(), rights, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {nullptr, GetLastError()};
    // Made only now: a handle that failed to be kept would stay open.
    try {
      return {std::make_shared<Kernel32Device>(handle), ERROR_SUCCESS};
    } catch (...) {
      CloseHandle(handle);
      throw;
    }
  }

  std::optional<std::string> RegistryText(const std::string& key,
                                          const std::string& value) override {
    const std::wstring wideKey = Wide(key), wideValue = Wide(value);
    std::wstring text;
    DWORD bytes = 0;
    LSTATUS status;
    // The value may grow between asking its size and reading it.
    do {
      text.resize(bytes / sizeof(wchar_t) + 1);
      bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
      status = RegGetValueW(HKEY_LOCAL_MACHINE, wideKey.c_str(), wideValue.c_str(), RRF_RT_REG_SZ,
                            nullptr, text.data(), &bytes);
    } while (status == ERROR_MORE_DATA);
    if (status != ERROR_SUCCESS) return std::nullopt;
    // The count includes the terminating NUL, which RegGetValueW ensures.
    text.resize(std::min<std::size_t>(text.size(), bytes / sizeof(wchar_t)));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return Utf8(text);
  }
};

}  // namespace

std::shared_ptr<StorageCalls> MakeKernel32StorageCalls() {
  return std::make_shared<Kernel32StorageCalls>();
}

}  // namespace wnaspi32::windows
