// The few Win32 kernel calls busview needs, for builds outside Windows.
// On Windows the real <windows.h> declarations are used instead.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else

using BOOL = int;
using DWORD = std::uint32_t;
using HANDLE = void*;

constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;  // 258
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD INFINITE = 0xFFFFFFFF;

extern "C" {
// Events are numbered 1, 2, 3, ... and a number is never given out twice
// in one run, so a late SetEvent on a closed handle fails harmlessly instead
// of signalling somebody else's event.
HANDLE CreateEventA(void* eventAttributes, BOOL manualReset, BOOL initialState,
                    const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);
}

#endif
