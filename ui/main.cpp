// Sonarix: process entry point.
#include "ui/sonarix_app.h"

#include <windows.h>

namespace {
CSonarixApp theApp;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    return theApp.Run(instance);
}
