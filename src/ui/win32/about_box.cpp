#include "ui/win32/about_box.h"

#include <algorithm>
#include <string>

#include "ui/layout/form_layouts.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/controls.h"
#include "ui/win32/fonts.h"
#include "ui/win32/pictures.h"
#include "ui/win32/scaling.h"

TAboutBox* AboutBox = nullptr;

namespace {

using namespace about_box_layout;
constexpr int IconSize = 32;

// A dialog frame: a close box, no minimize or maximize box, fixed size.
constexpr DWORD WindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD WindowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// The controls of the layout, in the order of creation.
constexpr ControlClass Classes[] = {
    {IdAboutPanel1, "Panel1", L"TPanel", PanelLowered, 0},
    // The 32 x 32 icon, unscaled, at the top left of its area.
    {IdProgramIcon, "ProgramIcon", L"STATIC", SS_ICON | SS_REALSIZEIMAGE, 0},
    {IdProductName, "ProductName", L"STATIC", SS_LEFT | SS_NOPREFIX, 0},
    {IdVersion, "Version", L"STATIC", SS_LEFT | SS_NOPREFIX, 0},
    {IdCopyright, "Copyright", L"STATIC", SS_LEFT | SS_NOPREFIX, 0},
    {IdComments, "Comments", L"STATIC", SS_LEFT | SS_NOPREFIX, 0},
    {IdAboutLabel1, "Label1", L"STATIC", SS_LEFT | SS_NOPREFIX, 0},
    {IdOKButton, "OKButton", L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, 0},
};
// The labels with a text; Comments wraps at its width, the others are as
// wide as their text.
constexpr int LabelIds[] = {IdProductName, IdVersion, IdCopyright, IdComments, IdAboutLabel1};

const LayoutRect& PlaceOf(int id) {
  return LayoutOf(AboutBoxLayout, ClassOf(Classes, id).name).rect;
}

}  // namespace

TAboutBox::TAboutBox(HWND owner) {
  Handle = MakeTopLevelWindow(BUSVIEW_ABOUT_BOX_CLASS, nullptr,
                              WideFromUtf8(AboutBoxLayout[0].caption).c_str(), WindowStyle,
                              WindowExStyle, owner, WindowProcOf<TAboutBox>, this);
  const UINT dpi = DpiOf(Handle);
  SetWindowPos(Handle, nullptr, Scaled(Window.left, dpi), Scaled(Window.top, dpi), 0, 0,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);

  const auto make = [this, dpi](int id) {
    return MakeLaidOut(Handle, AboutBoxLayout, Classes, id, dpi);
  };
  Panel1 = make(IdAboutPanel1);
  ProgramIcon = make(IdProgramIcon);
  SendMessageW(ProgramIcon, STM_SETICON, reinterpret_cast<WPARAM>(::ProgramIcon(IconSize)), 0);
  ProductName = make(IdProductName);
  Version = make(IdVersion);
  Copyright = make(IdCopyright);
  Comments = make(IdComments);
  Label1 = make(IdAboutLabel1);
  OKButton = make(IdOKButton);
  ApplyLayout(dpi);
}

TAboutBox::~TAboutBox() {
  DestroyWindow(Handle);
  DeleteObject(font_);
}

void TAboutBox::ApplyLayout(UINT dpi) {
  const HFONT old = font_;
  font_ = GothicFont(FontHeight, dpi);
  const SIZE outer = OuterSize(Window.width, Window.height, WindowStyle, WindowExStyle, dpi);
  SetWindowPos(Handle, nullptr, 0, 0, outer.cx, outer.cy,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  Place(Panel1, PlaceOf(IdAboutPanel1), dpi);
  const LayoutRect& icon = PlaceOf(IdProgramIcon);
  SetWindowPos(ProgramIcon, nullptr, Scaled(icon.left, dpi), Scaled(icon.top, dpi), 0, 0,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
  for (const int id : LabelIds) {
    HWND control = GetDlgItem(Panel1, id);
    const LayoutRect& place = PlaceOf(id);
    const bool wraps = id == IdComments;
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    const SIZE size = TextExtent(control, font_, wraps ? Scaled(place.width, dpi) : 0);
    SetWindowPos(control, nullptr, Scaled(place.left, dpi), Scaled(place.top, dpi),
                 wraps ? Scaled(place.width, dpi) : size.cx,
                 std::max<LONG>(size.cy, Scaled(place.height, dpi)), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SendMessageW(OKButton, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  Place(OKButton, PlaceOf(IdOKButton), dpi);
  InvalidateRect(Handle, nullptr, TRUE);
  DeleteObject(old);
}

LRESULT TAboutBox::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Enter presses OK; Escape (IDCANCEL) does nothing here.
      if (LOWORD(wParam) == IdOKButton && HIWORD(wParam) == BN_CLICKED) {
        OKButtonClick(reinterpret_cast<HWND>(lParam));
      }
      return 0;
    case WM_CTLCOLORSTATIC: {
      auto dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, RGB(0, 0, 0));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_CLOSE:
      // Closing the box only hides it.
      ShowWindow(Handle, SW_HIDE);
      return 0;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(Handle, nullptr, suggested->left, suggested->top, 0, 0,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
      ApplyLayout(HIWORD(wParam));
      return 0;
    }
    default:
      break;
  }
  return DefWindowProcW(Handle, message, wParam, lParam);
}

void TAboutBox::OKButtonClick(HWND) { ShowWindow(Handle, SW_HIDE); }

void TAboutBox::ShowAndRaise() {
  if (!IsWindowVisible(Handle)) {
    if (!shownBefore_) {
      // Centred on the screen the first time only; later showings keep
      // where the box was last, also where the user moved it.
      RECT box{};
      GetWindowRect(Handle, &box);
      const int left = (GetSystemMetrics(SM_CXSCREEN) - (box.right - box.left)) / 2;
      const int top = (GetSystemMetrics(SM_CYSCREEN) - (box.bottom - box.top)) / 2;
      SetWindowPos(Handle, nullptr, std::max(0, left), std::max(0, top), 0, 0,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
      shownBefore_ = true;
    }
    ShowWindow(Handle, SW_SHOW);
  }
  SetForegroundWindow(Handle);
  BringWindowToTop(Handle);
  SetFocus(OKButton);
}
