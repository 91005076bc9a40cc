#include "ui/record_bar.h"

#include "app/settings.h"
#include "capture/wave_in.h"
#include "engine/clock.h"
#include "engine/create_directory_path.h"
#include "engine/file_name_check.h"
#include "engine/sequential_naming.h"
#include "res/resource.h"
#include "ui/dpi.h"
#include "ui/main_dlg.h"
#include "ui/settings_page.h"
#include "ui/ui_text.h"

#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>

#include <cwchar>

CRecordBar::CRecordBar() : CDialog(IDD_RECORDBAR) {}

void CRecordBar::DoDataExchange(CDataExchange& dx) {
    DDX_Control(dx, IDC_FILE_NAME, m_editFileName);
    DDX_Text(dx, IDC_FILE_NAME, m_strFileName);
}

// The toolbar's images drawn for the largest scale that does not exceed the display's: 100 %,
// 150 % or 200 %, so they stay crisp and never grow past their space.
CRecordBar::ToolbarImages CRecordBar::ToolbarImagesFor(int dpi) {
    if (dpi >= 2 * USER_DEFAULT_SCREEN_DPI)
        return {IDB_TOOLBAR_200, 32, 30};
    if (2 * dpi >= 3 * USER_DEFAULT_SCREEN_DPI)
        return {IDB_TOOLBAR_150, 24, 23};
    return {IDB_TOOLBAR, 16, 15};
}

// The toolbar: start, stop and pause, then the file-name button after a double gap.
BOOL CRecordBar::OnInitDialog() {
    CDialog::OnInitDialog();
    TBBUTTON buttons[8] = {
        {0, ID_RECORD_START, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
        {1, ID_RECORD_STOP, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
        {2, ID_RECORD_PAUSE, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
        {0, 0, TBSTATE_ENABLED, TBSTYLE_SEP, {}, 0, 0},
        {3, ID_FILE_NAME, TBSTATE_ENABLED, TBSTYLE_BUTTON, {}, 0, 0},
    };
    const ToolbarImages images = ToolbarImagesFor(SystemDpi());
    m_hToolbar = CreateToolbarEx(
        m_hWnd, WS_CHILD | WS_CLIPSIBLINGS | CCS_TOP | CCS_NODIVIDER | TBSTYLE_TOOLTIPS,
        IDC_TOOLBAR, 4, reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(m_hWnd, GWLP_HINSTANCE)),
        images.bitmap, buttons, 8, 0, 0, images.width, images.height, sizeof(TBBUTTON));
    SetWindowLongW(m_hToolbar, GWL_STYLE, GetWindowLongW(m_hToolbar, GWL_STYLE) | TBSTYLE_FLAT);
    InvalidateRect(m_hToolbar, nullptr, TRUE);
    ::ShowWindow(m_hToolbar, SW_SHOW);
    return TRUE;
}

bool CRecordBar::OnCommand(int id, int code, HWND) {
    if (code != BN_CLICKED)
        return false;
    switch (id) {
    case ID_RECORD_START:
        OnRecordStart();
        return true;
    case ID_RECORD_STOP:
        OnRecordStop();
        return true;
    case ID_RECORD_PAUSE:
        OnRecordPause();
        return true;
    case ID_FILE_NAME:
        OnFileName();
        return true;
    default:
        return false;
    }
}

// Tooltips: the string numbers of stop and pause are one above their commands.
bool CRecordBar::OnNotify(NMHDR* header, LRESULT*) {
    if (header->code != TTN_NEEDTEXTW && header->code != TTN_NEEDTEXTA)
        return false;
    UINT text = 0;
    switch (header->idFrom) {
    case ID_RECORD_START:
        text = IDS_TIP_RECORD_START;
        break;
    case ID_RECORD_STOP:
        text = IDS_TIP_RECORD_STOP;
        break;
    case ID_RECORD_PAUSE:
        text = IDS_TIP_RECORD_PAUSE;
        break;
    case ID_FILE_NAME:
        text = IDS_TIP_FILE_NAME;
        break;
    default:
        return false;
    }
    if (header->code == TTN_NEEDTEXTW) {
        auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
        info->hinst = GetModuleHandleW(nullptr);
        info->lpszText = MAKEINTRESOURCEW(text);
    } else {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        info->hinst = GetModuleHandleW(nullptr);
        info->lpszText = MAKEINTRESOURCEA(text);
    }
    return true;
}

void CRecordBar::LoadFormat() {
    m_nSamplingChannel = g_settings.SamplingChannel;
    m_nSampleType = g_settings.SampleType;
    m_nSamplingRate = g_settings.SamplingRate;
    m_nState = STATE_STOPPED;
    ShowStoppedState();
}

void CRecordBar::StoreFormat() {
    UpdateData(true);
    g_settings.SamplingChannel = m_nSamplingChannel;
    g_settings.SampleType = m_nSampleType;
    g_settings.SamplingRate = m_nSamplingRate;
}

void CRecordBar::OnRecordStart() {
    UpdateData(true);
    if (m_nState == STATE_STOPPED)
        StartNewRecording();
    else if (m_nState == STATE_PAUSED)
        ResumeRecording();
}

// 1. The file: the next free sequential name, or the typed one (replaced only when the user says
// so), its folders and the capture. 2. The clock, from the moment the device runs, and the
// timer. 3. The view of the new state. 4. The settings file notes the file while it records.
// 5. The wrap message, while the recording runs.
void CRecordBar::StartNewRecording() {
    bool wrapped = false;
    m_strNextFile.clear();
    m_strNextFileFailure.clear();
    m_strTypedName = m_strFileName;
    m_nTypedPart = 1;
    const bool opened = g_pMainDlg->m_pSettingsPage->m_bCheckSeqRecFile
                            ? OpenSequentialRecording(wrapped)
                            : OpenTypedRecording();
    UpdateData(false); // field 1012 shows the path in use, a sequential one too
    if (!opened)
        return;
    m_dwElapsedBefore = 0;
    StartTimer();
    EnterRecordingIf(true);
    g_pMainDlg->NoteRecording(m_strFileName);
    if (wrapped)
        ShowMessage(g_pMainDlg->GetSafeHwnd(), IDS_COUNTER_WRAPPED);
}

bool CRecordBar::OpenSequentialRecording(bool& wrapped) {
    CSettingsPage* page = g_pMainDlg->m_pSettingsPage.get();
    SequentialNaming naming = page->Naming();
    // Another program (or a second copy of this one) may create the file between the check and
    // the creation: then the next free number is tried, a bounded number of times.
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring path;
        if (!page->GetNextFileName(path, naming, wrapped) || !CreateFolders(path))
            return false;
        m_strFileName = path;
        if (OpenCapture(path, RawFile::CREATE_NEW_ONLY)) {
            page->TakeFileNumber(naming);
            return true;
        }
        if (g_pMainDlg->m_pWaveIn->LastFailure().failure != CAPTURE_FILE_EXISTS)
            return false;
    }
    ReportStartFailure(m_strFileName);
    return false;
}

bool CRecordBar::OpenTypedRecording() {
    if (m_strFileName.empty()) {
        ShowMessage(g_pMainDlg->GetSafeHwnd(), IDS_NO_FILE_NAME);
        return false;
    }
    if (!IsStorableFileName(m_strFileName)) {
        ShowMessage(g_pMainDlg->GetSafeHwnd(), IDS_BAD_FILE_NAME);
        return false;
    }
    const auto exists = [this] {
        const DWORD attributes = GetFileAttributesW(m_strFileName.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    const auto replaceAsked = [this] {
        return AskYesNo(g_pMainDlg->GetSafeHwnd(),
                        FormatText(IDS_FILE_EXISTS_ASK, {m_strFileName}));
    };
    RawFile::CreateMode mode = RawFile::CREATE_NEW_ONLY;
    if (exists()) {
        if (!replaceAsked())
            return false;
        mode = RawFile::CREATE_REPLACE;
    }
    if (!CreateFolders(m_strFileName))
        return false;
    if (OpenCapture(m_strFileName, mode))
        return true;
    // The file appeared after the check: asked now. Something else of that name (a folder)
    // cannot be recorded into at all.
    if (g_pMainDlg->m_pWaveIn->LastFailure().failure != CAPTURE_FILE_EXISTS)
        return false;
    if (!exists()) {
        ReportStartFailure(m_strFileName);
        return false;
    }
    if (!replaceAsked())
        return false;
    if (OpenCapture(m_strFileName, RawFile::CREATE_REPLACE))
        return true;
    ReportStartFailure(m_strFileName);
    return false;
}

bool CRecordBar::CreateFolders(const std::wstring& path) {
    const std::wstring folder = FolderOf(path);
    unsigned long error = 0;
    if (folder.empty() || CreateDirectoryPath(folder, &error))
        return true;
    ShowMessage(g_pMainDlg->GetSafeHwnd(),
                FormatText(IDS_FOLDER_FAILED, {folder, SystemErrorText(error)}));
    return false;
}

bool CRecordBar::OpenCapture(const std::wstring& path, RawFile::CreateMode mode) {
    CWaveIn* capture = g_pMainDlg->m_pWaveIn.get();
    if (capture->Open(path, m_nSamplingChannel, m_nSamplingRate, m_nSampleType, mode))
        return true;
    if (capture->LastFailure().failure != CAPTURE_FILE_EXISTS)
        ReportStartFailure(path);
    return false;
}

// Why the capture did not start, in the user's words, with the system's own text.
void CRecordBar::ReportStartFailure(const std::wstring& path) {
    const CaptureError error = g_pMainDlg->m_pWaveIn->LastFailure();
    std::wstring text;
    switch (error.failure) {
    case CAPTURE_DEVICE_FAILED: {
        const UINT id = error.code == MMSYSERR_BADDEVICEID || error.code == MMSYSERR_NODRIVER ||
                                error.code == MMSYSERR_NOTENABLED
                            ? IDS_NO_INPUT_DEVICE
                        : error.code == MMSYSERR_ALLOCATED ? IDS_DEVICE_BUSY
                        : error.code == WAVERR_BADFORMAT   ? IDS_DEVICE_BAD_FORMAT
                                                           : IDS_DEVICE_FAILED;
        text = FormatText(id, {DeviceErrorText(error.code)});
        break;
    }
    case CAPTURE_FILE_EXISTS:
    case CAPTURE_FILE_FAILED:
        text = FormatText(IDS_FILE_FAILED, {path, SystemErrorText(error.code)});
        break;
    case CAPTURE_NO_MEMORY:
        text = LoadText(IDS_NO_MEMORY);
        break;
    case CAPTURE_BAD_FORMAT:
    case CAPTURE_OK:
        text = FormatText(IDS_DEVICE_BAD_FORMAT, {L""});
        break;
    }
    ShowMessage(g_pMainDlg->GetSafeHwnd(), text);
}

void CRecordBar::PrepareNextFile() {
    CWaveIn* capture = g_pMainDlg->m_pWaveIn.get();
    std::wstring path;
    const auto failed = [&](const std::wstring& name, const std::wstring& why) {
        m_strNextFileFailure = FormatText(IDS_STOPPED_NEXT_FILE_FAILED, {name, why});
    };
    CSettingsPage* page = g_pMainDlg->m_pSettingsPage.get();
    if (page->m_bCheckSeqRecFile) {
        // As a start would: the next free number, its folders, the counter kept at once.
        SequentialNaming naming = page->Naming();
        bool wrapped = false; // the next file's wrap is not announced: the recording goes on
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::wstring problem;
            if (!page->GetNextFileName(path, naming, wrapped, &problem)) {
                failed(naming.folder, problem);
                return;
            }
            unsigned long error = 0;
            const std::wstring folder = FolderOf(path);
            if (!folder.empty() && !CreateDirectoryPath(folder, &error)) {
                failed(path, SystemErrorText(error));
                return;
            }
            if (capture->PrepareNextFile(path, RawFile::CREATE_NEW_ONLY)) {
                page->TakeFileNumber(naming);
                m_strNextFile = path;
                return;
            }
            if (capture->LastFailure().failure != CAPTURE_FILE_EXISTS)
                break;
        }
    } else {
        // "name (2).ext", "name (3).ext", ...: a number whose file exists is passed over.
        const size_t slash = m_strTypedName.find_last_of(L"\\/");
        const size_t dot = m_strTypedName.rfind(L'.');
        const size_t stem =
            dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash)
                ? dot
                : m_strTypedName.size();
        for (int attempt = 0; attempt < 1000; ++attempt) {
            path = m_strTypedName.substr(0, stem) + L" (" + std::to_wstring(++m_nTypedPart) + L")" +
                   m_strTypedName.substr(stem);
            if (capture->PrepareNextFile(path, RawFile::CREATE_NEW_ONLY)) {
                m_strNextFile = path;
                return;
            }
            if (capture->LastFailure().failure != CAPTURE_FILE_EXISTS)
                break;
        }
    }
    failed(path, SystemErrorText(capture->LastFailure().code));
}

void CRecordBar::OnNextFileStarted() {
    if (m_strNextFile.empty())
        return;
    m_strFileName = m_strNextFile;
    m_strNextFile.clear();
    UpdateData(false);
    g_pMainDlg->NoteRecording(m_strFileName);
}

// The device did not restart: the recording stays paused, its file open, and the user is told.
void CRecordBar::ResumeRecording() {
    StartTimer();
    CWaveIn* capture = g_pMainDlg->m_pWaveIn.get();
    const bool running = capture->Start() != 0;
    EnterRecordingIf(running);
    if (!running)
        ShowMessage(g_pMainDlg->GetSafeHwnd(),
                    FormatText(IDS_RESUME_FAILED, {DeviceErrorText(capture->LastFailure().code)}));
}

// After a start or a resume: Recording when the capture runs; otherwise the timer goes and the
// state stays.
void CRecordBar::EnterRecordingIf(bool running) {
    if (running) {
        m_nState = STATE_RECORDING;
        ShowRecordingState();
    } else {
        KillTimer();
    }
    UpdateData(false);
}

void CRecordBar::OnRecordPause() {
    if (m_nState != STATE_RECORDING)
        return;
    m_dwElapsedBefore += GetTicks() - m_dwRunStart; // unsigned: the clock's wrap does no harm
    KillTimer();
    m_nState = STATE_PAUSED;
    g_pMainDlg->m_pWaveIn->Stop();
    ShowPausedState();
    UpdateData(false);
}

void CRecordBar::OnRecordStop() {
    if (m_nState == STATE_STOPPED)
        return;
    KillTimer();
    m_nState = STATE_STOPPED;
    g_pMainDlg->m_pWaveIn->Close();
    g_pMainDlg->NoteRecording(L""); // the file is complete
    ShowStoppedState();
    UpdateData(false);
}

// The system's Save As dialog, always proposing "sonarix.wav". It asks nothing about an existing
// file: the start of the recording does.
void CRecordBar::OnFileName() {
    UpdateData(true);
    wchar_t path[MAX_PATH] = L"sonarix.wav";
    std::wstring filter = LoadText(IDS_SAVE_FILTER);
    for (auto& c : filter)
        if (c == L'|')
            c = L'\0';
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = g_pMainDlg->GetSafeHwnd();
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"wav";
    ofn.Flags = OFN_EXPLORER;
    if (GetSaveFileNameW(&ofn)) {
        m_strFileName = path;
        UpdateData(false);
    }
}

// A run begins: its clock, and the 100 ms timer of the elapsed time.
void CRecordBar::StartTimer() {
    m_dwRunStart = GetTicks();
    m_nTimerId = SetTimer(m_hWnd, kTimerEvent, kTimerPeriodMs, ElapsedTimeProc);
}

void CRecordBar::KillTimer() {
    ::KillTimer(m_hWnd, m_nTimerId);
}

std::wstring CRecordBar::FormatElapsed(uint32_t e) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%02u:%02u:%02u:%02u", e / 3600000, (e / 60000) % 60, (e / 1000) % 60,
                  (e / 10) % 100);
    return text;
}

// Every 100 ms while recording: the time recorded, recomputed from the clock each time.
void CALLBACK CRecordBar::ElapsedTimeProc(HWND, UINT message, UINT_PTR id, DWORD) {
    CRecordBar* bar = g_pMainDlg ? g_pMainDlg->m_pRecordBar.get() : nullptr;
    if (!bar || message != WM_TIMER || id != bar->m_nTimerId)
        return;
    // Minimised, nobody sees it: the first tick after the window is restored shows it again.
    if (IsIconic(g_pMainDlg->GetSafeHwnd()))
        return;
    const uint32_t elapsed = GetTicks() - bar->m_dwRunStart + bar->m_dwElapsedBefore;
    g_pMainDlg->SetStatusText(1, FormatElapsed(elapsed));
}

void CRecordBar::ShowStoppedState() {
    const bool typed =
        !g_pMainDlg->m_pSettingsPage || !g_pMainDlg->m_pSettingsPage->m_bCheckSeqRecFile;
    ShowState(true, true, false, false, typed, 0);
}

void CRecordBar::ShowRecordingState() {
    ShowState(false, false, true, true, false, IDS_STATE_RECORDING);
}

void CRecordBar::ShowPausedState() {
    ShowState(false, true, true, false, false, IDS_STATE_PAUSED);
}

void CRecordBar::ShowState(bool tabs, bool start, bool stop, bool pause, bool fileName,
                           UINT stateText) {
    UpdateData(true);
    EnableWindow(g_pMainDlg->m_tabCtrl, tabs);
    SendMessageW(m_hToolbar, TB_ENABLEBUTTON, ID_RECORD_START, start);
    SendMessageW(m_hToolbar, TB_ENABLEBUTTON, ID_RECORD_STOP, stop);
    SendMessageW(m_hToolbar, TB_ENABLEBUTTON, ID_RECORD_PAUSE, pause);
    SendMessageW(m_hToolbar, TB_ENABLEBUTTON, ID_FILE_NAME, fileName);
    EnableWindow(m_editFileName, fileName);
    g_pMainDlg->SetStatusText(0, stateText ? LoadText(stateText) : std::wstring());
    UpdateData(false);
}
