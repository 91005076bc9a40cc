// Sonarix: process entry point.
#include "engine/system_library.h"
#include "ui/sonarix_app.h"

#include <windows.h>

namespace {
CSonarixApp theApp;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    RestrictDllSearch(); // before anything loads a DLL of its own
    return theApp.Run(instance);
}
