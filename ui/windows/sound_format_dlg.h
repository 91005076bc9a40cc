// CSoundFormatDlg: channel count, sampling rate and sample type of the next recording, edited
// in place in the format it is handed (the record bar's).
#pragma once

#include "ui/framework/dialog.h"

// The format the dialog edits: changed by OK only.
struct SoundFormatFields {
    int& channels;
    int& samplesPerSec;
    int& sampleType;
};

class CSoundFormatDlg : public CDialog {
public:
    explicit CSoundFormatDlg(SoundFormatFields format);

    HWND m_cbType = nullptr;
    HWND m_cbRate = nullptr;
    int m_nChannel = -1; // the radio group: 0 mono, 1 stereo, -1 none

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    SoundFormatFields m_format;
};
