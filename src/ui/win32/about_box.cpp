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

struct Label {
  int id;
  Placement placement;
  const wchar_t* text;
  bool wraps;  // wraps at its width; otherwise its width follows its text
};

constexpr Label Labels[] = {
    {IdProductName, {58, 20, 115, 19}, L"BUSVIEW.EXE", false},
    {IdVersion, {58, 49, 101, 19}, L"Version 1.02", false},
    {IdCopyright, {10, 78, 228, 18}, L"Copyright (C) the busview developers", false},
    {IdComments, {70, 98, 155, 15}, L"ご意見・不具合は", true},
    {IdAboutLabel1, {70, 120, 219, 19}, L"busview プロジェクトの issue へ", false},
};
constexpr Placement Panel1Placement{10, 10, 295, 161};
constexpr Placement ProgramIconPlacement{10, 10, 41, 41};
constexpr Placement OKButtonPlacement{118, 179, 80, 41};

}  // namespace

TAboutBox::TAboutBox(HWND owner) {
  Handle = MakeTopLevelWindow(BUSVIEW_ABOUT_BOX_CLASS, nullptr, L"ﾊﾞｰｼﾞｮﾝ情報", WindowStyle,
                              WindowExStyle, owner, WindowProcOf<TAboutBox>, this);
  const UINT dpi = DpiOf(Handle);
  SetWindowPos(Handle, nullptr, Scaled(StoredLeft, dpi), Scaled(StoredTop, dpi), 0, 0,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);

  Panel1 = MakeControl(L"TPanel", L"", PanelLowered, Handle, IdAboutPanel1, Panel1Placement, dpi);
  // The 32 x 32 icon, unscaled, at the top left of its area.
  ProgramIcon = MakeControl(L"STATIC", L"", SS_ICON | SS_REALSIZEIMAGE, Panel1, IdProgramIcon,
                            ProgramIconPlacement, dpi);
  SendMessageW(ProgramIcon, STM_SETICON, reinterpret_cast<WPARAM>(::ProgramIcon(IconSize)), 0);
  HWND* labels[] = {&ProductName, &Version, &Copyright, &Comments, &Label1};
  for (std::size_t i = 0; i < std::size(Labels); ++i) {
    *labels[i] = MakeControl(L"STATIC", Labels[i].text, SS_LEFT | SS_NOPREFIX, Panel1, Labels[i].id,
                             Labels[i].placement, dpi);
  }
  OKButton = MakeControl(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP, Handle, IdOKButton,
                         OKButtonPlacement, dpi);
  ApplyLayout(dpi);
}

TAboutBox::~TAboutBox() {
  DestroyWindow(Handle);
  DeleteObject(font_);
}

void TAboutBox::ApplyLayout(UINT dpi) {
  const HFONT old = font_;
  font_ = GothicFont(FontHeight, dpi);
  const SIZE outer = OuterSize(ClientWidth, ClientHeight, WindowStyle, WindowExStyle, dpi);
  SetWindowPos(Handle, nullptr, 0, 0, outer.cx, outer.cy,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
  Place(Panel1, Panel1Placement, dpi);
  SetWindowPos(ProgramIcon, nullptr, Scaled(ProgramIconPlacement.left, dpi),
               Scaled(ProgramIconPlacement.top, dpi), 0, 0,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
  for (const Label& label : Labels) {
    HWND control = GetDlgItem(Panel1, label.id);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    const SIZE size =
        TextExtent(control, font_, label.wraps ? Scaled(label.placement.width, dpi) : 0);
    SetWindowPos(control, nullptr, Scaled(label.placement.left, dpi),
                 Scaled(label.placement.top, dpi),
                 label.wraps ? Scaled(label.placement.width, dpi) : size.cx,
                 std::max<LONG>(size.cy, Scaled(label.placement.height, dpi)),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SendMessageW(OKButton, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  Place(OKButton, OKButtonPlacement, dpi);
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
