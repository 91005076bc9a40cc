// The application object: one static instance runs the whole program from wWinMain.
#pragma once

#include <windows.h>

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();

    // Runs InitInstance and returns the process's exit code. InitInstance returning false means
    // that no message loop is to run (a dialog application has run everything already).
    int Run(HINSTANCE instance);

    static CWinApp* Current() { return s_current; }
    HINSTANCE Instance() const { return m_instance; }
    HWND m_pMainWnd = nullptr; // the main window while it exists

protected:
    virtual BOOL InitInstance() = 0;

private:
    static CWinApp* s_current;
    HINSTANCE m_instance = nullptr;
};
