// DLLs of the system folder that are not KnownDLLs (winmm, uxtheme): loaded at run time by their
// place in the system folder, never through the import table, whose search begins in the
// program's own folder (a Downloads folder or a USB stick, where anyone may have put a DLL of
// that name). Windows.
#pragma once

#include <windows.h>

// Limits every later DLL search of the process to the system folder (where the system can), and
// takes the current folder out of it. First thing in the process.
void RestrictDllSearch();

// The system folder's DLL of this name, loaded once and kept; null when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

// The function of a system DLL, or null.
template <class Function> Function* SystemFunction(const wchar_t* library, const char* name) {
    const HMODULE module = LoadSystemLibrary(library);
    return module
               ? reinterpret_cast<Function*>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}
