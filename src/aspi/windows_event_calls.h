// kernel32's event calls in the executor's plain calling convention, so
// that the program's and the tests' calls fit the same table.
#pragma once

#ifdef _WIN32

#include <windows.h>

namespace windows_event_calls {

inline HANDLE CreateEventA(void* attributes, BOOL manualReset, BOOL initialState, const char* name) {
  return ::CreateEventA(static_cast<LPSECURITY_ATTRIBUTES>(attributes), manualReset, initialState, name);
}
inline DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return ::WaitForSingleObject(handle, milliseconds);
}
inline BOOL ResetEvent(HANDLE event) { return ::ResetEvent(event); }
inline BOOL CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }

}  // namespace windows_event_calls

#endif
