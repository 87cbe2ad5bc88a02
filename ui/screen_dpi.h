// The screen resolution a window is shown at, and sizes given in pixels at 96 DPI scaled to it.
// The program declares itself aware of the resolution (per monitor) in its manifest, so Windows
// no longer stretches its windows as bitmaps: every size it sets in pixels is scaled here.
#pragma once
#include <windows.h>

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0  // Windows 8.1 on; the headers name it for newer targets only
#endif

// The resolution pixel sizes are written for: 100 % on Windows.
const UINT kBaseDpi = 96;

// The DPI of the monitor the window is on: GetDpiForWindow where Windows has it (Windows 10
// version 1607 on; looked up by name, so that the program still starts on older Windows), else
// the screen's LOGPIXELSY (the system DPI), else 96.
UINT GetWindowDpi(HWND window);

// A size in pixels at 96 DPI, at dpi (rounded to the nearest pixel; unchanged at 96 DPI).
inline int ScaleToDpi(int pixels, UINT dpi)
{
    return MulDiv(pixels, static_cast<int>(dpi), static_cast<int>(kBaseDpi));
}
