// CSoundFormatDlg: channel count, sampling rate and sample type of the next recording, edited
// in place in the record bar's format.
#pragma once

#include "ui/dialog.h"

class CSoundFormatDlg : public CDialog {
public:
    // The rate list's entries, in list order.
    static constexpr int kRates[9] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

    CSoundFormatDlg();

    HWND m_cbType = nullptr;
    HWND m_cbRate = nullptr;
    int m_nChannel = -1; // the radio group: 0 mono, 1 stereo, -1 none

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};
