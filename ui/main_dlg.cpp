#include "ui/main_dlg.h"

#include "app/settings.h"
#include "capture/wave_in.h"
#include "capture/winmm_wave_input.h"
#include "engine/recording_repair.h"
#include "engine/system_library.h"
#include "engine/win32_handles.h"
#include "monitor/win_monitor_host.h"
#include "res/resource.h"
#include "ui/about_dlg.h"
#include "ui/preview_page.h"
#include "ui/record_bar.h"
#include "ui/settings_page.h"
#include "ui/ui_text.h"

#include <algorithm>
#include <commctrl.h>
#include <cwchar>
#include <ole2.h>
#include <uxtheme.h>

CMainDlg* g_pMainDlg = nullptr;

namespace {

WaveInputFactory g_waveInputFactory = MakeWinmmWaveInput;

void InsertTab(HWND tabs, int index, std::wstring text) {
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = &text[0];
    SendMessageW(tabs, TCM_INSERTITEMW, WPARAM(index), reinterpret_cast<LPARAM>(&item));
}

} // namespace

void SetWaveInputFactory(WaveInputFactory factory) {
    g_waveInputFactory = factory ? factory : MakeWinmmWaveInput;
}

OleApartment::OleApartment() : m_initialised(SUCCEEDED(OleInitialize(nullptr))) {}

OleApartment::~OleApartment() {
    if (m_initialised)
        OleUninitialize();
}

CMainDlg::CMainDlg() : CDialog(IDD_SONARIX_DIALOG) {
    m_hIcon =
        static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME),
                                      IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

CMainDlg::~CMainDlg() {
    Shutdown();
}

bool CMainDlg::SaveCounter(uint32_t count) {
    uint32_t error = 0;
    const bool ok = SaveSequenceCounterFile(SettingsFilePath(), int32_t(count), &error);
    SettingsWritten(ok, error);
    return ok;
}

// Full paths are noted, so that a typed relative name is found again from any folder.
bool CMainDlg::NoteFiles(const std::vector<std::wstring>& files) {
    std::vector<std::wstring> full;
    for (const std::wstring& file : files) {
        wchar_t path[MAX_PATH];
        const DWORD length = GetFullPathNameW(file.c_str(), MAX_PATH, path, nullptr);
        full.push_back(length > 0 && length < MAX_PATH ? std::wstring(path, length) : file);
    }
    uint32_t error = 0;
    const bool ok = NoteRecordingInProgressFile(SettingsFilePath(), full, &error);
    SettingsWritten(ok, error);
    return ok;
}

// While the window runs, the message waits for the handler at hand to end (a start first shows
// the Recording state and starts the clock); at shutdown the recording has ended already.
void CMainDlg::SettingsWritten(bool ok, uint32_t error) {
    if (ok || m_settingsFailureShown)
        return;
    m_settingsFailureShown = true;
    if (m_quiet)
        return;
    if (m_shutDown || !PostMessageW(m_hWnd, WM_APP_SETTINGS_FAILED, WPARAM(error), 0))
        ShowSettingsNotSaved(error);
}

void CMainDlg::ShowSettingsNotSaved(uint32_t error) {
    ShowMessage(m_hWnd,
                FormatText(IDS_SETTINGS_NOT_SAVED, {SettingsFilePath(), SystemErrorText(error)}));
}

void CMainDlg::OnRecordingNotice() {
    if (m_pRecordBar && m_pRecording)
        m_pRecordBar->OnRecordingReports(m_pRecording->TakeReports());
}

void CMainDlg::RetryLostNotice() {
    if (m_noticeLost.exchange(false))
        OnRecordingNotice();
}

void CMainDlg::BlockShutdown(bool recording) {
    if (recording == m_shutdownBlocked)
        return;
    m_shutdownBlocked = recording;
    if (recording)
        ShutdownBlockReasonCreate(m_hWnd, LoadText(IDS_SHUTDOWN_REASON).c_str());
    else
        ShutdownBlockReasonDestroy(m_hWnd);
}

// Each noted file is completed, or found complete, gone or not ours, and leaves the note; one
// that another copy of the program records, or whose drive is absent, stays noted. The user
// hears of an absent drive once per file.
void CMainDlg::FinishInterruptedRecordings() {
    const std::wstring settings = SettingsFilePath();
    const std::vector<std::wstring> files = RecordingInProgressFile(settings);
    if (files.empty())
        return;
    std::vector<std::wstring> kept, absent;
    const std::vector<std::wstring> told = AbsentFilesToldFile(settings);
    for (const std::wstring& file : files) {
        const RepairResult result = ::CompleteInterruptedRecording(file);
        if (result.status == REPAIR_BUSY) {
            kept.push_back(file);
        } else if (result.status == REPAIR_ABSENT) {
            kept.push_back(file);
            absent.push_back(file);
            if (std::find(told.begin(), told.end(), file) == told.end())
                ShowMessage(m_hWnd, FormatText(IDS_RECORDING_WAITS_FOR_DRIVE, {file}));
        } else if (result.status == REPAIR_DONE) {
            const uint64_t ms = result.dataBytes * 1000 / result.format.nAvgBytesPerSec;
            ShowMessage(m_hWnd, FormatText(IDS_RECORDING_COMPLETED,
                                           {file, CRecordBar::FormatDuration(ms)}));
        } else if (result.status == REPAIR_FAILED) {
            ShowMessage(m_hWnd, FormatText(IDS_RECORDING_NOT_COMPLETED,
                                           {file, SystemErrorText(result.systemError)}));
        }
    }
    NoteRecordingInProgressFile(settings, kept);
    if (!absent.empty())
        NoteAbsentFilesToldFile(settings, absent);
    if (m_pRecording)
        m_pRecording->KeepNoted(kept);
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
    // What an earlier run left unfinished is seen to once the window stands: no message comes
    // before it.
    PostMessageW(m_hWnd, WM_APP_SHOWN, 0, 0);
    return TRUE;
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
// notices come back as posted messages, since the capture thread never waits for this one; a
// notice the full queue refuses is not lost: the record bar's timer takes it.
void CMainDlg::CreateCapture() {
    m_monitorHost = std::make_unique<CWinMonitorHost>();
    m_pWaveIn = std::make_unique<CWaveIn>(g_waveInputFactory(), *m_monitorHost);
    m_monitorHost->SetMonitor(g_pMonitor);
    m_monitorHost->SetNotifyWindow(m_hWnd, WM_APP_MONITOR_TEXTS, WM_APP_MONITOR_PICTURES);
    const HWND self = m_hWnd;
    m_pRecording = std::make_unique<CRecording>(*m_pWaveIn, *this, [this, self] {
        if (!PostMessageW(self, WM_APP_RECORDING, 0, 0))
            m_noticeLost = true;
    });
    // For tests of long recordings: a smaller size limit of a file than the format's 4 GiB.
    wchar_t limit[32] = {};
    const DWORD length = GetEnvironmentVariableW(L"SONARIX_FILE_SIZE_LIMIT", limit, 32);
    const uint64_t riffLimit =
        length > 0 && length < 32 ? WaveLayout::ParseRiffSizeLimit(limit) : 0;
    if (riffLimit)
        g_pWaveFile->SetRiffSizeLimit(riffLimit);
    m_pPreviewPage->ConnectMonitor();
}

void CMainDlg::CreateStatusBar() {
    m_statusBar.Create(m_hWnd, IDC_STATUSBAR);
    m_monitorHost->SetStatusBar(m_statusBar.Handle());
}

void CMainDlg::OnOK() {
    Shutdown();
    EndDialog(IDOK);
}

void CMainDlg::OnCancel() {
    Shutdown();
    EndDialog(IDCANCEL);
}

// 1. A running or paused recording is stopped, which completes its files, before anything is
// said. 2. The pages store their values. 3. The settings file is written. 4. The pages, the
// recording, then the capture go. When the session ends nothing asks or tells the user anything.
void CMainDlg::Shutdown(bool sessionEnding) {
    if (m_shutDown || !m_pRecordBar)
        return;
    m_shutDown = true;
    m_quiet = sessionEnding;
    m_pRecordBar->OnRecordStop();
    m_pRecordBar->StoreFormat();
    m_pSettingsPage->StoreToSettings(sessionEnding);
    uint32_t error = 0;
    SettingsWritten(SaveSettings(&error), error);
    m_pPreviewPage.reset();
    m_pRecordBar.reset();
    m_pSettingsPage.reset();
    m_pRecording.reset();
    m_pWaveIn.reset();
    if (m_monitorHost) {
        m_monitorHost->SetMonitor(nullptr);
        m_monitorHost->SetStatusBar(nullptr);
    }
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
    case WM_APP_MONITOR_PICTURES:
        if (m_monitorHost)
            m_monitorHost->DrawChangedPictures();
        return true;
    case WM_APP_MONITOR_TEXTS:
        if (m_monitorHost)
            m_monitorHost->TextsNoticeTaken();
        if (g_pMonitor && m_pWaveIn)
            g_pMonitor->DeliverStatusTexts();
        return true;
    case WM_APP_RECORDING:
        OnRecordingNotice();
        return true;
    case WM_APP_SETTINGS_FAILED:
        ShowSettingsNotSaved(uint32_t(wParam));
        return true;
    case WM_APP_SHOWN:
        FinishInterruptedRecordings();
        return true;
    case WM_QUERYENDSESSION:
        *result = TRUE;
        return true;
    case WM_ENDSESSION:
        // The session ends, or an installer closes the program (ENDSESSION_CLOSEAPP): the
        // recording is completed first, while there is still time.
        if (wParam) {
            Shutdown(true);
            EndDialog(IDCANCEL);
        }
        return true;
    default:
        return false;
    }
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
