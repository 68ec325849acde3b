#include "ui/win32/pictures.h"

#include <string>

namespace {

// The colour of the lower left pixel, the bitmap's transparent colour.
COLORREF LowerLeftColour(HBITMAP bitmap) {
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  HDC dc = CreateCompatibleDC(nullptr);
  const HGDIOBJ old = SelectObject(dc, bitmap);
  const COLORREF colour = GetPixel(dc, 0, info.bmHeight - 1);
  SelectObject(dc, old);
  DeleteDC(dc);
  return colour;
}

}  // namespace

HIMAGELIST TwoPictureList(const wchar_t* resource, UINT dpi) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  HBITMAP bitmap = nullptr;
  // At 180 DPI and more the twice-as-large pictures, drawn as they are.
  if (dpi >= 180) {
    bitmap = static_cast<HBITMAP>(LoadImageW(instance, (std::wstring(resource) + L"_2X").c_str(),
                                             IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  }
  if (bitmap == nullptr) {
    bitmap = static_cast<HBITMAP>(
        LoadImageW(instance, resource, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  }
  if (bitmap == nullptr) return nullptr;
  BITMAP info{};
  GetObjectW(bitmap, sizeof info, &info);
  const int side = info.bmHeight;
  HIMAGELIST pictures = ImageList_Create(side, side, ILC_COLOR24 | ILC_MASK, 2, 0);
  ImageList_AddMasked(pictures, bitmap, LowerLeftColour(bitmap));
  DeleteObject(bitmap);
  return pictures;
}

HICON ProgramIcon(int size) {
  return static_cast<HICON>(
      LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, size, size, LR_SHARED));
}
