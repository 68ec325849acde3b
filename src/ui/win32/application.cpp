#include "ui/win32/application.h"

#include <windows.h>
#include <commctrl.h>

#include "ui/win32/about_box.h"
#include "ui/win32/controls.h"
#include "ui/win32/form1.h"

void CreateBusviewWindows() {
  const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                      ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  RegisterControlClasses();
  Form1 = new TForm1();
  AboutBox = new TAboutBox(Form1->Handle);
}

int RunBusview() {
  ShowWindow(Form1->Handle, SW_SHOWNORMAL);
  UpdateWindow(Form1->Handle);
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab, the arrow keys, Enter and Escape as in a dialog, in both windows.
    if (IsDialogMessageW(AboutBox->Handle, &message) || IsDialogMessageW(Form1->Handle, &message)) {
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}

void DestroyBusviewWindows() {
  delete AboutBox;
  AboutBox = nullptr;
  delete Form1;
  Form1 = nullptr;
}
