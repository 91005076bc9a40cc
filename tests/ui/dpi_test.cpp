// The window at the display's scale. Run at 96 DPI with the other window tests, and at 120, 144
// and 192 DPI by dpi_test.sh, which sets Wine's scale and names it in SONARIX_EXPECTED_DPI.
#include "capture/wave_in.h"
#include "engine/win32_handles.h"
#include "res/resource.h"
#include "tests/support/screen.h"
#include "tests/ui/ui_fixture.h"
#include "ui/framework/dpi.h"
#include "ui/windows/preview_page.h"
#include "ui/windows/record_toolbar.h"

#include <commctrl.h>

#include <cstdlib>

namespace {

using Dpi = UiFixture;

TEST_F(Dpi, TheWindowFollowsTheDisplaysScale) {
    const int dpi = SystemDpi();
    if (const char* expected = std::getenv("SONARIX_EXPECTED_DPI")) {
        ASSERT_EQ(dpi, std::atoi(expected)) << "Wine's scale";
    }
    OpenMainWindow();

    int edges[4] = {};
    SendMessageW(main->m_statusBar.Handle(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges));
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
    SendMessageW(Bar()->m_hToolbar, TB_GETITEMRECT, CRecordToolbar::kEntries - 1,
                 reinterpret_cast<LPARAM>(&last));
    MapWindowPoints(Bar()->m_hToolbar, Bar()->GetSafeHwnd(), reinterpret_cast<POINT*>(&last), 2);
    GetWindowRect(Bar()->m_editFileName, &field);
    MapWindowPoints(nullptr, Bar()->GetSafeHwnd(), reinterpret_cast<POINT*>(&field), 2);
    GetClientRect(Bar()->GetSafeHwnd(), &bar);
    EXPECT_LE(last.right, field.left) << "the buttons end before the field";
    EXPECT_LE(last.bottom - last.top, bar.bottom + 2) << "a button as high as the bar";

    // The meters on the screen are their pictures, made for the controls' real sizes.
    TypeFileName((dir / "dpi.wav").wstring());
    Click(ID_RECORD_START);
    ASSERT_TRUE(PumpUntil([] { return s_device->FramesDelivered() >= 50 * 640; }));
    Click(ID_RECORD_PAUSE);
    EXPECT_TRUE(SilenceAndSettle());
    for (int id : {IDC_METER0, IDC_METER1, IDC_WAVEFORM}) {
        SCOPED_TRACE(id);
        HWND control = GetDlgItem(main->m_pPreviewPage->GetSafeHwnd(), id);
        RECT rc;
        GetClientRect(control, &rc);
        PixelSurface picture;
        ASSERT_TRUE(main->Monitor().CopyPicture(control, picture));
        ASSERT_EQ(picture.Width(), rc.right);
        ASSERT_EQ(picture.Height(), rc.bottom);
        RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(ScreenDifferences(control, picture), 0);
    }
    Click(ID_RECORD_STOP);
}

// The time and the levels, drawn straight and by the bar's repaint, look as a plain status bar
// draws its texts (off the screen), and read back as plain texts, as a screen reader asks.
TEST_F(Dpi, TheTextsDrawnStraightLookAsTheBarsOwn) {
    OpenMainWindow();
    const HWND bar = main->m_statusBar.Handle();
    RECT client;
    GetClientRect(bar, &client);
    const HWND host = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"Static", L"",
                                      WS_POPUP | WS_VISIBLE, -4000, -4000, client.right,
                                      client.bottom, nullptr, nullptr, nullptr, nullptr);
    const HWND plain = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | CCS_BOTTOM, L"", host, 1);
    int edges[4] = {ScaleToDpi(120), ScaleToDpi(200), ScaleToDpi(270), -1};
    SendMessageW(plain, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    const wchar_t* const texts[][3] = {
        {L"00:01:02:45", L"-12.3dB", L"0.0dB"}, {L"12:34:56:78", L"-96.3dB", L""}, {L"", L"", L""}};
    for (const auto& row : texts) {
        SCOPED_TRACE(testing::Message() << "\"" << row[0] << "\" \"" << row[1] << "\"");
        for (int part = 1; part <= 3; ++part) { // set as the clock and the monitor set them
            for (HWND each : {plain, bar})
                SendMessageW(each, SB_SETTEXTW, WPARAM(part), LPARAM(row[part - 1]));
            EXPECT_EQ(main->StatusText(part), row[part - 1]);
        }
        const PixelSurface expected = PrintedPicture(plain);
        EXPECT_EQ(ScreenDifferences(bar, expected), 0) << "drawn straight";
        RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(ScreenDifferences(bar, expected), 0) << "drawn by the bar's repaint";
    }
    DestroyWindow(host);
}

} // namespace
