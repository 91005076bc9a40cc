// What went wrong in a recording, as one value: made where the failure happens (the writer, the
// capture, the disk thread, the naming), carried unchanged with the notice that reports it, and
// put into words only by the window that shows it. What failed, the system's or the device's own
// code, and the file or folder concerned.
#pragma once

#include <cstdint>
#include <string>

enum RecordingStep {
    STEP_OK = 0,
    // Starting a recording, or making the next file of a long one.
    STEP_NO_FOLDER,     // sequential naming without a folder
    STEP_NAME_TOO_LONG, // the sequential folder or path would be too long
    STEP_ALL_TAKEN,     // every sequential number names a file; path: the folder
    STEP_BAD_NAME,      // the prefix or the folder would not make a plain file; path: the folder
    STEP_FOLDER,        // a folder of the path could not be made; path: the folder
    STEP_FORMAT,        // a format no recording can use
    STEP_NO_MEMORY,     // the capture's buffers or the queue could not be allocated
    STEP_FILE_EXISTS,   // the file exists and was not to be replaced; code: the system's
    STEP_FILE,          // the file could not be created; code: the system's
    // The device, at a start, a pause, a resume, or while it records.
    STEP_DEVICE,        // the device refused; code: its MMRESULT
    STEP_DEVICE_SILENT, // the running device delivered nothing for too long
    STEP_DEVICE_HUNG,   // the device did not answer a call in time (a driver that hangs)
    STEP_SOURCE_ABSENT, // the chosen device is not there (at a start)
    STEP_NO_LOOPBACK,   // what an output plays cannot be read back here; code: the system's
    // The disk, while recording and at the end.
    STEP_WRITE,     // a block did not land (a full disk, a lost drive); path, code
    STEP_FLUSH,     // the file could not be handed to the disk (a share's late write error)
    STEP_FILE_FULL, // the file reached its size limit and no next file could be had; path
    STEP_COMPLETE,  // the file's sizes could not be written, or it could not be flushed or
                    // closed: it keeps its note, to be completed at the next start
};

struct RecordingFailure {
    RecordingStep step = STEP_OK;
    uint32_t code = 0; // the system's error, or the device's MMRESULT for STEP_DEVICE
    std::wstring path; // the file or folder concerned
    explicit operator bool() const { return step != STEP_OK; }
};

inline RecordingFailure Failed(RecordingStep step, uint32_t code = 0, std::wstring path = L"") {
    RecordingFailure failure;
    failure.step = step;
    failure.code = code;
    failure.path = std::move(path);
    return failure;
}
