// Creating the folders of a target path (Windows).
#pragma once

#include <string>

// Makes the folder and every missing folder above it, outermost first, splitting at
// backslashes. Nonzero when the folder (or anything of that name) exists afterwards; otherwise
// *error (when given) holds the system's error code of the level that failed.
int CreateDirectoryPath(std::wstring path, unsigned long* error = nullptr);
