// Sizes of the form layouts are pixels on a 120 pixels-per-inch screen; on
// the real screen they scale with its resolution, per monitor.
#pragma once

#include <windows.h>

#include "ui/layout/form_layouts.h"

// Sent when the window moved to a monitor of another resolution (Windows
// 8.1 and later; the headers declare it only for builds aimed at them).
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

// The resolution of the monitor `window` is on (the primary monitor's for
// null), in pixels per inch.
UINT DpiOf(HWND window);

// A size or position of the layouts at `dpi`.
int Scaled(int pixels, UINT dpi);

// Moves and sizes `control` within its parent to `placement` at `dpi`.
void Place(HWND control, const LayoutRect& placement, UINT dpi);

// The outer size of a window whose client area is `width` x `height` at
// `dpi`, with its frame at that resolution.
SIZE OuterSize(int width, int height, DWORD style, DWORD exStyle, UINT dpi);
