// The window at the display's scale. Run at 96 DPI with the other window tests, and at 120, 144
// and 192 DPI by dpi_test.sh, which sets Wine's scale and names it in SONARIX_EXPECTED_DPI.
#include "capture/wave_in.h"
#include "engine/win32_handles.h"
#include "res/resource.h"
#include "tests/ui/ui_fixture.h"
#include "ui/dpi.h"
#include "ui/preview_page.h"

#include <commctrl.h>

#include <cstdlib>

namespace {

using Dpi = UiFixture;

// The control's pixels as the screen shows them, as COLORREFs, row by row.
std::vector<COLORREF> ScreenPixels(HWND control, int width, int height) {
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
    BitBlt(memory, 0, 0, width, height, screen.Dc(), 0, 0, SRCCOPY);
    std::vector<COLORREF> pixels(size_t(width) * height);
    const auto* rows = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = RGB(rows[i] >> 16 & 0xFF, rows[i] >> 8 & 0xFF, rows[i] & 0xFF);
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    return pixels;
}

TEST_F(Dpi, TheWindowFollowsTheDisplaysScale) {
    const int dpi = SystemDpi();
    if (const char* expected = std::getenv("SONARIX_EXPECTED_DPI")) {
        ASSERT_EQ(dpi, std::atoi(expected)) << "Wine's scale";
    }
    OpenMainWindow();

    int edges[4] = {};
    SendMessageW(main->m_hStatusBar, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    EXPECT_EQ(edges[0], MulDiv(120, dpi, 96));
    EXPECT_EQ(edges[1], MulDiv(200, dpi, 96));
    EXPECT_EQ(edges[2], MulDiv(270, dpi, 96));

    // The toolbar's images drawn for the largest scale not above the display's, and the
    // buttons in proportion: they fit the bar's height and end before the file-name field.
    int width = 0, height = 0;
    const auto images =
        reinterpret_cast<HIMAGELIST>(SendMessageW(Bar()->m_hToolbar, TB_GETIMAGELIST, 0, 0));
    ASSERT_TRUE(ImageList_GetIconSize(images, &width, &height));
    const int expected = dpi >= 192 ? 32 : dpi >= 144 ? 24 : 16;
    EXPECT_EQ(width, expected);
    EXPECT_EQ(height, dpi >= 192 ? 30 : dpi >= 144 ? 23 : 15);
    const DWORD button = DWORD(SendMessageW(Bar()->m_hToolbar, TB_GETBUTTONSIZE, 0, 0));
    EXPECT_GE(LOWORD(button), width);
    EXPECT_GE(HIWORD(button), height);
    RECT last, field, bar;
    SendMessageW(Bar()->m_hToolbar, TB_GETITEMRECT, 7, reinterpret_cast<LPARAM>(&last));
    MapWindowPoints(Bar()->m_hToolbar, Bar()->GetSafeHwnd(), reinterpret_cast<POINT*>(&last), 2);
    GetWindowRect(Bar()->m_editFileName, &field);
    MapWindowPoints(nullptr, Bar()->GetSafeHwnd(), reinterpret_cast<POINT*>(&field), 2);
    GetClientRect(Bar()->GetSafeHwnd(), &bar);
    EXPECT_LE(last.right, field.left) << "the buttons end before the field";
    EXPECT_LE(last.bottom - last.top, bar.bottom + 2) << "a button as high as the bar";

    // The meters on the screen are their pictures, made for the controls' real sizes.
    TypeFileName((dir / "dpi.wav").wstring());
    Click(ID_RECORD_START);
    Pump(300);
    Click(ID_RECORD_PAUSE);
    Pump(100);
    for (int id : {IDC_METER0, IDC_METER1, IDC_WAVEFORM}) {
        SCOPED_TRACE(id);
        HWND control = GetDlgItem(main->m_pPreviewPage->GetSafeHwnd(), id);
        RECT rc;
        GetClientRect(control, &rc);
        PixelSurface picture;
        ASSERT_TRUE(g_pMonitor->PaintWindow(control, [&](const PixelSurface& p) { picture = p; }));
        ASSERT_EQ(picture.Width(), rc.right);
        ASSERT_EQ(picture.Height(), rc.bottom);
        RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const auto screen = ScreenPixels(control, rc.right, rc.bottom);
        int differences = 0;
        for (int y = 0; y < rc.bottom; ++y)
            for (int x = 0; x < rc.right; ++x)
                if (screen[size_t(y) * rc.right + x] != picture.GetPixel(x, y) && differences++ < 3)
                    ADD_FAILURE() << "pixel " << x << "," << y;
        EXPECT_EQ(differences, 0);
    }
    Click(ID_RECORD_STOP);
}

} // namespace
