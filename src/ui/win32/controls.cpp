#include "ui/win32/controls.h"

#include <windowsx.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "text/cp932.h"
#include "text/utf.h"
#include "ui/commands/shown_text.h"
#include "ui/layout/window_texts.h"

namespace {

ATOM groupBoxClass = 0;

// Extra window bytes of the classes here.
constexpr int FontSlot = 0;      // panels and group boxes: the font
constexpr int PicturesSlot = 0;  // picture buttons: the image list
constexpr int StateSlot = sizeof(LONG_PTR);

void DrawGroupFrame(HWND box, HDC dc, const RECT& client) {
  const auto font = reinterpret_cast<HFONT>(GetWindowLongPtrW(box, FontSlot));
  const HGDIOBJ oldFont =
      SelectObject(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  // The frame's top line runs through the middle of the caption.
  RECT frame = client;
  frame.top += metrics.tmHeight / 2;
  DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
  const std::wstring caption = TextOf(box);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  SetBkMode(dc, OPAQUE);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  const int inset = metrics.tmAveCharWidth;
  const std::wstring padded = L" " + caption + L" ";
  TextOutW(dc, inset, 0, padded.c_str(), static_cast<int>(padded.size()));
  SelectObject(dc, oldFont);
}

bool IsGroupBox(HWND container) {
  return static_cast<ATOM>(GetClassLongPtrW(container, GCW_ATOM)) == groupBoxClass;
}

void DrawContainer(HWND container, HDC dc) {
  RECT client;
  GetClientRect(container, &client);
  if (IsGroupBox(container)) {
    DrawGroupFrame(container, dc, client);
  } else {
    const bool lowered = (GetWindowLongPtrW(container, GWL_STYLE) & PanelLowered) != 0;
    DrawEdge(dc, &client, lowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  }
}

// TPanel and TGroupBox.
LRESULT CALLBACK ContainerProc(HWND container, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    // Notifications go to whoever handles the window's controls.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      return SendMessageW(GetParent(container), message, wParam, lParam);
    case WM_SETFONT:
      SetWindowLongPtrW(container, FontSlot, static_cast<LONG_PTR>(wParam));
      if (LOWORD(lParam)) InvalidateRect(container, nullptr, TRUE);
      return 0;
    case WM_GETFONT:
      return GetWindowLongPtrW(container, FontSlot);
    case WM_SIZE:
      InvalidateRect(container, nullptr, TRUE);
      break;
    // A group box draws its frame and caption over the controls inside
    // it, which are its siblings: it leaves them and clicks on them alone.
    case WM_ERASEBKGND:
      if (IsGroupBox(container)) return 1;
      break;
    case WM_NCHITTEST:
      if (IsGroupBox(container)) return HTTRANSPARENT;
      break;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(container, &paint);
      DrawContainer(container, dc);
      EndPaint(container, &paint);
      return 0;
    }
    case WM_PRINTCLIENT: {  // themed controls drawing their parent's background
      RECT client;
      GetClientRect(container, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
      DrawContainer(container, reinterpret_cast<HDC>(wParam));
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(container, message, wParam, lParam);
}

// A picture button's state: the mouse button went down on it, and the
// pointer is still on it.
constexpr LONG_PTR Tracking = 1;
constexpr LONG_PTR Pressed = 2;

LONG_PTR StateOf(HWND button) { return GetWindowLongPtrW(button, StateSlot); }

void SetState(HWND button, LONG_PTR state) {
  if (StateOf(button) == state) return;
  SetWindowLongPtrW(button, StateSlot, state);
  InvalidateRect(button, nullptr, TRUE);
}

void DrawSpeedButton(HWND button, HDC dc) {
  RECT client;
  GetClientRect(button, &client);
  const bool pressed = (StateOf(button) & Pressed) != 0;
  DrawFrameControl(dc, &client, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
  const auto pictures = reinterpret_cast<HIMAGELIST>(GetWindowLongPtrW(button, PicturesSlot));
  if (pictures == nullptr) return;
  int width = 0, height = 0;
  ImageList_GetIconSize(pictures, &width, &height);
  const int shift = pressed ? 1 : 0;
  ImageList_Draw(pictures, IsWindowEnabled(button) ? 0 : 1, dc, (client.right - width) / 2 + shift,
                 (client.bottom - height) / 2 + shift, ILD_TRANSPARENT);
}

// TSpeedButton: pressed by the mouse only, and never focused.
LRESULT CALLBACK SpeedButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      SetCapture(button);
      SetState(button, Tracking | Pressed);
      return 0;
    case WM_MOUSEMOVE:
      if (StateOf(button) & Tracking) {
        RECT client;
        GetClientRect(button, &client);
        const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        SetState(button, Tracking | (PtInRect(&client, at) ? Pressed : 0));
      }
      return 0;
    case WM_LBUTTONUP: {
      const bool clicked = StateOf(button) == (Tracking | Pressed);
      SetState(button, 0);
      ReleaseCapture();
      if (clicked) {
        SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      SetState(button, 0);
      return 0;
    case WM_ENABLE:
      InvalidateRect(button, nullptr, TRUE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(button, &paint);
      DrawSpeedButton(button, dc);
      EndPaint(button, &paint);
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(button, message, wParam, lParam);
}

// FindControl's search: the identifier, and the control once found.
BOOL CALLBACK NoteControl(HWND child, LPARAM argument) {
  auto& search = *reinterpret_cast<std::pair<int, HWND>*>(argument);
  if (GetDlgCtrlID(child) != search.first) return TRUE;
  search.second = child;
  return FALSE;
}

ATOM Register(const wchar_t* name, WNDPROC procedure, int extraBytes) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = procedure;
  windowClass.cbWndExtra = extraBytes;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  return RegisterClassExW(&windowClass);
}

}  // namespace

void RegisterControlClasses() {
  Register(L"TPanel", ContainerProc, sizeof(LONG_PTR));
  groupBoxClass = Register(L"TGroupBox", ContainerProc, sizeof(LONG_PTR));
  Register(L"TSpeedButton", SpeedButtonProc, 2 * sizeof(LONG_PTR));
}

HWND MakeControl(const wchar_t* className, const wchar_t* text, DWORD style, HWND parent, int id,
                 const LayoutRect& placement, UINT dpi, DWORD exStyle) {
  return CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style,
                         Scaled(placement.left, dpi), Scaled(placement.top, dpi),
                         Scaled(placement.width, dpi), Scaled(placement.height, dpi), parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), nullptr);
}

const ControlClass& ClassOf(std::span<const ControlClass> classes, int id) {
  for (const ControlClass& control : classes) {
    if (control.id == id) return control;
  }
  throw std::logic_error("no control of that identifier");
}

HWND MakeLaidOut(HWND window, std::span<const ControlLayout> layout,
                 std::span<const ControlClass> classes, int id, UINT dpi) {
  const ControlClass& control = ClassOf(classes, id);
  const ControlLayout& record = LayoutOf(layout, control.name);
  HWND parent = window;
  if (record.parent != std::string_view(layout.front().name)) {
    const auto named = std::find_if(classes.begin(), classes.end(), [&](const ControlClass& c) {
      return record.parent == std::string_view(c.name);
    });
    if (named == classes.end()) throw std::logic_error("a parent the classes lack");
    parent = FindControl(window, named->id);
  }
  const std::wstring caption = record.caption != nullptr ? WideFromUtf8(record.caption) : L"";
  return MakeControl(control.className, caption.c_str(), control.style, parent, control.id,
                     record.rect, dpi, control.exStyle);
}

HWND MakeTopLevelWindow(const wchar_t* className, HICON icon, const wchar_t* caption, DWORD style,
                        DWORD exStyle, HWND owner, WNDPROC procedure, void* self) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  if (!GetClassInfoExW(GetModuleHandleW(nullptr), className, &windowClass)) {
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = icon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className;
    RegisterClassExW(&windowClass);
  }
  // The size follows the monitor the window is on, known once it exists.
  return CreateWindowExW(exStyle, className, caption, style, 0, 0, 0, 0, owner, nullptr,
                         GetModuleHandleW(nullptr), self);
}

HWND FindControl(HWND window, int id) {
  std::pair<int, HWND> search{id, nullptr};
  EnumChildWindows(window, NoteControl, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

void SetSpeedButtonPictures(HWND button, HIMAGELIST pictures) {
  SetWindowLongPtrW(button, PicturesSlot, reinterpret_cast<LONG_PTR>(pictures));
  InvalidateRect(button, nullptr, TRUE);
}

namespace {

void AddHint(HWND hints, HWND control, const wchar_t* text) {
  HWND tools[2] = {control, nullptr};
  // The text field of a drop-down list is a window of its own.
  COMBOBOXINFO combo{};
  combo.cbSize = sizeof combo;
  if (GetComboBoxInfo(control, &combo)) tools[1] = combo.hwndItem;
  for (HWND tool : tools) {
    if (tool == nullptr) continue;
    TOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(tool);
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = const_cast<wchar_t*>(text);
    // The hint control keeps a copy of the text.
    SendMessageW(hints, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
  }
}

}  // namespace

void AddHints(HWND hints, HWND window, std::span<const ControlLayout> layout,
              std::span<const ControlClass> classes) {
  for (const ControlClass& control : classes) {
    const char* hint = LayoutOf(layout, control.name).hint;
    if (hint == nullptr) continue;
    AddHint(hints, FindControl(window, control.id), WideFromUtf8(hint).c_str());
  }
}

std::wstring ShownText(std::string_view cp932) {
  const std::u16string shown = Utf32ToUtf16(ShownCharacters(cp932));
  return {shown.begin(), shown.end()};
}

std::wstring WideFromUtf8(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = static_cast<int>(utf8.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(std::max(needed, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), needed);
  return wide;
}

std::wstring TextOf(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

SIZE TextExtent(HWND control, HFONT font, int wrapWidth) {
  const std::wstring text = TextOf(control);
  HDC dc = GetDC(control);
  const HGDIOBJ old = SelectObject(dc, font);
  RECT bounds{0, 0, wrapWidth, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds,
            DT_CALCRECT | DT_NOPREFIX | (wrapWidth != 0 ? DT_WORDBREAK : DT_SINGLELINE));
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {bounds.right, bounds.bottom};
}

void ReportPane::Clear() {
  SendMessageW(handle, EM_SETLIMITTEXT, 0, 0);  // no limit but memory
  SetWindowTextW(handle, L"");
  empty_ = true;
}

void ReportPane::AppendLine(std::string_view cp932Line) {
  // ShownText turns line breaks into substitutes, so one call is one line.
  const std::wstring line = (empty_ ? L"" : L"\r\n") + ShownText(cp932Line);
  empty_ = false;
  DWORD selectionStart = 0, selectionEnd = 0;
  SendMessageW(handle, EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart),
               reinterpret_cast<LPARAM>(&selectionEnd));
  const LRESULT firstVisible = SendMessageW(handle, EM_GETFIRSTVISIBLELINE, 0, 0);
  const int end = GetWindowTextLengthW(handle);
  SendMessageW(handle, EM_SETSEL, end, end);
  SendMessageW(handle, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
  // Appending scrolls to the end; the report is read from where it was.
  SendMessageW(handle, EM_SETSEL, selectionStart, selectionEnd);
  SendMessageW(handle, EM_LINESCROLL, 0,
               firstVisible - SendMessageW(handle, EM_GETFIRSTVISIBLELINE, 0, 0));
}

void DropDownList::Prepare() { SendMessageW(handle, CB_SETMINVISIBLE, MaxVisibleEntries, 0); }

void DropDownList::SetFieldHeight(int pixels) {
  RECT closed{};
  GetWindowRect(handle, &closed);
  const auto item =
      static_cast<int>(SendMessageW(handle, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
  const int frame = static_cast<int>(closed.bottom - closed.top) - item;
  SendMessageW(handle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), std::max(1, pixels - frame));
}

std::wstring DropDownList::Text() const { return TextOf(handle); }

void DropDownList::SetText(const std::wstring& text) {
  SetWindowTextW(handle, text.c_str());
  lastFitting_ = text;
}

void DropDownList::RemoveEntriesKeepText() {
  const std::wstring text = Text();
  const LRESULT selection = SendMessageW(handle, CB_GETEDITSEL, 0, 0);
  // CB_RESETCONTENT empties the text field too.
  SendMessageW(handle, CB_RESETCONTENT, 0, 0);
  SetWindowTextW(handle, text.c_str());
  SendMessageW(handle, CB_SETEDITSEL, 0, MAKELPARAM(LOWORD(selection), HIWORD(selection)));
}

void DropDownList::AppendEntry(std::string_view cp932Entry) {
  const std::wstring entry = ShownText(cp932Entry);
  SendMessageW(handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
}

std::wstring DropDownList::Entry0() const {
  if (SendMessageW(handle, CB_GETCOUNT, 0, 0) <= 0) return {};
  std::wstring entry(static_cast<std::size_t>(SendMessageW(handle, CB_GETLBTEXTLEN, 0, 0)) + 1,
                     L'\0');
  entry.resize(static_cast<std::size_t>(
      SendMessageW(handle, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(entry.data()))));
  return entry;
}

void DropDownList::KeepWithinLimit() {
  const std::wstring text = Text();
  if (Cp932Length(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()),
                                      text.size())) <= MaxTypedBytes) {
    lastFitting_ = text;
    return;
  }
  SetWindowTextW(handle, lastFitting_.c_str());
  const auto end = static_cast<WORD>(lastFitting_.size());
  SendMessageW(handle, CB_SETEDITSEL, 0, MAKELPARAM(end, end));
  MessageBeep(MB_OK);
}
