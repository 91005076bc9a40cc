// The record bar: its state machine, views, elapsed time, tooltips, names and the capture's
// notices.
#include "capture/wave_in.h"
#include "res/resource.h"
#include "tests/support/test_disk.h"
#include "tests/ui/ui_fixture.h"
#include "ui/framework/ui_text.h"
#include "ui/shell/running_copy.h"
#include "ui/windows/preview_page.h"
#include "ui/windows/record_bar.h"
#include "ui/windows/recording_texts.h"
#include "ui/windows/settings_page.h"

#include <map>

#include <commctrl.h>
#include <mmsystem.h>

namespace fs = std::filesystem;

namespace {

using RecordBar = UiFixture;

struct View {
    bool tabs, start, stop, pause, fileName, field;
    UINT state; // the state part's text, 0 for none
};

void ExpectView(CMainDlg* main, const View& v, const char* where) {
    SCOPED_TRACE(where);
    CRecordBar* bar = main->m_pRecordBar.get();
    EXPECT_EQ(IsWindowEnabled(main->m_tabCtrl) != 0, v.tabs);
    EXPECT_EQ(SendMessageW(bar->m_hToolbar, TB_ISBUTTONENABLED, ID_RECORD_START, 0) != 0, v.start);
    EXPECT_EQ(SendMessageW(bar->m_hToolbar, TB_ISBUTTONENABLED, ID_RECORD_STOP, 0) != 0, v.stop);
    EXPECT_EQ(SendMessageW(bar->m_hToolbar, TB_ISBUTTONENABLED, ID_RECORD_PAUSE, 0) != 0, v.pause);
    EXPECT_EQ(SendMessageW(bar->m_hToolbar, TB_ISBUTTONENABLED, ID_FILE_NAME, 0) != 0, v.fileName);
    EXPECT_EQ(SendMessageW(bar->m_hToolbar, TB_ISBUTTONENABLED, ID_MARKER, 0) != 0, v.stop)
        << "a marker can be placed whenever the recording can be stopped";
    EXPECT_EQ(IsWindowEnabled(bar->m_editFileName) != 0, v.field);
    const std::wstring state = v.state ? LoadText(v.state) : std::wstring();
    EXPECT_EQ(main->StatusText(0), state);
    // A screen reader hears the state; a stop is said (with why) where the part shows nothing,
    // and nothing before the first recording.
    const std::wstring heard = main->m_statusBar.Describe(1).name;
    const std::wstring stopped = LoadText(IDS_SAID_STOPPED);
    if (state.empty())
        EXPECT_TRUE(heard.empty() ||
                    (heard.size() >= stopped.size() &&
                     heard.compare(heard.size() - stopped.size(), stopped.size(), stopped) == 0))
            << fs::path(heard);
    else
        EXPECT_EQ(heard, state);
}

const View kStopped = {true, true, false, false, true, true, 0};
const View kRecording = {false, false, true, true, false, false, IDS_STATE_RECORDING};
const View kPaused = {false, true, true, false, false, false, IDS_STATE_PAUSED};

// Every command in every state, and the view each state shows.
TEST_F(RecordBar, StateTable) {
    OpenMainWindow();
    TypeFileName((dir / "s.wav").wstring());
    ExpectView(main, kStopped, "after start-up");

    Click(ID_RECORD_STOP);
    Click(ID_RECORD_PAUSE);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED)
        << "stop and pause do nothing when stopped";
    // The taskbar button follows: its overlay, and its thumbnail buttons as the toolbar's.
    const CTaskbarButton& taskbar = main->Taskbar();
    EXPECT_EQ(taskbar.Shown(), TaskbarView()) << "nothing while stopped";
    EXPECT_FALSE(taskbar.Attached()) << "until the taskbar says it made the button";
    Click(ID_RECORD_START);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING);
    ExpectView(main, kRecording, "recording");
    EXPECT_EQ(taskbar.Shown().mark, TaskbarView::RECORDING);
    const HWND group = GetDlgItem(main->m_pPreviewPage->GetSafeHwnd(), IDC_PREVIEW_GROUP);
    EXPECT_NE(WindowText(group).find(L"Simulated input"), std::wstring::npos)
        << "the input named while recording";
    EXPECT_TRUE(taskbar.Shown().pauseEnabled && taskbar.Shown().stopEnabled &&
                taskbar.Shown().markerEnabled && !taskbar.Shown().paused);
    // Its thumbnail buttons' commands: the first pauses and resumes.
    SendMessageW(main->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(ID_RECORD_PAUSE, THBN_CLICKED), 0);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_PAUSED);
    EXPECT_EQ(taskbar.Shown().mark, TaskbarView::PAUSED);
    EXPECT_TRUE(taskbar.Shown().paused && taskbar.Shown().pauseEnabled);
    SendMessageW(main->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(ID_RECORD_PAUSE, THBN_CLICKED), 0);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING);
    // A taskbar made anew (Explorer restarted) is given it all again, where there is one.
    SendMessageW(main->GetSafeHwnd(), CTaskbarButton::CreatedMessage(), 0, 0);
    EXPECT_TRUE(taskbar.Attached()) << "Wine's taskbar list answers";
    { // its images: 32-bit with alpha at the small icon size, each drawn, the background clear
        IMAGEINFO image = {};
        ASSERT_TRUE(ImageList_GetImageInfo(taskbar.Images(), 0, &image));
        EXPECT_EQ(image.rcImage.right - image.rcImage.left, GetSystemMetrics(SM_CXSMICON));
        BITMAP bits = {};
        GetObjectW(image.hbmImage, sizeof bits, &bits);
        EXPECT_EQ(bits.bmBitsPixel, 32);
        std::vector<uint32_t> pixels(size_t(bits.bmWidth) * bits.bmHeight);
        BITMAPINFO info = {};
        info.bmiHeader = {
            sizeof(BITMAPINFOHEADER), bits.bmWidth, -bits.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        const HDC screen = GetDC(nullptr);
        GetDIBits(screen, image.hbmImage, 0, UINT(bits.bmHeight), pixels.data(), &info,
                  DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        std::map<uint32_t, size_t> alphas;
        for (uint32_t pixel : pixels)
            ++alphas[pixel >> 24];
        EXPECT_EQ(pixels[0] >> 24, 0u);
        EXPECT_GT(alphas[255], 50u);
        EXPECT_EQ(alphas.size(), 2u) << "opaque or clear";
    }
    EXPECT_EQ(taskbar.Shown().mark, TaskbarView::RECORDING);
    Click(ID_RECORD_START);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING) << "start while recording does nothing";
    EXPECT_EQ(s_device->Calls(SimulatedWaveInput::OPEN), 1);

    Click(ID_RECORD_PAUSE);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_PAUSED);
    ExpectView(main, kPaused, "paused");
    Click(ID_RECORD_PAUSE);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_PAUSED) << "pause while paused does nothing";
    Click(ID_RECORD_START);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING) << "resume";
    EXPECT_EQ(s_device->Calls(SimulatedWaveInput::OPEN), 1) << "the same capture";

    // A muted input, 10 s of its sound: said in the state, without a box; the sound back, it
    // records again. A pause takes the warning back.
    s_device->SetMuted(true);
    EXPECT_TRUE(PumpUntil([&] { return StatusText(0) == LoadText(IDS_STATE_QUIET); }));
    EXPECT_TRUE(s_messages.empty());
    EXPECT_EQ(taskbar.Shown().mark, TaskbarView::QUIET);
    s_device->SetMuted(false);
    EXPECT_TRUE(PumpUntil([&] { return StatusText(0) == LoadText(IDS_STATE_RECORDING); }));
    EXPECT_EQ(taskbar.Shown().mark, TaskbarView::RECORDING);
    s_device->SetMuted(true);
    EXPECT_TRUE(PumpUntil([&] { return Bar()->IsQuiet(); }));
    Click(ID_RECORD_PAUSE);
    EXPECT_FALSE(Bar()->IsQuiet());
    EXPECT_EQ(StatusText(0), LoadText(IDS_STATE_PAUSED));
    s_device->SetMuted(false);
    Click(ID_RECORD_START);
    Click(ID_RECORD_STOP);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED);
    ExpectView(main, kStopped, "stopped");
    EXPECT_EQ(taskbar.Shown(), TaskbarView());
    EXPECT_EQ(WindowText(group).find(L"Simulated input"), std::wstring::npos);

    Click(ID_RECORD_START);
    Click(ID_RECORD_PAUSE);
    Click(ID_RECORD_STOP);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED) << "stop from paused";
    EXPECT_FALSE(g_pMainDlg->m_pWaveIn->IsOpen());
}

// Start, pause after 5 s, 10 s paused, resume, 2 s more: 7 s shown.
TEST_F(RecordBar, ElapsedTimeLeavesOutThePauses) {
    OpenMainWindow();
    TypeFileName((dir / "e.wav").wstring());
    auto tick = [&] {
        CRecordBar::ElapsedTimeProc(Bar()->GetSafeHwnd(), WM_TIMER, Bar()->m_nTimerId, 0);
    };
    Click(ID_RECORD_START);
    s_now += 1234;
    tick();
    EXPECT_EQ(StatusText(1), L"00:00:01:23");
    s_now += 5000 - 1234;
    Click(ID_RECORD_PAUSE);
    EXPECT_EQ(StatusText(1), L"00:00:05:00") << "exact at the pause, not the last tick";
    s_now += 10000;
    Click(ID_RECORD_START);
    s_now += 2000;
    tick();
    EXPECT_EQ(StatusText(1), L"00:00:07:00");
    s_now += 340;
    Click(ID_RECORD_STOP);
    EXPECT_EQ(StatusText(1), L"00:00:07:34") << "exact at the stop, and it stays";
    CRecordBar::ElapsedTimeProc(Bar()->GetSafeHwnd(), WM_TIMER, Bar()->m_nTimerId + 1, 0);
    EXPECT_EQ(StatusText(1), L"00:00:07:34") << "another timer is not ours";

    EXPECT_EQ(CRecordBar::FormatElapsed(3723456), L"01:02:03:45");
    EXPECT_EQ(CRecordBar::FormatElapsed(100u * 3600000), L"100:00:00:00");
    EXPECT_EQ(FormatDuration(3723456), L"1 時間 2 分 3 秒");
    EXPECT_EQ(FormatDuration(62999), L"1 分 2 秒");
    EXPECT_EQ(FormatDuration(999), L"0 秒");
    EXPECT_EQ(FormatDuration(3456, true), L"3.4 秒");
    // The clock wraps at 2^32 ms: the difference still counts right.
    s_now = 0xFFFFFF00u;
    TypeFileName((dir / "wrap.wav").wstring());
    Click(ID_RECORD_START);
    s_now = 0x100;
    tick();
    EXPECT_EQ(StatusText(1), L"00:00:00:51");
    Click(ID_RECORD_STOP);
}

TEST_F(RecordBar, Tooltips) {
    OpenMainWindow();
    const struct {
        int command;
        const wchar_t* text;
    } tips[] = {{ID_RECORD_START, L"録音開始"},
                {ID_RECORD_STOP, L"録音停止"},
                {ID_RECORD_PAUSE, L"録音一時停止"},
                {ID_FILE_NAME, L"ファイル名指定"},
                {ID_MARKER, L"マーカーを付ける"}};
    for (const auto& tip : tips) {
        NMTTDISPINFOW info = {};
        info.hdr = {Bar()->m_hToolbar, UINT_PTR(tip.command), UINT(TTN_NEEDTEXTW)};
        SendMessageW(Bar()->GetSafeHwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
        ASSERT_TRUE(IS_INTRESOURCE(info.lpszText)) << tip.command;
        EXPECT_EQ(LoadText(UINT(reinterpret_cast<UINT_PTR>(info.lpszText))), tip.text);
        EXPECT_EQ(info.hinst, GetModuleHandleW(nullptr));
    }
    NMTTDISPINFOW other = {};
    other.hdr = {Bar()->m_hToolbar, 12345, UINT(TTN_NEEDTEXTW)};
    SendMessageW(Bar()->GetSafeHwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&other));
    EXPECT_EQ(other.lpszText, nullptr) << "another id is left alone";
}

TEST_F(RecordBar, NamesThatCannotBeRecordedInto) {
    OpenMainWindow();
    TypeFileName(L"");
    Click(ID_RECORD_START);
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(Says(s_messages[0], IDS_NO_FILE_NAME));
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED);

    const std::vector<std::wstring> names = {L"NUL",
                                             L"nul.wav",
                                             (dir / "CON.wav").wstring(),
                                             (dir / "a?.wav").wstring(),
                                             (dir / "take.").wstring(),
                                             dir.Path().wstring() + L"\\x:y.wav"};
    for (const std::wstring& name : names) {
        s_messages.clear();
        TypeFileName(name);
        Click(ID_RECORD_START);
        EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED) << fs::path(name).string();
        ASSERT_EQ(s_messages.size(), 1u) << fs::path(name).string();
        EXPECT_TRUE(Says(s_messages[0], IDS_BAD_FILE_NAME));
    }
    EXPECT_EQ(s_device->Calls(SimulatedWaveInput::OPEN), 0);
}

TEST_F(RecordBar, BareNameLandsInTheCurrentFolder) {
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(dir.Path().c_str());
    OpenMainWindow();
    TypeFileName(L"bare.wav");
    Click(ID_RECORD_START);
    Click(ID_RECORD_STOP);
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(fs::exists(dir / "bare.wav"));
}

TEST_F(RecordBar, MissingFoldersAreCreated) {
    OpenMainWindow();
    const fs::path target = dir / "会議" / "2026" / "t.wav";
    TypeFileName(target.wstring());
    Click(ID_RECORD_START);
    Click(ID_RECORD_STOP);
    EXPECT_TRUE(fs::exists(target));
}

TEST_F(RecordBar, SequentialNamesAndTheWrap) {
    WriteSettings(
        "[TabPage2]\r\nCheckSeqRecFile=1\r\nCheckReqFileSubDir=1\r\nSeqRecFilePrefix=take\r\n"
        "SeqRecFileCount=999999\r\nSeqRecFileDir=" +
        dir.Path().string() + "\r\n");
    OpenMainWindow();
    s_messages.clear(); // (none expected at start-up)
    Click(ID_RECORD_START);
    ASSERT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING);
    const fs::path first = dir / "999K" / "take999999.wav";
    EXPECT_EQ(Bar()->m_strFileName, first.wstring());
    wchar_t field[MAX_PATH] = {};
    GetDlgItemTextW(Bar()->GetSafeHwnd(), IDC_FILE_NAME, field, MAX_PATH);
    EXPECT_EQ(field, first.wstring()) << "field 1012 shows the path in use";
    EXPECT_TRUE(s_messages.empty()) << "said in the window while it records";
    ASSERT_EQ(Notices().size(), 1u);
    EXPECT_TRUE(Says(Notices()[0], IDS_COUNTER_WRAPPED));
    EXPECT_EQ(Page()->m_nSeqRecFileCount, 0u);
    Click(ID_RECORD_STOP);
    Click(ID_RECORD_START);
    Click(ID_RECORD_STOP);
    EXPECT_TRUE(fs::exists(first));
    EXPECT_TRUE(fs::exists(dir / "000K" / "take000000.wav"));
    EXPECT_EQ(Page()->m_nSeqRecFileCount, 1u);

    // From 999999 again, with 000000 taken: the message names the number used.
    s_messages.clear();
    Page()->SetCounter(999999);
    Click(ID_RECORD_START);
    Click(ID_RECORD_STOP);
    EXPECT_TRUE(fs::exists(dir / "000K" / "take000001.wav"));
    EXPECT_TRUE(s_messages.empty());
    ASSERT_EQ(Notices().size(), 2u);
    EXPECT_TRUE(Says(Notices()[1], IDS_COUNTER_WRAPPED_TO, {L"000001"}));
}

TEST_F(RecordBar, SequentialNamingWithoutAFolder) {
    WriteSettings("[TabPage2]\r\nCheckSeqRecFile=1\r\nSeqRecFileCount=5\r\n");
    OpenMainWindow();
    Click(ID_RECORD_START);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED);
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(Says(s_messages[0], IDS_NO_FOLDER));
    EXPECT_EQ(Page()->m_nSeqRecFileCount, 5u);
}

// Enter and Escape typed into field 1012, through the real modal loop, reach the bar's own OK
// and Cancel, which do nothing: the main window is still open after them.
TEST_F(RecordBar, EnterAndEscapeInTheFieldDoNothing) {
    static CMainDlg* s_main;
    static bool s_openAfterKeys;
    s_openAfterKeys = false;
    main = s_main = new CMainDlg;
    g_pMainDlg = main;
    // Once the loop runs: the keys for the field, then, after them, a look and the close.
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR first, DWORD) {
        KillTimer(nullptr, first);
        HWND field = s_main->m_pRecordBar->m_editFileName;
        SetFocus(field);
        for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
            PostMessageW(field, WM_KEYDOWN, key, 0);
            PostMessageW(field, WM_KEYUP, key, 0);
        }
        SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR second, DWORD) {
            KillTimer(nullptr, second);
            s_openAfterKeys = IsWindowVisible(s_main->GetSafeHwnd()) != 0;
            PostMessageW(s_main->GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
        });
    });
    EXPECT_EQ(main->DoModal(nullptr), IDCANCEL);
    EXPECT_TRUE(s_openAfterKeys) << "Enter or Escape ended the main window";
    delete main;
    main = nullptr;
}

// What the recording meets by itself: an input that goes away is waited for; a disk that fills
// up stops it, the file complete, and says why; a pause the device refuses leaves it recording,
// and says so.
TEST_F(RecordBar, RecordingEndsByItself) {
    OpenMainWindow();
    // The input falls silent and cannot be opened again for a while (the window minimised
    // meanwhile): the recording waits for it with its own state, the clock running and Stop
    // enabled; back, it goes on, and at the stop the stretch without sound is said.
    const fs::path silent = dir / "silent.wav";
    TypeFileName(silent.wstring());
    Click(ID_RECORD_START);
    ASSERT_TRUE(PumpUntil([] { return s_device->FramesDelivered() >= 10 * 640; }));
    s_device->FailNext(SimulatedWaveInput::OPEN, MMSYSERR_NODRIVER);
    ASSERT_TRUE(SilenceAndSettle()); // no block on its way to move the silence's start
    s_now += kSilenceTimeoutMs + 1;
    EXPECT_TRUE(PumpUntil([&] { return StatusText(0) == LoadText(IDS_STATE_WAITING); }));
    ExpectView(main, {false, false, true, true, false, false, IDS_STATE_WAITING},
               "waiting for the input");
    EXPECT_EQ(SendMessageW(main->GetSafeHwnd(), WM_QUERYENDSESSION, 0, 0), FALSE)
        << "a recording waiting for its input holds the session's end";
    s_device->StopFailing(SimulatedWaveInput::OPEN);
    s_device->SetSilent(false);
    s_now += kReopenPeriodMs;
    EXPECT_TRUE(PumpUntil([&] { return StatusText(0) == LoadText(IDS_STATE_RECORDING); }));
    const uint64_t back = s_device->FramesDelivered();
    ASSERT_TRUE(PumpUntil([&] { return s_device->FramesDelivered() >= back + 10 * 640; }));
    s_now += 1000; // a second of sound after the stretch shows that it was one
    ASSERT_TRUE(PumpUntil([&] { return s_device->FramesDelivered() >= back + 20 * 640; }));
    Click(ID_RECORD_STOP);
    ExpectView(main, kStopped, "after the stop");
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(Says(s_messages[0], IDS_GAPS, {L"1", L"00:00:00"})) << "how many, where";
    EXPECT_TRUE(ReadWav(silent).IsComplete());

    // The disk fills up in the middle of a frame: the file, the reason and what was kept said.
    s_messages.clear();
    const fs::path full = dir / "full.wav";
    TypeFileName(full.wstring());
    TestDisk disk;
    disk.FillAt(46 + 25 * 2560 + 2);
    Click(ID_RECORD_START);
    EXPECT_TRUE(PumpUntil([&] { return main->m_pRecording->State() == RECORDING_STOPPED; }));
    ExpectView(main, kStopped, "after the disk filled up");
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(Says(s_messages[0], IDS_STOPPED_WRITE_FAILED,
                     {full.wstring(), FormatDuration(1000), SystemErrorText(kDiskFullError)}))
        << "the file, what was kept, the reason";
    EXPECT_EQ(main->m_statusBar.Describe(1).name, FirstSentence(s_messages[0]))
        << "heard, with why";
    EXPECT_NE(FirstSentence(s_messages[0]).find(full.wstring()), std::wstring::npos);
    EXPECT_EQ(ReadWav(full).dataSize, 25u * 2560);
    EXPECT_TRUE(ReadWav(full).IsComplete());

    // The device will not stop for a pause: it records on. (The computer about to sleep: what
    // was written reaches the disk at once.)
    disk.FillAt(UINT64_MAX);
    s_messages.clear();
    TypeFileName((dir / "pause.wav").wstring());
    Click(ID_RECORD_START);
    ASSERT_TRUE(PumpUntil([&] { return ReadWav(dir / "pause.wav").data.size() > 0; }));
    SendMessageW(main->GetSafeHwnd(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    EXPECT_TRUE(PumpUntil([&] { return disk.Flushes(dir / "pause.wav") > 0; }));
    s_device->FailNext(SimulatedWaveInput::STOP, MMSYSERR_NODRIVER);
    Click(ID_RECORD_PAUSE);
    ExpectView(main, kRecording, "after the refused pause");
    EXPECT_TRUE(s_messages.empty()) << "no box while it records";
    ASSERT_FALSE(Notices().empty());
    EXPECT_TRUE(Says(Notices().back(), IDS_PAUSE_FAILED, {DeviceErrorText(MMSYSERR_NODRIVER)}));
    s_device->StopFailing(SimulatedWaveInput::STOP);
    Click(ID_RECORD_STOP);
}

// The marker's key from anywhere: held while a recording runs or is paused, let go at its end;
// Windows' WM_HOTKEY places a marker, also while a dialog of the program holds the window
// (disabled), and the taskbar's stop button stops it then. Held by another program, it is said
// once in a run of the program (naming the key) in the window, and the recording goes on
// without it.
TEST_F(RecordBar, MarkerKeyFromAnywhere) {
    OpenMainWindow();
    TypeFileName((dir / "key.wav").wstring());
    const HWND window = main->GetSafeHwnd();
    EXPECT_FALSE(main->HoldsMarkerKey());
    Click(ID_RECORD_START);
    EXPECT_TRUE(main->HoldsMarkerKey());
    SendMessageW(window, WM_HOTKEY, CMainDlg::kMarkerHotKey,
                 MAKELPARAM(MOD_CONTROL | MOD_ALT | MOD_SHIFT, 'M'));
    EXPECT_EQ(main->m_pRecording->MarkerCount(), 1u);
    Click(ID_RECORD_PAUSE);
    EXPECT_TRUE(main->HoldsMarkerKey()) << "paused";
    EnableWindow(window, FALSE); // as under the About box
    SendMessageW(window, WM_HOTKEY, CMainDlg::kMarkerHotKey, 0);
    EXPECT_EQ(main->m_pRecording->MarkerCount(), 2u) << "a dialog open: marked all the same";
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(ID_RECORD_STOP, THBN_CLICKED), 0);
    EnableWindow(window, TRUE);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED) << "the taskbar's stop, a dialog open";
    EXPECT_FALSE(main->HoldsMarkerKey());
    SendMessageW(window, WM_HOTKEY, CMainDlg::kMarkerHotKey, 0);
    EXPECT_EQ(main->m_pRecording->MarkerCount(), 2u) << "nothing once stopped";

    ASSERT_TRUE(RegisterHotKey(nullptr, 7, MOD_CONTROL | MOD_ALT | MOD_SHIFT | MOD_NOREPEAT, 'M'));
    s_messages.clear();
    for (const char* name : {"taken1.wav", "taken2.wav"}) {
        TypeFileName((dir / name).wstring());
        Click(ID_RECORD_START);
        EXPECT_FALSE(main->HoldsMarkerKey());
        PumpUntil([&] { return !Notices().empty(); });
        EXPECT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING) << "it records on";
        Click(ID_RECORD_STOP);
    }
    UnregisterHotKey(nullptr, 7);
    EXPECT_TRUE(s_messages.empty()) << "no box: it records";
    ASSERT_EQ(Notices().size(), 1u) << "said once";
    EXPECT_NE(Notices()[0].find(L"Ctrl+Alt+Shift+M"), std::wstring::npos) << "the key named";
    EXPECT_TRUE(Says(Notices()[0], IDS_MARKER_KEY_TAKEN));
}

// The input is named while recording; a new default input, to which Windows moves the stream,
// is named in its place.
TEST_F(RecordBar, TheInputNamedAndFollowed) {
    OpenMainWindow();
    TypeFileName((dir / "input.wav").wstring());
    const HWND group = GetDlgItem(main->m_pPreviewPage->GetSafeHwnd(), IDC_PREVIEW_GROUP);
    const std::wstring caption = WindowText(group);
    Click(ID_RECORD_START);
    EXPECT_NE(WindowText(group).find(L"Simulated input"), std::wstring::npos);
    s_device->SetDefaultInput(L"Headset");
    s_now += kDefaultInputCheckMs;
    EXPECT_TRUE(
        PumpUntil([&] { return WindowText(group).find(L"Headset") != std::wstring::npos; }));
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING);
    EXPECT_EQ(s_device->Calls(SimulatedWaveInput::OPEN), 1) << "Windows moved the stream: kept";
    Click(ID_RECORD_STOP);
    EXPECT_EQ(WindowText(group), caption);
}

// An input chosen by its ID: not there at the start, the user is asked, naming it, whether to
// record Windows' default this time (No: nothing starts; Yes: the default, the choice kept);
// there, it is recorded and named by its name, and a new default input does not replace it.
TEST_F(RecordBar, TheChosenInputOrNone) {
    const std::wstring chosen = L"{0.0.1.00000000}.{3f1c2a10-6b7e-4d3a-9a51-2c9d0e7f4b21}";
    WriteSettings("[SoundProperty]\r\nInputDevice=" + std::string(chosen.begin(), chosen.end()) +
                  "\r\nInputDeviceName=USB Mic\r\n");
    OpenMainWindow();
    const HWND group = GetDlgItem(main->m_pPreviewPage->GetSafeHwnd(), IDC_PREVIEW_GROUP);
    s_device->SetAbsent(chosen, true);
    const fs::path file = dir / "chosen.wav";
    TypeFileName(file.wstring());
    Click(ID_RECORD_START);
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(Says(s_messages[0], IDS_SOURCE_ABSENT_ASK,
                     {L"USB Mic", LoadText(IDS_SOURCE_DEFAULT_INPUT)}));
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED) << "No: nothing starts";
    EXPECT_FALSE(fs::exists(file));

    s_answer = IDYES;
    s_messages.clear();
    Click(ID_RECORD_START);
    EXPECT_EQ(s_messages.size(), 1u);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING);
    EXPECT_EQ(s_device->LastSource(), CaptureSource()) << "Windows' default, this time";
    EXPECT_NE(WindowText(group).find(L"Simulated input"), std::wstring::npos);
    Click(ID_RECORD_STOP);
    EXPECT_EQ(Page()->m_strInputDevice, chosen) << "the choice kept";

    s_device->SetAbsent(chosen, false);
    s_messages.clear();
    TypeFileName((dir / "chosen 2.wav").wstring());
    Click(ID_RECORD_START);
    EXPECT_TRUE(s_messages.empty());
    EXPECT_EQ(s_device->LastSource().device, chosen);
    EXPECT_NE(WindowText(group).find(L"USB Mic"), std::wstring::npos) << "by the name it had";
    const int opens = s_device->Calls(SimulatedWaveInput::OPEN);
    s_device->SetDefaultInput(L"Headset");
    // One check's period, no more (a longer step would be a silence); the buffers given back
    // over two of the capture's rounds show that a check has come.
    s_now += kDefaultInputCheckMs;
    const int given = s_device->Calls(SimulatedWaveInput::ADD_BUFFER);
    EXPECT_TRUE(PumpUntil([&] {
        return s_device->Calls(SimulatedWaveInput::ADD_BUFFER) > given + kWaveInBufferCount;
    }));
    EXPECT_EQ(s_device->Calls(SimulatedWaveInput::OPEN), opens) << "never replaced";
    EXPECT_NE(WindowText(group).find(L"USB Mic"), std::wstring::npos);
    Click(ID_RECORD_STOP);
}

// While recording, the monitor's texts reach status-bar parts 2 and 3.
TEST_F(RecordBar, LevelsReachTheStatusBar) {
    OpenMainWindow();
    TypeFileName((dir / "levels.wav").wstring());
    Click(ID_RECORD_START);
    EXPECT_TRUE(PumpUntil([&] { return !StatusText(2).empty() && !StatusText(3).empty(); }));
    EXPECT_NE(StatusText(2), L"");
    EXPECT_NE(StatusText(3), L"") << "stereo by default";
    EXPECT_NE(StatusText(2).find(L"dB"), std::wstring::npos);
    Click(ID_RECORD_STOP);
    EXPECT_TRUE(PumpUntil([&] { return StatusText(2).empty() && StatusText(3).empty(); }));
}

} // namespace

namespace {

// The file of a typed name that was written last: "t.wav", "t (2).wav", ...
fs::path LastOfTyped(const fs::path& first) {
    fs::path last = first;
    for (int n = 2; fs::exists(first.parent_path() /
                               (first.stem().string() + " (" + std::to_string(n) + ").wav"));
         ++n)
        last = first.parent_path() / (first.stem().string() + " (" + std::to_string(n) + ").wav");
    return last;
}

} // namespace

// A stop after 8 s of recording, on the recording's clock: across seams, without the pause, and
// reached while the input is waited for. The line below the tabs shows the time left meanwhile;
// the last file holds the marker that says why, and the stop is said. Refused: a time of day
// already past, handed over as a second copy would.
TEST_F(RecordBar, StopTimeOnTheRecordingsClock) {
    OpenMainWindow();
    main->m_pRecording->SetFileSizeLimit(38 + 25 * 640 * 4);
    StopTime stop;
    stop.kind = StopTime::AFTER;
    stop.afterMs = 8000;
    main->SetStopTime(stop);
    const HWND info = GetDlgItem(main->GetSafeHwnd(), IDC_RECORD_INFO);
    EXPECT_NE(WindowText(info).find(L"0:00:08"), std::wstring::npos) << "for the next recording";
    const fs::path first = dir / "timed.wav";
    TypeFileName(first.wstring());
    Click(ID_RECORD_START);
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(dir / "timed (2).wav"); })) << "a seam";
    const HWND show = GetDlgItem(main->GetSafeHwnd(), IDC_OPEN_FOLDER);
    EXPECT_FALSE(IsWindowEnabled(show)) << "the file is shown once stopped";
    s_now += 2000;
    EXPECT_TRUE(PumpUntil([&] { return WindowText(info).find(L"0:00:06") != std::wstring::npos; }))
        << "6 s left";
    Click(ID_RECORD_PAUSE);
    s_now += 10000;
    Pump(1200); // a stop time's look while paused
    Click(ID_RECORD_START);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING) << "the pause did not count";
    // The input gives nothing: once the clock has run past the silence allowed after its last
    // block (whenever that came), it is given up and waited for, some 4 s into the recording.
    s_device->SetSilent(true);
    ASSERT_TRUE(PumpUntil([&] {
        s_now += 50;
        return main->m_pRecording->State() == RECORDING_WAITING;
    }));
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_RECORDING);
    EXPECT_LT(main->m_pRecording->SoundMs(s_now), 8000u);
    s_now += 4000;
    ASSERT_TRUE(PumpUntil([&] { return Bar()->State() == CRecordBar::STATE_STOPPED; }));
    ASSERT_TRUE(PumpUntil([&] { return main->m_pRecording->State() == RECORDING_STOPPED; }));
    EXPECT_EQ(main->m_statusBar.Describe(1).name, LoadText(IDS_SAID_TIMED_STOP)) << "said why";
    const WavFile last = ReadWav(LastOfTyped(first));
    ASSERT_TRUE(last.IsComplete());
    ASSERT_FALSE(last.cues.empty());
    EXPECT_EQ(last.cues.back().label.rfind("Timed stop 1 ", 0), 0u) << last.cues.back().label;
    EXPECT_FALSE(main->StopAt()) << "for one recording";
    EXPECT_TRUE(IsWindowEnabled(show));

    COPYDATASTRUCT data = {kCommandCopyData, 0, nullptr};
    const std::wstring past = L"/record \"/stop-at=2001-01-01T00:00\"";
    data.cbData = DWORD((past.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(past.c_str());
    EXPECT_EQ(SendMessageW(main->GetSafeHwnd(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)),
              kCommandAnswer + EXIT_REFUSED);
    EXPECT_EQ(Bar()->State(), CRecordBar::STATE_STOPPED);
    EXPECT_TRUE(s_messages.empty()) << "no box: the sender waits";
    ASSERT_FALSE(Notices().empty());
    EXPECT_TRUE(Says(Notices().back(), IDS_STOP_AT_PAST));
}
