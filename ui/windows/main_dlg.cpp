#include "ui/windows/main_dlg.h"

#include "app/settings.h"
#include "capture/source_wave_input.h"
#include "capture/wave_in.h"
#include "engine/clock.h"
#include "engine/system_library.h"
#include "engine/wave_layout.h"
#include "engine/win32_handles.h"
#include "monitor/win_monitor_host.h"
#include "recording/recording_policy.h"
#include "res/resource.h"
#include "ui/access/accessibility.h"
#include "ui/access/tab_accessible.h"
#include "ui/framework/dpi.h"
#include "ui/framework/ui_text.h"
#include "ui/shell/input_name.h"
#include "ui/shell/log_file.h"
#include "ui/windows/about_dlg.h"
#include "ui/windows/preview_page.h"
#include "ui/windows/record_bar.h"
#include "ui/windows/recording_texts.h"
#include "ui/windows/settings_page.h"
#include "ui/windows/stop_time_dlg.h"

#include <algorithm>
#include <commctrl.h>
#include <cwchar>
#include <ole2.h>
#include <shlobj.h>
#include <uxtheme.h>

CMainDlg* g_pMainDlg = nullptr;

namespace {

// GUID_CONSOLE_DISPLAY_STATE: the display on, off or dimmed.
const GUID kConsoleDisplayState = {
    0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};

// The keyboard's repeat settings size the time rule for the commands that come without a key.
void FollowKeyboard(PressRule& rule) {
    int delay = 3;
    DWORD speed = 0;
    SystemParametersInfoW(SPI_GETKEYBOARDDELAY, 0, &delay, 0); // 0..3: 250..1000 ms
    SystemParametersInfoW(SPI_GETKEYBOARDSPEED, 0, &speed, 0); // 0..31: about 2.5..30 a second
    rule.SetKeyboard(250 * (uint32_t(std::clamp(delay, 0, 3)) + 1),
                     uint32_t(1000 / (2.5 + std::min<DWORD>(speed, 31) * 27.5 / 31)));
}

WaveInputFactory g_waveInputFactory = MakeSystemWaveInput;

// The line of the stop time and the drive, refreshed every second while recording (nothing moves
// on it otherwise); the stop time's own timer.
constexpr UINT_PTR kInfoTimer = 4;
constexpr UINT kInfoPeriodMs = 1000;
constexpr UINT_PTR kStopTimer = 5;
constexpr UINT_PTR kExitTimer = 6;
// Mail whose posted message the system refused is taken within a second.
constexpr UINT_PTR kMailTimer = 7;
constexpr UINT kMailPeriodMs = 1000;

void InsertTab(HWND tabs, int index, std::wstring text) {
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = &text[0];
    SendMessageW(tabs, TCM_INSERTITEMW, WPARAM(index), reinterpret_cast<LPARAM>(&item));
}

} // namespace

void SetWaveInputFactory(WaveInputFactory factory) {
    g_waveInputFactory = factory ? factory : MakeSystemWaveInput;
}

OleApartment::OleApartment() : m_initialised(SUCCEEDED(OleInitialize(nullptr))) {}

OleApartment::~OleApartment() {
    if (m_initialised)
        OleUninitialize();
}

CMainDlg::CMainDlg(CommandLine command)
    : CDialog(IDD_SONARIX_DIALOG), m_command(std::move(command)), m_quietRun(!m_command.Empty()) {
    SetMessagesQuiet(false);
    m_hIcon =
        static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                      IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

CMainDlg::~CMainDlg() {
    Finish(kCompletionWaitMs);
    Release();
}

bool CMainDlg::SaveCounter(uint32_t count) {
    uint32_t error = 0;
    const bool ok = SaveSequenceCounterFile(SettingsFilePath(), int32_t(count), &error);
    SettingsWritten(ok, error);
    return ok;
}

// Full paths are noted, so that a typed relative name is found again from any folder.
bool CMainDlg::NoteFiles(const std::vector<NotedFile>& files) {
    std::vector<NotedFile> full = files;
    for (NotedFile& file : full) {
        wchar_t path[MAX_PATH];
        const DWORD length = GetFullPathNameW(file.path.c_str(), MAX_PATH, path, nullptr);
        if (length > 0 && length < MAX_PATH)
            file.path.assign(path, length);
    }
    uint32_t error = 0;
    const bool ok = NoteRecordingInProgressFile(SettingsFilePath(), full, &error);
    SettingsWritten(ok, error);
    return ok;
}

std::vector<NotedFile> CMainDlg::NotedFiles() {
    return RecordingInProgressFile(SettingsFilePath());
}

std::vector<std::wstring> CMainDlg::ToldFiles() {
    return AbsentFilesToldFile(SettingsFilePath());
}

bool CMainDlg::NoteToldFiles(const std::vector<std::wstring>& files) {
    return NoteAbsentFilesToldFile(SettingsFilePath(), files);
}

// While the window runs, the message waits for the handler at hand to end (a start first shows
// the Recording state and starts the clock); at shutdown the recording has ended already.
void CMainDlg::SettingsWritten(bool ok, uint32_t error) {
    if (ok || m_settingsFailureShown)
        return;
    m_settingsFailureShown = true;
    if (MessagesQuiet())
        return;
    if (m_finished)
        ShowSettingsNotSaved(error);
    else
        m_mail.Post([this, error] { ShowSettingsNotSaved(error); });
}

void CMainDlg::ShowSettingsNotSaved(uint32_t error) {
    Tell(FormatText(IDS_SETTINGS_NOT_SAVED, {SettingsFilePath(), SystemErrorText(error)}));
}

// The notice is also the log's: whoever finds the window (or the log) later reads what happened.
void CMainDlg::Tell(const std::wstring& text) {
    if (text.empty())
        return;
    if (!IsRecording() && !m_quietRun) {
        ShowMessage(m_hWnd, text);
        return;
    }
    m_notices.Add(text);
    AppendToLog(SettingsFilePath(), text);
    if (!IsRecording())
        m_lastToldStartFailure = text;
}

bool CMainDlg::Ask(const std::wstring& text) {
    if (!m_quietRun)
        return AskYesNo(m_hWnd, text);
    Tell(text);
    return false;
}

void CMainDlg::OnRecordingReports() {
    if (!m_pRecordBar || !m_pRecording)
        return;
    const std::vector<RecordingReport> reports = m_pRecording->TakeReports();
    for (const RecordingReport& report : reports) {
        if (report.kind == RecordingReport::INTERRUPTED_READY)
            FinishInterruptedRecordings();
        if (report.kind == RecordingReport::ENDED && m_exitWhenStopped)
            m_exitCode = EXIT_REFUSED; // it could not go on: the log says why
    }
    m_pRecordBar->OnRecordingReports(reports);
}

SoundFormatFields CMainDlg::Format() {
    return {m_pRecordBar->m_nSamplingChannel, m_pRecordBar->m_nSamplingRate,
            m_pRecordBar->m_nSampleType};
}

namespace {

TaskbarView ForTaskbar(const RecordingView& view) {
    TaskbarView shown;
    if (!view.Active())
        return shown;
    shown.paused = view.Paused();
    shown.mark = view.mark == RecordingView::PAUSED    ? TaskbarView::PAUSED
                 : view.mark == RecordingView::WAITING ? TaskbarView::WAITING
                 : view.mark == RecordingView::QUIET   ? TaskbarView::QUIET
                                                       : TaskbarView::RECORDING;
    shown.pauseEnabled = shown.paused ? view.start : view.pause;
    shown.stopEnabled = view.stop;
    shown.markerEnabled = view.marker;
    return shown;
}

} // namespace

void CMainDlg::FollowView(const RecordingView& view) {
    const bool recording = view.Active();
    if (recording) {
        m_wasRecording = true;
        m_lastFile = m_pRecording->CurrentFile();
    } else if (m_wasRecording) {
        m_wasRecording = false;
        m_stopTime = StopTime(); // for one recording
        if (m_exitWhenStopped)
            m_mail.Post([this] { OnExitDue(); });
    }
    EnableWindow(m_tabCtrl, view.tabs);
    EnableWindow(GetDlgItem(IDC_OPEN_FOLDER), !recording && !m_lastFile.empty());
    if (recording)
        SetTimer(m_hWnd, kInfoTimer, kInfoPeriodMs, nullptr);
    else
        KillTimer(m_hWnd, kInfoTimer);
    FollowStopTime();
    ShowRecordInfo();
    if (m_system)
        TellSystem(m_system->Follow(view));
    m_taskbar.Show(ForTaskbar(view));
    FollowInput();
}

// The display kept on is said at once; a key another program holds once the start is done.
void CMainDlg::TellSystem(const CSystemFollower::Said& said) {
    if (said.displayKeptOn)
        Tell(LoadText(IDS_AWAKE_DISPLAY));
    if (said.keyTaken)
        m_mail.Post([this] { Tell(LoadText(IDS_MARKER_KEY_TAKEN)); });
}

// The device by the name Windows shows for it now; a chosen one Windows does not know (never
// plugged in here) by the name it had when it was chosen. What the computer plays, as such; both
// sides of a call by the microphone's name, with the computer's playback.
void CMainDlg::FollowInput() {
    const std::wstring id = IsRecording() ? m_pRecording->Input() : std::wstring();
    if (id == m_inputId || !m_pPreviewPage || !m_pSettingsPage)
        return;
    m_inputId = id;
    const CaptureSource& source = m_pRecording->Source();
    const CaptureSource device = source.kind == SOURCE_BOTH ? source.Input() : source;
    std::wstring name = InputDisplayName(id);
    if (!id.empty() && name == id && id == device.device)
        name = m_pSettingsPage->DeviceName(device);
    if (!name.empty() && source.kind == SOURCE_PLAYBACK)
        name = FormatText(IDS_SOURCE_PLAYBACK, {name});
    else if (!name.empty() && source.kind == SOURCE_BOTH) // the output's on the settings tab
        name = FormatText(IDS_INPUT_BOTH, {name});
    const bool followed = !m_inputShown.empty() && !name.empty() && name != m_inputShown;
    m_inputShown = name;
    m_pPreviewPage->ShowInput(name);
    if (followed)
        Announce(FormatText(IDS_SAID_INPUT, {name}));
}

// Each noted file is completed, or found complete, gone, not ours or without sound (removed, its
// number given back), and leaves the note; one that another copy of the program records, or that
// cannot be completed now, stays noted. The user hears of each such file once.
void CMainDlg::FinishInterruptedRecordings() {
    if (!m_pRecording || !m_pSettingsPage)
        return;
    SequentialNaming naming = m_pSettingsPage->Naming();
    const uint32_t counter = naming.count;
    const std::vector<RecordingReport> reports = m_pRecording->SettleInterrupted(naming);
    if (naming.count != counter)
        m_pSettingsPage->SetCounter(naming.count);
    for (const RecordingReport& report : reports)
        Tell(ReportText(report));
}

void CMainDlg::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_TAB, m_tabCtrl);
}

// The order matters: the pages exist before the settings are read (they take their values from
// them), the capture before the pages take their values (the preview hands it its controls), and
// the status bar comes last, so the first Stopped view's text goes nowhere.
BOOL CMainDlg::OnInitDialog() {
    CDialog::OnInitDialog(); // binds the tab control
    SetUpSystemMenuAndIcon();
    CreatePages();
    m_nCurTab = 0;
    LoadSettings();
    CreateCapture();
    m_pSettingsPage->LoadFromSettings();
    m_pRecordBar->LoadFormat();
    CreateStatusBar();
    const CRecordBar::ToolbarImages images = CRecordBar::ToolbarImagesFor(SystemDpi());
    m_taskbar.SetWindow(m_hWnd, images.bitmap, images.width, images.height);
    m_shortcuts.Reset(CRecordToolbar::CreateAccelerators());
    SetAccelerators(m_shortcuts.Get());
    m_notices.Attach(GetDlgItem(IDC_NOTICES), m_hWnd);
    NameForScreenReaders(GetDlgItem(IDC_NOTICES), LoadText(IDS_ACC_NOTICES));
    m_runningCopy.Register(m_hWnd, SettingsFilePath());
    m_displayNotify.Reset(RegisterPowerSettingNotification(m_hWnd, &kConsoleDisplayState,
                                                           DEVICE_NOTIFY_WINDOW_HANDLE));
    if (m_command.Has(CommandLine::MINIMIZED))
        ::ShowWindow(m_hWnd, SW_MINIMIZE);
    // What an earlier run left unfinished is seen to once the window stands: no message comes
    // before it. A post the system refused is taken by the mail's timer.
    const HWND self = m_hWnd;
    m_mail.SetWake([self] { return PostMessageW(self, WM_APP_MAIL, 0, 0) != 0; });
    SetTimer(m_hWnd, kMailTimer, kMailPeriodMs, nullptr);
    m_mail.Post([this] { OnShown(); });
    // The tab control has the focus after start-up (the pages, above it for their painting,
    // come first in the tab order): Tab goes from it to the toolbar, then the file-name field.
    SetFocus(m_tabCtrl);
    return FALSE;
}

// The window cannot be resized: no Restore, Size or Maximise; the About box joins the menu.
void CMainDlg::SetUpSystemMenuAndIcon() {
    if (HMENU menu = GetSystemMenu(m_hWnd, FALSE)) {
        const std::wstring about = LoadText(IDS_ABOUTBOX);
        if (!about.empty()) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
            DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
            DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
            DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
        }
    }
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
}

// Tab 0 shows the preview page and the record bar, tab 1 the settings page. Under visual styles
// the pages take the tab's own background, and stay above the tab control, which clips them out
// of its painting.
void CMainDlg::CreatePages() {
    m_tabsServer = ServeForScreenReaders(m_tabCtrl, std::make_unique<CTabAccessible>(m_tabCtrl));
    InsertTab(m_tabCtrl, 0, LoadText(IDS_TAB_MAIN));
    m_pPreviewPage = std::make_unique<CPreviewPage>();
    m_pPreviewPage->Create(m_hWnd);
    m_pPreviewPage->ShowWindow(SW_SHOW);
    m_pRecordBar = std::make_unique<CRecordBar>();
    m_pRecordBar->Create(m_hWnd);
    m_pRecordBar->ShowWindow(SW_SHOW);
    InsertTab(m_tabCtrl, 1, LoadText(IDS_TAB_SETTINGS));
    m_pSettingsPage = std::make_unique<CSettingsPage>();
    m_pSettingsPage->Create(m_hWnd);
    // The controls below the tabs come after the page in the tab order, the tab control last:
    // Tab goes from it into the page, and from the page on to them.
    for (const int id : {IDC_OPEN_FOLDER, IDC_NOTICES, IDC_RECORD_INFO, IDC_STOP_TIME})
        SetWindowPos(GetDlgItem(id), HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    static auto* const enableThemeTexture = SystemFunction<decltype(::EnableThemeDialogTexture)>(
        L"uxtheme.dll", "EnableThemeDialogTexture");
    for (CDialog* page :
         {static_cast<CDialog*>(m_pPreviewPage.get()), static_cast<CDialog*>(m_pRecordBar.get()),
          static_cast<CDialog*>(m_pSettingsPage.get())}) {
        if (enableThemeTexture)
            enableThemeTexture(page->GetSafeHwnd(), ETDT_ENABLETAB);
        SetWindowPos(page->GetSafeHwnd(), HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

// The capture, whose monitor draws into the preview page, and the recording that drives it. Their
// reports come back as posted messages, since the capture thread never waits for this one; a
// report whose message the full queue refuses is not lost: the record bar's timer takes it.
void CMainDlg::CreateCapture() {
    m_monitorHost = std::make_unique<CWinMonitorHost>();
    m_monitor = std::make_unique<CMonitor>(*m_monitorHost);
    m_pWaveIn = std::make_unique<CWaveIn>(g_waveInputFactory, *m_monitor);
    m_monitorHost->SetMonitor(m_monitor.get());
    m_monitorHost->SetMailbox(&m_mail);
    m_pRecording = std::make_unique<CRecording>(*m_pWaveIn, *this, [this] {
        if (!m_reportsPosted.exchange(true))
            m_mail.Post([this] {
                m_reportsPosted = false;
                OnRecordingReports();
            });
    });
    // For tests of long recordings: a smaller size limit of a file than the format's 4 GiB.
    wchar_t limit[32] = {};
    const DWORD length = GetEnvironmentVariableW(L"SONARIX_FILE_SIZE_LIMIT", limit, 32);
    if (length > 0 && length < 32)
        m_pRecording->SetFileSizeLimit(WaveLayout::ParseRiffSizeLimit(limit));
    m_systemSide = std::make_unique<CWindowsSystemSide>(m_hWnd);
    m_system = std::make_unique<CSystemFollower>(*m_systemSide, *m_pRecording);
    m_pRecordBar->Connect(*this, *m_pRecording, *m_pSettingsPage);
    m_pSettingsPage->Connect(*this);
    m_pSettingsPage->WhenNamingSwitched([this] { m_pRecordBar->FollowState(); });
    m_pPreviewPage->Connect(*this);
}

// A level's new text is its meter's new value, for screen readers.
void CMainDlg::CreateStatusBar() {
    m_statusBar.Create(m_hWnd, IDC_STATUSBAR);
    m_statusBar.WhenTextChanges([this](int part) {
        if (part >= 2 && m_pPreviewPage)
            m_pPreviewPage->LevelChanged(part - 2);
    });
    m_monitorHost->SetStatusBar(m_statusBar.Handle());
    m_monitorHost->SetStatusTextSink(
        [this](int part, const std::wstring& text) { m_statusBar.SetText(part, text); });
}

void CMainDlg::SayState(const std::wstring& said) {
    m_statusBar.SetSpokenState(said);
    AnnounceToScreenReaders(m_statusBar.Handle(), said);
}

void CMainDlg::Announce(const std::wstring& said) {
    AnnounceToScreenReaders(m_statusBar.Handle(), said, L"Sonarix.Marker");
}

// A shortcut key (code 1), or a button of the taskbar's thumbnail toolbar.
bool CMainDlg::OnCommand(int id, int code, HWND) {
    // The two buttons below the tabs, clicked (BN_CLICKED) or by their keys (1).
    if ((id == IDC_STOP_TIME || id == IDC_OPEN_FOLDER) && (code == BN_CLICKED || code == 1)) {
        if (IsWindowEnabled(GetDlgItem(id)))
            id == IDC_STOP_TIME ? OnStopTimeButton() : OnOpenFolder();
        return true;
    }
    if ((code != 1 && code != THBN_CLICKED) || !CRecordToolbar::TipText(id))
        return false;
    OnShortcut(id);
    return true;
}

// A recording running or paused is paused, resumed, stopped or marked whatever dialog of the
// program is open (the marker's key from another program's window, the taskbar's buttons, the
// media keys); a new recording or the file name only from the window itself.
void CMainDlg::OnShortcut(int command) {
    if (!m_pRecordBar)
        return;
    if (!IsWindowEnabled(m_hWnd) &&
        (!IsRecording() || command == ID_FILE_NAME ||
         (command == ID_RECORD_START && m_pRecordBar->State() != CRecordBar::STATE_PAUSED)))
        return;
    if (SendMessageW(m_tabCtrl, TCM_GETCURSEL, 0, 0) != 0) {
        if (command != ID_RECORD_START && command != ID_FILE_NAME)
            return; // nothing to pause, stop or mark
        OnTabSelChanging();
        if (m_bTabChangeFailed) // the settings page said why and holds the focus
            return;
        SendMessageW(m_tabCtrl, TCM_SETCURSEL, 0, 0);
        OnTabSelChange();
    }
    m_pRecordBar->OnShortcut(command);
}

void CMainDlg::OnOK() {
    Finish(kCompletionWaitMs);
    Release();
    EndDialog(IDOK);
}

void CMainDlg::OnCancel() {
    Finish(kCompletionWaitMs);
    Release();
    EndDialog(IDCANCEL);
}

// 1. A running or paused recording is stopped at once, before anything is said. 2. Its files are
// completed, waited for until waitMs after the call; what the recording reports meanwhile is
// shown (when the session ends, nothing is). 3. The pages store their values. 4. The settings
// file is written.
void CMainDlg::Finish(uint32_t waitMs) {
    if (m_finished || !m_pRecordBar || !m_pRecording)
        return;
    m_finished = true;
    const DWORD start = GetTickCount();
    m_pRecordBar->OnRecordStop();
    const DWORD spent = GetTickCount() - start;
    std::vector<RecordingReport> reports;
    m_pRecording->WaitUntilComplete(spent < waitMs ? waitMs - spent : 0, reports);
    m_pRecordBar->OnRecordingReports(reports); // a number given back, a file not completed
    m_pRecordBar->StoreFormat();
    m_pSettingsPage->StoreToSettings(MessagesQuiet());
    uint32_t error = 0;
    SettingsWritten(SaveSettings(&error), error);
}

// A completion still running is left to end on its own: its file keeps its note.
void CMainDlg::Release() {
    m_displayNotify.Reset();
    m_system.reset(); // lets the system go
    m_pPreviewPage.reset();
    m_pRecordBar.reset();
    m_pSettingsPage.reset();
    m_pRecording.reset();
    m_pWaveIn.reset();
    if (m_monitorHost) {
        m_monitorHost->SetMailbox(nullptr);
        m_monitorHost->SetMonitor(nullptr);
        m_monitorHost->SetStatusBar(nullptr);
        m_monitorHost->SetStatusTextSink(nullptr);
    }
}

// Running, paused, or waiting for its input.
bool CMainDlg::IsRecording() const {
    const RecordingState state = m_pRecording ? m_pRecording->State() : RECORDING_STOPPED;
    return state == RECORDING_RUNNING || state == RECORDING_PAUSED || state == RECORDING_WAITING;
}

// Windows shows the reason given with ShutdownBlockReasonCreate, and lets the user choose, only
// for a program that says no. A critical end cannot be refused.
bool CMainDlg::OnQueryEndSession(LPARAM reason) {
    return !m_system || m_system->SessionMayEnd((reason & ENDSESSION_CRITICAL) != 0);
}

namespace {

constexpr UINT_PTR kSessionEndTimer = 3;

// The program's modal dialogs and message boxes, which belong to the window thread (every
// top-level dialog but the main window): each is asked to end as Cancel (or No, for a question)
// would. How many there are.
int CloseModalWindows(HWND mainWindow) {
    struct Walk {
        HWND main;
        int open;
    } walk = {mainWindow, 0};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM state) -> BOOL {
            auto* walk = reinterpret_cast<Walk*>(state);
            wchar_t name[16];
            if (window == walk->main || !IsWindowVisible(window) ||
                !GetClassNameW(window, name, 16) || lstrcmpW(name, L"#32770") != 0)
                return TRUE;
            ++walk->open;
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), 0);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    return walk.open;
}

} // namespace

// Inside WM_ENDSESSION nothing is destroyed: a modal loop of the program may be running below
// this handler (a message box, the Save As dialog, the folder browser), whose caller goes on once
// it returns. If the process lives on (Restart Manager may leave it), the windows close once
// those loops have ended.
void CMainDlg::OnEndSession() {
    SetMessagesQuiet(true);
    Finish(kSessionEndWaitMs);
    CloseModalWindows(m_hWnd);
    m_mail.Post([this] { OnSessionEnded(); });
}

// Posted behind the modal windows' Cancel: nothing is released while one of them is still
// open (its loop would then serve this very message); they are asked again for a while.
void CMainDlg::OnSessionEnded() {
    if (CloseModalWindows(m_hWnd) > 0) {
        if (++m_sessionEndTries < 50)
            SetTimer(m_hWnd, kSessionEndTimer, 100, nullptr);
        return;
    }
    KillTimer(m_hWnd, kSessionEndTimer);
    Release();
    EndDialog(IDCANCEL);
}

bool CMainDlg::OnNotify(NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_TAB)
        return false;
    if (header->code == TCN_SELCHANGING)
        OnTabSelChanging();
    else if (header->code == TCN_SELCHANGE)
        OnTabSelChange();
    else
        return false;
    *result = 0; // the change is never refused here; a failed validation undoes it after
    return true;
}

void CMainDlg::OnTabSelChanging() {
    SetStatusText(1, L"");
    m_nCurTab = int(SendMessageW(m_tabCtrl, TCM_GETCURSEL, 0, 0));
    if (m_nCurTab == 0) {
        if (m_pPreviewPage->UpdateData(true) && m_pRecordBar->UpdateData(true)) {
            m_pPreviewPage->ShowWindow(SW_HIDE);
            m_pPreviewPage->UpdateData(false);
            m_pRecordBar->ShowWindow(SW_HIDE);
            m_pRecordBar->UpdateData(false);
            m_bTabChangeFailed = 0;
        } else {
            m_bTabChangeFailed = 1;
        }
    } else if (m_nCurTab == 1) {
        if (m_pSettingsPage->UpdateData(true)) {
            m_pSettingsPage->ShowWindow(SW_HIDE);
            m_pSettingsPage->UpdateData(false);
            m_bTabChangeFailed = 0;
        } else {
            m_bTabChangeFailed = 1;
        }
    }
}

void CMainDlg::OnTabSelChange() {
    if (m_bTabChangeFailed) {
        SendMessageW(m_tabCtrl, TCM_SETCURSEL, WPARAM(m_nCurTab), 0);
        return;
    }
    // The tab now selected, for screen readers.
    const int selected = int(SendMessageW(m_tabCtrl, TCM_GETCURSEL, 0, 0)) + 1;
    if (m_tabsServer) {
        m_tabsServer->Notify(EVENT_OBJECT_SELECTION, selected);
        if (GetFocus() == m_tabCtrl)
            m_tabsServer->Notify(EVENT_OBJECT_FOCUS, selected);
    }
    if (SendMessageW(m_tabCtrl, TCM_GETCURSEL, 0, 0) == 0) {
        m_pPreviewPage->ShowWindow(SW_SHOW);
        m_pRecordBar->ShowWindow(SW_SHOW);
    } else {
        m_pSettingsPage->ShowWindow(SW_SHOW);
    }
}

bool CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    switch (message) {
    case WM_DRAWITEM:
        *result = TRUE;
        return m_statusBar.OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_ABOUTBOX)
            return false;
        OnSysCommand(wParam);
        return true;
    case WM_PAINT:
        return OnPaint();
    case WM_QUERYDRAGICON:
        *result = reinterpret_cast<LRESULT>(m_hIcon);
        return true;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED || wParam == SIZE_RESTORED) {
            m_minimised = wParam == SIZE_MINIMIZED;
            if (m_monitorHost)
                m_monitorHost->SetHidden(m_minimised);
        }
        return false;
    case WM_APP_MAIL:
        m_mail.Take();
        return true;
    case WM_APPCOMMAND: {
        // A keyboard's media keys: record, pause (or play/pause, which resumes too), stop.
        const int command = GET_APPCOMMAND_LPARAM(lParam);
        const int bar =
            command == APPCOMMAND_MEDIA_RECORD ? ID_RECORD_START
            : command == APPCOMMAND_MEDIA_PAUSE || command == APPCOMMAND_MEDIA_PLAY_PAUSE
                ? ID_RECORD_PAUSE
            : command == APPCOMMAND_MEDIA_STOP ? ID_RECORD_STOP
                                               : 0;
        if (!bar)
            return false;
        FollowKeyboard(m_mediaKeys);
        if (m_mediaKeys.Acts(command, GetTickCount()))
            OnShortcut(bar);
        *result = TRUE;
        return true;
    }
    case WM_COPYDATA:
        *result = OnCommandCopyData(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return true;
    case WM_HOTKEY:
        if (m_system && m_system->MarkerKeyPressed(int(wParam)))
            OnShortcut(ID_MARKER);
        return true;
    case WM_POWERBROADCAST:
        // Every wake says "automatic" (one the user made says so again after it).
        if (m_system && wParam == PBT_APMSUSPEND)
            m_system->Suspending();
        if (m_system && wParam == PBT_APMRESUMEAUTOMATIC)
            m_system->Resumed();
        if (m_system && wParam == PBT_APMPOWERSTATUSCHANGE) // the cord pulled or plugged in
            TellSystem(m_system->PowerChanged());
        if (m_system && wParam == PBT_POWERSETTINGCHANGE && lParam) {
            const auto* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
            if (IsEqualGUID(setting->PowerSetting, kConsoleDisplayState) &&
                setting->DataLength >= sizeof(DWORD) && setting->Data[0] == 0)
                m_system->DisplayOff();
        }
        *result = TRUE;
        return true;
    case WM_QUERYENDSESSION:
        *result = OnQueryEndSession(lParam) ? TRUE : FALSE;
        return true;
    case WM_ENDSESSION:
        // The session ends, or an installer closes the program (ENDSESSION_CLOSEAPP): the
        // recording is completed first, while there is still time.
        if (wParam)
            OnEndSession();
        return true;
    case WM_TIMER:
        if (wParam == kInfoTimer) {
            ShowRecordInfo();
            FollowInput(); // Windows moved the stream to a new default input
            return true;
        }
        if (wParam == kStopTimer) {
            OnStopTimeDue();
            return true;
        }
        if (wParam == kExitTimer) {
            KillTimer(m_hWnd, kExitTimer);
            OnExitDue();
            return true;
        }
        if (wParam == kMailTimer) {
            m_mail.TakeIfLost();
            return true;
        }
        if (wParam != kSessionEndTimer)
            return false;
        KillTimer(m_hWnd, kSessionEndTimer);
        OnSessionEnded();
        return true;
    default:
        if (message != 0 && message == CTaskbarButton::CreatedMessage()) {
            m_taskbar.OnCreated();
            return true;
        }
        return false;
    }
}

void CMainDlg::OnShown() {
    if (m_pSettingsPage)
        Tell(m_pSettingsPage->DamagedSourceText(g_settings.Damaged));
    if (m_pRecording)
        m_pRecording->CompleteInterrupted(); // beside the window; settled once looked at
    if (!m_command.Empty())
        m_exitCode = RunCommand(m_command);
    if (m_exitCode != EXIT_DONE && m_command.Has(CommandLine::RECORD))
        m_mail.Post([this] { OnExitDue(); }); // a scheduled start that failed: logged
}

// Once the program's own dialogs are closed (their loops run below this one).
void CMainDlg::OnExitDue() {
    if (IsRecording())
        return;
    if (!IsWindowEnabled(m_hWnd)) {
        CloseModalWindows(m_hWnd);
        SetTimer(m_hWnd, kExitTimer, 100, nullptr);
        return;
    }
    OnOK();
}

// The media keys that come as key messages: whether one repeats is the key's own word.
// They act here, whatever control has the focus; the WM_APPCOMMAND Windows makes of them then
// acts no more.
void CMainDlg::BeforeKeyDown(const MSG& msg) {
    const int command = msg.wParam == VK_MEDIA_PLAY_PAUSE ? APPCOMMAND_MEDIA_PLAY_PAUSE
                        : msg.wParam == VK_MEDIA_STOP     ? APPCOMMAND_MEDIA_STOP
                                                          : 0;
    if (command && m_mediaKeys.KeyActs(command, (msg.lParam & (1 << 30)) != 0, GetTickCount()))
        OnShortcut(command == APPCOMMAND_MEDIA_STOP ? ID_RECORD_STOP : ID_RECORD_PAUSE);
}

void CMainDlg::OnSysCommand(WPARAM) {
    CAboutDlg about;
    about.DoModal(m_hWnd);
}

bool CMainDlg::OnPaint() {
    if (!IsIconic(m_hWnd))
        return false;
    const PaintScope paint(m_hWnd);
    HDC dc = paint.Dc();
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT rc;
    GetClientRect(m_hWnd, &rc);
    const int x = (rc.right - rc.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rc.bottom - rc.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    return true;
}

void CMainDlg::SetStopTime(const StopTime& stop) {
    m_stopTime = stop;
    FollowStopTime();
    ShowRecordInfo();
}

void CMainDlg::OnStopTimeButton() {
    CStopTimeDlg dialog(m_stopTime);
    if (dialog.DoModal(m_hWnd) == IDOK && m_pRecording)
        SetStopTime(dialog.Chosen());
}

// While the recording runs or is paused: armed for the moment the stop is due, a second ahead at
// most (a duration does not run down while paused; the time of day may be moved by the clock).
void CMainDlg::FollowStopTime() {
    if (!m_stopTime || !IsRecording() || !m_pRecording) {
        KillTimer(m_hWnd, kStopTimer);
        return;
    }
    const uint64_t remaining =
        m_stopTime.RemainingMs(m_pRecording->SoundMs(GetTicks()), LocalNowMs());
    SetTimer(m_hWnd, kStopTimer, UINT(std::min<uint64_t>(std::max<uint64_t>(remaining, 1), 1000)),
             nullptr);
}

// The stop: an automatic marker says why, then the recording stops as by its button.
void CMainDlg::OnStopTimeDue() {
    if (!m_stopTime || !IsRecording() || !m_pRecording || !m_pRecordBar) {
        FollowStopTime();
        return;
    }
    if (m_stopTime.RemainingMs(m_pRecording->SoundMs(GetTicks()), LocalNowMs()) > 0) {
        FollowStopTime();
        return;
    }
    m_pRecording->MarkTimedStop();
    m_pRecordBar->StopAtStopTime();
}

namespace {

std::wstring StopAtText(const StopTime& stop) {
    const CivilTime t = MsToCivil(stop.atMs);
    const CivilTime today = MsToCivil(LocalNowMs());
    const bool isToday = t.year == today.year && t.month == today.month && t.day == today.day;
    wchar_t text[32];
    const int n = isToday ? std::swprintf(text, 32, L"%02d:%02d", t.hour, t.minute)
                          : std::swprintf(text, 32, L"%d/%02d/%02d %02d:%02d", t.year, t.month,
                                          t.day, t.hour, t.minute);
    if (isToday && t.second && n > 0)
        std::swprintf(text + n, size_t(32 - n), L":%02d", t.second);
    return text;
}

} // namespace

// Two lines: the stop time, the drive. Said by screen readers as the static text's name; its text
// changes at most once a second.
void CMainDlg::ShowRecordInfo() {
    const HWND info = GetDlgItem(IDC_RECORD_INFO);
    if (!info || !m_pRecording)
        return;
    std::wstring text;
    const bool recording = IsRecording();
    if (m_stopTime) {
        const std::wstring when = m_stopTime.kind == StopTime::AFTER
                                      ? DurationText(m_stopTime.afterMs)
                                      : StopAtText(m_stopTime);
        if (recording) {
            const uint64_t remaining =
                m_stopTime.RemainingMs(m_pRecording->SoundMs(GetTicks()), LocalNowMs());
            text = FormatText(m_stopTime.kind == StopTime::AFTER ? IDS_INFO_STOP_AFTER
                                                                 : IDS_INFO_STOP_AT,
                              {when, DurationText(remaining + 999)});
        } else {
            text = FormatText(m_stopTime.kind == StopTime::AFTER ? IDS_INFO_STOP_NEXT_AFTER
                                                                 : IDS_INFO_STOP_NEXT_AT,
                              {when});
        }
    }
    const uint64_t drive = recording ? m_pRecording->RecordableMs() : UINT64_MAX;
    if (drive != UINT64_MAX)
        text += (text.empty() ? L"" : L"\n") + FormatText(IDS_INFO_DISK, {FormatMinutes(drive)});
    if (WindowText(info) != text)
        SetWindowTextW(info, text.c_str());
}

// Explorer opens the folder with the file selected; a file gone since is said.
void CMainDlg::OnOpenFolder() {
    if (m_lastFile.empty())
        return;
    wchar_t full[MAX_PATH];
    const DWORD length = GetFullPathNameW(m_lastFile.c_str(), MAX_PATH, full, nullptr);
    const std::wstring path = length > 0 && length < MAX_PATH ? full : m_lastFile;
    HRESULT result = E_FAIL;
    if (const CoTaskMemory<ITEMIDLIST> item{ILCreateFromPathW(path.c_str())}) {
        result = SHOpenFolderAndSelectItems(item.get(), 0, nullptr, 0);
    } else {
        result = HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_FILE_NOT_FOUND);
    }
    if (FAILED(result))
        Tell(FormatText(IDS_OPEN_FOLDER_FAILED, {path, SystemErrorText(DWORD(result))}));
}

// A second copy's switches: acted on at once, answered with the exit code; never a box (the
// sender waits).
LRESULT CMainDlg::OnCommandCopyData(const COPYDATASTRUCT& data) {
    if (data.dwData != kCommandCopyData || !data.lpData || data.cbData < sizeof(wchar_t) ||
        data.cbData % sizeof(wchar_t) || data.cbData > 4096)
        return kCommandAnswer + EXIT_BAD_SWITCH;
    const auto* text = static_cast<const wchar_t*>(data.lpData);
    std::wstring line(text, data.cbData / sizeof(wchar_t));
    line.resize(std::wcslen(line.c_str()));
    const CommandLine command = ParseCommandLine(SplitArguments(line));
    int code = EXIT_BAD_SWITCH;
    if (command.error.empty()) {
        const bool quiet = m_quietRun;
        m_quietRun = true;
        code = RunCommand(command);
        m_quietRun = quiet;
    }
    AppendToLog(SettingsFilePath(), FormatText(IDS_LOG_COMMAND, {line, std::to_wstring(code)}));
    return kCommandAnswer + code;
}

// In order: the stop time, the recording's command, the marker, minimised, the end when done.
int CMainDlg::RunCommand(const CommandLine& command) {
    if (!m_pRecordBar || !m_pRecording || m_finished)
        return EXIT_REFUSED;
    int code = EXIT_DONE;
    const int state = m_pRecordBar->State();
    StopTime stop;
    if (command.stopKind == StopTime::AFTER) {
        stop.kind = StopTime::AFTER;
        stop.afterMs = command.stopAfterMs;
    } else if (command.stopKind == StopTime::AT) {
        stop.kind = StopTime::AT;
        if (ParseStopAt(command.stopAt, LocalNowMs(), stop.atMs) != TIME_OK) {
            Tell(LoadText(IDS_STOP_AT_PAST));
            return EXIT_REFUSED;
        }
    }
    if (command.Has(CommandLine::RECORD)) {
        if (state != CRecordBar::STATE_STOPPED)
            return EXIT_REFUSED; // already recording
        if (stop)
            SetStopTime(stop);
        code = StartByCommand();
        if (code != EXIT_DONE) {
            if (stop)
                SetStopTime(StopTime());
            return code;
        }
    } else if (stop) {
        SetStopTime(stop); // for the recording running, or the next one
    }
    if (command.Has(CommandLine::STOP)) {
        if (state == CRecordBar::STATE_STOPPED)
            return EXIT_REFUSED;
        m_pRecordBar->OnRecordStop();
    }
    // A pause and a resume: from the state each needs, done when the device followed.
    const struct {
        CommandLine::Action action;
        int from, to;
        void (CRecordBar::*act)();
    } turns[] = {
        {CommandLine::PAUSE, CRecordBar::STATE_RECORDING, CRecordBar::STATE_PAUSED,
         &CRecordBar::OnRecordPause},
        {CommandLine::RESUME, CRecordBar::STATE_PAUSED, CRecordBar::STATE_RECORDING,
         &CRecordBar::OnRecordStart},
    };
    for (const auto& turn : turns) {
        if (!command.Has(turn.action))
            continue;
        if (state != turn.from)
            return EXIT_REFUSED;
        (m_pRecordBar.get()->*turn.act)();
        if (m_pRecordBar->State() != turn.to)
            return EXIT_REFUSED;
    }
    if (command.Has(CommandLine::MARKER)) {
        if (!IsRecording())
            return EXIT_REFUSED;
        m_pRecordBar->OnMarker();
    }
    if (command.Has(CommandLine::MINIMIZED))
        ::ShowWindow(m_hWnd, SW_MINIMIZE);
    if (command.Has(CommandLine::EXIT)) {
        m_exitWhenStopped = true;
        if (!IsRecording())
            m_mail.Post([this] { OnExitDue(); });
    }
    return code;
}

// A start as the Start button's, in the main tab; what it would ask is answered No, and why it
// did not start is logged.
int CMainDlg::StartByCommand() {
    if (!IsWindowEnabled(m_hWnd)) { // a dialog of the program is open
        Tell(LoadText(IDS_COMMAND_DIALOG_OPEN));
        return EXIT_REFUSED;
    }
    const bool quiet = m_quietRun;
    m_quietRun = true;
    m_lastToldStartFailure.clear();
    OnShortcut(ID_RECORD_START);
    m_quietRun = quiet;
    if (m_pRecordBar->State() == CRecordBar::STATE_STOPPED) {
        AppendToLog(SettingsFilePath(), FormatText(IDS_LOG_START_FAILED, {m_lastToldStartFailure}));
        return EXIT_REFUSED;
    }
    return EXIT_DONE;
}
