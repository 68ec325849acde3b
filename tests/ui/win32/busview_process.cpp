#include "busview_process.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "text/cp932.h"
#include "text/utf.h"
#include "ui/layout/window_texts.h"
#include "ui/win32/control_ids.h"

namespace {

// Long enough for a request given up after its 10 s.
constexpr UINT ReplyWait = 15000;

std::string Setting(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) throw std::runtime_error(std::string(name) + " is not set");
  return value;
}

std::wstring Wide(const std::string& text) { return {text.begin(), text.end()}; }

struct Search {
  DWORD process;
  const wchar_t* className;
  bool visible;
  HWND found;
};

BOOL CALLBACK Consider(HWND window, LPARAM argument) {
  auto& search = *reinterpret_cast<Search*>(argument);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (process != search.process || std::wcscmp(className, search.className) != 0) return TRUE;
  if (search.visible && !IsWindowVisible(window)) return TRUE;
  search.found = window;
  return FALSE;
}

struct ChildSearch {
  int id;
  HWND found;
};

BOOL CALLBACK ConsiderChild(HWND child, LPARAM argument) {
  auto& search = *reinterpret_cast<ChildSearch*>(argument);
  if (GetDlgCtrlID(child) != search.id) return TRUE;
  search.found = child;
  return FALSE;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  if (text.empty()) return lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

}  // namespace

BusviewProcess::BusviewProcess(const std::string& bus) {
  // The layer takes the bus file from WNASPI32_BUS (the simulated bus), or
  // where BUSVIEW_BUS_VARIABLE names another (the fake Windows storage
  // stack's WNASPI32_FAKE_WINDOWS), from that.
  const char* named = std::getenv("BUSVIEW_BUS_VARIABLE");
  const std::wstring variable = Wide(named != nullptr ? named : "WNASPI32_BUS");
  if (bus.empty()) {
    SetEnvironmentVariableW(variable.c_str(), nullptr);
  } else {
    SetEnvironmentVariableW(variable.c_str(), Wide(Setting("BUSVIEW_BUSES") + "/" + bus).c_str());
  }
  std::wstring commandLine = L"\"" + Wide(Setting("BUSVIEW_EXE")) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process_)) {
    throw std::runtime_error("busview.exe did not start");
  }
}

BusviewProcess::~BusviewProcess() {
  if (WaitForExit(0) == STILL_ACTIVE) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

HWND BusviewProcess::WaitForForm1() {
  WaitUntil([this] { return (form1_ = TopWindow(BUSVIEW_FORM1_CLASS, true)) != nullptr; });
  return form1_;
}

HWND BusviewProcess::TopWindow(const wchar_t* className, bool visible) const {
  Search search{process_.dwProcessId, className, visible, nullptr};
  EnumWindows(Consider, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND BusviewProcess::Control(int id, HWND window) const {
  ChildSearch search{id, nullptr};
  EnumChildWindows(window != nullptr ? window : form1_, ConsiderChild,
                   reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring BusviewProcess::Text(HWND control) const {
  DWORD_PTR length = 0;
  SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, ReplyWait, &length);
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_NORMAL, ReplyWait, &copied);
  text.resize(std::min<std::size_t>(copied, length));
  return text;
}

std::vector<std::wstring> BusviewProcess::Lines(int id) const {
  return SplitLines(Text(Control(id)));
}

std::vector<std::wstring> BusviewProcess::Entries(int id) const {
  HWND list = Control(id);
  DWORD_PTR count = 0;
  SendMessageTimeoutW(list, CB_GETCOUNT, 0, 0, SMTO_NORMAL, ReplyWait, &count);
  std::vector<std::wstring> entries;
  // The list may change meanwhile: an entry gone answers CB_ERR.
  for (WPARAM i = 0; i < count && static_cast<LRESULT>(count) != CB_ERR; ++i) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(list, CB_GETLBTEXTLEN, i, 0, SMTO_NORMAL, ReplyWait, &length);
    if (static_cast<LRESULT>(length) == CB_ERR) break;
    std::wstring entry(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry.data()), SMTO_NORMAL,
                        ReplyWait, &copied);
    if (static_cast<LRESULT>(copied) == CB_ERR || copied > length) break;
    entry.resize(copied);
    entries.push_back(entry);
  }
  return entries;
}

void BusviewProcess::Click(int id, HWND window) const {
  HWND control = Control(id, window);
  wchar_t className[64] = {};
  GetClassNameW(control, className, 64);
  if (std::wcscmp(className, L"TSpeedButton") == 0) {
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  } else {
    PostMessageW(control, BM_CLICK, 0, 0);
  }
}

void BusviewProcess::PressKey(HWND control, WORD key) const {
  PostMessageW(control, WM_KEYDOWN, key, 1);
  PostMessageW(control, WM_KEYUP, key, 0xC0000001);
}

void BusviewProcess::SetText(int id, const std::wstring& text) const {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                      SMTO_NORMAL, ReplyWait, &result);
}

Box BusviewProcess::WaitForBox() const {
  Box box;
  if (!WaitUntil([&] { return (box.handle = TopWindow(L"#32770", true)) != nullptr; })) return box;
  box.title = Text(box.handle);
  for (HWND child = GetWindow(box.handle, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t className[64] = {};
    GetClassNameW(child, className, 64);
    if (std::wcscmp(className, L"Static") != 0 || !IsWindowVisible(child)) continue;
    if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      box.icon = SendMessageW(child, STM_GETICON, 0, 0) != 0;
    } else if (const std::wstring text = Text(child); text.size() > box.text.size()) {
      box.text = text;
    }
  }
  return box;
}

void BusviewProcess::PressOk(const Box& box) const {
  PostMessageW(box.handle, WM_COMMAND, IDOK, 0);
}

DWORD BusviewProcess::WaitForExit(DWORD milliseconds) const {
  WaitForSingleObject(process_.hProcess, milliseconds);
  DWORD exitCode = STILL_ACTIVE;
  GetExitCodeProcess(process_.hProcess, &exitCode);
  return exitCode;
}

std::vector<std::wstring> ExpectedLines(const std::string& name) {
  std::ifstream file(Setting("BUSVIEW_EXPECTED") + "/" + name, std::ios::binary);
  if (!file) throw std::runtime_error("no expected lines " + name);
  std::vector<std::wstring> lines;
  for (std::string line; std::getline(file, line);) {
    const std::u16string shown =
        Utf32ToUtf16(Cp932ToUtf32(line, SubstituteCharacter, ControlBytes::Substitute));
    lines.emplace_back(shown.begin(), shown.end());
  }
  return lines;
}
