#include "ui/win32/message_boxes.h"

#include <windows.h>

#include <algorithm>
#include <exception>

#include "ui/win32/application.h"
#include "ui/win32/end_request.h"

namespace {

void ShowBox(const std::wstring& text, const wchar_t* title, UINT icon) {
  if (EndRequestPending()) return;
  // Without an owner the box is centred on the screen; task-modal, it
  // keeps every window of the program from input until it is closed. Its
  // own loop ends it, as cancelled, when it takes the request to end.
  MessageBoxW(nullptr, text.c_str(), title, MB_OK | MB_TASKMODAL | MB_SETFOREGROUND | icon);
}

}  // namespace

void ShowErrorBox(const std::wstring& text) { ShowBox(text, L"ｴﾗｰ", MB_ICONERROR); }

void ShowPlainBox(const std::wstring& text) { ShowBox(text, ApplicationTitle, 0); }

void ShowFailureBox(const std::wstring& text) { ShowBox(text, ApplicationTitle, MB_ICONSTOP); }

void RunCommand(const std::function<void()>& command) {
  try {
    command();
  } catch (const std::exception& failure) {
    ShowFailureBox(WideFromUtf8(failure.what()) + L".");
  }
}

std::wstring WideFromUtf8(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length = static_cast<int>(utf8.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(needed, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), needed);
  return wide;
}
