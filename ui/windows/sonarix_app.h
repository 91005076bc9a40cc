// CSonarixApp: runs the main window as a modal dialog; the process ends when it closes, with the
// exit code the window's switches leave (0 without any).
#pragma once

#include "app/command_line.h"
#include "ui/framework/win_app.h"

class CSonarixApp : public CWinApp {
public:
    // The switches this run acts on. Before Run.
    void SetCommandLine(CommandLine command) { m_command = std::move(command); }

protected:
    BOOL InitInstance() override;

private:
    CommandLine m_command;
};
