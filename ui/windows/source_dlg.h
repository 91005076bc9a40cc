// CSourceDlg: what is recorded. An input (Windows' default input, its default communications
// input, or one of the inputs plugged in now, by the name Windows shows), what the computer
// plays through an output (Windows' default output, or one of the outputs), or both sides of a
// call (the input chosen and the output chosen, in one recording), and a button to
// Windows' own sound settings. A chosen device that is not plugged in now stays in its list,
// said so, and stays chosen.
#pragma once

#include "capture/audio_endpoints.h"
#include "ui/framework/dialog.h"

#include <string>
#include <vector>

// The choice the dialog edits (the settings page's): changed by OK only.
struct SourceFields {
    int& source; // 0 an input, 1 what the computer plays, 2 both
    std::wstring& inputDevice;
    std::wstring& inputDeviceName;
    std::wstring& outputDevice;
    std::wstring& outputDeviceName;
};

class CSourceDlg : public CDialog {
public:
    // The inputs and outputs plugged in now (ActiveEndpoints).
    CSourceDlg(SourceFields fields, std::vector<AudioEndpoint> inputs,
               std::vector<AudioEndpoint> outputs);

    // An entry of a list: what the settings keep (an endpoint's ID, "" for Windows' default,
    // kCommunicationsDevice), and what the list shows.
    struct Entry {
        std::wstring device, name;
        bool away = false; // the chosen device, not plugged in now
    };
    const std::vector<Entry>& Inputs() const { return m_inputs; }
    const std::vector<Entry>& Outputs() const { return m_outputs; }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    // The list's entries in order, the chosen one selected.
    void Fill(int list, const std::vector<Entry>& entries, const std::wstring& chosen);
    // The entry selected in a list, or null.
    const Entry* Selected(int list) const;
    // Windows' sound settings, on the tab of what is chosen (playback or recording).
    void OnSystemSettings();
    // The kind the radio buttons choose: 0 an input, 1 what the computer plays, 2 both.
    int Kind() const;
    void ShowBothNote();

    SourceFields m_fields;
    std::vector<Entry> m_inputs, m_outputs;
};
