// The program's pictures, from its resources (made from res/ at build
// time): the picture buttons' two-picture bitmaps and MAINICON.
#pragma once

#include <windows.h>
#include <commctrl.h>

// A picture button's bitmap as an image list of its two pictures, the
// normal one (0) and the greyed one (1). Pixels of the colour of the
// bitmap's lower left pixel are transparent. `resource` names the 32 x 16
// bitmap; from 1.5 times the layouts' size on, its twice as large
// "<resource>_2X" is taken. The caller destroys the list.
HIMAGELIST TwoPictureList(const wchar_t* resource, UINT dpi);

// MAINICON at `size` pixels; shared, never destroyed.
HICON ProgramIcon(int size);
