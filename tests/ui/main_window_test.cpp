// The main window: start-up, layout, system menu, tabs and the ways it closes.
#include "app/settings.h"
#include "capture/wave_in.h"
#include "res/resource.h"
#include "tests/ui/ui_fixture.h"
#include "ui/framework/ui_text.h"
#include "ui/windows/about_dlg.h"
#include "ui/windows/preview_page.h"
#include "ui/windows/record_bar.h"
#include "ui/windows/settings_page.h"
#include "version.h"

#include <commctrl.h>

#include <atomic>
#include <thread>

namespace fs = std::filesystem;

namespace {

using MainWindow = UiFixture;

std::wstring MenuText(HMENU menu, int position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, UINT(position), text, 128, MF_BYPOSITION);
    return text;
}

// The rectangle of a window in the main window's client coordinates.
RECT RectIn(HWND window, HWND main) {
    RECT rc;
    GetWindowRect(window, &rc);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// The dialog manager maps a control's position and its size each on its own.
RECT DialogUnits(HWND dialog, int x, int y, int w, int h) {
    RECT rc = {x, y, w, h};
    MapDialogRect(dialog, &rc);
    return {rc.left, rc.top, rc.left + rc.right, rc.top + rc.bottom};
}

void ExpectRect(const RECT& actual, const RECT& expected, const char* what) {
    EXPECT_EQ(actual.left, expected.left) << what;
    EXPECT_EQ(actual.top, expected.top) << what;
    EXPECT_EQ(actual.right, expected.right) << what;
    EXPECT_EQ(actual.bottom, expected.bottom) << what;
}

TEST_F(MainWindow, StartUp) {
    OpenMainWindow();
    EXPECT_EQ(SendMessageW(main->m_tabCtrl, TCM_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendMessageW(main->m_tabCtrl, TCM_GETITEMCOUNT, 0, 0), 2);
    EXPECT_TRUE(Visible(main->m_pPreviewPage));
    EXPECT_TRUE(Visible(main->m_pRecordBar));
    EXPECT_FALSE(Visible(main->m_pSettingsPage));
    EXPECT_EQ(SendMessageW(main->m_statusBar.Handle(), SB_GETPARTS, 0, 0), 4);
    for (int part = 0; part < 4; ++part)
        EXPECT_EQ(StatusText(part), L"") << "part " << part;
    int edges[4] = {};
    SendMessageW(main->m_statusBar.Handle(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    EXPECT_EQ(edges[0], 120);
    EXPECT_EQ(edges[1], 200);
    EXPECT_EQ(edges[2], 270);

    wchar_t caption[64] = {};
    GetWindowTextW(main->GetSafeHwnd(), caption, 64);
    EXPECT_STREQ(caption, L"Sonarix");

    // The system menu: the About entry after a separator; no Restore, Size or Maximise.
    HMENU menu = GetSystemMenu(main->GetSafeHwnd(), FALSE);
    const int count = GetMenuItemCount(menu);
    ASSERT_GE(count, 2);
    EXPECT_EQ(MenuText(menu, count - 1), L"Sonarix のﾊﾞｰｼﾞｮﾝ情報(&A)...");
    EXPECT_EQ(GetMenuItemID(menu, count - 1), UINT(IDM_ABOUTBOX));
    EXPECT_EQ(GetMenuState(menu, UINT(count - 2), MF_BYPOSITION) & MF_SEPARATOR,
              UINT(MF_SEPARATOR));
    for (UINT gone : {SC_RESTORE, SC_SIZE, SC_MAXIMIZE})
        EXPECT_EQ(GetMenuState(menu, gone, MF_BYCOMMAND), UINT(-1)) << "command " << gone;
    for (UINT kept : {SC_MOVE, SC_MINIMIZE, SC_CLOSE})
        EXPECT_NE(GetMenuState(menu, kept, MF_BYCOMMAND), UINT(-1)) << "command " << kept;
}

// Every window where its template puts it, in the dialog font's units.
TEST_F(MainWindow, LayoutFollowsTheTemplates) {
    OpenMainWindow();
    HWND m = main->GetSafeHwnd();
    RECT client;
    GetClientRect(m, &client);
    const RECT size = DialogUnits(m, 0, 0, 194, 186);
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    ExpectRect(RectIn(main->m_tabCtrl, m), DialogUnits(m, 5, 5, 185, 135), "tab control");
    ExpectRect(RectIn(main->m_pPreviewPage->GetSafeHwnd(), m), DialogUnits(m, 10, 20, 177, 102),
               "preview");
    ExpectRect(RectIn(Bar()->GetSafeHwnd(), m), DialogUnits(m, 10, 120, 177, 16), "record bar");
    ExpectRect(RectIn(Page()->GetSafeHwnd(), m), DialogUnits(m, 10, 20, 177, 117), "settings page");

    HWND preview = main->m_pPreviewPage->GetSafeHwnd();
    const struct {
        int id, x, y, w, h;
    } controls[] = {{IDC_WAVEFORM, 5, 10, 140, 85},
                    {IDC_METER0, 150, 10, 10, 85},
                    {IDC_METER1, 160, 10, 10, 85}};
    for (const auto& c : controls)
        ExpectRect(RectIn(GetDlgItem(preview, c.id), preview),
                   DialogUnits(preview, c.x, c.y, c.w, c.h),
                   ("preview control " + std::to_string(c.id)).c_str());
    HWND bar = Bar()->GetSafeHwnd();
    // The field gives the marker button its room: it begins 17 units further right.
    ExpectRect(RectIn(GetDlgItem(bar, IDC_FILE_NAME), bar), DialogUnits(bar, 92, 0, 83, 15),
               "field 1012");
    HWND page = Page()->GetSafeHwnd();
    const struct {
        int id, x, y, w, h;
    } fields[] = {{IDC_SEQ_ENABLE, 5, 0, 70, 10},         {IDC_SEQ_FOLDER, 5, 20, 130, 15},
                  {IDC_SEQ_BROWSE, 135, 20, 15, 15},      {IDC_SEQ_PREFIX, 75, 65, 40, 15},
                  {IDC_RECORDING_SOURCE, 40, 90, 30, 15}, {IDC_SOUND_FORMAT, 125, 90, 30, 15},
                  {IDC_SEQ_SUBFOLDERS, 5, 40, 122, 10}};
    for (const auto& c : fields)
        ExpectRect(RectIn(GetDlgItem(page, c.id), page), DialogUnits(page, c.x, c.y, c.w, c.h),
                   ("settings control " + std::to_string(c.id)).c_str());
}

TEST_F(MainWindow, TabsShowTheirPagesAndClearTheTime) {
    OpenMainWindow();
    main->SetStatusText(1, L"00:00:01:00");
    SelectTab(1);
    EXPECT_FALSE(Visible(main->m_pPreviewPage));
    EXPECT_FALSE(Visible(main->m_pRecordBar));
    EXPECT_TRUE(Visible(main->m_pSettingsPage));
    EXPECT_EQ(StatusText(1), L"");
    SelectTab(0);
    EXPECT_TRUE(Visible(main->m_pPreviewPage));
    EXPECT_TRUE(Visible(main->m_pRecordBar));
    EXPECT_FALSE(Visible(main->m_pSettingsPage));
}

// Leaving the settings tab, sequential naming on, with a counter that is no number from 0 to
// 999999: the message, and the settings tab stays. Texts put into messages keep what they quote.
TEST_F(MainWindow, InvalidCounterKeepsTheSettingsTab) {
    OpenMainWindow();
    SelectTab(1);
    CheckDlgButton(Page()->GetSafeHwnd(), IDC_SEQ_ENABLE, BST_CHECKED);
    for (const wchar_t* text : {L"abc", L"1000000"}) {
        s_messages.clear();
        SetDlgItemTextW(Page()->GetSafeHwnd(), IDC_SEQ_COUNT, text);
        SelectTab(0);
        EXPECT_EQ(SendMessageW(main->m_tabCtrl, TCM_GETCURSEL, 0, 0), 1)
            << "counter " << fs::path(text).string();
        EXPECT_TRUE(Visible(main->m_pSettingsPage));
        EXPECT_FALSE(Visible(main->m_pPreviewPage));
        ASSERT_EQ(s_messages.size(), 1u);
        EXPECT_EQ(s_messages[0], std::wstring(text) == L"abc"
                                     ? L"正の整数を入力してください。"
                                     : L"0 から 999999 までの整数を入力してください。");
    }
    // Nor with a prefix that makes no plain file name (a stream of a file "10").
    SetDlgItemTextW(Page()->GetSafeHwnd(), IDC_SEQ_COUNT, L"7");
    SetDlgItemTextW(Page()->GetSafeHwnd(), IDC_SEQ_PREFIX, L"10:30-");
    s_messages.clear();
    SelectTab(0);
    EXPECT_EQ(SendMessageW(main->m_tabCtrl, TCM_GETCURSEL, 0, 0), 1);
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_EQ(s_messages[0], LoadText(IDS_BAD_PREFIX));
}

TEST(Texts, ArgumentsAreQuotedAsTheyAre) {
    EXPECT_EQ(FormatText(IDS_FOLDER_FAILED, {L"C:\\100%2 %1", L"理由 %1"}),
              L"フォルダ「C:\\100%2 %1」を作成できないため、録音を開始できません。\n\n理由 %1");
}

TEST_F(MainWindow, TabControlDisabledWhileRecordingOrPaused) {
    OpenMainWindow();
    TypeFileName((dir / "t.wav").wstring());
    Click(ID_RECORD_START);
    EXPECT_FALSE(IsWindowEnabled(main->m_tabCtrl));
    Click(ID_RECORD_PAUSE);
    EXPECT_FALSE(IsWindowEnabled(main->m_tabCtrl));
    Click(ID_RECORD_STOP);
    EXPECT_TRUE(IsWindowEnabled(main->m_tabCtrl));
}

// Closing while recording or paused leaves a complete file and the settings written; by the
// close box and by OK alike (the end of the session: the safety tests).
TEST_F(MainWindow, ClosingCompletesTheRecordingAndSavesTheSettings) {
    const struct {
        const char* how;
        bool pause;
        UINT command; // 0: the session ends
    } ways[] = {{"close box while recording", false, IDCANCEL}, {"OK while paused", true, IDOK}};
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        DeleteFileW(SettingsPath().c_str());
        OpenMainWindow();
        const fs::path wav = dir / (std::string(way.how) + ".wav");
        TypeFileName(wav.wstring());
        Click(ID_RECORD_START);
        ASSERT_TRUE(PumpUntil([] { return s_device->FramesDelivered() >= 10 * 640; }));
        if (way.pause)
            Click(ID_RECORD_PAUSE);
        CloseMainWindow(way.command);
        const WavFile recorded = ReadWav(wav);
        EXPECT_GT(recorded.dataSize, 0u);
        EXPECT_TRUE(recorded.IsComplete());
        EXPECT_TRUE(fs::exists(SettingsPath())) << "settings written";
    }
}

// A modal dialog ended while it handles a message sent from another thread (as Windows sends
// the session's end): its loop returns at once, with no input or posted message to wake it.
TEST_F(MainWindow, EndDialogFromASentMessageEndsTheModalLoop) {
    CAboutDlg about;
    const DWORD dialogThread = GetCurrentThreadId();
    std::atomic<bool> returned{false}, rescued{false};
    std::thread sender([&] {
        HWND window = nullptr;
        for (int i = 0; i < 500 && !(window && IsWindowVisible(window)); ++i, Sleep(10))
            window = about.GetSafeHwnd();
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        for (int i = 0; i < 300 && !returned; ++i)
            Sleep(10);
        if (!returned) {
            rescued = true;
            PostThreadMessageW(dialogThread, WM_NULL, 0, 0);
        }
    });
    EXPECT_EQ(about.DoModal(nullptr), IDOK);
    returned = true;
    sender.join();
    EXPECT_FALSE(rescued) << "the modal loop waited on after EndDialog";
}

TEST_F(MainWindow, ClosingWhileStoppedTouchesNoRecording) {
    const fs::path wav = dir / "old.wav";
    WriteFileBytes(wav, {1, 2, 3});
    OpenMainWindow();
    TypeFileName(wav.wstring());
    CloseMainWindow();
    EXPECT_EQ(ReadFileBytes(wav), (std::vector<uint8_t>{1, 2, 3}));
    AppSettings saved;
    LoadSettingsFile(SettingsPath(), saved);
    EXPECT_EQ(saved.SamplingRate, 16000);
    EXPECT_TRUE(fs::exists(SettingsPath()));
}

TEST_F(MainWindow, SettingsComeAndGoThroughThePages) {
    WriteSettings(
        "[TabPage2]\r\nCheckSeqRecFile=1\r\nSeqRecFileDir=C:\\rec\r\nSeqRecFileCount=41\r\n"
        "[SoundProperty]\r\nSamplingChannel=1\r\nSampleType=3\r\nSamplingRate=8000\r\n");
    OpenMainWindow();
    EXPECT_EQ(Bar()->m_nSamplingChannel, 1);
    EXPECT_EQ(Bar()->m_nSampleType, 3);
    EXPECT_EQ(Bar()->m_nSamplingRate, 8000);
    EXPECT_EQ(Page()->m_bCheckSeqRecFile, 1);
    EXPECT_EQ(Page()->m_nSeqRecFileCount, 41u);
    EXPECT_FALSE(IsWindowEnabled(Bar()->m_editFileName)) << "sequential naming: no typed name";
    EXPECT_FALSE(ToolbarEnabled(ID_FILE_NAME));
    Page()->m_nSeqRecFileCount = 42;
    Page()->UpdateData(false);
    Bar()->m_nSamplingRate = 44100;
    CloseMainWindow();
    AppSettings saved;
    LoadSettingsFile(SettingsPath(), saved);
    EXPECT_EQ(saved.SeqRecFileCount, 42);
    EXPECT_EQ(saved.SamplingRate, 44100);
    EXPECT_EQ(saved.SeqRecFileDir, L"C:\\rec");
}

} // namespace

namespace {

std::wstring VersionString(const std::vector<uint8_t>& info, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || !length)
        return L"";
    return static_cast<const wchar_t*>(value);
}

// The version resource, the manifest and the About box all say the one version number.
TEST(Version, OneNumberEverywhere) {
    wchar_t module[MAX_PATH];
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    DWORD ignored = 0;
    std::vector<uint8_t> info(GetFileVersionInfoSizeW(module, &ignored));
    ASSERT_FALSE(info.empty()) << "no version resource";
    ASSERT_TRUE(GetFileVersionInfoW(module, 0, DWORD(info.size()), info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS,
              DWORD(MAKELONG(SONARIX_VERSION_MINOR, SONARIX_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS, DWORD(MAKELONG(0, SONARIX_VERSION_PATCH)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(VersionString(info, L"FileVersion"), SONARIX_VERSION_TEXT_W);
    EXPECT_EQ(VersionString(info, L"ProductVersion"), SONARIX_VERSION_TEXT_W);
    EXPECT_EQ(VersionString(info, L"ProductName"), L"Sonarix");
    EXPECT_EQ(VersionString(info, L"OriginalFilename"), L"Sonarix.exe");
    EXPECT_EQ(VersionString(info, L"FileDescription"), L"Sonarix 録音ソフト");
    EXPECT_NE(VersionString(info, L"LegalCopyright").find(L"Copyright"), std::wstring::npos);

    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr) << "no manifest";
    const char* manifest = static_cast<const char*>(LockResource(LoadResource(nullptr, found)));
    const std::string text(manifest, SizeofResource(nullptr, found));
    EXPECT_NE(text.find("name=\"Sonarix\" version=\"" SONARIX_VERSION_TEXT ".0\""),
              std::string::npos)
        << text;

    CAboutDlg about;
    ASSERT_TRUE(about.Create(nullptr));
    std::wstring lines;
    for (HWND child = GetWindow(about.GetSafeHwnd(), GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[128] = {};
        GetWindowTextW(child, text, 128);
        lines += std::wstring(text) + L"\n";
    }
    EXPECT_NE(lines.find(L"Sonarix Version " + std::to_wstring(SONARIX_VERSION_MAJOR) + L"." +
                         std::to_wstring(SONARIX_VERSION_MINOR) + L"\n"),
              std::wstring::npos)
        << fs::path(lines).string();
    about.EndDialog(IDOK);
}

} // namespace

namespace {

// Keys through the real modal loop: the test's steps run one per timer tick while the loop runs.
class Keyboard : public UiFixture {
protected:
    using Step = void (*)();
    static std::vector<Step> s_steps;
    static size_t s_next;
    static CMainDlg* s_main;

    // Runs the main window modally through the steps; the last one closes it.
    void Run(std::vector<Step> steps) {
        s_steps = std::move(steps);
        s_next = 0;
        main = s_main = new CMainDlg;
        g_pMainDlg = main;
        SetTimer(nullptr, 0, 60, [](HWND, UINT, UINT_PTR timer, DWORD) {
            if (s_next < s_steps.size())
                s_steps[s_next++]();
            if (s_next == s_steps.size())
                KillTimer(nullptr, timer);
        });
        main->DoModal(nullptr);
        delete main;
        main = nullptr;
    }

    // A key for the focused control, with Shift or Ctrl held or not, pressed or repeated (held
    // down).
    static void Press(WPARAM key, bool shift = false, bool ctrl = false, bool repeat = false) {
        BYTE state[256];
        GetKeyboardState(state);
        state[VK_SHIFT] = shift ? 0x80 : 0;
        state[VK_CONTROL] = ctrl ? 0x80 : 0;
        SetKeyboardState(state);
        PostMessageW(GetFocus(), WM_KEYDOWN, key, repeat ? LPARAM(1) << 30 : 0);
    }
    static void PressCtrl(WPARAM key, bool repeat = false) { Press(key, false, true, repeat); }
    static void Select(int tab) {
        NMHDR header = {s_main->m_tabCtrl, UINT_PTR(IDC_TAB), UINT(TCN_SELCHANGING)};
        SendMessageW(s_main->GetSafeHwnd(), WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&header));
        SendMessageW(s_main->m_tabCtrl, TCM_SETCURSEL, WPARAM(tab), 0);
        header.code = UINT(TCN_SELCHANGE);
        SendMessageW(s_main->GetSafeHwnd(), WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&header));
        SetFocus(s_main->m_tabCtrl);
    }
    static void Close() {
        Press(0); // Shift and Ctrl up again
        PostMessageW(s_main->GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
    }

    static std::vector<HWND> s_focus; // where the focus was after each key
    static void Look() { s_focus.push_back(GetFocus()); }
};

std::vector<Keyboard::Step> Keyboard::s_steps;
size_t Keyboard::s_next = 0;
CMainDlg* Keyboard::s_main = nullptr;
std::vector<HWND> Keyboard::s_focus;

// Tab from the tab control reaches the visible page's first control (the record bar's toolbar)
// and Shift+Tab comes back, on both tabs; Enter and Escape in the settings page do nothing.
TEST_F(Keyboard, TabMovesIntoThePageAndBack) {
    static HWND s_toolbar, s_enable, s_tabs;
    s_focus.clear();
    Run({[] {
             s_toolbar = s_main->m_pRecordBar->m_hToolbar;
             s_enable = GetDlgItem(s_main->m_pSettingsPage->GetSafeHwnd(), IDC_SEQ_ENABLE);
             s_tabs = s_main->m_tabCtrl;
             Select(0);
         },
         [] { Press(VK_TAB); }, [] { Look(), Press(VK_TAB, true); }, [] { Look(), Select(1); },
         [] { Press(VK_TAB); }, [] { Look(), Press(VK_RETURN); }, [] { Press(VK_ESCAPE); },
         [] { Look(), Press(VK_TAB, true); }, [] { Look(), Close(); }});
    ASSERT_EQ(s_focus.size(), 5u) << "the window closed early";
    EXPECT_EQ(s_focus[0], s_toolbar) << "Tab: into the record bar's toolbar";
    EXPECT_EQ(s_focus[1], s_tabs) << "Shift+Tab: back";
    EXPECT_EQ(s_focus[2], s_enable) << "Tab: into the settings page";
    EXPECT_EQ(s_focus[3], s_enable) << "Enter and Escape: nothing";
    EXPECT_EQ(s_focus[4], s_tabs) << "Shift+Tab: back";
}

// Through the real modal loop, a key held down acts once, the next press again: Ctrl+M places
// one marker while recording (none when stopped); Ctrl+P pauses once and resumes at the next
// press; the Play/Pause media key likewise, by its own repeat flag (and the command Windows makes
// of it, sent while it is handled, acts no more).
TEST_F(Keyboard, HeldKeysActOncePerPress) {
    static std::wstring s_file;
    static uint32_t s_held, s_again, s_stopped;
    static std::vector<RecordingState> s_states;
    s_file = (dir / "keys.wav").wstring();
    s_states.clear();
    static void (*s_state)() = [] { s_states.push_back(s_main->m_pRecording->State()); };
    static void (*s_media)() = [] {
        for (int i = 0; i < 3; ++i) // pressed and held: the key, and its repeats
            Press(VK_MEDIA_PLAY_PAUSE, false, false, i > 0);
    };
    Run({[] {
             Select(0);
             SetDlgItemTextW(s_main->m_pRecordBar->GetSafeHwnd(), IDC_FILE_NAME, s_file.c_str());
         },
         [] { PressCtrl('M'); }, [] { PressCtrl('R'); }, [] { PressCtrl('M'); },
         [] { PressCtrl('M', true), PressCtrl('M', true); }, [] { PressCtrl('M', true); },
         [] { s_held = s_main->m_pRecording->MarkerCount(), PressCtrl('M'); },
         [] { s_again = s_main->m_pRecording->MarkerCount(), PressCtrl('P'); },
         [] { PressCtrl('P', true), PressCtrl('P', true); }, [] { s_state(), PressCtrl('P'); },
         [] { s_state(), s_media(); }, [] { s_state(), s_media(); },
         [] { s_state(), PressCtrl('S'); }, [] { PressCtrl('M'); },
         [] { s_stopped = s_main->m_pRecording->MarkerCount(), Close(); }});
    EXPECT_EQ(s_held, 1u) << "held: one";
    EXPECT_EQ(s_again, 2u) << "pressed again: another";
    EXPECT_EQ(s_stopped, 2u) << "stopped: none";
    const std::vector<RecordingState> expected = {RECORDING_PAUSED, RECORDING_RUNNING,
                                                  RECORDING_PAUSED, RECORDING_RUNNING};
    EXPECT_EQ(s_states, expected) << "Ctrl+P held, pressed again; Play/Pause held, pressed again";
}

} // namespace

namespace {

// Hundreds of blocks while the window shows them, each telling only what it changed: the
// waveform and the meters on the screen are their pictures, pixel for pixel, without any
// repaint of the whole.
TEST_F(MainWindow, PreviewShowsThePicturesAfterManyBlocks) {
    const auto ExpectPreviewShowsThePictures = [&] {
        for (int id : {IDC_WAVEFORM, IDC_METER0, IDC_METER1}) {
            SCOPED_TRACE(id);
            HWND control = GetDlgItem(main->m_pPreviewPage->GetSafeHwnd(), id);
            PixelSurface picture;
            ASSERT_TRUE(main->Monitor().CopyPicture(control, picture));
            EXPECT_EQ(ScreenDifferences(control, picture), 0);
        }
    };
    OpenMainWindow();
    TypeFileName((dir / "preview.wav").wstring());
    Click(ID_RECORD_START);
    // Hundreds of blocks, more than the view has columns, several between two paints at times.
    EXPECT_TRUE(PumpUntil([] { return s_device->FramesDelivered() > 250u * 640; }));
    EXPECT_TRUE(SilenceAndSettle());
    ExpectPreviewShowsThePictures();

    // Minimised, nothing is drawn; shown again, the whole is.
    s_device->SetSilent(false);
    ShowWindow(main->GetSafeHwnd(), SW_MINIMIZE);
    const uint64_t before = s_device->FramesDelivered();
    EXPECT_TRUE(PumpUntil([&] { return s_device->FramesDelivered() > before + 100 * 640; }));
    EXPECT_TRUE(SilenceAndSettle());
    ShowWindow(main->GetSafeHwnd(), SW_RESTORE);
    EXPECT_TRUE(SilenceAndSettle());
    ExpectPreviewShowsThePictures();
    Click(ID_RECORD_STOP);
}

} // namespace
