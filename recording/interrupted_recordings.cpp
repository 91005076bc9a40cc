#include "recording/interrupted_recordings.h"

#include "engine/marker_journal.h"
#include "engine/recording_repair.h"
#include "recording/file_naming.h"

#include <algorithm>
#include <system_error>

namespace {

// A file made ahead of a seam (or at a start) that never got a sound was removed: when it held
// the number just before the counter, the counter takes it back; the sub-folder made for it goes
// too, when empty.
void GiveBack(const std::wstring& file, SequentialNaming& naming, IRecordingNotes& notes) {
    SequentialNaming before = naming;
    before.enabled = 1; // the counter is the sequential one, whether naming is on now or not
    const uint32_t number = naming.count == 0 ? kMaxSequenceNumber : naming.count - 1;
    before.count = number;
    std::wstring path;
    const NamingResult result =
        NextSequentialName(before, path, [](const std::wstring&) { return false; });
    if ((result != NAMING_DONE && result != NAMING_WRAPPED) || !SamePath(path, file))
        return;
    naming.count = number;
    std::error_code ignored;
    if (naming.subFolders)
        std::filesystem::remove(FileSystemPath(FolderOf(path)), ignored); // only when empty
    notes.SaveCounter(naming.count);
}

} // namespace

std::vector<RepairResult> RepairNotedFiles(const std::vector<NotedFile>& files,
                                           uint64_t riffSizeLimit) {
    std::vector<RepairResult> results;
    for (const NotedFile& noted : files) {
        const std::filesystem::path path = FileSystemPath(noted.path);
        std::vector<WaveLayout::CueMarker> markers = noted.markers; // an earlier version's note
        for (WaveLayout::CueMarker& marker : ReadMarkerJournal(path))
            markers.push_back(std::move(marker));
        results.push_back(CompleteInterruptedRecording(path, std::move(markers), riffSizeLimit));
        std::error_code ignored;
        switch (results.back().status) {
        case REPAIR_EMPTY:
            std::filesystem::remove(path, ignored);
            [[fallthrough]];
        case REPAIR_DONE:
        case REPAIR_COMPLETE:
        case REPAIR_MISSING:
            std::filesystem::remove(MarkerJournalPath(path), ignored);
            break;
        default:
            break; // kept with its note, for the next start
        }
    }
    return results;
}

// 1. Give back the numbers of the files removed. 2. Keep the notes of those that cannot be
// completed now. 3. Tell of each such file once.
std::vector<RecordingReport> SettleNotedFiles(IRecordingNotes& notes, SequentialNaming& naming,
                                              const std::vector<NotedFile>& files,
                                              const std::vector<RepairResult>& results,
                                              std::vector<NotedFile>& kept) {
    std::vector<RecordingReport> reports;
    kept.clear();
    if (files.empty())
        return reports;
    const std::vector<std::wstring> told = notes.ToldFiles();
    std::vector<std::wstring> stillTold;
    for (size_t i = 0; i < files.size() && i < results.size(); ++i) {
        const NotedFile& noted = files[i];
        const std::wstring& file = noted.path;
        const RepairResult& result = results[i];
        RecordingReport report;
        report.path = file;
        switch (result.status) {
        case REPAIR_DONE:
            report.kind = RecordingReport::INTERRUPTED_COMPLETED;
            report.lengthMs = result.dataBytes * 1000 / result.format.nAvgBytesPerSec;
            reports.push_back(report);
            break;
        case REPAIR_EMPTY:
            GiveBack(file, naming, notes);
            break;
        case REPAIR_COMPLETE:
        case REPAIR_NOT_OURS:
        case REPAIR_MISSING:
            break;
        case REPAIR_BUSY: // another copy of the program records into it
            kept.push_back(noted);
            break;
        case REPAIR_ABSENT:
        case REPAIR_FAILED:
            kept.push_back(noted);
            stillTold.push_back(file);
            if (std::find(told.begin(), told.end(), file) != told.end())
                break;
            if (result.status == REPAIR_ABSENT) {
                report.kind = RecordingReport::INTERRUPTED_WAITS;
            } else {
                report.kind = RecordingReport::INTERRUPTED_FAILED;
                report.failure = Failed(STEP_COMPLETE, result.systemError, file);
            }
            reports.push_back(report);
            break;
        }
    }
    if (stillTold != told)
        notes.NoteToldFiles(stillTold);
    return reports;
}
