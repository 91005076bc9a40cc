// Sonarix: process entry point.
#include "engine/system_library.h"
#include "ui/windows/sonarix_app.h"

#include <windows.h>

namespace {
CSonarixApp theApp;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    RestrictDllSearch(); // before anything loads a DLL of its own
    // A drive without its medium (a card reader, a floppy) answers the file calls with an error
    // rather than Windows' "no disk" box, which would hold the calling thread until answered;
    // whatever the parent set is kept.
    const UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    SetErrorMode(errorMode | SEM_FAILCRITICALERRORS);
    return theApp.Run(instance);
}
