// The real window on a bus with a device that never answers: 表示 in
// simple mode, wait until the display is done, 終了. busview must then end
// with status 0 while the requests it gave up are still pending.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <cstdlib>

#include "aspi/given_up_requests.h"
#include "ui/qt/application.h"
#include "ui/qt/form1.h"

int main(int argc, char* argv[]) {
  setenv("WNASPI32_BUS", BUSVIEW_HUNG_BUS, 1);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  CreateBusviewWindows();
  std::size_t givenUp = 0;
  QTimer::singleShot(0, [&] {
    if (!QTest::qWaitForWindowExposed(Form1)) return;
    QTest::mouseClick(Form1->Button1, Qt::LeftButton);  // 表示: returns once the display is done
    givenUp = AbandonedRequestCount();
    QTest::mouseClick(Form1->SpeedButton2, Qt::LeftButton);  // 終了
  });
  const int exitCode = RunBusview();
  DestroyBusviewWindows();
  // The device type request and the INQUIRY of target 0.
  if (givenUp != 2) {
    std::fprintf(stderr, "hung_device_end_program: %zu requests given up, not 2\n", givenUp);
    return 1;
  }
  return exitCode;
}
