#include "engine/create_directory_path.h"

#include <windows.h>

// Climbs to the first folder that exists, then creates the missing ones on the way back down.
int CreateDirectoryPath(std::wstring path, unsigned long* error) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return 1;
    const size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos && !CreateDirectoryPath(path.substr(0, slash), error))
        return 0;
    if (CreateDirectoryW(path.c_str(), nullptr))
        return 1;
    const DWORD code = GetLastError();
    if (code == ERROR_ALREADY_EXISTS)
        return 1; // made meanwhile by someone else
    if (error)
        *error = code;
    return 0;
}
