#include "ui/qt/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QToolButton>

#include "ui/commands/form1_commands.h"
#include "ui/layout/form_layouts.h"
#include "ui/qt/about_box.h"
#include "ui/qt/cp932_text.h"
#include "ui/qt/drop_down_list.h"
#include "ui/qt/end_request.h"
#include "ui/qt/laid_out.h"
#include "ui/qt/message_boxes.h"
#include "ui/qt/pictures.h"
#include "ui/qt/report_pane.h"
#include "ui/qt/scaling.h"

TForm1* Form1 = nullptr;

namespace {

using namespace form1_layout;

template <typename Control>
Control* Make(TForm1& form, const char* name) {
  return MakeLaidOut<Control>(form, Form1Layout, name);
}

// The name the save dialog proposes for a pane: the caption of the label
// above it, as a text file.
QString SaveNameAfter(const char* label) {
  return QString::fromUtf8(LayoutOf(Form1Layout, label).caption) + QStringLiteral(".txt");
}

QPalette BlackText(QPalette palette) {
  palette.setColor(QPalette::Text, Qt::black);
  palette.setColor(QPalette::ButtonText, Qt::black);
  palette.setColor(QPalette::WindowText, Qt::black);
  return palette;
}

}  // namespace

TForm1::TForm1() {
  setObjectName(QString::fromLatin1(Form1Layout[0].name));
  setWindowTitle(QString::fromUtf8(Form1Layout[0].caption));
  setWindowIcon(ProgramIconSet());
  setFont(GothicFont(WindowFontHeight));
  // The client area; the frame around it comes from the window manager,
  // whose top-left corner stands at the layout's position.
  resize(Scaled(Window.width), Scaled(Window.height));
  move(Scaled(Window.left), Scaled(Window.top));
  CreateControls();
  ConnectHandlers();
  FormCreate(this);
}

TForm1::~TForm1() {
  if (MainWindow == this) MainWindow = nullptr;
}

void TForm1::CreateControls() {
  Memo1 = Make<ReportPane>(*this, "Memo1");
  Memo1->setFont(FixedFont(Memo1FontHeight));
  Memo1->setPalette(BlackText(Memo1->palette()));
  Memo1->SetSaveName(SaveNameAfter("Label2"));

  Panel1 = Make<QFrame>(*this, "Panel1");
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setAutoFillBackground(true);

  const QSize pictureSize(16, 16);
  SpeedButton1 = Make<QToolButton>(*this, "SpeedButton1");
  SpeedButton1->setIcon(AboutButtonIcon());
  SpeedButton1->setIconSize(pictureSize);
  SpeedButton1->setFocusPolicy(Qt::NoFocus);

  SpeedButton2 = Make<QToolButton>(*this, "SpeedButton2");
  SpeedButton2->setIcon(ExitButtonIcon());
  SpeedButton2->setIconSize(pictureSize);
  SpeedButton2->setFocusPolicy(Qt::NoFocus);

  Label1 = Make<QLabel>(*this, "Label1");
  Label2 = Make<QLabel>(*this, "Label2");

  GroupBox1 = Make<QGroupBox>(*this, "GroupBox1");
  // The title sits on the frame's top line, so the frame encloses the
  // radio buttons and the two lists beside them.
  GroupBox1->setStyleSheet(QStringLiteral(
      "QGroupBox#GroupBox1 { border: 1px solid palette(mid); border-radius: 2px;"
      " margin-top: %1px; }"
      "QGroupBox#GroupBox1::title { subcontrol-origin: margin; left: %2px; padding: 0 2px; }")
                               .arg(Scaled(WindowFontHeight) / 2)
                               .arg(Scaled(6)));
  RadioButton1 = Make<QRadioButton>(*this, "RadioButton1");
  RadioButton1->setChecked(true);
  RadioButton2 = Make<QRadioButton>(*this, "RadioButton2");

  Button1 = Make<QPushButton>(*this, "Button1");
  Button1->setFont(GothicFont(Button1FontHeight));
  Button1->setPalette(BlackText(Button1->palette()));
  // Enter and keypad Enter press the focused button, as Space does.
  Button1->setAutoDefault(true);

  Memo2 = Make<ReportPane>(*this, "Memo2");
  Memo2->SetSaveName(SaveNameAfter("Label1"));

  ComboBox1 = Make<DropDownList>(*this, "ComboBox1");
  ComboBox2 = Make<DropDownList>(*this, "ComboBox2");
}

void TForm1::ConnectHandlers() {
  connect(Button1, &QPushButton::clicked, this,
          [this] { RunCommand([this] { Button1Click(Button1); }); });
  // activated comes after the text field shows the chosen entry, for a
  // choice by mouse or by keyboard; DropDownList keeps typing from it.
  connect(ComboBox2, &QComboBox::activated, this,
          [this] { RunCommand([this] { ComboBox2Click(ComboBox2); }); });
  connect(SpeedButton1, &QToolButton::clicked, this,
          [this] { RunCommand([this] { SpeedButton1Click(SpeedButton1); }); });
  connect(SpeedButton2, &QToolButton::clicked, this,
          [this] { RunCommand([this] { SpeedButton2Click(SpeedButton2); }); });
}

void TForm1::FormCreate(QObject*) { RunFormCreate(*this); }

void TForm1::Button1Click(QObject*) { RunDisplayCommand(*this); }

void TForm1::ComboBox2Click(QObject*) { RunAdapterSelection(*this); }

void TForm1::SpeedButton1Click(QObject*) { RunAboutCommand(*this); }

void TForm1::SpeedButton2Click(QObject*) { RunQuitCommand(*this); }

void TForm1::ClearMemo1() { Memo1->Clear(); }

void TForm1::AppendMemo1(const std::string& line) { Memo1->AppendLine(line); }

void TForm1::AppendMemo2(const std::string& line) { Memo2->AppendLine(line); }

void TForm1::AddComboBox2Item(const std::string& item) { ComboBox2->AppendEntry(item); }

bool TForm1::RadioButton2Checked() { return RadioButton2->isChecked(); }

void TForm1::ShowErrorBox(const std::string& text) {
  // The survey's texts are whole code page 932 strings without NUL bytes.
  ::ShowErrorBox(DisplayText(text));
}

void TForm1::RequestEnd() { PostEndRequest(); }

bool TForm1::RadioButton1Checked() { return RadioButton1->isChecked(); }

std::u16string TForm1::ComboBox1Text() { return std::u16string(Utf16(ComboBox1->currentText())); }

std::u16string TForm1::ComboBox2Text() { return std::u16string(Utf16(ComboBox2->currentText())); }

void TForm1::SetComboBox1Text(const std::u16string& text) {
  ComboBox1->setEditText(QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())));
}

void TForm1::RemoveComboBox1Entries() { ComboBox1->RemoveEntriesKeepText(); }

void TForm1::AppendComboBox1Entry(const std::string& entry) { ComboBox1->AppendEntry(entry); }

std::u16string TForm1::ComboBox1Entry0() { return std::u16string(Utf16(ComboBox1->Entry0())); }

void TForm1::ShowPlainBox(const std::string& text) { ::ShowPlainBox(QString::fromStdString(text)); }

void TForm1::ShowAboutBox() { AboutBox->ShowAndRaise(); }

void TForm1::ShowBusy(bool busy) {
  // The window does not react while a command waits on the ASPI layer.
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QApplication::restoreOverrideCursor();
  }
}

void TForm1::resizeEvent(QResizeEvent* event) {
  // Panel1 is docked at the top; Memo1 fills the rest.
  if (!Panel1 || !Memo1) return QWidget::resizeEvent(event);
  const int panelHeight = Scaled(Panel1Height);
  Panel1->setGeometry(0, 0, event->size().width(), panelHeight);
  Memo1->setGeometry(0, panelHeight, event->size().width(),
                     std::max(0, event->size().height() - panelHeight));
  QWidget::resizeEvent(event);
}

void TForm1::closeEvent(QCloseEvent* event) {
  RunQuitCommand(*this);
  event->accept();
}
