#include "ui/framework/dpi.h"

#include "engine/win32_handles.h"

#include <windows.h>

int SystemDpi() {
    const WindowDc screen(nullptr);
    const int dpi = screen.Dc() ? GetDeviceCaps(screen.Dc(), LOGPIXELSX) : 0;
    return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

int ScaleToDpi(int pixelsAt96) {
    return MulDiv(pixelsAt96, SystemDpi(), USER_DEFAULT_SCREEN_DPI);
}
