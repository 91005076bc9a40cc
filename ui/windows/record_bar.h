// CRecordBar: the strip below the preview with the start, stop, pause, file-name and marker
// buttons and the file-name field 1012. It shows the recording's state in its buttons, keeps the
// recording format and the elapsed-time timer, asks the recording to start, pause, resume and stop,
// shows what it reports, and writes status-bar parts 0 (state) and 1 (time). Everything here runs
// on the window thread.
#pragma once

#include "recording/recording.h"
#include "recording/recording_view.h"
#include "ui/framework/dialog.h"
#include "ui/windows/main_window.h"
#include "ui/windows/record_toolbar.h"

#include <cstdint>
#include <string>
#include <vector>

class CSettingsPage;

class CRecordBar : public CDialog {
public:
    enum { STATE_STOPPED = 0, STATE_RECORDING = 1, STATE_PAUSED = 2 };
    static constexpr UINT_PTR kTimerEvent = 2;
    static constexpr UINT kTimerPeriodMs = 100;

    CRecordBar();

    // The main window, the recording the bar drives and the page that names sequential files.
    // Before LoadFormat.
    void Connect(IMainWindow& main, CRecording& recording, CSettingsPage& page);
    // The recording's state as the buttons show it: one still completing its files is stopped.
    int State() const;

    // The format from g_settings, the Stopped state and its view. Once, at start-up.
    void LoadFormat();
    // The controls into the fields, the format into g_settings. At shutdown.
    void StoreFormat();

    void OnRecordStart();
    void OnRecordStop();
    // The stop time has come: stopped as by the button, and said so.
    void StopAtStopTime();
    // What the recording reported: field 1012 follows it into its next file; a recording that
    // could not go on leaves the Recording state and says why; everything else said is said.
    void OnRecordingReports(const std::vector<RecordingReport>& reports);
    void OnRecordPause();
    void OnFileName();
    // Marks the moment of the recording (Ctrl+M, the marker button): running or paused.
    void OnMarker();
    // A shortcut key of a command, from anywhere in the main window.
    void OnShortcut(int command);

    // The view of the recording now, worked out again: when it changed, the bar's buttons and
    // field, the state's words, and the main window follow it.
    void FollowState();
    const RecordingView& View() const { return m_view; }
    // The running recording says that no sound arrives (status-bar part 0, the taskbar).
    bool IsQuiet() const { return m_quiet; }

    struct ToolbarImages {
        UINT bitmap;
        int width, height; // of one image
    };
    static ToolbarImages ToolbarImagesFor(int dpi);

    // "%02d:%02d:%02d:%02d" of hours (not wrapped), minutes, seconds, hundredths.
    static std::wstring FormatElapsed(uint32_t milliseconds);
    static void CALLBACK ElapsedTimeProc(HWND window, UINT message, UINT_PTR id, DWORD time);

    int m_nSamplingChannel = 2;
    int m_nSampleType = 1;
    int m_nSamplingRate = 16000;
    UINT_PTR m_nTimerId = 0;
    HWND m_editFileName = nullptr;
    std::wstring m_strFileName;
    HWND m_hToolbar = nullptr;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}     // Enter in the file-name field does nothing
    void OnCancel() override {} // nor Escape
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;

private:
    void StartNewRecording();
    // The typed or chosen file into plan; one that exists is replaced only when the user says
    // so. False when there is nothing to record into (said) or the user said no.
    bool PlanTypedRecording(RecordingPlan& plan);
    // Whether the user agrees to replace the existing file of the typed name.
    bool AskToReplace();
    // Whether the user agrees to record Windows' default device of the kind this time, the
    // chosen one not being there.
    bool AskForDefaultSource(const CaptureSource& absent);
    void ShowMessage(const std::wstring& text);
    // The recording has stopped, by the user or by itself (said: how, for a screen reader): the
    // exact elapsed time recorded, and the Stopped view.
    void EnterStopped(const std::wstring& said);
    // The recording's state, said to screen readers when it changed.
    void SayState(const std::wstring& said);
    // The time the recording has recorded, pauses left out; into status-bar part 1.
    void ShowElapsed();
    // Every tick of a run, minimised too: whether the sound has stayed quiet for kQuietWarnMs.
    void FollowSound();
    // The quiet warning shown or taken back: the state, and the taskbar button's flashing.
    void WarnQuiet(bool quiet);
    // The settings page's counter follows the recording's.
    void FollowCounter();
    void ResumeRecording();
    // The markers of the recording, as the marker button's description.
    void ShowMarkerCount();
    void EnterRecording();
    void StartTimer();
    void KillTimer();
    // The view shown: buttons, field 1012, status-bar part 0, the words said; the main window's
    // part.
    void ShowView(const RecordingView& view);

    IMainWindow* m_main = nullptr;
    CRecording* m_recording = nullptr;
    CSettingsPage* m_page = nullptr;
    CRecordToolbar m_toolbar;
    std::wstring m_said;
    RecordingView m_view;
    bool m_viewShown = false;
    bool m_quiet = false; // the running recording has recorded only quiet sound for a while
    WaitingSide m_sideWaiting = SIDE_NONE; // ...of both sides of a call, the side that is away
};
