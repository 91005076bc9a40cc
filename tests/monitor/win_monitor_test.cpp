// The monitor with real Windows controls: each control shows the monitor's picture pixel for
// pixel, and the dB texts reach the status bar through the window's mail while another thread
// processes the blocks.
#include "monitor/monitor.h"
#include "monitor/win_monitor_host.h"
#include "tests/support/screen.h"
#include "tests/support/test_support.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>

namespace {

constexpr UINT kMail = WM_APP + 1;
WindowMailbox g_mail;

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kMail) {
        g_mail.Take();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void PumpMessages() {
    MSG msg;
    for (int round = 0; round < 20; ++round) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

std::wstring StatusText(HWND statusBar, int part) {
    wchar_t text[64] = {};
    SendMessageW(statusBar, SB_GETTEXTW, WPARAM(part), reinterpret_cast<LPARAM>(text));
    return text;
}

TEST(WinMonitor, ControlsShowThePicturesAndTheStatusBarTheTexts) {
    InitCommonControls();
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SonarixMonitorTest";
    wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    RegisterClassW(&wc);
    HWND main = CreateWindowW(L"SonarixMonitorTest", L"monitor", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                              0, 0, 400, 300, nullptr, nullptr, wc.hInstance, nullptr);
    if (!main)
        GTEST_SKIP() << "no display: CreateWindowW failed with error " << GetLastError();

    auto child = [&](int x, int width) {
        HWND control = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_SUNKEN, x, 10,
                                       width, 140, main, nullptr, wc.hInstance, nullptr);
        EXPECT_NE(control, nullptr) << "error " << GetLastError();
        return control;
    };
    HWND view = child(10, 212);
    HWND meter0 = child(230, 17);
    HWND meter1 = child(250, 17);
    HWND statusBar = CreateStatusWindowW(WS_CHILD | WS_VISIBLE | CCS_BOTTOM, L"", main, 1);
    int edges[4] = {120, 200, 270, -1};
    SendMessageW(statusBar, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));

    CWinMonitorHost host;
    CMonitor monitor(host);
    host.SetMonitor(&monitor);
    g_mail.SetWake([main] { return PostMessageW(main, kMail, 0, 0) != 0; });
    host.SetMailbox(&g_mail);
    host.SetStatusBar(statusBar);
    monitor.AttachWindows(view, meter0, meter1);
    monitor.SetFormat(2, 16);
    monitor.Repaint(2);

    // The capture thread: a tone at half scale on channel 0, a quarter on channel 1.
    std::thread capture([&] {
        std::vector<int16_t> samples;
        for (int i = 0; i < 640; ++i) {
            const double s = std::sin(2 * 3.14159265358979 * i / 16);
            samples.push_back(int16_t(std::lround(16384 * s)));
            samples.push_back(int16_t(std::lround(8192 * s)));
        }
        const auto block = SampleBytes(samples);
        for (int i = 0; i < 60; ++i)
            monitor.ProcessBlock(block.data(), uint32_t(block.size()));
    });
    capture.join();
    PumpMessages();

    for (HWND control : {view, meter0, meter1}) {
        PixelSurface picture;
        ASSERT_TRUE(monitor.CopyPicture(control, picture));
        RECT rc;
        GetClientRect(control, &rc);
        ASSERT_EQ(picture.Width(), rc.right);
        ASSERT_EQ(picture.Height(), rc.bottom);
        EXPECT_EQ(ScreenDifferences(control, picture), 0);
    }
    // The picture is not all ground: the tone's columns and the divider are there.
    PixelSurface picture;
    monitor.CopyPicture(view, picture);
    EXPECT_EQ(picture.GetPixel(picture.Width() - 1, picture.Height() / 2),
              GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(picture.GetPixel(picture.Width() - 1, 20), MakeColour(255, 255, 255));

    EXPECT_EQ(StatusText(statusBar, 2), L"-6.0dB");
    EXPECT_EQ(StatusText(statusBar, 3), L"-6.0dB") << "one hold for both meters";

    monitor.OnClose();
    PumpMessages();
    EXPECT_EQ(StatusText(statusBar, 2), L"");
    EXPECT_EQ(StatusText(statusBar, 3), L"");
    DestroyWindow(main);
}

} // namespace
