// The main window: display mode, adapter and target lists, the display,
// about and quit commands, and the two report panes.
#pragma once

#include <QWidget>

#include <string>

#include "ui/commands/form1_skin.h"

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QToolButton;
class DropDownList;
class ReportPane;

class TForm1 : public QWidget, public Form1Skin {
 public:
  // Builds the controls, sets MainWindow and runs FormCreate (the host
  // adapter survey). The window stays hidden.
  TForm1();
  ~TForm1() override;

  // The controls, in the order they are created; each one's objectName is
  // its name here.
  ReportPane* Memo1 = nullptr;
  QFrame* Panel1 = nullptr;
  QToolButton* SpeedButton1 = nullptr;
  QToolButton* SpeedButton2 = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QPushButton* Button1 = nullptr;
  ReportPane* Memo2 = nullptr;
  DropDownList* ComboBox1 = nullptr;
  DropDownList* ComboBox2 = nullptr;

  // Event handlers. Each ignores its sender and runs its command of
  // commands/form1_commands.h. Button1Click and ComboBox2Click throw
  // CommandFailure for a text that names no integer; the controls run them
  // through RunCommand, which shows it.
  void FormCreate(QObject* Sender);
  void Button1Click(QObject* Sender);
  void ComboBox2Click(QObject* Sender);
  void SpeedButton1Click(QObject* Sender);
  void SpeedButton2Click(QObject* Sender);

  // What the reports write through.
  void ClearMemo1() override;
  void AppendMemo1(const std::string& line) override;
  void AppendMemo2(const std::string& line) override;
  void AddComboBox2Item(const std::string& item) override;
  bool RadioButton2Checked() override;
  void ShowErrorBox(const std::string& text) override;
  void RequestEnd() override;

  // What the commands read and write.
  bool RadioButton1Checked() override;
  std::u16string ComboBox1Text() override;
  std::u16string ComboBox2Text() override;
  void SetComboBox1Text(const std::u16string& text) override;
  void RemoveComboBox1Entries() override;
  void AppendComboBox1Entry(const std::string& entry) override;
  std::u16string ComboBox1Entry0() override;
  void ShowPlainBox(const std::string& text) override;
  void ShowAboutBox() override;
  void ShowBusy(bool busy) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();
  void ConnectHandlers();
};

// The main window, from its creation at start-up to the end of the program.
extern TForm1* Form1;
