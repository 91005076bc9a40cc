#include "engine/system_library.h"

#include <string>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

void RestrictDllSearch() {
    SetDllDirectoryW(L"");
    using SetDefaultDllDirectoriesFunction = BOOL WINAPI(DWORD);
    // Windows 8 and later, and Windows 7 with its update KB2533623.
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto* restrict =
        kernel ? reinterpret_cast<SetDefaultDllDirectoriesFunction*>(
                     reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")))
               : nullptr;
    if (restrict)
        restrict(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// By its full path in the system folder, so no other folder is searched for it; the DLLs it
// needs in turn are looked for beside it first (LOAD_WITH_ALTERED_SEARCH_PATH).
HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const std::wstring path = std::wstring(folder, length) + L"\\" + name;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
