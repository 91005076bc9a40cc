// A recording's notes kept nowhere: for benchmarks and device tests, which start no program.
#pragma once

#include "recording/recording.h"

class NoNotes : public IRecordingNotes {
public:
    bool SaveCounter(uint32_t) override { return true; }
    bool NoteFiles(const std::vector<NotedFile>&) override { return true; }
    std::vector<NotedFile> NotedFiles() override { return {}; }
    std::vector<std::wstring> ToldFiles() override { return {}; }
    bool NoteToldFiles(const std::vector<std::wstring>&) override { return true; }
};
