#include "ui/windows/record_bar.h"

#include "app/settings.h"
#include "capture/wave_in.h"
#include "engine/clock.h"
#include "engine/file_name_check.h"
#include "res/resource.h"
#include "ui/access/accessibility.h"
#include "ui/framework/dpi.h"
#include "ui/framework/ui_text.h"
#include "ui/windows/recording_texts.h"
#include "ui/windows/settings_page.h"

#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>

#include <cwchar>
#include <utility>

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

// The toolbar, first in the bar's tab order; the file-name field, named for screen readers (no
// label precedes it).
BOOL CRecordBar::OnInitDialog() {
    CDialog::OnInitDialog();
    const ToolbarImages images = ToolbarImagesFor(SystemDpi());
    m_hToolbar = m_toolbar.Create(m_hWnd, images.bitmap, images.width, images.height);
    InvalidateRect(m_hToolbar, nullptr, TRUE);
    ::ShowWindow(m_hToolbar, SW_SHOW);
    NameForScreenReaders(GetDlgItem(IDC_FILE_NAME), LoadText(IDS_ACC_FILE_NAME));
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
    case ID_MARKER:
        OnMarker();
        return true;
    default:
        return false;
    }
}

// Tooltips: the string numbers of stop and pause are one above their commands.
bool CRecordBar::OnNotify(NMHDR* header, LRESULT*) {
    if (header->code != TTN_NEEDTEXTW && header->code != TTN_NEEDTEXTA)
        return false;
    const UINT text = CRecordToolbar::TipText(int(header->idFrom));
    if (!text)
        return false;
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

void CRecordBar::Connect(IMainWindow& main, CRecording& recording, CSettingsPage& page) {
    m_main = &main;
    m_recording = &recording;
    m_page = &page;
}

int CRecordBar::State() const {
    switch (m_recording ? m_recording->State() : RECORDING_STOPPED) {
    case RECORDING_RUNNING:
    case RECORDING_WAITING:
        return STATE_RECORDING;
    case RECORDING_PAUSED:
        return STATE_PAUSED;
    case RECORDING_STOPPED:
    case RECORDING_ENDING:
        break;
    }
    return STATE_STOPPED;
}

void CRecordBar::LoadFormat() {
    m_nSamplingChannel = g_settings.SamplingChannel;
    m_nSampleType = g_settings.SampleType;
    m_nSamplingRate = g_settings.SamplingRate;
    FollowState();
}

void CRecordBar::StoreFormat() {
    UpdateData(true);
    g_settings.SamplingChannel = m_nSamplingChannel;
    g_settings.SampleType = m_nSampleType;
    g_settings.SamplingRate = m_nSamplingRate;
}

void CRecordBar::OnRecordStart() {
    UpdateData(true);
    if (State() == STATE_STOPPED)
        StartNewRecording();
    else if (State() == STATE_PAUSED)
        ResumeRecording();
}

// While a recording runs, a notice in the window; else a box (see CMainDlg::Tell).
void CRecordBar::ShowMessage(const std::wstring& text) {
    m_main->Tell(text);
}

namespace {

// Whether a file (not a folder) of this name exists.
bool IsPlainFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

// 1. The plan: sequential naming, or the typed name (replaced only when the user says so), and
// what is recorded. 2. The recording: capture, name, folders, file, counter and note (a chosen
// device that is not there is never replaced without the user's word: Windows' default is
// offered for this recording). 3. The timer. 4. The view of the new state. 5. The wrap message,
// while the recording runs.
void CRecordBar::StartNewRecording() {
    RecordingPlan plan;
    plan.channels = m_nSamplingChannel;
    plan.samplesPerSec = m_nSamplingRate;
    plan.sampleType = m_nSampleType;
    plan.source = m_page->Source();
    plan.sequential = m_page->m_bCheckSeqRecFile != 0;
    if (plan.sequential)
        plan.naming = m_page->Naming();
    else if (!PlanTypedRecording(plan))
        return;
    RecordingFailure failure = m_recording->Start(plan);
    // A typed file that appeared after the check is asked about now. Something else of that
    // name (a folder) cannot be recorded into at all.
    if (!plan.sequential && failure.step == STEP_FILE_EXISTS && !plan.replaceTyped &&
        IsPlainFile(m_strFileName)) {
        if (!AskToReplace())
            return;
        plan.replaceTyped = true;
        failure = m_recording->Start(plan);
    }
    // The device that is not there: of both sides, the one the failure names.
    const bool outputAbsent = plan.source.kind == SOURCE_BOTH && failure.code == kOutputAbsent;
    const CaptureSource absent = plan.source.kind != SOURCE_BOTH ? plan.source
                                 : outputAbsent                  ? plan.source.Playback()
                                                                 : plan.source.Input();
    if (failure.step == STEP_SOURCE_ABSENT && !absent.FollowsDefault()) {
        if (!AskForDefaultSource(absent))
            return;
        (outputAbsent ? plan.source.output : plan.source.device).clear();
        failure = m_recording->Start(plan);
    }
    if (failure) {
        ShowMessage(StartFailureText(failure));
        return;
    }
    m_sideWaiting = SIDE_NONE;
    FollowCounter();
    m_strFileName = m_recording->CurrentFile();
    UpdateData(false); // field 1012 shows the path in use, a sequential one too
    ShowMarkerCount();
    StartTimer();
    EnterRecording();
    // The counter at 0 after the wrap: the file took 999999. Past 0: the numbers from 000000 on
    // were taken, and the one before the counter is the file's.
    if (m_recording->Wrapped() && m_recording->Counter() == 0) {
        ShowMessage(LoadText(IDS_COUNTER_WRAPPED));
    } else if (m_recording->Wrapped()) {
        wchar_t used[16];
        std::swprintf(used, 16, L"%06u", unsigned(m_recording->Counter() - 1));
        ShowMessage(FormatText(IDS_COUNTER_WRAPPED_TO, {used}));
    }
}

bool CRecordBar::AskForDefaultSource(const CaptureSource& absent) {
    CaptureSource fallback = absent;
    fallback.device.clear();
    return m_main->Ask(FormatText(IDS_SOURCE_ABSENT_ASK,
                                  {m_page->SourceName(absent), m_page->SourceName(fallback)}));
}

bool CRecordBar::AskToReplace() {
    return m_main->Ask(FormatText(IDS_FILE_EXISTS_ASK, {m_strFileName}));
}

bool CRecordBar::PlanTypedRecording(RecordingPlan& plan) {
    if (m_strFileName.empty()) {
        ShowMessage(LoadText(IDS_NO_FILE_NAME));
        return false;
    }
    if (!IsStorableFileName(m_strFileName)) {
        ShowMessage(LoadText(IDS_BAD_FILE_NAME));
        return false;
    }
    plan.typedName = m_strFileName;
    if (IsPlainFile(m_strFileName)) {
        if (!AskToReplace())
            return false;
        plan.replaceTyped = true;
    }
    return true;
}

// A recording that could not go on has stopped already (a new one may run meanwhile, when the
// files of the last one failed on the disk); field 1012 follows the file being written.
void CRecordBar::OnRecordingReports(const std::vector<RecordingReport>& reports) {
    for (const RecordingReport& report : reports) {
        if (report.kind == RecordingReport::FILE_STARTED) {
            m_strFileName = report.path;
            UpdateData(false);
            FollowCounter();
            continue;
        }
        if (report.kind == RecordingReport::COUNTER_MOVED) { // the page shows it
            FollowCounter();
            continue;
        }
        const std::wstring text = ReportText(report);
        if (report.kind == RecordingReport::ENDED && State() == STATE_STOPPED)
            EnterStopped(FirstSentence(text));
        if ((report.kind == RecordingReport::INPUT_LOST ||
             report.kind == RecordingReport::INPUT_BACK) &&
            State() == STATE_RECORDING)
            FollowState(); // waiting for the input, or recording again
        if (!text.empty())
            ShowMessage(text);
    }
}

void CRecordBar::FollowCounter() {
    if (m_page->m_bCheckSeqRecFile)
        m_page->SetCounter(m_recording->Counter());
}

// The device did not restart: the recording stays paused, its file open, and the user is told.
void CRecordBar::ResumeRecording() {
    const RecordingFailure failure = m_recording->Resume();
    if (failure) {
        ShowMessage(FormatText(IDS_RESUME_FAILED, {DeviceFailureText(failure)}));
        return;
    }
    StartTimer();
    EnterRecording();
}

void CRecordBar::EnterRecording() {
    FollowState();
    UpdateData(false);
}

// The device would not stop: the recording goes on, and the user is told.
void CRecordBar::OnRecordPause() {
    if (State() != STATE_RECORDING)
        return;
    const RecordingFailure failure = m_recording->Pause();
    if (failure) {
        ShowMessage(FormatText(IDS_PAUSE_FAILED, {DeviceFailureText(failure)}));
        return;
    }
    KillTimer();
    ShowElapsed();
    FollowState();
    UpdateData(false);
}

// At once: the disk thread completes the files afterwards, and says so if it cannot.
void CRecordBar::OnRecordStop() {
    if (State() == STATE_STOPPED)
        return;
    m_recording->Stop();
    EnterStopped(LoadText(IDS_SAID_STOPPED));
}

void CRecordBar::StopAtStopTime() {
    if (State() == STATE_STOPPED)
        return;
    m_recording->Stop();
    EnterStopped(LoadText(IDS_SAID_TIMED_STOP));
}

void CRecordBar::EnterStopped(const std::wstring& said) {
    SayState(said);
    KillTimer();
    ShowElapsed();   // minimised too: it stays visible after the restore
    FollowCounter(); // a number given back
    FollowState();
    UpdateData(false);
}

// The moment the user hears now is marked; a screen reader says its number, and no box comes.
void CRecordBar::OnMarker() {
    const uint32_t number = m_recording->PlaceMarker();
    if (number == 0)
        return;
    ShowMarkerCount();
    m_main->Announce(FormatText(IDS_SAID_MARKER, {std::to_wstring(number)}));
}

void CRecordBar::ShowMarkerCount() {
    m_toolbar.SetMarkerCount(
        FormatText(IDS_ACC_MARKER_COUNT, {std::to_wstring(m_recording->MarkerCount())}));
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
    ofn.hwndOwner = m_main->Owner();
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"wav";
    ofn.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR; // the chosen folder (a USB stick) stays free
    if (GetSaveFileNameW(&ofn)) {
        m_strFileName = path;
        UpdateData(false);
    }
}

// A run begins: the 100 ms timer of the elapsed time.
void CRecordBar::StartTimer() {
    m_nTimerId = SetTimer(m_hWnd, kTimerEvent, kTimerPeriodMs, ElapsedTimeProc);
}

// A run ends (a pause, the stop): its warning with it.
void CRecordBar::KillTimer() {
    ::KillTimer(m_hWnd, m_nTimerId);
    WarnQuiet(false);
}

// Of both sides of a call, the microphone alone counts: the far side may simply be listening.
void CRecordBar::FollowSound() {
    const bool running = State() == STATE_RECORDING && m_recording->State() == RECORDING_RUNNING;
    WarnQuiet(running && m_recording->QuietMs() >= kQuietWarnMs);
    const WaitingSide sideWaiting = m_recording->SideWaiting(); // a pause leaves it as it is
    if (sideWaiting != m_sideWaiting) {
        m_recording->MarkSide(m_sideWaiting, false);
        m_recording->MarkSide(sideWaiting, true);
        m_sideWaiting = sideWaiting;
        FollowState();
    }
}

// The taskbar button flashes until the window comes to the front.
void CRecordBar::WarnQuiet(bool quiet) {
    if (quiet == m_quiet)
        return;
    m_quiet = quiet;
    FLASHWINFO flash = {sizeof flash, m_main->Owner(),
                        quiet ? DWORD(FLASHW_TRAY | FLASHW_TIMERNOFG) : DWORD(FLASHW_STOP), 0, 0};
    FlashWindowEx(&flash);
    FollowState();
}

std::wstring CRecordBar::FormatElapsed(uint32_t e) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%02u:%02u:%02u:%02u", e / 3600000, (e / 60000) % 60, (e / 1000) % 60,
                  (e / 10) % 100);
    return text;
}

// Every 100 ms while recording: the time recorded, recomputed from the clock each time.
void CALLBACK CRecordBar::ElapsedTimeProc(HWND window, UINT message, UINT_PTR id, DWORD) {
    auto* bar = reinterpret_cast<CRecordBar*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!bar || !bar->m_main || message != WM_TIMER || id != bar->m_nTimerId)
        return;
    bar->m_main->Tick();
    bar->FollowSound();
    // Minimised, nobody sees it: the first tick after the window is restored shows it again.
    if (bar->m_main->IsMinimised() || bar->State() != STATE_RECORDING)
        return;
    bar->ShowElapsed();
}

void CRecordBar::ShowElapsed() {
    m_main->SetStatusText(1, FormatElapsed(m_recording->ElapsedMs(GetTicks())));
}

// A press of a shortcut key is a press of its button; the pause key pressed again resumes.
void CRecordBar::OnShortcut(int command) {
    if (command == ID_RECORD_PAUSE && State() == STATE_PAUSED)
        command = ID_RECORD_START;
    if (m_toolbar.IsEnabled(command))
        OnCommand(command, BN_CLICKED, m_hToolbar);
}

// Once for each change: a screen reader hears the new state, not the same one twice.
void CRecordBar::SayState(const std::wstring& said) {
    if (said == m_said)
        return;
    m_said = said;
    m_main->SayState(said);
}

namespace {

UINT WordsText(RecordingView::Words words) {
    switch (words) {
    case RecordingView::RECORDING_WORDS:
        return IDS_STATE_RECORDING;
    case RecordingView::PAUSED_WORDS:
        return IDS_STATE_PAUSED;
    case RecordingView::WAITING_WORDS:
        return IDS_STATE_WAITING;
    case RecordingView::MIC_WAITING_WORDS:
        return IDS_STATE_MIC_WAITING;
    case RecordingView::PLAYBACK_WAITING_WORDS:
        return IDS_STATE_PLAYBACK_WAITING;
    case RecordingView::QUIET_WORDS:
        return IDS_STATE_QUIET;
    case RecordingView::MIC_QUIET_WORDS:
        return IDS_STATE_MIC_QUIET;
    case RecordingView::NO_WORDS:
        break;
    }
    return 0;
}

// The quiet states are said as their warning.
UINT SaidText(RecordingView::Words words) {
    return words == RecordingView::QUIET_WORDS       ? IDS_SAID_QUIET
           : words == RecordingView::MIC_QUIET_WORDS ? IDS_SAID_MIC_QUIET
                                                     : WordsText(words);
}

} // namespace

void CRecordBar::FollowState() {
    const bool typed = !m_page || !m_page->m_bCheckSeqRecFile;
    const RecordingView view =
        ViewOf(m_recording ? m_recording->State() : RECORDING_STOPPED, m_quiet, m_sideWaiting,
               m_recording && m_recording->Source().kind == SOURCE_BOTH, typed);
    if (m_viewShown && view == m_view)
        return;
    m_view = view;
    m_viewShown = true;
    ShowView(view);
}

// The buttons enabled before the others are disabled: a button with the focus that is disabled
// passes it to a neighbour that can already be pressed. The stopped state is said by the stop.
void CRecordBar::ShowView(const RecordingView& view) {
    UpdateData(true);
    const HWND focus = GetFocus();
    const std::pair<int, bool> buttons[] = {{ID_RECORD_START, view.start},
                                            {ID_RECORD_STOP, view.stop},
                                            {ID_RECORD_PAUSE, view.pause},
                                            {ID_FILE_NAME, view.fileName},
                                            {ID_MARKER, view.marker}};
    for (const bool enabling : {true, false})
        for (const auto& button : buttons)
            if (button.second == enabling)
                SendMessageW(m_hToolbar, TB_ENABLEBUTTON, WPARAM(button.first), enabling);
    EnableWindow(m_editFileName, view.fileName);
    const UINT words = WordsText(view.words);
    if (m_main)
        m_main->SetStatusText(0, words ? LoadText(words) : std::wstring());
    if (words)
        SayState(LoadText(SaidText(view.words)));
    if (m_main)
        m_main->FollowView(view); // the tabs among it
    // The keyboard's focus never stays on a control just disabled (the tab control, the field):
    // it goes to the toolbar, where the next command is.
    const HWND now = GetFocus();
    if (focus && (!now || !IsWindowEnabled(now)) && IsWindowVisible(m_hToolbar))
        SetFocus(m_hToolbar);
    UpdateData(false);
}
