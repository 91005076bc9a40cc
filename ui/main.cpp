// Sonarix: process entry point. Switches are read first: a bad one ends the process (exit code
// 3), /? shows them, and switches for a copy already running on the same settings file are
// handed to it, whose answer is this process's exit code.
#include "app/command_line.h"
#include "app/settings.h"
#include "engine/system_library.h"
#include "res/resource.h"
#include "ui/framework/ui_text.h"
#include "ui/shell/log_file.h"
#include "ui/shell/running_copy.h"
#include "ui/windows/sonarix_app.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <vector>

namespace {

CSonarixApp theApp;

std::vector<std::wstring> Arguments() {
    std::vector<std::wstring> arguments;
    int count = 0;
    if (LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments.push_back(argv[i]);
        LocalFree(argv);
    }
    return arguments;
}

// Said where it can be read later (the log) and, when a console started the program, there too.
void SayOutside(const std::wstring& text) {
    AppendToLog(SettingsFilePath(), text);
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    const HANDLE out = GetStdHandle(STD_ERROR_HANDLE);
    const std::wstring line = L"Sonarix: " + text + L"\r\n";
    DWORD written = 0;
    if (out && out != INVALID_HANDLE_VALUE)
        WriteConsoleW(out, line.c_str(), DWORD(line.size()), &written, nullptr);
    FreeConsole();
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    RestrictDllSearch(); // before anything loads a DLL of its own
    // A drive without its medium (a card reader, a floppy) answers the file calls with an error
    // rather than Windows' "no disk" box, which would hold the calling thread until answered;
    // whatever the parent set is kept.
    const UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    SetErrorMode(errorMode | SEM_FAILCRITICALERRORS);
    const CommandLine command = ParseCommandLine(Arguments());
    if (!command.error.empty()) {
        SayOutside(FormatText(IDS_LOG_BAD_SWITCH, {command.error}));
        return EXIT_BAD_SWITCH;
    }
    if (command.Has(CommandLine::HELP)) {
        ShowMessage(nullptr, LoadText(IDS_USAGE));
        return EXIT_DONE;
    }
    if (!command.Empty()) {
        int code = EXIT_REFUSED;
        if (CRunningCopy::HandOver(SettingsFilePath(), command.Text(), code))
            return code;
        if (command.NeedsRunningCopy()) {
            SayOutside(FormatText(IDS_LOG_NO_COPY, {command.Text()}));
            return EXIT_NO_COPY;
        }
    }
    theApp.SetCommandLine(command);
    return theApp.Run(instance);
}
