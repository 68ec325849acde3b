// What the main window's commands need of a main window, whatever toolkit
// draws it: the state of its controls, its lists and its boxes. The Qt
// window and the Win32 window each implement it.
#pragma once

#include <string>

#include "reports/report_window.h"

class Form1Skin : public ReportWindow {
 public:
  // Simple mode: read at the moment of the call.
  virtual bool RadioButton1Checked() = 0;

  // The text fields of the target list and the adapter list, as shown.
  virtual std::u16string ComboBox1Text() = 0;
  virtual std::u16string ComboBox2Text() = 0;
  virtual void SetComboBox1Text(const std::u16string& text) = 0;
  // Removes every entry of the target list; its text field keeps its text.
  virtual void RemoveComboBox1Entries() = 0;
  // Appends an entry of code page 932 bytes to the target list.
  virtual void AppendComboBox1Entry(const std::string& entry) = 0;
  // Entry 0 of the target list, or the empty text when it has none.
  virtual std::u16string ComboBox1Entry0() = 0;

  // The plain box: modal, centred on the screen, the application title, no
  // icon, "OK"; returns when the user has closed it. `text` is UTF-8.
  virtual void ShowPlainBox(const std::string& text) = 0;
  // Makes the about box visible and brings it to the front.
  virtual void ShowAboutBox() = 0;
  // The busy pointer while a command waits on the ASPI layer, on or off.
  virtual void ShowBusy(bool busy) = 0;
};
