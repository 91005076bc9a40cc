#include "ui/shell/system_program.h"

#include "engine/win32_handles.h"

namespace {

bool CreateSystemProcess(const std::wstring& program, const std::wstring& commandLine) {
    std::wstring line = commandLine; // CreateProcessW may write into it
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    const std::wstring folder = program.substr(0, program.rfind(L'\\'));
    if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process))
        return false;
    UniqueHandle(process.hThread);
    UniqueHandle(process.hProcess);
    return true;
}

ProgramStarter g_starter = CreateSystemProcess;

} // namespace

bool StartSystemProgram(const wchar_t* name, const wchar_t* arguments, DWORD* error) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        *error = length ? ERROR_BUFFER_OVERFLOW : GetLastError();
        return false;
    }
    const std::wstring program = std::wstring(folder, length) + L"\\" + name;
    const std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    if (g_starter(program, commandLine))
        return true;
    *error = GetLastError();
    return false;
}

void SetProgramStarter(ProgramStarter starter) {
    g_starter = starter ? starter : CreateSystemProcess;
}
