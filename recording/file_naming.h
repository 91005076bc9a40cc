// The names of a recording's files: the next free sequential name, or the typed name numbered
// " (2)", " (3)", ... for the next files of a long recording; the folders made for them, and
// taken back with a file never recorded into. A name is used only once its file exists: a file
// that appears between the check and the creation sends the recording on to the next name.
//
// Window thread.
#pragma once

#include "engine/recording_failure.h"
#include "engine/sequential_naming.h"

#include <cstdint>
#include <filesystem>
#include <string>

// A path of the program's (backslashes) as the file system takes it.
std::filesystem::path FileSystemPath(const std::wstring& path);
bool PathExists(const std::wstring& path);
// Whether two paths name the same file (after making them absolute).
bool SamePath(const std::wstring& a, const std::wstring& b);

// Makes the folder and the missing ones above it; in made the outermost one made, for taking
// back. False, with the system's error, when it cannot be made.
bool MakeFolders(const std::wstring& folder, std::wstring& made, uint32_t& error);
// A file made for a recording and never recorded into, and the folder made for it (which goes
// only when it is empty). Whether the file is gone.
bool RemoveMade(const std::wstring& file, const std::wstring& madeFolder);

// The next free sequential path from naming's counter on (moved past it), its folders made.
RecordingFailure NextSequentialPath(SequentialNaming& naming, std::wstring& path,
                                    std::wstring& madeFolder);
// A typed name's n-th file: "name (n).ext" (the extension after the last dot of the file name).
std::wstring NumberedName(const std::wstring& name, int n);

// Names from next(path, madeFolder) until create(path) makes one whose file did not exist (a
// bounded number of times); the first other failure ends it.
template <class NextName, class Create>
RecordingFailure TakeFreeName(std::wstring& path, std::wstring& madeFolder, NextName next,
                              Create create) {
    RecordingFailure failure;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        madeFolder.clear();
        failure = next(path, madeFolder);
        if (failure)
            return failure;
        failure = create(path);
        if (failure.step != STEP_FILE_EXISTS)
            return failure;
    }
    return failure;
}
