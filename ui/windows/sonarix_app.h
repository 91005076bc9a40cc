// CSonarixApp: runs the main window as a modal dialog; the process ends when it closes.
#pragma once

#include "ui/framework/win_app.h"

class CSonarixApp : public CWinApp {
protected:
    BOOL InitInstance() override;
};
