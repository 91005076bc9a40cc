// CSettingsPage: the page of tab 1. It edits the sequential-naming values (switch, folder,
// sub-folders, prefix, counter), opens the folder browser, the system's recording controls and
// the sound format dialog, and builds the sequential file names.
#pragma once

#include "engine/capture_source.h"
#include "engine/sequential_naming.h"
#include "ui/framework/dialog.h"
#include "ui/windows/main_window.h"

#include <cstdint>
#include <functional>
#include <string>

class CSettingsPage : public CDialog {
public:
    static constexpr uint32_t kMaxCount = kMaxSequenceNumber;

    CSettingsPage();
    // The main window, which owns the page's dialogs and keeps the recording format.
    void Connect(IMainWindow& main) { m_main = &main; }

    // The five naming values from g_settings into the page and its controls. Once, at start-up.
    void LoadFromSettings();
    // The controls into the values (a failed reading shows its message, unless quiet, and goes
    // on), the values into g_settings. At shutdown.
    void StoreToSettings(bool quiet = false);

    // The five naming values, for a recording to name its files by.
    SequentialNaming Naming() const;
    // What is recorded, for a recording to open.
    CaptureSource Source() const;
    // The device of a source as the user knows it: Windows' default (or communications default)
    // by those words, a chosen one by the name it had when it was chosen; playback as the
    // computer's playback of its output; both sides as the two.
    std::wstring SourceName(const CaptureSource& source) const;
    // ...one device's name alone, without saying what is recorded of it.
    std::wstring DeviceName(const CaptureSource& source) const;
    // Once the window stands, what to tell: the keys of the source the settings file held that
    // could not be used, and what is recorded instead (empty when there are none).
    std::wstring DamagedSourceText(const std::vector<std::wstring>& keys) const;
    // The recording took or gave back a number: the counter and its field follow (the recording
    // keeps it in the settings file).
    void SetCounter(uint32_t count);
    // Enables the six naming controls while sequential naming is on.
    void UpdateControlStates();
    // Called whenever check box 1018 (sequential naming) is clicked: the record bar's file-name
    // field and button follow it.
    void WhenNamingSwitched(std::function<void()> follow) { m_namingSwitched = std::move(follow); }

    void OnCheckSeqRecFile();
    void OnBrowseFolder();
    void OnRecordingSource();
    void OnSoundFormat();

    HWND m_checkSubDir = nullptr;
    HWND m_editCount = nullptr;
    HWND m_editPrefix = nullptr;
    HWND m_buttonBrowse = nullptr;
    HWND m_editFolder = nullptr;
    HWND m_spinCount = nullptr;
    // What is recorded (the settings' Source, InputDevice, ...).
    int m_nSource = 0;
    std::wstring m_strInputDevice, m_strInputDeviceName;
    std::wstring m_strOutputDevice, m_strOutputDeviceName;
    uint32_t m_nSeqRecFileCount = 0;
    int m_bCheckSeqRecFile = 0;
    std::wstring m_strSeqRecFileDir;
    std::wstring m_strSeqRecFilePrefix;
    int m_bCheckReqFileSubDir = 0;

protected:
    // The controls whose text does not name them are named for screen readers.
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    void OnOK() override {}     // Enter in a field does nothing
    void OnCancel() override {} // nor Escape
    bool OnCommand(int id, int code, HWND control) override;

private:
    void SetSpinPosition(uint32_t position);
    // The line under the buttons: what is recorded.
    void ShowSource();
    // While sequential naming is off, the counter is taken only when it reads as one: nothing
    // that is not used is checked.
    void TakeUnusedCounter(CDataExchange& dx);

    std::function<void()> m_namingSwitched;
    IMainWindow* m_main = nullptr;
};
