#include "recording/recording.h"

#include "engine/clock.h"
#include "engine/recording_repair.h"
#include "engine/wave_file.h"
#include "recording/block_queue.h"
#include "recording/disk_thread.h"
#include "recording/file_hand_over.h"
#include "recording/recording_policy.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

#ifdef _WIN32
#include "engine/create_directory_path.h"
#endif

namespace {

bool Exists(const std::wstring& path) {
    std::error_code ignored;
    return std::filesystem::exists(FileSystemPath(path), ignored);
}

// A file made for a recording and never recorded into, and the folder made for it (which goes
// only when it is empty). Whether the file is gone.
bool RemoveMade(const std::wstring& file, const std::wstring& madeFolder) {
    std::error_code error;
    if (!file.empty())
        std::filesystem::remove(FileSystemPath(file), error);
    std::error_code ignored;
    if (!madeFolder.empty())
        std::filesystem::remove(FileSystemPath(madeFolder), ignored);
    return !error;
}

// Makes the folder and the missing ones above it; the outermost one made, for taking back.
bool MakeFolders(const std::wstring& folder, std::wstring& made, uint32_t& error) {
    if (folder.empty() || Exists(folder))
        return true;
    made = folder;
#ifdef _WIN32
    unsigned long code = 0;
    if (CreateDirectoryPath(folder, &code))
        return true;
    error = code;
#else
    std::error_code code;
    if (std::filesystem::create_directories(FileSystemPath(folder), code) || !code)
        return true;
    error = uint32_t(code.value());
#endif
    made.clear();
    return false;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    std::error_code ignored;
    return std::filesystem::absolute(FileSystemPath(a), ignored).lexically_normal() ==
           std::filesystem::absolute(FileSystemPath(b), ignored).lexically_normal();
}

} // namespace

std::filesystem::path FileSystemPath(const std::wstring& path) {
#ifdef _WIN32
    return std::filesystem::path(path);
#else
    std::wstring native = path;
    std::replace(native.begin(), native.end(), L'\\', L'/');
    return std::filesystem::path(native);
#endif
}

// The notices of the other threads for the window thread: a queue under a short lock, and the
// notify function (the window posts itself a message), called under a lock of its own so that
// the recording can take it back. Shared with the disk threads, which may outlive the recording.
class CRecording::Notices {
public:
    explicit Notices(std::function<void()> notify) : m_notify(std::move(notify)) {}

    // Any thread.
    void Post(RecordingReport&& report) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_reports.push_back(std::move(report));
        }
        m_posted.notify_all();
        std::lock_guard<std::mutex> lock(m_notifyLock);
        if (m_notify)
            m_notify();
    }

    // Window thread.
    std::vector<RecordingReport> Take() {
        std::lock_guard<std::mutex> lock(m_lock);
        std::vector<RecordingReport> reports;
        reports.swap(m_reports);
        return reports;
    }

    // Window thread: whether a notice came before the deadline.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_posted.wait_until(lock, deadline, [&] { return !m_reports.empty(); });
    }

    void Disconnect() {
        std::lock_guard<std::mutex> lock(m_notifyLock);
        m_notify = nullptr;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_posted;
    std::vector<RecordingReport> m_reports;
    std::mutex m_notifyLock;
    std::function<void()> m_notify;
};

// One recording: what the window thread keeps of it, and its disk side (the queue its blocks
// wait in, the next file on its way, the writer, the disk thread), which lives until the disk
// thread has completed the last file.
struct CRecording::Run {
    uint32_t serial = 0;
    RecordingPlan plan;
    int typedPart = 1;              // the last " (n)" used for a typed name
    Prepared prepared;              // the next file made ahead; path empty: none
    RecordingFailure nextFailure;   // why the next file could not be made
    std::vector<RecordingGap> gaps; // said when its disk thread is done
    BlockQueue queue;
    FileHandOver handOver;
    CWaveFile writer;
    DiskThread disk; // last: it ends before what it works on goes
};

CRecording::CRecording(CWaveIn& capture, IRecordingNotes& notes, std::function<void()> notify)
    : m_capture(capture), m_notes(notes), m_notices(std::make_shared<Notices>(std::move(notify))) {
    m_capture.SetEndHandler([this](const RecordingFailure& failure, uint32_t atTicks) {
        RecordingReport report;
        report.kind = RecordingReport::ENDED;
        report.failure = failure;
        report.endTicks = atTicks;
        report.run = m_captureRun;
        m_notices->Post(std::move(report));
    });
    m_capture.SetInputHandler([this](bool waiting) {
        RecordingReport report;
        report.kind = waiting ? RecordingReport::INPUT_LOST : RecordingReport::INPUT_BACK;
        report.run = m_captureRun;
        m_notices->Post(std::move(report));
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
    m_notices->Disconnect();
}

CRecording::Run* CRecording::Find(uint32_t serial) {
    for (const std::unique_ptr<Run>& run : m_runs)
        if (run->serial == serial)
            return run.get();
    return nullptr;
}

CRecording::Run* CRecording::Live() {
    const bool live = m_state == RECORDING_RUNNING || m_state == RECORDING_PAUSED;
    return live && !m_runs.empty() ? m_runs.back().get() : nullptr;
}

RecordingState CRecording::State() const {
    if (m_state == RECORDING_RUNNING && m_capture.Waiting())
        return RECORDING_WAITING;
    return m_state == RECORDING_STOPPED && !m_runs.empty() ? RECORDING_ENDING : m_state;
}

void CRecording::FlushNow() {
    if (Run* run = Live())
        run->disk.FlushNow();
}

void CRecording::ReopenInput() {
    if (Live())
        m_capture.ReopenInput();
}

uint32_t CRecording::ElapsedMs(uint32_t nowTicks) const {
    if (m_state != RECORDING_RUNNING)
        return m_elapsedBefore;
    const uint32_t run = nowTicks - m_runStart;
    return m_elapsedBefore + (int32_t(run) > 0 ? run : 0);
}

// 1. Complete or clear each noted file. 2. Keep the notes of those that cannot be completed now.
// 3. Tell of each such file once.
std::vector<RecordingReport> CRecording::CompleteInterrupted(SequentialNaming& naming) {
    std::vector<RecordingReport> reports;
    const std::vector<std::wstring> files = m_notes.NotedFiles();
    if (files.empty())
        return reports;
    const std::vector<std::wstring> told = m_notes.ToldFiles();
    std::vector<std::wstring> kept, stillTold;
    for (const std::wstring& file : files) {
        const RepairResult result = ::CompleteInterruptedRecording(FileSystemPath(file));
        RecordingReport report;
        report.path = file;
        switch (result.status) {
        case REPAIR_DONE:
            report.kind = RecordingReport::INTERRUPTED_COMPLETED;
            report.lengthMs = result.dataBytes * 1000 / result.format.nAvgBytesPerSec;
            reports.push_back(report);
            break;
        case REPAIR_EMPTY:
            GiveBackInterrupted(file, naming);
            break;
        case REPAIR_COMPLETE:
        case REPAIR_NOT_OURS:
        case REPAIR_MISSING:
            break;
        case REPAIR_BUSY: // another copy of the program records into it
            kept.push_back(file);
            break;
        case REPAIR_ABSENT:
        case REPAIR_FAILED:
            kept.push_back(file);
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
    m_unfinished = kept;
    Note();
    if (stillTold != told)
        m_notes.NoteToldFiles(stillTold);
    return reports;
}

// A file made ahead of a seam (or at a start) that never got a sound: it goes without a word,
// and when it holds the number just before the counter, the counter takes it back; the
// sub-folder made for it goes too, when empty.
void CRecording::GiveBackInterrupted(const std::wstring& file, SequentialNaming& naming) {
    std::error_code ignored;
    std::filesystem::remove(FileSystemPath(file), ignored);
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
    if (naming.subFolders)
        std::filesystem::remove(FileSystemPath(FolderOf(path)), ignored); // only when empty
    m_notes.SaveCounter(naming.count);
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
    if (!run->queue.Allocate(device, WaveInBufferSize(device), kQueueSeconds))
        return Failed(STEP_NO_MEMORY);

    m_captureRun = run->serial;
    if (!m_capture.Open(run->queue, plan.channels, plan.samplesPerSec, plan.sampleType))
        return m_capture.LastFailure();
    std::wstring path, madeFolder;
    const RecordingFailure failure = CreateFirstFile(*run, path, madeFolder);
    if (failure) {
        m_capture.Close();
        RemoveMade(L"", madeFolder);
        return failure;
    }
    m_runStart = GetTicks();
    m_elapsedBefore = 0;
    m_serial = run->serial;
    m_current = path;
    m_unfinished.push_back(path);
    Note();
    const std::shared_ptr<Notices> notices = m_notices;
    const uint32_t serial = run->serial;
    run->disk.Start({&run->queue, &run->handOver, &run->writer, path, device},
                    [notices, serial](RecordingReport&& report) {
                        report.run = serial;
                        notices->Post(std::move(report));
                    });
    m_runs.push_back(std::move(run));
    m_state = RECORDING_RUNNING;
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

// Another program (or a second copy of this one) may create the file between the check and the
// creation: then the next name is tried, a bounded number of times.
template <class NextName, class Create>
RecordingFailure CRecording::TakeFreeName(std::wstring& path, std::wstring& madeFolder,
                                          NextName next, Create create) {
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

RecordingFailure CRecording::NextSequentialPath(SequentialNaming& naming, std::wstring& path,
                                                std::wstring& madeFolder) {
    switch (NextSequentialName(naming, path, Exists)) {
    case NAMING_OFF:
    case NAMING_NO_FOLDER:
        return Failed(STEP_NO_FOLDER);
    case NAMING_TOO_LONG:
        return Failed(STEP_NAME_TOO_LONG, 0, naming.folder);
    case NAMING_ALL_TAKEN:
        return Failed(STEP_ALL_TAKEN, 0, naming.folder);
    case NAMING_BAD_NAME:
        return Failed(STEP_BAD_NAME, 0, naming.folder);
    case NAMING_WRAPPED:
    case NAMING_DONE:
        break;
    }
    uint32_t code = 0;
    const std::wstring folder = FolderOf(path);
    if (!MakeFolders(folder, madeFolder, code))
        return Failed(STEP_FOLDER, code, folder);
    return RecordingFailure();
}

RecordingFailure CRecording::Pause() {
    if (m_state != RECORDING_RUNNING)
        return RecordingFailure();
    const uint32_t now = GetTicks(); // not counting the time the device takes to stop
    if (!m_capture.Stop())
        return m_capture.LastFailure();
    m_elapsedBefore = ElapsedMs(now);
    m_state = RECORDING_PAUSED;
    return RecordingFailure();
}

RecordingFailure CRecording::Resume() {
    if (m_state != RECORDING_PAUSED)
        return RecordingFailure();
    if (!m_capture.Start())
        return m_capture.LastFailure();
    m_runStart = GetTicks();
    m_state = RECORDING_RUNNING;
    return RecordingFailure();
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
    m_elapsedBefore = ElapsedMs(endTicks);
    m_state = RECORDING_STOPPED;
    m_capture.Close();
    run->queue.Close();
}

bool CRecording::WaitUntilComplete(uint32_t timeoutMs, std::vector<RecordingReport>& reports) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (RecordingReport& report : TakeReports())
            reports.push_back(std::move(report));
        if (m_runs.empty())
            return true;
        if (!m_notices->WaitUntil(deadline)) {
            for (RecordingReport& report : TakeReports())
                reports.push_back(std::move(report));
            return m_runs.empty();
        }
    }
}

std::vector<RecordingReport> CRecording::TakeReports() {
    std::vector<RecordingReport> shown;
    for (RecordingReport& report : m_notices->Take()) {
        Run* run = Find(report.run);
        switch (report.kind) {
        case RecordingReport::NEXT_WANTED:
            if (run)
                PrepareNextFile(*run);
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
        case RecordingReport::GAP:
            if (run)
                for (const RecordingGap& gap : report.gaps)
                    AddGap(run->gaps, gap);
            break;
        case RecordingReport::INPUT_LOST:
        case RecordingReport::INPUT_BACK:
            if (run && run->serial == m_serial)
                shown.push_back(std::move(report)); // the window shows the state anew
            break;
        case RecordingReport::SPACE_LOW:
            shown.push_back(std::move(report));
            break;
        case RecordingReport::DISK_DONE:
            if (!run)
                break;
            if (!run->gaps.empty()) {
                RecordingReport gaps;
                gaps.kind = RecordingReport::GAPS;
                gaps.run = run->serial;
                gaps.gaps = std::move(run->gaps);
                shown.push_back(std::move(gaps));
            }
            DiskDone(*run);
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

// Two stretches without sound found within a second of each other (the capture kept from its
// buffers while the input stalled splits one) are said as one.
void CRecording::AddGap(std::vector<RecordingGap>& gaps, const RecordingGap& gap) {
    if (!gaps.empty() && gap.atMs <= gaps.back().atMs + gaps.back().lengthMs + 1000) {
        RecordingGap& last = gaps.back();
        last.lengthMs = gap.atMs + gap.lengthMs - last.atMs;
        last.filled = last.filled && gap.filled;
        return;
    }
    gaps.push_back(gap);
}

// The disk thread has done its last: a next file made and never taken goes.
void CRecording::DiskDone(Run& run) {
    run.disk.Join();
    NextFile untaken;
    if (run.handOver.Close(untaken)) {
        untaken.file.Close();
        GiveBack(run.prepared);
    }
    m_runs.erase(std::find_if(m_runs.begin(), m_runs.end(),
                              [&](const std::unique_ptr<Run>& r) { return r.get() == &run; }));
}

// On the window thread, ahead of the seam: the next sequential name, or the typed name
// numbered; a name whose file exists is passed over. A file that cannot be made is not said
// now: the recording ends at the limit and says why then. Done also for a recording stopped
// while its disk thread still writes what the queue held.
void CRecording::PrepareNextFile(Run& run) {
    if (!run.prepared.path.empty())
        return;
    run.nextFailure = RecordingFailure();
    const WaveFormat format =
        MakeFileFormat(run.plan.channels, run.plan.samplesPerSec, run.plan.sampleType);
    NextFile next;
    Prepared prepared;
    prepared.sequential = run.plan.sequential;
    SequentialNaming naming = m_naming;
    const auto create = [&](const std::wstring& path) {
        RecordingFailure failure;
        if (CWaveFile::CreateWithHeader(next.file, FileSystemPath(path), RawFile::CREATE_NEW_ONLY,
                                        format, &failure))
            return RecordingFailure();
        failure.path = path;
        return failure;
    };
    RecordingFailure failure;
    if (run.plan.sequential) {
        failure = TakeFreeName(
            prepared.path, prepared.madeFolder,
            [&](std::wstring& path, std::wstring& made) {
                return NextSequentialPath(naming, path, made);
            },
            create);
    } else {
        // "name (2).ext", "name (3).ext", ...
        const std::wstring& name = run.plan.typedName;
        const size_t slash = name.find_last_of(L"\\/");
        const size_t dot = name.rfind(L'.');
        const size_t stem =
            dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) ? dot
                                                                                      : name.size();
        failure = TakeFreeName(
            prepared.path, prepared.madeFolder,
            [&](std::wstring& path, std::wstring&) {
                path = name.substr(0, stem) + L" (" + std::to_wstring(++run.typedPart) + L")" +
                       name.substr(stem);
                return RecordingFailure();
            },
            create);
    }
    if (!next.file.IsOpen()) {
        RemoveMade(L"", prepared.madeFolder);
        run.nextFailure = failure;
        run.handOver.Refuse();
        return;
    }
    next.name = prepared.path;
    prepared.countBefore = m_naming.count;
    prepared.countAfter = naming.count;
    if (!run.handOver.Offer(next)) { // the disk thread has ended meanwhile
        next.file.Close();
        if (!RemoveMade(prepared.path, prepared.madeFolder)) {
            m_unfinished.push_back(prepared.path); // the next start removes it
            Note();
        }
        return;
    }
    run.prepared = prepared;
    m_unfinished.push_back(prepared.path);
    Note();
    if (prepared.sequential) {
        m_naming = naming;
        m_notes.SaveCounter(m_naming.count);
    }
}

// A file that will not go keeps its note and its number: the next start removes it.
void CRecording::GiveBack(const Prepared& prepared) {
    if (prepared.path.empty() || !RemoveMade(prepared.path, prepared.madeFolder))
        return;
    Forget(prepared.path);
    Note();
    if (prepared.sequential && m_naming.count == prepared.countAfter) {
        m_naming.count = prepared.countBefore;
        m_notes.SaveCounter(m_naming.count);
    }
}

void CRecording::Note() {
    m_notes.NoteFiles(m_unfinished);
}

void CRecording::Forget(const std::wstring& path) {
    const std::filesystem::path target = FileSystemPath(path);
    m_unfinished.erase(
        std::remove_if(m_unfinished.begin(), m_unfinished.end(),
                       [&](const std::wstring& noted) { return FileSystemPath(noted) == target; }),
        m_unfinished.end());
}
