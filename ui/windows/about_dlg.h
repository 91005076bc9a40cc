// CAboutDlg: the version information box, from the system menu.
#pragma once

#include "res/resource.h"
#include "ui/access/accessibility.h"
#include "ui/framework/dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

protected:
    // Its OK button reads as a button to screen readers, also where Windows' object is missing.
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        DescribeControlsForScreenReaders(m_hWnd, {});
        return TRUE;
    }
};
