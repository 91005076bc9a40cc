// One running copy of the program for each settings file: a copy started with switches hands
// them to the copy that runs beside the same settings file (in the same folder), which acts on
// them and answers with an exit code. Copies in two folders never meet.
//
// The copy with a window names it in a small shared memory object of this session, named for
// the settings file's full path; a second copy reads the window from it and sends the switches
// as WM_COPYDATA, whose result is the answer.
#pragma once

#include "engine/win32_handles.h"

#include <windows.h>

#include <string>

// WM_COPYDATA's dwData of a hand-over: "SNXC"; the data the switches as UTF-16 text. The
// answer is kCommandAnswer plus the exit code, so that a window that did not take the message
// (whose answer is 0) is not taken for one that acted.
constexpr ULONG_PTR kCommandCopyData = 0x43584E53;
constexpr LRESULT kCommandAnswer = 0x5300;

class CRunningCopy {
public:
    // This copy's window is the one for the settings file, unless another copy's window still
    // stands there (then this one is not found, and the other keeps the switches).
    void Register(HWND window, const std::wstring& settingsPath);

    // Sends the switches to the copy running on the settings file: false when none runs (or it
    // does not answer within timeoutMs); else its answer in exitCode.
    static bool HandOver(const std::wstring& settingsPath, const std::wstring& switches,
                         int& exitCode, DWORD timeoutMs = 30000);

    // The name of the shared object for the settings file (the case of the path does not count).
    static std::wstring ObjectName(const std::wstring& settingsPath);

private:
    UniqueHandle m_mapping; // held while the window stands
};
