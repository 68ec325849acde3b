#include "ui/message_boxes.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include <exception>

#include "ui/end_request.h"

namespace {

void ShowBox(QMessageBox::Icon icon, const QString& title, const QString& text) {
  if (EndRequestPending()) return;
  // No parent: Qt centres a box without one on the screen.
  QMessageBox box(icon, title, text, QMessageBox::NoButton);
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace

void ShowErrorBox(const QString& text) {
  ShowBox(QMessageBox::Critical, QStringLiteral("ｴﾗｰ"), text);
}

void ShowPlainBox(const QString& text) {
  ShowBox(QMessageBox::NoIcon, QCoreApplication::applicationName(), text);
}

void ShowFailureBox(const QString& text) {
  ShowBox(QMessageBox::Critical, QCoreApplication::applicationName(), text);
}

void RunCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& failure) {
    ShowFailureBox(QString::fromUtf8(failure.what()) + QStringLiteral("."));
  }
}
