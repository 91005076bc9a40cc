#include "recording/recording.h"

#include "engine/clock.h"
#include "engine/wave_file.h"
#include "recording/block_judge.h"
#include "recording/block_queue.h"
#include "recording/disk_thread.h"
#include "recording/file_hand_over.h"
#include "recording/interrupted_recordings.h"
#include "recording/next_file_maker.h"
#include "recording/recording_policy.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

// What the other threads report to the window thread: a queue under a short lock, and the wake
// function (the window posts itself a message), called under a lock of its own so that the
// recording can take it back. Shared with the disk threads, which may outlive the recording.
class CRecording::Reports {
public:
    explicit Reports(std::function<void()> wake) : m_wake(std::move(wake)) {}

    // Any thread.
    void Report(RecordingReport&& report) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_reports.push_back(std::move(report));
        }
        m_posted.notify_all();
        std::lock_guard<std::mutex> lock(m_wakeLock);
        if (m_wake)
            m_wake();
    }

    // Window thread.
    std::vector<RecordingReport> Take() {
        std::lock_guard<std::mutex> lock(m_lock);
        std::vector<RecordingReport> reports;
        reports.swap(m_reports);
        return reports;
    }

    // Window thread: whether a report came before the deadline.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_posted.wait_until(lock, deadline, [&] { return !m_reports.empty(); });
    }

    void Disconnect() {
        std::lock_guard<std::mutex> lock(m_wakeLock);
        m_wake = nullptr;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_posted;
    std::vector<RecordingReport> m_reports;
    std::mutex m_wakeLock;
    std::function<void()> m_wake;
};

// One recording: what the window thread keeps of it, and its disk side (the queue its blocks
// wait in, the next file on its way, the writer, the disk thread), which lives until the disk
// thread has completed the last file.
struct CRecording::Run {
    uint32_t serial = 0;
    RecordingPlan plan;
    int typedPart = 1;            // the last " (n)" used for a typed name
    Prepared prepared;            // the next file made ahead; path empty: none
    RecordingFailure nextFailure; // why the next file could not be made
    NextFileMaker maker;          // the next file on its way
    BlockQueue queue;
    MarkerRequests markers;
    std::unique_ptr<BlockJudge> judge; // the capture's sink
    FileHandOver handOver;
    CWaveFile writer;
    DiskThread disk; // last: it ends before what it works on goes
};

struct CRecording::Repair {
    std::vector<NotedFile> files;
    std::vector<RepairResult> results; // the thread's until done
    std::atomic<bool> done{false};
};

CRecording::CRecording(CWaveIn& capture, IRecordingNotes& notes, std::function<void()> wake)
    : m_capture(capture), m_notes(notes), m_reported(std::make_shared<Reports>(std::move(wake))) {
    m_capture.SetEndHandler([this](const RecordingFailure& failure, uint32_t atTicks) {
        RecordingReport report;
        report.kind = RecordingReport::ENDED;
        report.failure = failure;
        report.endTicks = atTicks;
        report.run = m_captureRun;
        m_reported->Report(std::move(report));
    });
    m_capture.SetInputHandler([this](bool waiting) {
        RecordingReport report;
        report.kind = waiting ? RecordingReport::INPUT_LOST : RecordingReport::INPUT_BACK;
        report.run = m_captureRun;
        m_reported->Report(std::move(report));
    });
}

// A disk thread still waiting for its disk is left to run out: its next file is refused, and
// whatever it works on is never freed (the program is about to end). Its files keep their notes.
CRecording::~CRecording() {
    Stop();
    TakeReports();
    m_capture.SetEndHandler(nullptr);
    m_capture.SetInputHandler(nullptr);
    for (std::unique_ptr<Run>& run : m_runs) {
        run->maker.Abandon();
        NextFile untaken;
        if (run->handOver.Close(untaken)) {
            untaken.file.Close();
            GiveBack(run->prepared);
        }
        if (run->disk.Finished()) {
            run->disk.Join();
        } else {
            run->disk.Detach();
            run.release();
        }
    }
    for (Removal& removal : m_removals) // each keeps its note should it not end
        removal.thread.detach();
    m_reported->Disconnect();
    if (m_repairThread.joinable()) { // a share that does not answer: left to time out alone
        if (m_repair->done)
            m_repairThread.join();
        else
            m_repairThread.detach();
    }
}

CRecording::Run* CRecording::Find(uint32_t serial) {
    for (const std::unique_ptr<Run>& run : m_runs)
        if (run->serial == serial)
            return run.get();
    return nullptr;
}

CRecording::Run* CRecording::Live() {
    return m_live && !m_runs.empty() ? m_runs.back().get() : nullptr;
}

// A capture that ended by itself records until the window thread has taken its report.
RecordingState CRecording::State() const {
    if (!m_live)
        return m_runs.empty() ? RECORDING_STOPPED : RECORDING_ENDING;
    switch (m_capture.State()) {
    case CAPTURE_PAUSED:
        return RECORDING_PAUSED;
    case CAPTURE_WAITING:
        return RECORDING_WAITING;
    case CAPTURE_CLOSED:
    case CAPTURE_RUNNING:
    case CAPTURE_ENDED:
        break;
    }
    return RECORDING_RUNNING;
}

bool CRecording::FlushNow(uint32_t waitMs) {
    Run* run = Live();
    return !run || run->disk.FlushNow(waitMs);
}

void CRecording::ReopenInput() {
    if (Live())
        m_capture.ReopenInput();
}

uint32_t CRecording::ElapsedMs(uint32_t nowTicks) const {
    return m_capture.Clock().Ms(nowTicks);
}

uint32_t CRecording::SoundMs(uint32_t nowTicks) const {
    const int64_t leadIn =
        !m_runs.empty() && m_runs.back()->judge ? m_runs.back()->judge->LeadInMs() : -1;
    const uint32_t elapsed = ElapsedMs(nowTicks);
    return leadIn < 0 || int64_t(elapsed) <= leadIn ? 0 : uint32_t(elapsed - leadIn);
}

// The files stay among the unfinished ones meanwhile, so that a recording started now keeps their
// notes with its own.
void CRecording::CompleteInterrupted() {
    if (m_repair)
        return;
    auto repair = std::make_shared<Repair>();
    repair->files = m_notes.NotedFiles();
    if (repair->files.empty())
        return;
    for (const NotedFile& file : repair->files) {
        Forget(file.path);
        m_unfinished.push_back(file); // with the markers an earlier version noted beside it
    }
    m_repair = repair;
    const uint64_t limit = m_sizeLimit ? m_sizeLimit : WaveLayout::kMaxRiffSize;
    m_repairThread = std::thread([repair, limit, reported = m_reported] {
        repair->results = RepairNotedFiles(repair->files, limit);
        repair->done = true;
        RecordingReport report;
        report.kind = RecordingReport::INTERRUPTED_READY;
        reported->Report(std::move(report));
    });
}

std::vector<RecordingReport> CRecording::SettleInterrupted(SequentialNaming& naming) {
    if (!m_repair || !m_repair->done)
        return {};
    m_repairThread.join();
    std::vector<NotedFile> kept;
    std::vector<RecordingReport> reports =
        SettleNotedFiles(m_notes, naming, m_repair->files, m_repair->results, kept);
    for (const NotedFile& file : m_repair->files)
        if (std::none_of(kept.begin(), kept.end(),
                         [&](const NotedFile& k) { return SamePath(k.path, file.path); }))
            Forget(file.path);
    m_repair.reset();
    Note();
    return reports;
}

RecordingFailure CRecording::Start(const RecordingPlan& plan) {
    if (Live())
        return Failed(STEP_FILE, 0, m_current);
    if (!IsRecordableFormat(plan.channels, plan.samplesPerSec, plan.sampleType))
        return Failed(STEP_FORMAT);
    auto run = std::make_unique<Run>();
    run->serial = m_serial + 1;
    run->plan = plan;
    if (m_sizeLimit)
        run->writer.SetRiffSizeLimit(m_sizeLimit);
    const WaveFormat device = MakeDeviceFormat(plan.channels, plan.samplesPerSec, plan.sampleType);
    const uint32_t blockBytes = WaveInBufferSize(device);
    const uint64_t queueBytes = uint64_t(device.nAvgBytesPerSec) * kQueueSeconds;
    if (!run->queue.Allocate(blockBytes, size_t((queueBytes + blockBytes - 1) / blockBytes)))
        return Failed(STEP_NO_MEMORY);
    run->judge = std::make_unique<BlockJudge>(
        run->queue, run->markers, device.nBlockAlign, device.nSamplesPerSec,
        [monitor = &m_capture.Monitor()](uint64_t frame) { monitor->MarkFrame(frame); });

    m_captureRun = run->serial;
    if (!m_capture.Open(*run->judge, plan.channels, plan.samplesPerSec, plan.sampleType,
                        plan.source))
        return m_capture.LastFailure();
    std::wstring path, madeFolder;
    const RecordingFailure failure = CreateFirstFile(*run, path, madeFolder);
    if (failure) {
        m_capture.Close();
        RemoveMade(L"", madeFolder);
        return failure;
    }
    m_serial = run->serial;
    m_current = path;
    m_source = plan.source;
    m_userMarkers = m_resumes = 0;
    std::fill(std::begin(m_sideMarks), std::end(m_sideMarks), 0u);
    m_markersFullTold.clear();
    m_unfinished.push_back({path, {}});
    Note();
    const std::shared_ptr<Reports> reported = m_reported;
    const uint32_t serial = run->serial;
    run->disk.Start({&run->queue, &run->handOver, &run->writer, &run->markers, path, device},
                    [reported, serial](RecordingReport&& report) {
                        report.run = serial;
                        reported->Report(std::move(report));
                    });
    m_runs.push_back(std::move(run));
    m_live = true;
    return failure;
}

// The number is used only once its file exists, and kept at once.
RecordingFailure CRecording::CreateFirstFile(Run& run, std::wstring& path,
                                             std::wstring& madeFolder) {
    const RecordingPlan& plan = run.plan;
    const auto create = [&](const std::wstring& name, RawFile::CreateMode mode) {
        if (run.writer.Open(FileSystemPath(name), plan.channels, plan.samplesPerSec,
                            plan.sampleType, mode))
            return RecordingFailure();
        RecordingFailure failure = run.writer.LastFailure();
        failure.path = name;
        return failure;
    };
    m_wrapped = false;
    if (!plan.sequential) {
        uint32_t code = 0;
        path = plan.typedName;
        const std::wstring folder = FolderOf(path);
        if (!MakeFolders(folder, madeFolder, code))
            return Failed(STEP_FOLDER, code, folder);
        return create(path, plan.replaceTyped ? RawFile::CREATE_REPLACE : RawFile::CREATE_NEW_ONLY);
    }
    SequentialNaming naming = plan.naming;
    const RecordingFailure failure = TakeFreeName(
        path, madeFolder,
        [&](std::wstring& name, std::wstring& made) {
            return NextSequentialPath(naming, name, made);
        },
        [&](const std::wstring& name) { return create(name, RawFile::CREATE_NEW_ONLY); });
    if (!failure) {
        m_wrapped = naming.count < plan.naming.count; // it went past 999999 on its way
        m_naming = naming;
        m_notes.SaveCounter(m_naming.count);
    }
    return failure;
}

RecordingFailure CRecording::Pause() {
    if (!Live() || State() == RECORDING_PAUSED || m_capture.Stop())
        return RecordingFailure();
    return m_capture.LastFailure();
}

// The first sound after the pause is marked where it begins.
RecordingFailure CRecording::Resume() {
    if (State() != RECORDING_PAUSED)
        return RecordingFailure();
    if (!m_capture.Start())
        return m_capture.LastFailure();
    if (Run* run = Live())
        AskMarker(*run, MARKER_RESUME, ++m_resumes);
    return RecordingFailure();
}

uint32_t CRecording::PlaceMarker() {
    Run* run = Live();
    if (!run)
        return 0;
    AskMarker(*run, MARKER_USER, ++m_userMarkers);
    return m_userMarkers;
}

void CRecording::MarkSide(WaitingSide side, bool away) {
    Run* run = Live();
    if (!run || side == SIDE_NONE)
        return;
    const MarkerKind kind = side == SIDE_FAR ? (away ? MARKER_PLAYBACK_AWAY : MARKER_PLAYBACK_BACK)
                            : away           ? MARKER_MIC_AWAY
                                             : MARKER_MIC_BACK;
    AskMarker(*run, kind, ++m_sideMarks[kind - MARKER_PLAYBACK_AWAY]);
}

void CRecording::MarkTimedStop() {
    if (Run* run = Live())
        AskMarker(*run, MARKER_TIMED_STOP, 1);
}

uint64_t CRecording::RecordableMs() const {
    if (!m_live || m_runs.empty())
        return UINT64_MAX;
    const Run& run = *m_runs.back();
    const int64_t free = run.disk.FreeSpace();
    if (free < 0)
        return UINT64_MAX;
    return WaveLayout::RecordableMs(uint64_t(free), run.writer.Format().nAvgBytesPerSec,
                                    m_sizeLimit ? m_sizeLimit : WaveLayout::kMaxRiffSize);
}

// The waveform shows it on the column of the sound it points at; the judge places it in the
// recording, and the disk thread keeps it in the file and its journal once that sound is written.
void CRecording::AskMarker(Run& run, MarkerKind kind, uint32_t number) {
    m_capture.Monitor().MarkFrame(run.markers.Ask(kind, number));
}

void CRecording::Stop() {
    StopAt(GetTicks());
}

// The capture ends (every block is in the queue) and the queue is closed: the disk thread
// writes what is left, completes the last file and ends on its own.
void CRecording::StopAt(uint32_t endTicks) {
    Run* run = Live();
    if (!run)
        return;
    m_live = false;
    m_capture.Clock().Pause(endTicks); // the time recorded ends there
    m_capture.Close();
    run->judge->Close();
}

bool CRecording::WaitUntilComplete(uint32_t timeoutMs, std::vector<RecordingReport>& reports) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (RecordingReport& report : TakeReports())
            reports.push_back(std::move(report));
        if (m_runs.empty() && m_removals.empty())
            return true;
        if (!m_reported->WaitUntil(deadline)) {
            for (RecordingReport& report : TakeReports())
                reports.push_back(std::move(report));
            return m_runs.empty() && m_removals.empty();
        }
    }
}

std::vector<RecordingReport> CRecording::TakeReports() {
    std::vector<RecordingReport> shown;
    for (RecordingReport& report : m_reported->Take()) {
        Run* run = Find(report.run);
        switch (report.kind) {
        case RecordingReport::NEXT_WANTED:
            if (run)
                PrepareNextFile(*run);
            break;
        case RecordingReport::NEXT_MADE:
            if (run && NextFileMade(*run)) {
                report.kind = RecordingReport::COUNTER_MOVED;
                shown.push_back(std::move(report));
            }
            break;
        case RecordingReport::FILE_STARTED:
            if (!run)
                break;
            if (run->prepared.path == report.path)
                run->prepared = Prepared(); // in use: no longer to be given back
            if (run->serial == m_serial) {
                m_current = report.path;
                shown.push_back(std::move(report));
            }
            break;
        case RecordingReport::FILE_COMPLETED:
            if (report.failure) {
                shown.push_back(std::move(report)); // it keeps its note
            } else {
                Forget(report.path);
                Note();
            }
            break;
        case RecordingReport::ENDED:
            if (run && EndedBySelf(*run, report))
                shown.push_back(std::move(report));
            break;
        case RecordingReport::GAPS:
            shown.push_back(std::move(report));
            break;
        case RecordingReport::MARKER_DROPPED:
            if (MarkerDropped(report))
                shown.push_back(std::move(report));
            break;
        case RecordingReport::INPUT_LOST:
        case RecordingReport::INPUT_BACK:
            if (run && run->serial == m_serial)
                shown.push_back(std::move(report)); // the window shows the state anew
            break;
        case RecordingReport::SPACE_LOW:
        case RecordingReport::INTERRUPTED_READY:
            shown.push_back(std::move(report));
            break;
        case RecordingReport::DISK_DONE:
            if (run)
                DiskDone(*run);
            break;
        case RecordingReport::NEXT_REMOVED:
            if (Removed(report)) {
                report.kind = RecordingReport::COUNTER_MOVED;
                shown.push_back(std::move(report));
            }
            break;
        default:
            break;
        }
    }
    return shown;
}

// The live recording could not go on: it stops at the moment it ended. A disk failure while the
// files of a stopped recording are still being written is said too; a capture's end after the
// stop is not.
bool CRecording::EndedBySelf(Run& run, RecordingReport& report) {
    const bool fromDisk = report.failure.step == STEP_WRITE || report.failure.step == STEP_FLUSH ||
                          report.failure.step == STEP_FILE_FULL;
    if (Live() == &run)
        StopAt(report.endTicks);
    else if (!fromDisk)
        return false;
    if (report.failure.step == STEP_FILE_FULL && run.nextFailure)
        report.failure = run.nextFailure; // why no next file could be had
    return true;
}

// The user hears once of a file that has no room for more of their markers.
bool CRecording::MarkerDropped(const RecordingReport& report) {
    if (report.marker.kind != MARKER_USER ||
        std::find(m_markersFullTold.begin(), m_markersFullTold.end(), report.path) !=
            m_markersFullTold.end())
        return false;
    m_markersFullTold.push_back(report.path);
    return true;
}

// The disk thread has done its last: a next file made and never taken goes.
void CRecording::DiskDone(Run& run) {
    run.disk.Join();
    run.maker.Abandon();
    NextFile untaken;
    if (run.handOver.Close(untaken) && !run.prepared.path.empty())
        RemoveOffThread(run.prepared, std::move(untaken.file));
    m_runs.erase(std::find_if(m_runs.begin(), m_runs.end(),
                              [&](const std::unique_ptr<Run>& r) { return r.get() == &run; }));
}

// On the window thread, ahead of the seam: the next file is made on the maker thread, and
// offered once made (NextFileMade). A file that cannot be made is not said now: the recording
// ends at the limit and says why then. Done also for a recording stopped while its disk thread
// still writes what the queue held.
void CRecording::PrepareNextFile(Run& run) {
    if (!run.prepared.path.empty() || run.maker.Busy())
        return;
    run.nextFailure = RecordingFailure();
    NextFileMaker::Order order;
    order.naming = m_naming;
    order.sequential = run.plan.sequential;
    order.typedName = run.plan.typedName;
    order.typedPart = run.typedPart;
    order.format = run.writer.Format();
    run.maker.Start(order, [reported = m_reported, serial = run.serial] {
        RecordingReport report;
        report.kind = RecordingReport::NEXT_MADE;
        report.run = serial;
        reported->Report(std::move(report));
    });
}

// The next file is made (or could not be): offered to the disk thread, noted, and its number
// kept, unless the counter moved on meanwhile (a new recording took numbers: the file's number
// is then passed over by them, not reused). Whether the counter moved.
bool CRecording::NextFileMade(Run& run) {
    if (!run.maker.Busy())
        return false;
    NextFileMaker::Made made = run.maker.Take();
    run.typedPart = made.typedPart;
    if (!made.next.file.IsOpen()) {
        run.nextFailure = made.failure;
        run.handOver.Refuse();
        return false;
    }
    Prepared prepared;
    prepared.path = made.next.name;
    prepared.sequential = run.plan.sequential;
    prepared.countBefore = made.countBefore;
    prepared.countAfter = made.naming.count;
    prepared.madeFolder = made.madeFolder;
    NextFile next = std::move(made.next);
    if (!run.handOver.Offer(next)) {                 // the disk thread has ended meanwhile
        m_unfinished.push_back({prepared.path, {}}); // until it is gone
        Note();
        RemoveOffThread(prepared, std::move(next.file));
        return false;
    }
    run.prepared = prepared;
    m_unfinished.push_back({prepared.path, {}});
    Note();
    if (!prepared.sequential || m_naming.count != prepared.countBefore)
        return false;
    m_naming = made.naming;
    m_notes.SaveCounter(m_naming.count);
    return true;
}

// The recording's drive may not answer: the file is closed and removed on a thread of its own,
// which says when it is gone (NEXT_REMOVED).
void CRecording::RemoveOffThread(const Prepared& prepared, RawFile file) {
    Removal removal;
    removal.prepared = prepared;
    removal.thread =
        std::thread([file = std::move(file), prepared, reported = m_reported]() mutable {
            file.Close();
            RecordingReport report;
            report.kind = RecordingReport::NEXT_REMOVED;
            report.path = prepared.path;
            if (!RemoveMade(prepared.path, prepared.madeFolder))
                report.failure = Failed(STEP_FILE, 0, prepared.path);
            reported->Report(std::move(report));
        });
    m_removals.push_back(std::move(removal));
}

// Whether a number was given back.
bool CRecording::Removed(const RecordingReport& report) {
    const auto removal = std::find_if(m_removals.begin(), m_removals.end(), [&](const Removal& r) {
        return r.prepared.path == report.path;
    });
    if (removal == m_removals.end())
        return false;
    removal->thread.join();
    const Prepared prepared = removal->prepared;
    m_removals.erase(removal);
    return !report.failure && GaveBack(prepared);
}

// A file that will not go keeps its note and its number: the next start removes it.
bool CRecording::GiveBack(const Prepared& prepared) {
    return !prepared.path.empty() && RemoveMade(prepared.path, prepared.madeFolder) &&
           GaveBack(prepared);
}

bool CRecording::GaveBack(const Prepared& prepared) {
    Forget(prepared.path);
    Note();
    if (!prepared.sequential || m_naming.count != prepared.countAfter)
        return false;
    m_naming.count = prepared.countBefore;
    m_notes.SaveCounter(m_naming.count);
    return true;
}

// The files not yet complete; their markers are in their journals.
void CRecording::Note() {
    m_notes.NoteFiles(m_unfinished);
}

void CRecording::Forget(const std::wstring& path) {
    const std::filesystem::path target = FileSystemPath(path);
    m_unfinished.erase(std::remove_if(m_unfinished.begin(), m_unfinished.end(),
                                      [&](const NotedFile& noted) {
                                          return FileSystemPath(noted.path) == target;
                                      }),
                       m_unfinished.end());
}
