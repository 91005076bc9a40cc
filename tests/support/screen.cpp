#include "tests/support/screen.h"

#include "engine/win32_handles.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A control's pixels, as COLORREFs row by row, as draw() puts them into a memory DC.
template <typename Draw>
std::vector<Colour> Pixels(HWND control, int width, int height, Draw draw) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const WindowDc screen(control);
    HDC memory = CreateCompatibleDC(screen.Dc());
    HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    draw(memory, screen.Dc());
    GdiFlush();
    std::vector<Colour> pixels(size_t(width) * size_t(height));
    const auto* rows = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = ColourToPixel(rows[i] & 0xFFFFFF);
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    return pixels;
}

} // namespace

int ScreenDifferences(HWND control, const PixelSurface& picture) {
    const auto screen = Pixels(control, picture.Width(), picture.Height(), [&](HDC memory, HDC dc) {
        BitBlt(memory, 0, 0, picture.Width(), picture.Height(), dc, 0, 0, SRCCOPY);
    });
    int differences = 0;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const Colour shown = screen[size_t(y) * size_t(picture.Width()) + size_t(x)];
            if (shown != picture.GetPixel(x, y) && differences++ < 3)
                ADD_FAILURE() << "control " << GetDlgCtrlID(control) << ", pixel " << x << "," << y
                              << " shows " << std::hex << shown << " instead of "
                              << picture.GetPixel(x, y);
        }
    return differences;
}

PixelSurface PrintedPicture(HWND control) {
    RECT rc;
    GetClientRect(control, &rc);
    const auto pixels = Pixels(control, rc.right, rc.bottom, [&](HDC memory, HDC) {
        SendMessageW(control, WM_PRINTCLIENT, WPARAM(memory), PRF_CLIENT | PRF_ERASEBKGND);
    });
    PixelSurface picture(rc.right, rc.bottom);
    for (size_t i = 0; i < pixels.size(); ++i)
        picture.SetPixel(int(i % size_t(rc.right)), int(i / size_t(rc.right)), pixels[i]);
    return picture;
}
