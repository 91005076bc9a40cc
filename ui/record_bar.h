// CRecordBar: the strip below the preview with the start, stop, pause and file-name buttons and
// the file-name field 1012. It owns the state machine of the buttons, the recording format and
// the elapsed-time timer, asks the recording to start, pause, resume and stop, shows what it
// reports, and writes status-bar parts 0 (state) and 1 (time). Everything here runs on the
// window thread.
#pragma once

#include "recording/recording.h"
#include "ui/dialog.h"

#include <cstdint>
#include <string>
#include <vector>

class CRecordBar : public CDialog {
public:
    enum { STATE_STOPPED = 0, STATE_RECORDING = 1, STATE_PAUSED = 2 };
    static constexpr UINT_PTR kTimerEvent = 2;
    static constexpr UINT kTimerPeriodMs = 100;

    CRecordBar();

    // The format from g_settings, the Stopped state and its view. Once, at start-up.
    void LoadFormat();
    // The controls into the fields, the format into g_settings. At shutdown.
    void StoreFormat();

    void OnRecordStart();
    void OnRecordStop();
    // What the recording reported: field 1012 follows it into its next file; a recording the
    // capture ended leaves the Recording state and says why; a file not completed is said.
    void OnRecordingReports(const std::vector<RecordingReport>& reports);
    void OnRecordPause();
    void OnFileName();

    void ShowStoppedState();
    void ShowRecordingState();
    void ShowPausedState();

    struct ToolbarImages {
        UINT bitmap;
        int width, height; // of one image
    };
    static ToolbarImages ToolbarImagesFor(int dpi);

    // "%02d:%02d:%02d:%02d" of hours (not wrapped), minutes, seconds, hundredths.
    static std::wstring FormatElapsed(uint32_t milliseconds);
    // A length for a sentence: "1 時間 2 分 3 秒", "2 分 3 秒", "3 秒" (whole seconds).
    static std::wstring FormatDuration(uint64_t milliseconds);
    static void CALLBACK ElapsedTimeProc(HWND window, UINT message, UINT_PTR id, DWORD time);

    int m_nSamplingChannel = 2;
    int m_nSampleType = 1;
    int m_nSamplingRate = 16000;
    UINT_PTR m_nTimerId = 0;
    uint32_t m_dwRunStart = 0;
    uint32_t m_dwElapsedBefore = 0;
    HWND m_editFileName = nullptr;
    std::wstring m_strFileName;
    int m_nState = STATE_STOPPED;
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
    // Why a recording did not start, in the user's words, with the system's own text.
    void ShowStartFailure(const RecordingFailure& failure);
    // The recording stopped at endMs (GetTicks), by the user or by itself: the exact elapsed
    // time, the Stopped view, and every file that could not be completed said.
    void EnterStopped(const std::vector<RecordingFailure>& notCompleted, uint32_t endMs);
    // The time recorded, pauses left out, up to nowMs; into status-bar part 1.
    uint32_t ElapsedAt(uint32_t nowMs) const;
    void ShowElapsed(uint32_t elapsed);
    void ShowNotCompleted(const RecordingFailure& failure);
    // The settings page's counter follows the recording's.
    void FollowCounter();
    void ResumeRecording();
    void EnterRecordingIf(bool running);
    void StartTimer();
    void KillTimer();
    // The view of a state: tab control, buttons, field 1012 and status-bar part 0.
    void ShowState(bool tabs, bool start, bool stop, bool pause, bool fileName, UINT stateText);
};
