// What a recording keeps in the settings file at once, so that a crash, a kill or a power cut
// loses nothing: the sequential counter, and each file not yet complete with its markers (the
// next start completes it with them).
#pragma once

#include "engine/recording_repair.h"

#include <cstdint>
#include <string>
#include <vector>

// Window thread; false when it could not be written (the implementation tells the user).
class IRecordingNotes {
public:
    virtual ~IRecordingNotes() = default;
    virtual bool SaveCounter(uint32_t count) = 0;
    // The files not yet complete, so that the next start completes them; empty: none.
    virtual bool NoteFiles(const std::vector<NotedFile>& files) = 0;
    virtual std::vector<NotedFile> NotedFiles() = 0;
    // The noted files the user has heard about already (waiting for their drive, or failing to
    // be completed), so that each is said once.
    virtual std::vector<std::wstring> ToldFiles() = 0;
    virtual bool NoteToldFiles(const std::vector<std::wstring>& files) = 0;
};
