#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "win32_stand_ins/buffer_handles.h"
#include "win32_stand_ins/win32_events.h"

namespace {

TEST(Win32Events, WaitResultsFollowTheResetKind) {
  struct Case {
    const char* name;
    BOOL manualReset;
    BOOL initiallySignalled;
    bool signal;
    DWORD firstWait, secondWait;
  };
  const Case cases[] = {
      {"automatic, signalled", 0, 0, true, WAIT_OBJECT_0, WAIT_TIMEOUT},
      {"automatic, never signalled", 0, 0, false, WAIT_TIMEOUT, WAIT_TIMEOUT},
      {"automatic, born signalled", 0, 1, false, WAIT_OBJECT_0, WAIT_TIMEOUT},
      {"manual, signalled", 1, 0, true, WAIT_OBJECT_0, WAIT_OBJECT_0},
  };
  for (const Case& c : cases) {
    HANDLE event = CreateEventA(nullptr, c.manualReset, c.initiallySignalled, nullptr);
    ASSERT_NE(event, nullptr) << c.name;
    if (c.signal) {
      EXPECT_TRUE(SetEvent(event)) << c.name;
    }
    EXPECT_EQ(WaitForSingleObject(event, 0), c.firstWait) << c.name;
    EXPECT_EQ(WaitForSingleObject(event, 10), c.secondWait) << c.name;
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << c.name;
    EXPECT_TRUE(CloseHandle(event));
  }
  EXPECT_EQ(WAIT_TIMEOUT, 258u);
}

TEST(Win32Events, ClosedHandlesFailHarmlesslyAndAreNeverReused) {
  std::set<HANDLE> seen;
  for (int i = 0; i < 200; ++i) {
    HANDLE event = CreateEventA(nullptr, 0, 0, nullptr);
    ASSERT_TRUE(seen.insert(event).second) << "handle given out twice";
    EXPECT_LE(reinterpret_cast<std::uintptr_t>(event), 0xFFFFFFFFu);
    ASSERT_TRUE(CloseHandle(event));
    EXPECT_FALSE(SetEvent(event));
    EXPECT_FALSE(ResetEvent(event));
    EXPECT_FALSE(CloseHandle(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  }
}

TEST(Win32Events, SignalFromAnotherThreadEndsTheWait) {
  HANDLE event = CreateEventA(nullptr, 0, 0, nullptr);
  std::thread signaller([event] { SetEvent(event); });
  EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
  signaller.join();
  CloseHandle(event);
}

TEST(BufferHandles, HandlesLeadBackToTheirBuffers) {
  static std::uint8_t first[81], second[8];
  const std::uint32_t a = RegisterDataBuffer(first, sizeof first);
  const std::uint32_t b = RegisterDataBuffer(second, sizeof second);
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(RegisterDataBuffer(first, sizeof first), a) << "same buffer, same handle";
  EXPECT_EQ(RegisterDataBuffer(nullptr, 4), 0u);

  std::uint32_t length = 99;
  EXPECT_EQ(LookupDataBuffer(a, &length), static_cast<void*>(first));
  EXPECT_EQ(length, sizeof first);
  EXPECT_EQ(LookupDataBuffer(b, &length), static_cast<void*>(second));
  EXPECT_EQ(length, sizeof second);
  EXPECT_EQ(LookupDataBuffer(0xFFFFFF, &length), nullptr);
  EXPECT_EQ(length, 0u);

  // A forgotten handle leads nowhere, also once its buffer is registered
  // again: a late lookup never finds a newer buffer.
  UnregisterDataBuffer(b);
  EXPECT_EQ(LookupDataBuffer(b, &length), nullptr);
  const std::uint32_t again = RegisterDataBuffer(second, sizeof second);
  EXPECT_NE(again, b);
  EXPECT_NE(again, a);
  EXPECT_EQ(LookupDataBuffer(b, &length), nullptr);
  EXPECT_EQ(LookupDataBuffer(again, &length), static_cast<void*>(second));
  EXPECT_EQ(LookupDataBuffer(a, &length), static_cast<void*>(first));
}

}  // namespace
