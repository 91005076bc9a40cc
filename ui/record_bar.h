// CRecordBar: the strip below the preview with the start, stop, pause and file-name buttons and
// the file-name field 1012. It owns the recording's state machine, the recording format and the
// elapsed-time timer, drives the capture, and writes status-bar parts 0 (state) and 1 (time).
// Everything here runs on the window thread.
#pragma once

#include "engine/raw_file.h"
#include "ui/dialog.h"

#include <cstdint>
#include <string>

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
    // The capture wants the file it goes on in when the current one is full: the next
    // sequential name, or the typed name with " (2)", " (3)", ... before its extension. A file
    // that cannot be made is not said now: the recording ends at the limit, and says why then.
    void PrepareNextFile();
    // The recording went on in the prepared file: field 1012 and the settings file name it.
    void OnNextFileStarted();
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
    // The recording's next file: its path once prepared, and why it could not be made.
    std::wstring m_strNextFile;
    std::wstring m_strNextFileFailure;
    // A typed name's numbered files: the name typed, and the number of the last one.
    std::wstring m_strTypedName;
    int m_nTypedPart = 1;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override {}     // Enter in the file-name field does nothing
    void OnCancel() override {} // nor Escape
    bool OnCommand(int id, int code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;

private:
    void StartNewRecording();
    // The next sequential file that does not exist yet; its number is taken once the file
    // exists. wrapped: the counter passed 999999.
    bool OpenSequentialRecording(bool& wrapped);
    // The typed or chosen file; one that exists is replaced only when the user says so.
    bool OpenTypedRecording();
    // The folders of the path; false, with a message, when they cannot be created.
    bool CreateFolders(const std::wstring& path);
    // The capture into path; false when it did not start (FILE_EXISTS is left to the caller,
    // every other failure has had its message).
    bool OpenCapture(const std::wstring& path, RawFile::CreateMode mode);
    void ReportStartFailure(const std::wstring& path);
    void ResumeRecording();
    void EnterRecordingIf(bool running);
    void StartTimer();
    void KillTimer();
    // The view of a state: tab control, buttons, field 1012 and status-bar part 0.
    void ShowState(bool tabs, bool start, bool stop, bool pause, bool fileName, UINT stateText);
};
