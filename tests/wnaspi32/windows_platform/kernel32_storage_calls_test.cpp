// The door over kernel32 on named pipes, whose control calls Wine has:
// one that ends at once with fewer bytes than its buffer holds, and one
// that stays under way until another pipe instance is made.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "wnaspi32/windows/storage_structures.h"
#include "wnaspi32/windows_platform/kernel32_storage_calls.h"

namespace {

using namespace std::chrono_literals;
using wnaspi32::windows::Access;
using wnaspi32::windows::ControlCode;

// The named pipe file system's calls, as Microsoft documents them.
constexpr std::uint32_t DeviceNamedPipe = 0x11;
constexpr std::uint32_t PipePeek = ControlCode(DeviceNamedPipe, 3, 0, wnaspi32::windows::ReadAccess);
constexpr std::uint32_t PipeWait = ControlCode(DeviceNamedPipe, 6, 0, wnaspi32::windows::AnyAccess);
constexpr std::size_t PeekHeader = 16;  // FILE_PIPE_PEEK_BUFFER without its data

const std::wstring PipeName = L"busview-door-test";
const std::string PipePath = "\\\\.\\pipe\\busview-door-test";

HANDLE MakePipeInstance() {
  return CreateNamedPipeW((L"\\\\.\\pipe\\" + PipeName).c_str(), PIPE_ACCESS_DUPLEX,
                          PIPE_TYPE_BYTE, PIPE_UNLIMITED_INSTANCES, 64, 64, 0, nullptr);
}

// FILE_PIPE_WAIT_FOR_BUFFER: wait up to `timeout` for a free instance of
// PipeName.
std::vector<std::uint8_t> WaitForPipe(std::chrono::milliseconds timeout) {
  std::vector<std::uint8_t> input(14 + PipeName.size() * sizeof(wchar_t));
  const std::int64_t relative = -10'000 * static_cast<std::int64_t>(timeout.count());
  const auto nameBytes = static_cast<std::uint32_t>(PipeName.size() * sizeof(wchar_t));
  std::memcpy(input.data(), &relative, 8);
  std::memcpy(input.data() + 8, &nameBytes, 4);
  input[12] = 1;  // TimeoutSpecified
  std::memcpy(input.data() + 14, PipeName.data(), nameBytes);  // after one byte of padding
  return input;
}

TEST(Kernel32StorageCalls, OpenSaysWhyItFailed) {
  const auto calls = wnaspi32::windows::MakeKernel32StorageCalls();
  const HANDLE server = MakePipeInstance();
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  struct Case {
    std::string path;
    Access access;
    std::uint32_t error;
  };
  const Case cases[] = {
      {"\\\\.\\Scsi250:", Access::None, ERROR_FILE_NOT_FOUND},
      {"\\\\.\\pipe\\busview-no-such-pipe", Access::ReadWrite, ERROR_FILE_NOT_FOUND},
      {PipePath, Access::ReadWrite, ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    const auto opened = calls->Open(c.path, c.access);
    EXPECT_EQ(opened.error, c.error) << c.path;
    EXPECT_EQ(opened.device != nullptr, c.error == ERROR_SUCCESS) << c.path;
  }
  CloseHandle(server);
}

// A call that ends at once: the output holds the bytes returned, no more.
TEST(Kernel32StorageCalls, OutputIsWhatTheCallReturned) {
  const auto calls = wnaspi32::windows::MakeKernel32StorageCalls();
  const HANDLE server = MakePipeInstance();
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  const auto client = calls->Open(PipePath, Access::ReadWrite);
  ASSERT_NE(client.device, nullptr);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(server, "ASPI", 4, &written, nullptr));

  const auto peek = client.device->Control(PipePeek, {}, 64);
  ASSERT_TRUE(peek->Wait(5s));
  const auto result = peek->Result();
  EXPECT_EQ(result.error, 0u);
  ASSERT_EQ(result.output.size(), PeekHeader + 4);
  EXPECT_EQ(std::string(result.output.begin() + PeekHeader, result.output.end()), "ASPI");
  CloseHandle(server);
}

// A call under way: the wait times out; then the call ends as Windows ends
// it, or runs out its own time.
TEST(Kernel32StorageCalls, CallUnderWay) {
  const auto calls = wnaspi32::windows::MakeKernel32StorageCalls();
  const HANDLE busy = MakePipeInstance();
  ASSERT_NE(busy, INVALID_HANDLE_VALUE);
  const auto client = calls->Open(PipePath, Access::ReadWrite);  // the only instance is busy
  ASSERT_NE(client.device, nullptr);
  const auto root = calls->Open("\\\\.\\pipe\\", Access::None);
  ASSERT_NE(root.device, nullptr) << root.error;

  // (Wine 8 does not end a pipe wait on CancelIoEx: no cancelled case.)
  enum class Then { FreeInstance, Nothing };
  struct Case {
    const char* name;
    std::chrono::milliseconds ownTime;
    Then then;
    std::uint32_t error;
  };
  const Case cases[] = {
      {"ended by Windows", 30s, Then::FreeInstance, ERROR_SUCCESS},
      {"out of time", 1s, Then::Nothing, ERROR_SEM_TIMEOUT},
  };
  for (const Case& c : cases) {
    const auto wait = root.device->Control(PipeWait, WaitForPipe(c.ownTime), 0);
    EXPECT_FALSE(wait->Wait(200ms)) << c.name;
    HANDLE free = INVALID_HANDLE_VALUE;
    if (c.then == Then::FreeInstance) free = MakePipeInstance();
    ASSERT_TRUE(wait->Wait(5s)) << c.name;
    EXPECT_EQ(wait->Result().error, c.error) << c.name;
    if (free != INVALID_HANDLE_VALUE) CloseHandle(free);
  }

  CloseHandle(busy);
}

TEST(Kernel32StorageCalls, RegistryTextIsUtf8) {
  const wchar_t* key = L"SOFTWARE\\busview-door-test";
  ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, L"Driver", REG_SZ, L"ｽﾄﾚｰｼﾞ stornvme",
                            sizeof(L"ｽﾄﾚｰｼﾞ stornvme")),
            ERROR_SUCCESS);
  const auto calls = wnaspi32::windows::MakeKernel32StorageCalls();
  EXPECT_EQ(calls->RegistryText("SOFTWARE\\busview-door-test", "Driver"),
            std::optional<std::string>("ｽﾄﾚｰｼﾞ stornvme"));
  EXPECT_EQ(calls->RegistryText("SOFTWARE\\busview-door-test", "Missing"), std::nullopt);
  EXPECT_EQ(calls->RegistryText("SOFTWARE\\busview-no-such-key", "Driver"), std::nullopt);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
}

}  // namespace
