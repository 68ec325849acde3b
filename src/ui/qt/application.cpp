#include "ui/qt/application.h"

#include <QApplication>

#include "ui/layout/form_layouts.h"
#include "ui/qt/about_box.h"
#include "ui/qt/end_request.h"
#include "ui/qt/form1.h"
#include "ui/qt/qt_japanese.h"
#include "ui/qt/scaling.h"

void CreateBusviewWindows() {
  // The title goes into applicationName, never applicationDisplayName: Qt
  // would append a display name to every window title.
  QCoreApplication::setApplicationName(QString::fromUtf8(ApplicationTitle));
  QGuiApplication::setDesktopFileName(QStringLiteral("busview"));
  // Only the request to end ends the program, not the last window closed.
  QApplication::setQuitOnLastWindowClosed(false);
  InstallQtJapanese();
  // Boxes and hints in the window font too.
  QApplication::setFont(GothicFont(form1_layout::WindowFontHeight));
  Form1 = new TForm1();
  AboutBox = new TAboutBox();
}

int RunBusview() { return RunMainLoop(*Form1); }

void DestroyBusviewWindows() {
  delete AboutBox;
  AboutBox = nullptr;
  delete Form1;
  Form1 = nullptr;
}
