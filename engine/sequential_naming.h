// Sequential file names: base folder, an optional sub-folder per thousand numbers ("%03dK"),
// the prefix, the six-digit counter and ".wav". A name is never one of a file that exists: taken
// numbers are skipped. After 999999 the counter returns to 0.
#pragma once

#include <cstdint>
#include <functional>
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
    NAMING_DONE,      // the name is built and the counter moved past it
    NAMING_WRAPPED,   // the same, and the counter went past 999999 to 0 on the way
    NAMING_NO_FOLDER, // no base folder: nothing changed
    NAMING_TOO_LONG,  // the folder or the whole path would be too long: nothing changed
    NAMING_ALL_TAKEN, // every number from 0 to 999999 names a file that exists: nothing changed
    NAMING_BAD_NAME,  // the prefix or the folder would not make a plain file in the folder
};

constexpr uint32_t kMaxSequenceNumber = 999999;
constexpr size_t kMaxPathChars = 259;   // MAX_PATH less the terminator
constexpr size_t kMaxFolderChars = 247; // what CreateDirectoryW takes: MAX_PATH less 12, less 1

// Whether a file of this path exists (or anything else of that name).
using PathTaken = std::function<bool(const std::wstring& path)>;

// Builds into out the path of the first number, from the counter on, that taken() says is free,
// and moves the counter past that number (see NamingResult). Called again with the same values
// after a file of out appeared before it could be created, it goes on to the next free number.
NamingResult NextSequentialName(SequentialNaming& naming, std::wstring& out,
                                const PathTaken& taken);

// The folder part of a path (before its last backslash), or empty: what CreateDirectoryPath
// is given.
std::wstring FolderOf(const std::wstring& path);
