// The modeless about box: the program's icon, name and version.
#pragma once

#include <windows.h>

class TAboutBox {
 public:
  // Builds the box, hidden, owned by `owner` (the main window).
  explicit TAboutBox(HWND owner);
  ~TAboutBox();
  TAboutBox(const TAboutBox&) = delete;
  TAboutBox& operator=(const TAboutBox&) = delete;

  HWND Handle = nullptr;
  // The controls, in the order they are created.
  HWND Panel1 = nullptr;
  HWND ProgramIcon = nullptr;
  HWND ProductName = nullptr;
  HWND Version = nullptr;
  HWND Copyright = nullptr;
  HWND Comments = nullptr;
  HWND Label1 = nullptr;
  HWND OKButton = nullptr;

  // Hides the box. Ignores its sender.
  void OKButtonClick(HWND Sender);

  // The about command: shows the box, centred on the screen the first time
  // and where it was last afterwards, and brings it to the front.
  void ShowAndRaise();

  // The box's messages.
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  void ApplyLayout(UINT dpi);

  HFONT font_ = nullptr;
  bool shownBefore_ = false;
};

// The about box, from its creation at start-up to the end of the program.
extern TAboutBox* AboutBox;
