#include "ui/recording_texts.h"

#include "res/resource.h"
#include "ui/ui_text.h"

#include <mmsystem.h>

std::wstring StartFailureText(const RecordingFailure& failure) {
    std::wstring text;
    switch (failure.step) {
    case STEP_DEVICE: {
        const uint32_t code = failure.code;
        const UINT id =
            code == MMSYSERR_BADDEVICEID || code == MMSYSERR_NODRIVER || code == MMSYSERR_NOTENABLED
                ? IDS_NO_INPUT_DEVICE
            : code == MMSYSERR_ALLOCATED ? IDS_DEVICE_BUSY
            : code == WAVERR_BADFORMAT   ? IDS_DEVICE_BAD_FORMAT
                                         : IDS_DEVICE_FAILED;
        text = FormatText(id, {DeviceErrorText(code)});
        break;
    }
    case STEP_NO_FOLDER:
        text = LoadText(IDS_NO_FOLDER);
        break;
    case STEP_NAME_TOO_LONG:
        text = LoadText(IDS_FOLDER_TOO_LONG);
        break;
    case STEP_ALL_TAKEN:
        text = FormatText(IDS_ALL_NUMBERS_TAKEN, {failure.path});
        break;
    case STEP_BAD_NAME:
        text = FormatText(IDS_BAD_SEQUENTIAL_FOLDER, {failure.path});
        break;
    case STEP_FOLDER:
        text = FormatText(IDS_FOLDER_FAILED, {failure.path, SystemErrorText(failure.code)});
        break;
    case STEP_FILE_EXISTS:
    case STEP_FILE:
    case STEP_WRITE:
    case STEP_COMPLETE:
        text = FormatText(IDS_FILE_FAILED, {failure.path, SystemErrorText(failure.code)});
        break;
    case STEP_NO_MEMORY:
        text = LoadText(IDS_NO_MEMORY);
        break;
    case STEP_FORMAT:
    case STEP_OK:
        text = FormatText(IDS_DEVICE_BAD_FORMAT, {L""});
        break;
    }
    return text;
}

// The file full and its next one not made: the file, its folder or its name, and why.
std::wstring NextFileFailureText(const RecordingFailure& failure) {
    switch (failure.step) {
    case STEP_OK:
        return LoadText(IDS_STOPPED_FILE_FULL);
    case STEP_FOLDER:
        return FormatText(IDS_STOPPED_NEXT_FOLDER_FAILED,
                          {failure.path, SystemErrorText(failure.code)});
    case STEP_NO_FOLDER:
    case STEP_NAME_TOO_LONG:
    case STEP_ALL_TAKEN:
    case STEP_BAD_NAME:
        return FormatText(
            IDS_STOPPED_NO_NEXT_NAME,
            {failure.path, LoadText(failure.step == STEP_ALL_TAKEN ? IDS_ALL_NUMBERS_USED
                                                                   : IDS_FOLDER_TOO_LONG)});
    default:
        return FormatText(IDS_STOPPED_NEXT_FILE_FAILED,
                          {failure.path, SystemErrorText(failure.code)});
    }
}

std::wstring EndedText(const RecordingReport& report) {
    switch (report.reason) {
    case CAPTURE_END_DEVICE_FAILED:
        return FormatText(IDS_STOPPED_DEVICE_FAILED, {DeviceErrorText(report.failure.code)});
    case CAPTURE_END_FILE_FULL:
        return NextFileFailureText(report.failure);
    case CAPTURE_END_DEVICE_SILENT:
        return LoadText(IDS_STOPPED_DEVICE_SILENT);
    case CAPTURE_END_WRITE_FAILED:
        break;
    }
    return LoadText(IDS_STOPPED_WRITE_FAILED);
}

std::wstring NotCompletedText(const RecordingFailure& failure) {
    return FormatText(IDS_FILE_NOT_COMPLETED, {failure.path, SystemErrorText(failure.code)});
}
