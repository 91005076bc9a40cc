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

    HINSTANCE Instance() const { return m_instance; }

protected:
    virtual BOOL InitInstance() = 0;

private:
    HINSTANCE m_instance = nullptr;
};
