// CPreviewPage: the page of tab 0 with the waveform view (control 1010) and the two level
// meters (1007, 1009), which the monitor draws.
#pragma once

#include "ui/access/accessible_object.h"
#include "ui/framework/dialog.h"
#include "ui/windows/main_window.h"

#include <string>

class CPreviewPage : public CDialog {
public:
    CPreviewPage();
    // The main window, once its capture is made: the three display controls go to the monitor.
    void Connect(IMainWindow& main);
    // The held level of a channel changed: its meter's value, for screen readers.
    void LevelChanged(int channel);
    // The input being recorded, named in the group's caption; empty: the page's own caption.
    void ShowInput(const std::wstring& name);

protected:
    // The three display controls named for screen readers; a meter's value is its held level.
    BOOL OnInitDialog() override;
    void OnOK() override {}     // Enter in the page does nothing
    void OnCancel() override {} // nor Escape, nor a close request
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    IMainWindow* m_main = nullptr;
    CAccessibleServer* m_meters[2] = {};
    std::wstring m_caption; // the group's own
};
