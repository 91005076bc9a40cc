#include "engine/sequential_naming.h"

#include <windows.h>

// Climbs to the first folder that exists, then creates the missing ones on the way back down.
int CreateDirectoryPath(std::wstring path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return 1;
    const size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos && !CreateDirectoryPath(path.substr(0, slash)))
        return 0;
    return CreateDirectoryW(path.c_str(), nullptr) ? 1 : 0;
}
