#include "ui/qt/end_request.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>

namespace {

bool pending = false;
bool mainLoopRunning = false;
bool takeScheduled = false;

void CloseModalBoxes() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QDialog*>(window);
    if (box && box->isVisible() && box->isModal()) box->reject();
  }
}

// Runs from the event loop, the main one or a box's nested one.
void TakeEndRequest() {
  takeScheduled = false;
  if (!pending) return;
  CloseModalBoxes();
  // Before the main loop runs there is no loop to end: RunMainLoop takes
  // the request again once it does.
  if (mainLoopRunning) QCoreApplication::exit(0);
}

void ScheduleTake() {
  if (takeScheduled) return;
  takeScheduled = true;
  QTimer::singleShot(0, qApp, &TakeEndRequest);
}

}  // namespace

void PostEndRequest() {
  pending = true;
  ScheduleTake();
}

bool EndRequestPending() { return pending; }

int RunMainLoop(QWidget& mainWindow) {
  mainWindow.show();
  if (pending) ScheduleTake();
  mainLoopRunning = true;
  const int exitCode = QApplication::exec();
  mainLoopRunning = false;
  return exitCode;
}

void ClearEndRequest() { pending = false; }
