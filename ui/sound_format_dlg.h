// CSoundFormatDlg: channel count, sampling rate and sample type of the next recording, edited
// in place in the record bar's format.
#pragma once

#include "ui/dialog.h"

class CSoundFormatDlg : public CDialog {
public:
    CSoundFormatDlg();

    HWND m_cbType = nullptr;
    HWND m_cbRate = nullptr;
    int m_nChannel = -1; // the radio group: 0 mono, 1 stereo, -1 none

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};
