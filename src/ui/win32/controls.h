// The controls the windows are built of, over user32's and comctl32's own:
// panels and group boxes, picture buttons, report panes, drop-down lists
// with an editable text field, hints.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <span>
#include <string>
#include <string_view>

#include "ui/layout/form_layouts.h"
#include "ui/win32/scaling.h"

// The window classes of this file; call once before making controls.
void RegisterControlClasses();

// A top-level window, hidden, of class `className` (registered on first
// use, with the button face as its background and `icon`), owned by
// `owner`. Its messages go to `procedure` (WindowProcOf), `self` with them.
HWND MakeTopLevelWindow(const wchar_t* className, HICON icon, const wchar_t* caption, DWORD style,
                        DWORD exStyle, HWND owner, WNDPROC procedure, void* self);

// The window procedure of a window class `Window` whose objects have a
// Handle and take their window's messages in HandleMessage once it is set.
template <typename Window>
LRESULT CALLBACK WindowProcOf(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(
        handle, GWLP_USERDATA,
        reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
  }
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(handle, GWLP_USERDATA));
  if (window == nullptr || window->Handle == nullptr)
    return DefWindowProcW(handle, message, wParam, lParam);
  return window->HandleMessage(message, wParam, lParam);
}

// A child control. `className` is a user32 or comctl32 class, or "TPanel",
// "TGroupBox" or "TSpeedButton".
HWND MakeControl(const wchar_t* className, const wchar_t* text, DWORD style, HWND parent, int id,
                 const LayoutRect& placement, UINT dpi, DWORD exStyle = 0);

// How a control of a window's layout (ui/layout/form_layouts.h) is drawn
// here: its identifier, its name in the layout, its class (as MakeControl
// takes it) and its styles.
struct ControlClass {
  int id;
  const char* name;
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};

// The class of the control `id`.
const ControlClass& ClassOf(std::span<const ControlClass> classes, int id);

// Makes the control `id` in `window`, the window of `layout`: in the
// control the layout names as its parent, at its place at `dpi`, with its
// caption.
HWND MakeLaidOut(HWND window, std::span<const ControlLayout> layout,
                 std::span<const ControlClass> classes, int id, UINT dpi);

// TPanel's styles: the bevel, raised or lowered. A panel and a group box
// pass their children's notifications on to their own parent.
constexpr DWORD PanelRaised = 0x0000;
constexpr DWORD PanelLowered = 0x0001;

// The control `id` among all of `window`'s, panels' children included.
HWND FindControl(HWND window, int id);

// A TSpeedButton shows the pictures of an image list (TwoPictureList): 0
// when enabled, 1 when disabled. It sends BN_CLICKED like a button, and
// never takes the keyboard focus. The list stays the caller's.
void SetSpeedButtonPictures(HWND button, HIMAGELIST pictures);

// Each control's hint in `layout`, shown while the mouse pointer rests on
// it (or on the text field of a drop-down list), through the window's one
// hint control.
void AddHints(HWND hints, HWND window, std::span<const ControlLayout> layout,
              std::span<const ControlClass> classes);

// The characters code page 932 bytes show: everything before the first NUL
// byte, with a substitute for a byte that is no character or a control.
std::wstring ShownText(std::string_view cp932);

// The text of a window or control.
std::wstring TextOf(HWND window);

// UTF-8 text as the wide controls take it.
std::wstring WideFromUtf8(std::string_view utf8);

// The size of a control's text in `font`: on one line, or wrapped at
// `wrapWidth` pixels when that is not 0.
SIZE TextExtent(HWND control, HFONT font, int wrapWidth);

// A read-only multi-line text box with a vertical scroll bar that takes
// lines of code page 932 bytes.
class ReportPane {
 public:
  HWND handle = nullptr;

  void Clear();
  // Shows the line up to its first NUL byte; the next line starts on a
  // line of its own all the same. The view stays where it is.
  void AppendLine(std::string_view cp932Line);

 private:
  bool empty_ = true;
};

// A drop-down list with an editable text field of at most MaxTypedBytes
// code page 932 bytes, showing at most MaxVisibleEntries entries at a time.
class DropDownList {
 public:
  HWND handle = nullptr;

  // Sets the list up once it is made.
  void Prepare();
  // The height of the closed list, its text field, in pixels.
  void SetFieldHeight(int pixels);
  std::wstring Text() const;
  void SetText(const std::wstring& text);
  // Removes every entry; the text field keeps its text and caret.
  void RemoveEntriesKeepText();
  // Appends an entry of code page 932 bytes; the text field stays as it is.
  void AppendEntry(std::string_view cp932Entry);
  // Entry 0, or the empty text when there is none.
  std::wstring Entry0() const;
  // After typing (CBN_EDITCHANGE): a text beyond MaxTypedBytes goes back to
  // the last one that fitted.
  void KeepWithinLimit();

 private:
  std::wstring lastFitting_;
};
