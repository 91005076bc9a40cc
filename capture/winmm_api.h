// winmm's wave-input functions, from the system folder's winmm.dll (see system_library.h), which
// the program does not import: a winmm.dll beside the program is never loaded.
#pragma once

#include <windows.h>

#include <mmsystem.h>

struct WinmmApi {
    decltype(&::waveInOpen) Open;
    decltype(&::waveInPrepareHeader) PrepareHeader;
    decltype(&::waveInAddBuffer) AddBuffer;
    decltype(&::waveInStart) Start;
    decltype(&::waveInStop) Stop;
    decltype(&::waveInReset) Reset;
    decltype(&::waveInUnprepareHeader) UnprepareHeader;
    decltype(&::waveInClose) Close;
    decltype(&::waveInGetErrorTextW) GetErrorText;
    decltype(&::waveInMessage) Message;
    decltype(&::waveInGetDevCapsW) GetDevCaps;
    decltype(&::waveInGetNumDevs) GetNumDevs;
};

// The functions, every one found; null when winmm cannot be loaded or lacks one. Loaded once.
const WinmmApi* Winmm();
