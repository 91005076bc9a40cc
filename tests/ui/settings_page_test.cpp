// The settings page and the sound format dialog.
#include "res/resource.h"
#include "tests/ui/ui_fixture.h"
#include "ui/framework/ui_text.h"
#include "ui/shell/system_program.h"
#include "ui/windows/sound_format_dlg.h"
#include "ui/windows/source_dlg.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

namespace fs = std::filesystem;

namespace {

using SettingsPage = UiFixture;

std::wstring Text(HWND dialog, int id) {
    wchar_t text[MAX_PATH] = {};
    GetDlgItemTextW(dialog, id, text, MAX_PATH);
    return text;
}

bool Checked(HWND dialog, int id) {
    return IsDlgButtonChecked(dialog, id) == BST_CHECKED;
}

// A click on a check box: the box changes, then its parent hears of it.
void ClickCheck(HWND dialog, int id) {
    CheckDlgButton(dialog, id, Checked(dialog, id) ? BST_UNCHECKED : BST_CHECKED);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

const int kNamingControls[] = {IDC_SEQ_FOLDER,     IDC_SEQ_BROWSE, IDC_SEQ_PREFIX,
                               IDC_SEQ_SUBFOLDERS, IDC_SEQ_COUNT,  IDC_SEQ_COUNT_SPIN};

TEST_F(SettingsPage, SequentialNamingSwitchesTheControls) {
    OpenMainWindow();
    SelectTab(1);
    HWND page = Page()->GetSafeHwnd();
    for (int id : kNamingControls)
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, id))) << "control " << id << " while off";
    for (int id : {IDC_SEQ_ENABLE, IDC_RECORDING_SOURCE, IDC_SOUND_FORMAT})
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, id))) << "control " << id << " always";
    EXPECT_TRUE(IsWindowEnabled(Bar()->m_editFileName));
    EXPECT_TRUE(ToolbarEnabled(ID_FILE_NAME));

    ClickCheck(page, IDC_SEQ_ENABLE);
    EXPECT_EQ(Page()->m_bCheckSeqRecFile, 1);
    for (int id : kNamingControls)
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, id))) << "control " << id << " while on";
    EXPECT_FALSE(IsWindowEnabled(Bar()->m_editFileName));
    EXPECT_FALSE(ToolbarEnabled(ID_FILE_NAME));

    ClickCheck(page, IDC_SEQ_ENABLE);
    EXPECT_TRUE(IsWindowEnabled(Bar()->m_editFileName));
    EXPECT_TRUE(ToolbarEnabled(ID_FILE_NAME));
}

// A counter that is not a number: the message, the check box back as it was, the field back
// to the last good counter. Out of range: the range message, and the field keeps the number.
TEST_F(SettingsPage, InvalidCounterWhenTheCheckBoxIsClicked) {
    WriteSettings("[TabPage2]\r\nSeqRecFileCount=12\r\n");
    OpenMainWindow();
    SelectTab(1);
    HWND page = Page()->GetSafeHwnd();
    SetDlgItemTextW(page, IDC_SEQ_COUNT, L"abc");
    ClickCheck(page, IDC_SEQ_ENABLE);
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(Says(s_messages[0], IDS_DDX_UNSIGNED));
    EXPECT_FALSE(Checked(page, IDC_SEQ_ENABLE)) << "the new state is not read";
    EXPECT_EQ(Text(page, IDC_SEQ_COUNT), L"12");

    s_messages.clear();
    SetDlgItemTextW(page, IDC_SEQ_COUNT, L"1000000");
    ClickCheck(page, IDC_SEQ_ENABLE);
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(Says(s_messages[0], IDS_DDX_RANGE, {L"0", L"999999"}));
    EXPECT_FALSE(Checked(page, IDC_SEQ_ENABLE));
    EXPECT_EQ(Text(page, IDC_SEQ_COUNT), L"1000000");

    // Switching naming off always works, whatever its fields hold, and so does leaving the tab:
    // nothing unused is checked.
    s_messages.clear();
    SetDlgItemTextW(page, IDC_SEQ_COUNT, L"7");
    ClickCheck(page, IDC_SEQ_ENABLE);
    for (const wchar_t* count : {L"abc", L"1000000"}) {
        SetDlgItemTextW(page, IDC_SEQ_PREFIX, L"10:30-");
        SetDlgItemTextW(page, IDC_SEQ_COUNT, count);
        ClickCheck(page, IDC_SEQ_ENABLE);
        EXPECT_FALSE(Checked(page, IDC_SEQ_ENABLE));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_SEQ_PREFIX)));
        SelectTab(0);
        EXPECT_EQ(SendMessageW(main->m_tabCtrl, TCM_GETCURSEL, 0, 0), 0);
        EXPECT_TRUE(s_messages.empty()) << fs::path(s_messages.empty() ? L"" : s_messages[0]);
        EXPECT_EQ(Page()->m_nSeqRecFileCount, 7u);
        SelectTab(1);
        SetDlgItemTextW(page, IDC_SEQ_PREFIX, L"");
        ClickCheck(page, IDC_SEQ_ENABLE);
    }
}

// A counter outside the range in the settings file reads as 0, with nothing shown at start-up;
// the numbers already taken are then skipped.
TEST_F(SettingsPage, CounterOutsideTheRangeFromTheFileIsZero) {
    WriteSettings(
        "[TabPage2]\r\nCheckSeqRecFile=1\r\nSeqRecFilePrefix=t\r\nSeqRecFileCount=1234567\r\n"
        "SeqRecFileDir=" +
        dir.Path().string() + "\r\n");
    WriteFileBytes(dir / "t000000.wav", {1, 2, 3});
    OpenMainWindow();
    EXPECT_TRUE(s_messages.empty()) << "nothing before the main window";
    EXPECT_EQ(Page()->m_nSeqRecFileCount, 0u);
    Click(ID_RECORD_START);
    Click(ID_RECORD_STOP);
    EXPECT_TRUE(fs::exists(dir / "t000001.wav"));
    EXPECT_EQ(ReadFileBytes(dir / "t000000.wav"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Page()->m_nSeqRecFileCount, 2u);
    EXPECT_TRUE(s_messages.empty());
}

TEST_F(SettingsPage, UpDownStepsByOneWithinTheRange) {
    OpenMainWindow();
    SelectTab(1);
    HWND page = Page()->GetSafeHwnd();
    ClickCheck(page, IDC_SEQ_ENABLE);
    HWND spin = GetDlgItem(page, IDC_SEQ_COUNT_SPIN);
    int low = -1, high = -1;
    SendMessageW(spin, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                 reinterpret_cast<LPARAM>(&high));
    EXPECT_EQ(low, 0);
    EXPECT_EQ(high, 999999);
    HWND field = GetDlgItem(page, IDC_SEQ_COUNT);
    auto key = [&](WPARAM vk) {
        SendMessageW(field, WM_KEYDOWN, vk, 0);
        SendMessageW(field, WM_KEYUP, vk, 0);
    };
    SendMessageW(spin, UDM_SETPOS32, 0, 999998);
    key(VK_UP);
    EXPECT_EQ(Text(page, IDC_SEQ_COUNT), L"999999");
    key(VK_UP);
    EXPECT_EQ(Text(page, IDC_SEQ_COUNT), L"999999") << "no wrap at the top";
    SendMessageW(spin, UDM_SETPOS32, 0, 1);
    key(VK_DOWN);
    EXPECT_EQ(Text(page, IDC_SEQ_COUNT), L"0");
    key(VK_DOWN);
    EXPECT_EQ(Text(page, IDC_SEQ_COUNT), L"0") << "no wrap at the bottom";
    SendMessageW(spin, UDM_SETPOS32, 0, 12344);
    key(VK_UP);
    EXPECT_EQ(Text(page, IDC_SEQ_COUNT), L"12345") << "no thousands separator";
}

// The sound format dialog, run modeless here so the test can look at it.
class SoundFormat : public UiFixture {
protected:
    HWND Open() {
        CRecordBar& bar = *Bar();
        dialog = std::make_unique<CSoundFormatDlg>(
            SoundFormatFields{bar.m_nSamplingChannel, bar.m_nSamplingRate, bar.m_nSampleType});
        EXPECT_TRUE(dialog->Create(main->GetSafeHwnd()));
        return dialog->GetSafeHwnd();
    }
    static std::wstring Selected(HWND list) {
        const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
        if (index < 0)
            return L"(none)";
        wchar_t text[64] = {};
        SendMessageW(list, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(text));
        return text;
    }
    void Choose(HWND list, const wchar_t* text) {
        SendMessageW(list, CB_SETCURSEL,
                     SendMessageW(list, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(text)), 0);
    }
    std::unique_ptr<CSoundFormatDlg> dialog;
};

TEST_F(SoundFormat, ShowsTheFormatAndStoresTheChoice) {
    OpenMainWindow();
    HWND d = Open();
    EXPECT_TRUE(Checked(d, IDC_STEREO));
    EXPECT_FALSE(Checked(d, IDC_MONO));
    EXPECT_EQ(Selected(GetDlgItem(d, IDC_SAMPLE_TYPE)), L"16bit PCM");
    EXPECT_EQ(Selected(GetDlgItem(d, IDC_RATE)), L"16000Hz");
    EXPECT_EQ(SendMessageW(GetDlgItem(d, IDC_RATE), CB_GETCOUNT, 0, 0), 9);
    EXPECT_EQ(SendMessageW(GetDlgItem(d, IDC_SAMPLE_TYPE), CB_GETCOUNT, 0, 0), 4);
    Choose(GetDlgItem(d, IDC_RATE), L"48000Hz");
    Command(d, IDOK);
    EXPECT_EQ(Bar()->m_nSamplingRate, 48000);
    EXPECT_FALSE(IsWindow(d));

    d = Open();
    EXPECT_EQ(Selected(GetDlgItem(d, IDC_RATE)), L"48000Hz");
    Choose(GetDlgItem(d, IDC_RATE), L" 8000Hz");
    Choose(GetDlgItem(d, IDC_SAMPLE_TYPE), L"G.711 A-Law");
    CheckRadioButton(d, IDC_MONO, IDC_STEREO, IDC_MONO);
    Command(d, IDOK);
    EXPECT_EQ(Bar()->m_nSamplingChannel, 1);
    EXPECT_EQ(Bar()->m_nSampleType, 3);
    EXPECT_EQ(Bar()->m_nSamplingRate, 8000);
}

TEST_F(SoundFormat, CancelChangesNothing) {
    OpenMainWindow();
    HWND d = Open();
    Choose(GetDlgItem(d, IDC_RATE), L"44100Hz");
    Choose(GetDlgItem(d, IDC_SAMPLE_TYPE), L"8bit PCM");
    CheckRadioButton(d, IDC_MONO, IDC_STEREO, IDC_MONO);
    Command(d, IDCANCEL);
    EXPECT_EQ(Bar()->m_nSamplingChannel, 2);
    EXPECT_EQ(Bar()->m_nSampleType, 1);
    EXPECT_EQ(Bar()->m_nSamplingRate, 16000);
}

// A format value outside the lists (a hand-edited file) leaves its control without a selection;
// OK then keeps the previous value instead of storing one no recording can use.
TEST_F(SoundFormat, ValuesOutsideTheListsAreKept) {
    OpenMainWindow();
    Bar()->m_nSamplingRate = 7000;
    Bar()->m_nSampleType = 9;
    Bar()->m_nSamplingChannel = 5;
    HWND d = Open();
    EXPECT_EQ(Selected(GetDlgItem(d, IDC_RATE)), L"(none)");
    EXPECT_EQ(Selected(GetDlgItem(d, IDC_SAMPLE_TYPE)), L"(none)");
    EXPECT_FALSE(Checked(d, IDC_MONO));
    EXPECT_FALSE(Checked(d, IDC_STEREO));
    Command(d, IDOK);
    EXPECT_EQ(Bar()->m_nSamplingRate, 7000);
    EXPECT_EQ(Bar()->m_nSampleType, 9);
    EXPECT_EQ(Bar()->m_nSamplingChannel, 5);
    Bar()->m_nSamplingRate = 16000;
    Bar()->m_nSampleType = 1;
    Bar()->m_nSamplingChannel = 2;
}

// The source dialog, run modeless here so the test can look at it, over the devices given.
class SourceDialog : public UiFixture {
protected:
    HWND Open() {
        CSettingsPage& page = *Page();
        dialog = std::make_unique<CSourceDlg>(
            SourceFields{page.m_nSource, page.m_strInputDevice, page.m_strInputDeviceName,
                         page.m_strOutputDevice, page.m_strOutputDeviceName},
            std::vector<AudioEndpoint>{{L"{in-usb}", L"マイク (USB Audio Device)"},
                                       {L"{in-line}", L"ライン入力 (USB Audio Device)"}},
            std::vector<AudioEndpoint>{{L"{out-speakers}", L"スピーカー (Realtek Audio)"}});
        EXPECT_TRUE(dialog->Create(main->GetSafeHwnd()));
        return dialog->GetSafeHwnd();
    }
    static std::vector<std::wstring> Entries(HWND list) {
        std::vector<std::wstring> entries;
        for (LRESULT i = 0; i < SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[256] = {};
            SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
            entries.push_back(text);
        }
        return entries;
    }
    // A click on an entry: the list changes, then the dialog hears of it.
    static void Choose(HWND d, int list, int index) {
        SendDlgItemMessageW(d, list, LB_SETCURSEL, WPARAM(index), 0);
        SendMessageW(d, WM_COMMAND, MAKEWPARAM(list, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(d, list)));
    }
    std::unique_ptr<CSourceDlg> dialog;
};

// Windows' defaults first, then every device by its name; a device chosen in a list chooses its
// kind (both sides stay both); OK keeps the device of each kind, Cancel nothing; a chosen device
// not plugged in stays listed, said so, and chosen; Windows' own settings open on the tab of the
// kind chosen.
TEST_F(SourceDialog, ListsChoosesAndKeeps) {
    OpenMainWindow();
    HWND d = Open();
    EXPECT_EQ(Entries(GetDlgItem(d, IDC_SOURCE_INPUTS)),
              (std::vector<std::wstring>{
                  LoadText(IDS_SOURCE_DEFAULT_INPUT), LoadText(IDS_SOURCE_COMMUNICATIONS_INPUT),
                  L"マイク (USB Audio Device)", L"ライン入力 (USB Audio Device)"}));
    EXPECT_EQ(Entries(GetDlgItem(d, IDC_SOURCE_OUTPUTS)),
              (std::vector<std::wstring>{LoadText(IDS_SOURCE_DEFAULT_OUTPUT),
                                         L"スピーカー (Realtek Audio)"}));
    EXPECT_TRUE(Checked(d, IDC_SOURCE_INPUT));
    EXPECT_EQ(SendDlgItemMessageW(d, IDC_SOURCE_INPUTS, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(SendDlgItemMessageW(d, IDC_SOURCE_OUTPUTS, LB_GETCURSEL, 0, 0), 0);

    Choose(d, IDC_SOURCE_INPUTS, 3);
    Choose(d, IDC_SOURCE_OUTPUTS, 1);
    EXPECT_TRUE(Checked(d, IDC_SOURCE_PLAYBACK)) << "the kind follows the list";
    Command(d, IDOK);
    EXPECT_EQ(Page()->m_nSource, 1);
    EXPECT_EQ(Page()->m_strOutputDevice, L"{out-speakers}");
    EXPECT_EQ(Page()->m_strOutputDeviceName, L"スピーカー (Realtek Audio)");
    EXPECT_EQ(Page()->m_strInputDevice, L"{in-line}") << "each kind keeps its device";
    const std::wstring name = Page()->SourceName(Page()->Source());
    EXPECT_TRUE(Says(name, IDS_SOURCE_PLAYBACK, {L"スピーカー (Realtek Audio)"}));

    // The settings file keeps the choice across a restart.
    CloseMainWindow();
    OpenMainWindow();
    EXPECT_EQ(Page()->m_nSource, 1);
    EXPECT_EQ(Page()->m_strInputDeviceName, L"ライン入力 (USB Audio Device)");
    EXPECT_EQ(Page()->Source().device, L"{out-speakers}");

    Page()->m_strInputDevice = L"{in-unplugged}";
    Page()->m_strInputDeviceName = L"ヘッドセット";
    d = Open();
    const std::vector<std::wstring> inputs = Entries(GetDlgItem(d, IDC_SOURCE_INPUTS));
    ASSERT_EQ(inputs.size(), 5u);
    EXPECT_TRUE(Says(inputs[4], IDS_SOURCE_AWAY, {L"ヘッドセット"}));
    EXPECT_EQ(SendDlgItemMessageW(d, IDC_SOURCE_INPUTS, LB_GETCURSEL, 0, 0), 4);
    Choose(d, IDC_SOURCE_INPUTS, 1);
    Command(d, IDCANCEL);
    EXPECT_EQ(Page()->m_strInputDevice, L"{in-unplugged}") << "Cancel changes nothing";
    EXPECT_EQ(Page()->m_nSource, 1);
    d = Open();
    Choose(d, IDC_SOURCE_INPUTS, 4);
    Command(d, IDOK);
    EXPECT_EQ(Page()->m_nSource, 0);
    EXPECT_EQ(Page()->m_strInputDevice, L"{in-unplugged}");
    EXPECT_EQ(Page()->m_strInputDeviceName, L"ヘッドセット") << "kept while away";

    // Both sides of a call: one device of each list, the kind kept while they are chosen, the
    // note on headphones shown, the two named.
    d = Open();
    const HWND note = GetDlgItem(d, IDC_SOURCE_BOTH_NOTE);
    EXPECT_FALSE(GetWindowLongW(note, GWL_STYLE) & WS_VISIBLE);
    CheckRadioButton(d, IDC_SOURCE_INPUT, IDC_SOURCE_BOTH, IDC_SOURCE_BOTH);
    Command(d, IDC_SOURCE_BOTH);
    EXPECT_TRUE(GetWindowLongW(note, GWL_STYLE) & WS_VISIBLE);
    Choose(d, IDC_SOURCE_INPUTS, 2);
    Choose(d, IDC_SOURCE_OUTPUTS, 1);
    Command(d, IDOK);
    const CaptureSource both = Page()->Source();
    EXPECT_EQ(both, (CaptureSource{SOURCE_BOTH, L"{in-usb}", L"{out-speakers}"}));
    EXPECT_TRUE(Says(Page()->SourceName(both), IDS_SOURCE_BOTH,
                     {L"マイク (USB Audio Device)", L"スピーカー (Realtek Audio)"}));

    // Windows' own panel, by control.exe's full path, on the Playback tab; a failure said.
    static std::wstring s_line;
    SetProgramStarter([](const std::wstring&, const std::wstring& line) {
        s_line = line;
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    });
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    d = Open();
    s_messages.clear();
    CheckRadioButton(d, IDC_SOURCE_INPUT, IDC_SOURCE_PLAYBACK, IDC_SOURCE_PLAYBACK);
    Command(d, IDC_SOURCE_SYSTEM);
    EXPECT_EQ(s_line, L"\"" + std::wstring(system) + L"\\control.exe\" mmsys.cpl,,0");
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(Says(s_messages[0], IDS_SOURCE_SETTINGS_FAILED));
    SetProgramStarter(nullptr);
    Command(d, IDCANCEL);
}

// What the settings file holds of the source that names nothing is said once the window stands,
// with the keys, and the default is recorded.
TEST_F(SourceDialog, DamagedSourceSaidAtStart) {
    WriteSettings("[SoundProperty]\r\nSource=7\r\nInputDevice={0.0.1.00000000}.{\x01}\r\n");
    OpenMainWindow();
    ASSERT_EQ(s_messages.size(), 1u);
    EXPECT_TRUE(Says(s_messages[0], IDS_SOURCE_DAMAGED,
                     {L"Source", L"InputDevice", LoadText(IDS_SOURCE_DEFAULT_INPUT)}));
    EXPECT_EQ(Page()->Source(), CaptureSource());
}

} // namespace

namespace {

// The folder browser opens with COM initialised for the window thread, and OK returns the
// folder chosen in it into the field.
TEST_F(SettingsPage, FolderBrowserReturnsAFolder) {
    OpenMainWindow();
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    EXPECT_EQ(com, S_FALSE) << "COM is initialised already by the main window";
    if (SUCCEEDED(com))
        CoUninitialize();
    const fs::path folder = dir / "会議";
    fs::create_directory(folder);
    SelectTab(1);
    HWND page = Page()->GetSafeHwnd();
    ClickCheck(page, IDC_SEQ_ENABLE);
    SetDlgItemTextW(page, IDC_SEQ_FOLDER, folder.wstring().c_str());
    static bool s_browserSeen;
    s_browserSeen = false;
    // Once the browser is up: the folder chosen in it, then OK.
    static int s_ticks;
    static std::wstring s_folder;
    s_ticks = 0;
    s_folder = folder.wstring();
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR timer, DWORD) {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM) -> BOOL {
                wchar_t name[16] = {};
                GetClassNameW(window, name, 16);
                if (window == g_pMainDlg->GetSafeHwnd() || lstrcmpW(name, L"#32770") != 0 ||
                    !IsWindowVisible(window))
                    return TRUE;
                if (++s_ticks == 5)
                    SendMessageW(window, BFFM_SETSELECTIONW, TRUE,
                                 reinterpret_cast<LPARAM>(s_folder.c_str()));
                if (s_ticks < 8)
                    return FALSE;
                s_browserSeen = true;
                PostMessageW(window, WM_COMMAND, IDOK, 0);
                return FALSE;
            },
            0);
        if (s_browserSeen)
            KillTimer(nullptr, timer);
    });
    Command(page, IDC_SEQ_BROWSE);
    EXPECT_TRUE(s_browserSeen);
    EXPECT_EQ(Page()->m_strSeqRecFileDir, folder.wstring());
    EXPECT_EQ(Text(page, IDC_SEQ_FOLDER), folder.wstring());
}

} // namespace
