// CMainDlg: the program's one top-level window. A tab control shows the preview page with the
// record bar (tab 0, "メイン") or the settings page (tab 1, "設定"); a four-part status bar
// shows the recording state, the elapsed time and the two held dB levels. It owns the pages
// and the capture, reads the settings when it opens and runs the whole shutdown when it closes.
#pragma once

#include "app/command_line.h"
#include "app/press_rule.h"
#include "capture/wave_input.h"
#include "engine/window_mailbox.h"
#include "recording/recording.h"
#include "recording/system_side.h"
#include "ui/framework/dialog.h"
#include "ui/shell/running_copy.h"
#include "ui/shell/taskbar_button.h"
#include "ui/shell/windows_system_side.h"
#include "ui/windows/main_window.h"
#include "ui/windows/notice_line.h"
#include "ui/windows/status_bar.h"

#include <atomic>
#include <memory>
#include <string>

class CPreviewPage;
class CRecordBar;
class CSettingsPage;
class CWaveIn;
class CWinMonitorHost;

// Posted to the main window: its mail waits (WindowMailbox), the one message of its own.
constexpr UINT WM_APP_MAIL = WM_APP + 1;

// COM (OLE) for the window thread, which the shell's dialogs need, while it exists.
class OleApartment {
public:
    OleApartment();
    ~OleApartment();
    OleApartment(const OleApartment&) = delete;
    OleApartment& operator=(const OleApartment&) = delete;

private:
    bool m_initialised;
};

class CMainDlg : public CDialog, public IRecordingNotes, public IMainWindow {
    // The first member, so the last to go: COM lasts from the window's construction to its end.
    OleApartment m_ole;

public:
    // The switches the program was started with (none: the plain recorder).
    explicit CMainDlg(CommandLine command = CommandLine());
    ~CMainDlg() override;

    // What the process's end tells whoever started it (a scheduler, a script).
    int ExitCode() const { return m_exitCode; }

    // What the user must learn: while a recording runs, is paused or waits, and in a run started
    // by switches (nobody may be at the screen), a notice in the window (and a line of the log);
    // else the program's message box.
    void Tell(const std::wstring& text) override;
    // A question with Yes and No: in a run started by switches, No without a box (logged).
    bool Ask(const std::wstring& text) override;
    const CNoticeLine& Notices() const { return m_notices; }
    // The stop time of the recording running, or of the next one.
    const StopTime& StopAt() const { return m_stopTime; }
    void SetStopTime(const StopTime& stop);
    // Acts on switches (its own at start-up, or a second copy's): the exit code to answer.
    int RunCommand(const CommandLine& command);

    // Sets a part of the status bar; nothing while the status bar does not exist.
    void SetStatusText(int part, const std::wstring& text) override {
        m_statusBar.SetText(part, text);
    }
    std::wstring StatusText(int part) const override { return m_statusBar.Text(part); }
    // The recording's new state, said once to screen readers.
    void SayState(const std::wstring& said) override;
    // Something that happened and changes no state (a marker placed), said once to screen
    // readers.
    void Announce(const std::wstring& said) override;
    HWND Owner() const override { return m_hWnd; }
    SoundFormatFields Format() override;
    CMonitor& Monitor() override { return *m_monitor; }
    // The recording's view changed: the tabs, the line below them, the folder's button, the
    // taskbar button, and the system's side (awake, shutdown, the marker's key).
    void FollowView(const RecordingView& view) override;
    void Tick() override { m_mail.TakeIfLost(); }

    // Writes to the settings file at once, for the recording: the sequential counter after a
    // recording took or gave back a number, and the files not yet complete, so that a crash
    // loses neither. The first write of a run that fails tells the user.
    bool SaveCounter(uint32_t count) override;
    bool NoteFiles(const std::vector<NotedFile>& files) override;
    std::vector<NotedFile> NotedFiles() override;
    std::vector<std::wstring> ToldFiles() override;
    bool NoteToldFiles(const std::vector<std::wstring>& files) override;

    // The recording's reports, to the record bar.
    void OnRecordingReports();
    // The input being recorded is named above the waveform; a new one (the recording followed
    // a new default input) is said to screen readers.
    void FollowInput();
    const CTaskbarButton& Taskbar() const { return m_taskbar; }
    // The marker's key from anywhere, Ctrl+Alt+Shift+M, is held for the window while a
    // recording runs or is paused (where no other program holds it).
    bool HoldsMarkerKey() const { return m_system && m_system->HoldsMarkerKey(); }
    static constexpr int kMarkerHotKey = CSystemFollower::kMarkerKey;
    // The window is minimised: nobody sees the pictures or the time (the one place that says so;
    // the monitor's host keeps a copy for the capture thread).
    bool IsMinimised() const override { return m_minimised; }

    std::unique_ptr<CPreviewPage> m_pPreviewPage;
    std::unique_ptr<CRecordBar> m_pRecordBar;
    std::unique_ptr<CSettingsPage> m_pSettingsPage;
    int m_nCurTab = 0;
    int m_bTabChangeFailed = 0;
    CStatusBar m_statusBar;

private:
    std::unique_ptr<CWinMonitorHost> m_monitorHost; // the monitor's window side
    std::unique_ptr<CMonitor> m_monitor;            // what the capture draws into

public:
    std::unique_ptr<CWaveIn> m_pWaveIn;
    // The recording's life across its files; it goes before the capture it drives.
    std::unique_ptr<CRecording> m_pRecording;
    HWND m_tabCtrl = nullptr;
    HICON m_hIcon = nullptr;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void SetUpSystemMenuAndIcon();
    void CreatePages();
    void CreateCapture();
    void CreateStatusBar();
    void OnSysCommand(WPARAM command);
    bool OnPaint();
    void OnTabSelChanging();
    void OnTabSelChange();
    // A shortcut key or a media key of a record bar command: on the settings tab, the main tab
    // is shown first (when the settings page lets it go).
    void OnShortcut(int command);
    // Recordings cut short in an earlier run (the settings file still names them), completed
    // beside the window: once looked at, their notes and the counter are settled and the user
    // told; one that cannot be completed now waits for a later start.
    void FinishInterruptedRecordings();
    // After every write to the settings file: the first failure of the run is reported, with
    // the system's error, unless the session is ending.
    void SettingsWritten(bool ok, uint32_t error);
    void ShowSettingsNotSaved(uint32_t error);
    // What OK, Cancel and the end of the Windows session share: the recording stopped and its
    // files completed (waited for, bounded), then the values stored and the settings saved.
    // Runs once.
    void Finish(uint32_t waitMs);
    // The pages, the recording, then the capture go. Never while a modal loop of theirs runs.
    void Release();
    // The session ends (or Restart Manager closes the program): everything is finished quietly,
    // every modal dialog and message box of the program is closed, and the window closes once
    // their loops have unwound.
    void OnEndSession();
    void OnSessionEnded();
    // The window stands: what the settings and an earlier run left, and the switches.
    void OnShown();
    // The switches' work is done: the window closes once the program's own dialogs are.
    void OnExitDue();
    bool OnQueryEndSession(LPARAM reason);
    // What the system's side of the recording asks the user to hear.
    void TellSystem(const CSystemFollower::Said& said);
    void BeforeKeyDown(const MSG& msg) override;
    void AfterKeyDown() override { m_mediaKeys.KeyDone(); }
    bool IsRecording() const;
    // The line below the tabs: the stop time and the time left, the time the drive holds.
    void ShowRecordInfo();
    // The stop time's timer, armed for the stop time's moment (at most a second ahead).
    void FollowStopTime();
    void OnStopTimeDue();
    void OnStopTimeButton();
    // The last file recorded, shown in its folder by Explorer.
    void OnOpenFolder();
    LRESULT OnCommandCopyData(const COPYDATASTRUCT& data);
    int StartByCommand();

    bool m_finished = false;
    int m_sessionEndTries = 0;
    bool m_settingsFailureShown = false;
    WindowMailbox m_mail;                     // every other thread's word to this one
    std::atomic<bool> m_reportsPosted{false}; // the recording's reports wait in the mail
    bool m_minimised = false;
    UniqueAccelerators m_shortcuts;
    PowerNotification m_displayNotify; // the display going off
    CTaskbarButton m_taskbar;
    std::unique_ptr<CWindowsSystemSide> m_systemSide;
    // The recording's side towards the system; it goes before the recording.
    std::unique_ptr<CSystemFollower> m_system;
    std::wstring m_inputId;                    // the input named above the waveform
    std::wstring m_inputShown;                 // ...by its name
    PressRule m_mediaKeys;                     // a held media key acts once
    CAccessibleServer* m_tabsServer = nullptr; // lives as long as the tab control
    CommandLine m_command;                     // the switches of this run
    bool m_quietRun = false;                   // started by switches: nothing waits on a box
    bool m_exitWhenStopped = false;
    bool m_wasRecording = false; // as FollowView last saw it
    int m_exitCode = EXIT_DONE;
    CNoticeLine m_notices;
    CRunningCopy m_runningCopy;
    StopTime m_stopTime;
    std::wstring m_lastFile; // the last file recorded, for IDC_OPEN_FOLDER
    std::wstring m_lastToldStartFailure;
};

extern CMainDlg* g_pMainDlg;

// Makes the wave-input device of each CWaveIn: winmm's, unless a test puts another in place.
using WaveInputFactory = std::unique_ptr<IWaveInput> (*)();
void SetWaveInputFactory(WaveInputFactory factory);
