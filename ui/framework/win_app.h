// The application object: one static instance runs the whole program from wWinMain.
#pragma once

#include <windows.h>

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();

    // Runs InitInstance and returns the process's exit code. InitInstance returning false means
    // that no message loop is to run (a dialog application has run everything already): the
    // exit code is then the one it set.
    int Run(HINSTANCE instance);

    HINSTANCE Instance() const { return m_instance; }

protected:
    virtual BOOL InitInstance() = 0;
    void SetExitCode(int code) { m_exitCode = code; }

private:
    HINSTANCE m_instance = nullptr;
    int m_exitCode = 0;
};
