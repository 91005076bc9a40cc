// The system's own programs, started by their full path in the system folder: never by a bare
// name, which the search would also find in the program's folder or the current folder.
#pragma once

#include <windows.h>

#include <string>

// Starts <system folder>\name with the arguments; false when it could not be started, with
// the system's error code in *error.
bool StartSystemProgram(const wchar_t* name, const wchar_t* arguments, DWORD* error);

// Tests see what would be started without starting it: the starter receives the program's full
// path and the command line and returns what CreateProcessW would. nullptr restores the real one.
using ProgramStarter = bool (*)(const std::wstring& program, const std::wstring& commandLine);
void SetProgramStarter(ProgramStarter starter);
