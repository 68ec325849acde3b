#include "ui/qt/message_boxes.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>

#include <exception>

#include "ui/layout/window_texts.h"
#include "ui/qt/centring.h"
#include "ui/qt/end_request.h"

namespace {

// A message box centred on the screen by its outer frame.
class CentredMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    // Sets the box's final size, then places it.
    QMessageBox::showEvent(event);
    CentreOnScreen(*this);
  }
};

void ShowBox(QMessageBox::Icon icon, const QString& title, const QString& text) {
  if (EndRequestPending()) return;
  CentredMessageBox box(icon, title, text, QMessageBox::NoButton);
  QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace

void ShowErrorBox(const QString& text) {
  ShowBox(QMessageBox::Critical, QString::fromUtf8(ErrorBoxTitle), text);
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
    ShowFailureBox(QString::fromUtf8(failure.what()) + QString::fromUtf8(FailureTextEnd));
  }
}
