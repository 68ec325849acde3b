#include "ui/win32/scaling.h"

namespace {

constexpr int LayoutDpi = 120;

// Calls of Windows 10 and later, looked up so that the program still starts
// on older systems, which take the screen's one resolution.
template <typename Call>
Call User32Call(const char* name) {
  return reinterpret_cast<Call>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

}  // namespace

UINT DpiOf(HWND window) {
  static const auto getDpiForWindow = User32Call<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  if (window != nullptr && getDpiForWindow != nullptr) {
    if (const UINT dpi = getDpiForWindow(window)) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int Scaled(int pixels, UINT dpi) { return MulDiv(pixels, static_cast<int>(dpi), LayoutDpi); }

void Place(HWND control, const LayoutRect& placement, UINT dpi) {
  SetWindowPos(control, nullptr, Scaled(placement.left, dpi), Scaled(placement.top, dpi),
               Scaled(placement.width, dpi), Scaled(placement.height, dpi),
               SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE OuterSize(int width, int height, DWORD style, DWORD exStyle, UINT dpi) {
  static const auto adjustForDpi =
      User32Call<BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT rect{0, 0, Scaled(width, dpi), Scaled(height, dpi)};
  if (adjustForDpi != nullptr) {
    adjustForDpi(&rect, style, FALSE, exStyle, dpi);
  } else {
    AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  }
  return {rect.right - rect.left, rect.bottom - rect.top};
}
