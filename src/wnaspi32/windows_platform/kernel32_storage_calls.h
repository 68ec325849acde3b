// The door to Windows' storage calls that the shipped layer goes through:
// kernel32's CreateFileW, DeviceIoControl and the overlapped calls around
// it, and advapi32's registry reads.
#pragma once

#include <memory>

#include "wnaspi32/windows/storage_calls.h"

namespace wnaspi32::windows {

// Device objects open for overlapped I/O and shared reading and writing;
// each control call with an event of its own. A call dropped before Windows
// ended it is kept until it has, and never waited for: the program may end
// with one still inside Windows. Registry values are read under
// HKEY_LOCAL_MACHINE, never written.
std::shared_ptr<StorageCalls> MakeKernel32StorageCalls();

}  // namespace wnaspi32::windows
