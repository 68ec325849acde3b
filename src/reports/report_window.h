// What the reports need of the main window. The window implements it; the
// tests put a recorder in its place.
#pragma once

#include <string>

// Every text here is a line of code page 932 bytes, handed over whole, NUL
// bytes included; a pane shows a line up to its first NUL byte.
class ReportWindow {
 public:
  virtual ~ReportWindow() = default;

  virtual void ClearMemo1() = 0;
  virtual void AppendMemo1(const std::string& line) = 0;
  virtual void AppendMemo2(const std::string& line) = 0;
  virtual void AddComboBox2Item(const std::string& item) = 0;
  // Detailed mode: read at the moment of each call.
  virtual bool RadioButton2Checked() = 0;
  // The modal error box; returns when the user has closed it.
  virtual void ShowErrorBox(const std::string& text) = 0;
  // Asks the application to end with exit code 0, once its event loop runs.
  virtual void RequestEnd() = 0;
};

// The main window, for the reports. Set while the main window exists.
extern ReportWindow* MainWindow;
