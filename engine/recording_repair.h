// Completing a recording that was cut short (the program killed, the power lost): its header
// still holds the placeholder RIFF size of a file being recorded. The data chunk is taken to run
// to the end of the file (or as far as a data size written by a completion that was cut short
// says), cut to whole frames, and the pad byte, the true sizes and the markers noted for it are
// written, as CWaveFile::Close would have done.
#pragma once

#include "engine/recording_format.h"
#include "engine/wave_layout.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A file a recording left not yet complete, as the settings note it, with its markers: a
// marker's frame is kAtTheEnd while the sound it points at has not reached the disk (it goes at
// the end of what the file then holds).
struct NotedFile {
    static constexpr uint64_t kAtTheEnd = UINT64_MAX;
    std::wstring path;
    std::vector<WaveLayout::CueMarker> markers;
    bool operator==(const NotedFile& other) const {
        if (path != other.path || markers.size() != other.markers.size())
            return false;
        for (size_t i = 0; i < markers.size(); ++i)
            if (markers[i].frame != other.markers[i].frame ||
                markers[i].label != other.markers[i].label)
                return false;
        return true;
    }
};

enum RepairStatus {
    REPAIR_DONE,     // the file was completed
    REPAIR_COMPLETE, // it was complete already (its RIFF size states its length): untouched
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

// Called at start-up, for each file the settings name as being recorded, with the markers noted
// for it; a marker's frame past the end of the sound kept points at the last frame. The markers
// are kept, in the order of their frames, as far as the completed file's RIFF size stays within
// riffSizeLimit (the writer's limit, which keeps a file within what FAT32 holds); the sound is
// kept whole whatever the limit.
RepairResult CompleteInterruptedRecording(const std::filesystem::path& path,
                                          std::vector<WaveLayout::CueMarker> markers = {},
                                          uint64_t riffSizeLimit = WaveLayout::kMaxRiffSize);
