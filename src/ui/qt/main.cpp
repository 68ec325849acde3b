// busview: lists the SCSI host adapters and the devices at target IDs 0-7
// through the ASPI layer.
#include <QApplication>

#include "ui/qt/application.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  CreateBusviewWindows();
  const int exitCode = RunBusview();
  DestroyBusviewWindows();
  return exitCode;
}
