#include "ui/win32/message_boxes.h"

#include <windows.h>

#include <exception>

#include "ui/layout/window_texts.h"
#include "ui/win32/controls.h"
#include "ui/win32/end_request.h"

namespace {

void ShowBox(const std::wstring& text, const char* title, UINT icon) {
  if (EndRequestPending()) return;
  // Without an owner the box is centred on the screen; task-modal, it
  // keeps every window of the program from input until it is closed. Its
  // own loop ends it, as cancelled, when it takes the request to end.
  MessageBoxW(nullptr, text.c_str(), WideFromUtf8(title).c_str(),
              MB_OK | MB_TASKMODAL | MB_SETFOREGROUND | icon);
}

}  // namespace

void ShowErrorBox(const std::wstring& text) { ShowBox(text, ErrorBoxTitle, MB_ICONERROR); }

void ShowPlainBox(const std::wstring& text) { ShowBox(text, ApplicationTitle, 0); }

void ShowFailureBox(const std::wstring& text) { ShowBox(text, ApplicationTitle, MB_ICONSTOP); }

void RunCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& failure) {
    ShowFailureBox(WideFromUtf8(failure.what()) + WideFromUtf8(FailureTextEnd));
  }
}
