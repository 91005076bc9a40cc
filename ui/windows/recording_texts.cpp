#include "ui/windows/recording_texts.h"

#include "capture/wave_in.h"
#include "res/resource.h"
#include "ui/framework/ui_text.h"

#include <mmsystem.h>

#include <cwchar>

namespace {

std::wstring SystemText(const RecordingFailure& failure) {
    return SystemErrorText(failure.code);
}

// The recording ended by itself: the device, the disk, or the file full and its next one not
// made (the file, its folder or its name, and why).
std::wstring EndedText(const RecordingReport& report) {
    const RecordingFailure& failure = report.failure;
    switch (failure.step) {
    case STEP_DEVICE:
        return FormatText(IDS_STOPPED_DEVICE_FAILED, {DeviceErrorText(failure.code)});
    case STEP_DEVICE_SILENT:
        return LoadText(IDS_STOPPED_DEVICE_SILENT);
    case STEP_DEVICE_HUNG:
    case STEP_SOURCE_ABSENT:
    case STEP_NO_LOOPBACK:
        return FormatText(IDS_STOPPED_DEVICE_FAILED, {DeviceFailureText(failure)});
    case STEP_WRITE:
        return FormatText(IDS_STOPPED_WRITE_FAILED,
                          {failure.path, SystemText(failure), FormatDuration(report.lengthMs)});
    case STEP_FLUSH:
        return FormatText(IDS_STOPPED_FLUSH_FAILED, {failure.path, SystemText(failure)});
    case STEP_FILE_FULL:
    case STEP_OK:
        return LoadText(IDS_STOPPED_FILE_FULL);
    case STEP_FOLDER:
        return FormatText(IDS_STOPPED_NEXT_FOLDER_FAILED, {failure.path, SystemText(failure)});
    case STEP_NO_FOLDER:
    case STEP_NAME_TOO_LONG:
    case STEP_ALL_TAKEN:
    case STEP_BAD_NAME:
        return FormatText(
            IDS_STOPPED_NO_NEXT_NAME,
            {failure.path, LoadText(failure.step == STEP_ALL_TAKEN ? IDS_ALL_NUMBERS_USED
                                                                   : IDS_FOLDER_TOO_LONG)});
    case STEP_FORMAT:
    case STEP_NO_MEMORY:
    case STEP_FILE_EXISTS:
    case STEP_FILE:
    case STEP_COMPLETE:
        break;
    }
    return FormatText(IDS_STOPPED_NEXT_FILE_FAILED, {failure.path, SystemText(failure)});
}

// Each stretch without sound on a line: where in the recording ("00:12:34"), and how long.
std::wstring GapsText(const std::vector<RecordingGap>& gaps) {
    std::wstring lines;
    for (const RecordingGap& gap : gaps) {
        const uint64_t s = gap.atMs / 1000;
        wchar_t at[32];
        std::swprintf(at, 32, L"%02u:%02u:%02u", unsigned(s / 3600), unsigned(s / 60 % 60),
                      unsigned(s % 60));
        lines += FormatText(gap.filled ? IDS_GAP : IDS_GAP_NOT_FILLED,
                            {at, FormatDuration(gap.lengthMs, true)});
        lines += L"\n";
    }
    if (!lines.empty())
        lines.pop_back();
    return FormatText(IDS_GAPS, {std::to_wstring(gaps.size()), lines});
}

} // namespace

std::wstring DeviceFailureText(const RecordingFailure& failure) {
    if (failure.step == STEP_DEVICE_HUNG)
        return FormatText(IDS_DEVICE_NOT_ANSWERING, {std::to_wstring(kDeviceAnswerMs / 1000)});
    return DeviceErrorText(failure.code);
}

std::wstring StartFailureText(const RecordingFailure& failure) {
    switch (failure.step) {
    case STEP_DEVICE: {
        const uint32_t code = failure.code;
        const UINT id =
            code == MMSYSERR_BADDEVICEID || code == MMSYSERR_NODRIVER || code == MMSYSERR_NOTENABLED
                ? IDS_NO_INPUT_DEVICE
            : code == MMSYSERR_ALLOCATED ? IDS_DEVICE_BUSY
            : code == WAVERR_BADFORMAT   ? IDS_DEVICE_BAD_FORMAT
                                         : IDS_DEVICE_FAILED;
        return FormatText(id, {DeviceErrorText(code)});
    }
    case STEP_DEVICE_HUNG:
        return FormatText(IDS_DEVICE_FAILED, {DeviceFailureText(failure)});
    case STEP_SOURCE_ABSENT: // a chosen device is asked about (AbsentSourceQuestion)
        return LoadText(IDS_NO_OUTPUT_DEVICE);
    case STEP_NO_LOOPBACK:
        return FormatText(IDS_NO_LOOPBACK, {DeviceErrorText(failure.code)});
    case STEP_NO_FOLDER:
        return LoadText(IDS_NO_FOLDER);
    case STEP_NAME_TOO_LONG:
        return LoadText(IDS_FOLDER_TOO_LONG);
    case STEP_ALL_TAKEN:
        return FormatText(IDS_ALL_NUMBERS_TAKEN, {failure.path});
    case STEP_BAD_NAME:
        return FormatText(IDS_BAD_SEQUENTIAL_FOLDER, {failure.path});
    case STEP_FOLDER:
        return FormatText(IDS_FOLDER_FAILED, {failure.path, SystemText(failure)});
    case STEP_NO_MEMORY:
        return LoadText(IDS_NO_MEMORY);
    case STEP_FILE_EXISTS:
    case STEP_FILE:
    case STEP_WRITE:
    case STEP_FLUSH:
    case STEP_COMPLETE:
    case STEP_FILE_FULL:
        return FormatText(IDS_FILE_FAILED, {failure.path, SystemText(failure)});
    case STEP_DEVICE_SILENT:
    case STEP_FORMAT:
    case STEP_OK:
        break;
    }
    return FormatText(IDS_DEVICE_BAD_FORMAT, {L""});
}

std::wstring ReportText(const RecordingReport& report) {
    switch (report.kind) {
    case RecordingReport::ENDED:
        return EndedText(report);
    case RecordingReport::FILE_COMPLETED:
        if (!report.failure)
            return L"";
        return FormatText(IDS_FILE_NOT_COMPLETED,
                          {report.failure.path, SystemText(report.failure)});
    case RecordingReport::GAPS:
        return GapsText(report.gaps);
    case RecordingReport::SPACE_LOW:
        return FormatText(IDS_SPACE_LOW, {report.path, FormatDuration(report.lengthMs)});
    case RecordingReport::INTERRUPTED_COMPLETED:
        return FormatText(IDS_RECORDING_COMPLETED, {report.path, FormatDuration(report.lengthMs)});
    case RecordingReport::INTERRUPTED_WAITS:
        return FormatText(IDS_RECORDING_WAITS_FOR_DRIVE, {report.path});
    case RecordingReport::INTERRUPTED_FAILED:
        return FormatText(IDS_RECORDING_NOT_COMPLETED, {report.path, SystemText(report.failure)});
    case RecordingReport::MARKER_DROPPED:
        return FormatText(IDS_MARKERS_FULL, {report.path});
    case RecordingReport::FILE_STARTED:
    case RecordingReport::NEXT_WANTED:
    case RecordingReport::NEXT_MADE:
    case RecordingReport::DISK_DONE:
    case RecordingReport::NEXT_REMOVED:
    case RecordingReport::COUNTER_MOVED:
    case RecordingReport::INTERRUPTED_READY:
    case RecordingReport::MARKER:
    case RecordingReport::INPUT_LOST:
    case RecordingReport::INPUT_BACK:
        break;
    }
    return L"";
}

std::wstring FormatDuration(uint64_t ms, bool tenths) {
    const uint64_t s = ms / 1000;
    const auto n = [](uint64_t v) { return std::to_wstring(v); };
    if (s >= 3600)
        return FormatText(IDS_DURATION_HMS, {n(s / 3600), n(s / 60 % 60), n(s % 60)});
    if (s >= 60)
        return FormatText(IDS_DURATION_MS, {n(s / 60), n(s % 60)});
    if (tenths)
        return FormatText(IDS_DURATION_S_TENTHS, {n(s), n(ms / 100 % 10)});
    return FormatText(IDS_DURATION_S, {n(s)});
}

std::wstring FormatMinutes(uint64_t ms) {
    const uint64_t m = ms / 60000;
    if (m >= 60)
        return FormatText(IDS_DURATION_HM, {std::to_wstring(m / 60), std::to_wstring(m % 60)});
    if (m >= 1)
        return FormatText(IDS_DURATION_M, {std::to_wstring(m)});
    return FormatDuration(ms);
}

std::wstring FirstSentence(const std::wstring& text) {
    const size_t end = text.find_first_of(L"。\n");
    if (end == std::wstring::npos)
        return text;
    return text.substr(0, text[end] == L'\n' ? end : end + 1);
}
