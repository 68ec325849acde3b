// Preloaded (LD_PRELOAD) into an installed busview in the lab's guest: once
// the main window is on screen it presses 表示 in simple mode, writes both
// panes to the file BUSVIEW_PROBE_OUT as UTF-8 (the adapter pane, one empty
// line, the device pane: busview-report's layout) and ends the program with
// status 0. A box on screen instead is written there with status 3.
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <unistd.h>

namespace {

QString PaneText(const QPlainTextEdit* pane) {
  const QString text = pane->toPlainText();
  return text.isEmpty() ? text : text + QLatin1Char('\n');
}

[[noreturn]] void WriteAndEnd(const QString& text, int status) {
  QFile out(qEnvironmentVariable("BUSVIEW_PROBE_OUT"));
  if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0) status = 2;
  out.close();
  ::_exit(status);
}

void Probe() {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (!window->isVisible()) continue;
    if (const auto* box = qobject_cast<QMessageBox*>(window)) {
      WriteAndEnd(box->windowTitle() + QStringLiteral(": ") + box->text() + QLatin1Char('\n'), 3);
    }
    if (window->objectName() != QLatin1String("Form1")) continue;
    const auto* adapters = window->findChild<QPlainTextEdit*>(QStringLiteral("Memo2"));
    const auto* devices = window->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    auto* display = window->findChild<QPushButton*>(QStringLiteral("Button1"));
    if (!adapters || !devices || !display) WriteAndEnd(QStringLiteral("no panes or 表示 in Form1\n"), 4);
    display->click();
    WriteAndEnd(PaneText(adapters) + QLatin1Char('\n') + PaneText(devices), 0);
  }
  QTimer::singleShot(100, Probe);
}

// Runs while busview makes its QApplication: the first look is posted, for
// when events are first handled.
void StartProbe() { QMetaObject::invokeMethod(QCoreApplication::instance(), Probe, Qt::QueuedConnection); }

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartProbe)
