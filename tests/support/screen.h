// What the screen shows of a control, against the picture it should show (Windows).
#pragma once

#include "monitor/pixel_surface.h"

#include <windows.h>

// How many of the control's pixels on the screen differ from the picture, which must have the
// control's client size; the first few are reported as test failures.
int ScreenDifferences(HWND control, const PixelSurface& picture);

// The control's client area as it paints itself into a memory DC (WM_PRINTCLIENT).
PixelSurface PrintedPicture(HWND control);
