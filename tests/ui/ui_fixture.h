// The real main window, created modeless in the test's process (under Wine), with a simulated
// or real input device, a clock the test steps, and the message boxes caught.
#pragma once

#include "monitor/pixel_surface.h"
#include "tests/support/screen.h"
#include "tests/support/simulated_wave_input.h"
#include "tests/support/test_support.h"
#include "ui/windows/main_dlg.h"
#include "ui/windows/record_bar.h"
#include "ui/windows/settings_page.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

// Whether text is the program's text id, read from its string table (each of its own words, in
// their order, around the arguments), and carries each fact (a file, a time, a reason). A text
// reworded in the string table needs no change here.
testing::AssertionResult Says(const std::wstring& text, UINT id,
                              std::initializer_list<std::wstring> facts = {});

class UiFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the main window, as the application does, with the settings file as it stands.
    void OpenMainWindow();
    // Closes it with the close box (Cancel) and deletes it.
    void CloseMainWindow(UINT command = IDCANCEL);

    // Serves the window's messages for a while.
    static void Pump(int milliseconds = 50);
    // Serves them until done() holds, or 20 s have passed; whether it held.
    template <class Done> static bool PumpUntil(Done done) {
        for (int i = 0; i < 2000 && !done(); ++i)
            Pump(10);
        return done();
    }
    // No message or paint waits for the window thread.
    static bool Settled();
    // Silences the device, serves the window until every buffer is back and all is shown.
    static bool SilenceAndSettle();
    // A toolbar or button command, as a click sends it.
    void Command(HWND window, int id);
    // A record bar command; after a stop, the window is served until the files are complete.
    void Click(int barCommand);
    // The tab control's notifications around a change to tab index, as a click sends them.
    void SelectTab(int index);

    // The notices of the window as told, the oldest first.
    std::vector<std::wstring> Notices() const;
    CRecordBar* Bar() const;
    CSettingsPage* Page() const;
    std::wstring StatusText(int part) const;
    bool ToolbarEnabled(int command) const;
    void TypeFileName(const std::wstring& name);
    static bool Visible(CDialog* dialog);
    template <class Page> static bool Visible(const std::unique_ptr<Page>& page) {
        return Visible(page.get());
    }

    // The settings file beside the test program, as the main window reads and writes it.
    static std::wstring SettingsPath();
    void WriteSettings(const std::string& text);

    static std::vector<std::wstring> s_messages; // texts of the message boxes shown
    static int s_answer;                         // the button a question gets (IDNO at first)
    static std::atomic<uint32_t> s_now;          // the stepped clock, in milliseconds
    static SimulatedWaveInput* s_device;         // the simulated device of the capture
    static uint32_t Now() { return s_now; }

    TempDir dir;
    CMainDlg* main = nullptr;
};
