// Runs the real windows on a bus file, and answers or watches the modal
// boxes they open.
#pragma once

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "aspi/request_block.h"
#include "ui/qt/about_box.h"
#include "wnaspi32/front/backend.h"
#include "ui/qt/application.h"
#include "ui/qt/drop_down_list.h"
#include "ui/qt/end_request.h"
#include "ui/qt/form1.h"
#include "ui/qt/report_pane.h"

// Readable values in failure messages.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& lines, std::ostream* out) {
  *out << "\n";
  for (const QString& line : lines) *out << "  \"" << line.toStdString() << "\"\n";
}
inline void PrintTo(const QRect& r, std::ostream* out) {
  *out << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}
inline void PrintTo(const QPoint& p, std::ostream* out) { *out << "QPoint(" << p.x() << ", " << p.y() << ")"; }
inline void PrintTo(const QSize& s, std::ostream* out) { *out << "QSize(" << s.width() << ", " << s.height() << ")"; }

namespace uitest {

inline std::string BusPath(const char* name) {
  return std::string(BUSVIEW_UI_BUSES) + "/" + name;
}

struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon;
  QStringList buttons;

  bool operator==(const SeenBox&) const = default;
};

inline void PrintTo(const SeenBox& box, std::ostream* out) {
  *out << (box.title + QStringLiteral(": ") + box.text + QStringLiteral(" [icon ") +
           QString::number(box.icon) + QStringLiteral("; ") + box.buttons.join(QLatin1Char(',')) +
           QStringLiteral("]"))
              .toStdString();
}

// The one box a step should show: the title, text and icon given, and "OK".
inline std::vector<SeenBox> OnlyBox(const QString& title, const QString& text,
                                    QMessageBox::Icon icon) {
  return {SeenBox{title, text, icon, {QStringLiteral("OK")}}};
}

// For failure messages: the boxes seen, one per line.
inline std::string Describe(const std::vector<SeenBox>& boxes) {
  std::string text;
  for (const SeenBox& box : boxes) {
    text += (box.title + QStringLiteral(": ") + box.text).toStdString() + "\n";
  }
  return text;
}

// Watches for modal message boxes from its creation on. Answering: presses
// a box's default button ("OK") with the mouse. Watching: leaves the box
// alone, and only after `patience` closes it and counts it as unanswered.
class BoxWatcher {
 public:
  enum class Mode { Answer, Watch };

  explicit BoxWatcher(Mode mode = Mode::Answer, int patienceMs = 3000) : mode_(mode) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this, patienceMs] { Look(patienceMs); });
    timer_.start();
  }

  std::vector<SeenBox> seen;
  int leftOpen = 0;  // boxes the watcher had to close itself

 private:
  void Look(int patienceMs) {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) {
      current_ = nullptr;
      return;
    }
    if (box != current_) {
      current_ = box;
      waited_ = 0;
      QStringList buttons;
      for (QAbstractButton* button : box->buttons()) buttons << button->text();
      seen.push_back({box->windowTitle(), box->text(), box->icon(), buttons});
    }
    if (mode_ == Mode::Answer) {
      QTest::mouseClick(box->defaultButton(), Qt::LeftButton);
      current_ = nullptr;
    } else if ((waited_ += 10) >= patienceMs) {
      ++leftOpen;
      box->reject();
      current_ = nullptr;
    }
  }

  Mode mode_;
  QTimer timer_;
  QMessageBox* current_ = nullptr;
  int waited_ = 0;
};

// The program's windows on one bus file, as start-up leaves them, before
// the event loop runs.
class WindowsOnBus : public ::testing::Test {
 protected:
  void StartOn(const char* busFile) {
    wnaspi32::ReplaceBackend(wnaspi32::MakeSimBackend(BusPath(busFile).c_str()));
    AdapterCount = 0;
    CurrentAdapter = 0;
    CurrentTarget = 0;
    WorkText.clear();
    ClearDataBuffer();
    ClearEndRequest();
    CreateBusviewWindows();
  }

  // Start-up plus the first step of the loop: the main window on screen.
  void StartShownOn(const char* busFile) {
    StartOn(busFile);
    Form1->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form1));
  }

  void TearDown() override {
    DestroyBusviewWindows();
    ClearEndRequest();
  }

  static QStringList Lines(const QPlainTextEdit* pane) {
    return pane->toPlainText().split(QLatin1Char('\n'));
  }

  static void Click(QWidget* control) {
    ASSERT_TRUE(control->isVisible());
    QTest::mouseClick(control, Qt::LeftButton);
  }

  // Types `text` over whatever the list's text field holds.
  static void TypeInto(QComboBox* list, const QString& text) {
    ASSERT_TRUE(list->isVisible());
    list->lineEdit()->selectAll();
    QTest::keyClick(list->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(list->lineEdit(), text);
  }

  // Chooses entry `index` of a list with the arrow keys, as a user can;
  // every step is a selection.
  static void ChooseEntry(QComboBox* list, int index) {
    ASSERT_TRUE(list->isVisible());
    list->setFocus();
    for (int step = 0; list->currentIndex() != index && step < 100; ++step) {
      QTest::keyClick(list, list->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
    }
    ASSERT_EQ(list->currentIndex(), index);
  }

  static void ChooseAdapterEntry(int index) { ChooseEntry(Form1->ComboBox2, index); }
};

// A label padded with blanks to 22 columns, "= " and a value, spelt out.
inline QString ReportLine(const char* label, int blanks, const QString& value) {
  return QString::fromUtf8(label) + QString(blanks, QLatin1Char(' ')) + QStringLiteral("= ") + value;
}

}  // namespace uitest
