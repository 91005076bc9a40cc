// CPreviewPage: the page of tab 0 with the waveform view (control 1010) and the two level
// meters (1007, 1009), which the monitor draws.
#pragma once

#include "ui/dialog.h"

class CPreviewPage : public CDialog {
public:
    CPreviewPage();
    // Hands the three display controls to the monitor. Called once by the main window.
    void ConnectMonitor();

protected:
    void OnOK() override {}     // Enter in the page does nothing
    void OnCancel() override {} // nor Escape, nor a close request
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
};
