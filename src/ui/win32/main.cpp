// busview: lists the SCSI host adapters and the devices at target IDs 0-7
// through the ASPI layer, WNASPI32.DLL.
#include <windows.h>

#include "ui/win32/application.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  CreateBusviewWindows();
  const int exitCode = RunBusview();
  DestroyBusviewWindows();
  return exitCode;
}
