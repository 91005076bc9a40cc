// Completing a recording that was cut short (the program killed, the power lost): its header
// still holds the placeholder sizes of a file being recorded. The data chunk is taken to run to
// the end of the file, cut to whole frames, and the true sizes and the pad byte are written, as
// CWaveFile::Close would have done.
#pragma once

#include "engine/recording_format.h"

#include <cstdint>
#include <filesystem>

enum RepairStatus {
    REPAIR_DONE,     // the file was completed
    REPAIR_COMPLETE, // it was complete already: untouched
    REPAIR_EMPTY,    // it holds this program's header with the placeholders and not one whole
                     // frame of sound (a next file made ahead, never recorded into): untouched
    REPAIR_NOT_OURS, // it does not begin with this program's header, or is no file on a disk
                     // (a device, a pipe): untouched
    REPAIR_MISSING,  // there is no such file
    REPAIR_ABSENT,   // its drive or network share is not there (a USB stick not plugged in)
    REPAIR_BUSY,     // another program is writing it (a recording in progress): untouched
    REPAIR_FAILED,   // it could not be looked at, read or written (a card reader without its
                     // card, a share that answers with an error); systemError says why
};

struct RepairResult {
    RepairStatus status = REPAIR_FAILED;
    uint32_t systemError = 0;
    uint64_t dataBytes = 0; // the sample bytes the completed file holds
    WaveFormat format;      // the file's format, when it is ours
};

// Called on the window thread at start-up, for each file the settings name as being recorded.
RepairResult CompleteInterruptedRecording(const std::filesystem::path& path);
