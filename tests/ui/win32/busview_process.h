// busview.exe as the window tests drive it: a process of its own on a bus
// file, its windows and controls found by class and identifier, read with
// WM_GETTEXT and CB_GETLBTEXT, and worked with posted clicks and keys.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What a message box of the program shows.
struct Box {
  HWND handle = nullptr;
  std::wstring title;
  std::wstring text;
  bool icon = false;
};

class BusviewProcess {
 public:
  // Starts busview.exe (BUSVIEW_EXE) on `bus`, a file of BUSVIEW_BUSES;
  // with none, on what the layer finds.
  explicit BusviewProcess(const std::string& bus);
  // Ends a program still running.
  ~BusviewProcess();
  BusviewProcess(const BusviewProcess&) = delete;
  BusviewProcess& operator=(const BusviewProcess&) = delete;

  // The main window once it is visible, or null after 30 s.
  HWND WaitForForm1();
  // A window of the program of class `className` (visible ones only when
  // `visible`), or null.
  HWND TopWindow(const wchar_t* className, bool visible) const;
  // The control `id` of the main window (about box: `window`).
  HWND Control(int id, HWND window = nullptr) const;

  std::wstring Text(HWND control) const;
  // A pane's lines, or a list's entries.
  std::vector<std::wstring> Lines(int id) const;
  std::vector<std::wstring> Entries(int id) const;

  // Clicks a push or radio button, or (by the mouse) a picture button.
  void Click(int id, HWND window = nullptr) const;
  void PressKey(HWND control, WORD key) const;
  void SetText(int id, const std::wstring& text) const;

  // A visible message box of the program, or an empty Box after 30 s.
  Box WaitForBox() const;
  void PressOk(const Box& box) const;

  // Waits up to `milliseconds` for the program to end; its exit code, or
  // STILL_ACTIVE.
  DWORD WaitForExit(DWORD milliseconds) const;

 private:
  PROCESS_INFORMATION process_{};
  HWND form1_ = nullptr;
};

// Waits up to `milliseconds` until `condition` holds; whether it did.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD milliseconds = 30000) {
  for (DWORD waited = 0;; waited += 50) {
    if (condition()) return true;
    if (waited >= milliseconds) return false;
    Sleep(50);
  }
}

// What busview-report printed for `name` (a file of BUSVIEW_EXPECTED, code
// page 932), as the window shows it, line by line.
std::vector<std::wstring> ExpectedLines(const std::string& name);
