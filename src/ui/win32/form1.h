// The main window: display mode, adapter and target lists, the display,
// about and quit commands, and the two report panes, as Win32 controls.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "ui/commands/form1_skin.h"
#include "ui/win32/controls.h"

class TForm1 : public Form1Skin {
 public:
  // Builds the window and its controls, hidden, and runs FormCreate (the
  // host adapter survey).
  TForm1();
  ~TForm1() override;
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  HWND Handle = nullptr;
  // The controls, in the order they are created.
  ReportPane Memo1;
  HWND Panel1 = nullptr;
  HWND SpeedButton1 = nullptr;
  HWND SpeedButton2 = nullptr;
  HWND Label1 = nullptr;
  HWND Label2 = nullptr;
  HWND GroupBox1 = nullptr;
  HWND RadioButton1 = nullptr;
  HWND RadioButton2 = nullptr;
  HWND Button1 = nullptr;
  ReportPane Memo2;
  DropDownList ComboBox1;
  DropDownList ComboBox2;

  // Event handlers. Each ignores its sender and runs its command of
  // commands/form1_commands.h; a CommandFailure goes to the failure box.
  void FormCreate(HWND Sender);
  void Button1Click(HWND Sender);
  void ComboBox2Click(HWND Sender);
  void SpeedButton1Click(HWND Sender);
  void SpeedButton2Click(HWND Sender);

  // What the reports write through.
  void ClearMemo1() override;
  void AppendMemo1(const std::string& line) override;
  void AppendMemo2(const std::string& line) override;
  void AddComboBox2Item(const std::string& item) override;
  bool RadioButton2Checked() override;
  void ShowErrorBox(const std::string& text) override;
  void RequestEnd() override;

  // The window's messages.
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

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

 private:
  void CreateControls();
  // Fonts, pictures, positions and sizes for the resolution `dpi`.
  void ApplyLayout(UINT dpi);
  void DockPanes();
  void Command(int id, int code, HWND control);

  UINT dpi_ = 96;
  HFONT windowFont_ = nullptr;
  HFONT memo1Font_ = nullptr;
  HFONT button1Font_ = nullptr;
  HIMAGELIST aboutPictures_ = nullptr;
  HIMAGELIST exitPictures_ = nullptr;
  HWND hints_ = nullptr;
  HCURSOR cursorBeforeBusy_ = nullptr;
  bool comboBox2ClickPosted_ = false;
};

// The main window, from its creation at start-up to the end of the program.
extern TForm1* Form1;
