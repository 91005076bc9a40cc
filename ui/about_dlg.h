// CAboutDlg: the version information box, from the system menu.
#pragma once

#include "res/resource.h"
#include "ui/dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};
