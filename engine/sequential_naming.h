// Sequential file names: base folder, an optional sub-folder per thousand numbers ("%03dK"),
// the prefix, the six-digit counter and ".wav". Each name takes the counter's number and moves
// it on; after 999999 it returns to 0.
#pragma once

#include <cstdint>
#include <string>

// The five naming values, as the settings page holds them.
struct SequentialNaming {
    uint32_t count = 0;  // the number the next file gets
    int enabled = 0;     // sequential naming on
    std::wstring folder; // base folder, normally without a trailing backslash
    std::wstring prefix; // may be empty
    int subFolders = 0;  // one sub-folder per thousand numbers
};

enum NamingResult {
    NAMING_OFF,       // sequential naming is off: no name, nothing changed
    NAMING_DONE,      // the name is built and the counter moved on
    NAMING_WRAPPED,   // the same, and the counter went past 999999 and is 0 again
    NAMING_NO_FOLDER, // no base folder: nothing changed
    NAMING_TOO_LONG,  // the folder or the whole path would not fit in MAX_PATH: nothing changed
};

constexpr uint32_t kMaxSequenceNumber = 999999;
constexpr size_t kMaxPathChars = 259; // MAX_PATH less the terminator

// Builds the next path into out and advances the counter (see NamingResult).
NamingResult NextSequentialName(SequentialNaming& naming, std::wstring& out);

#ifdef _WIN32
// Makes the folder and every missing folder above it, outermost first, splitting at
// backslashes. Nonzero when the folder (or anything of that name) exists afterwards.
int CreateDirectoryPath(std::wstring path);
#endif
