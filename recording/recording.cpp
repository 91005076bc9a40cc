#include "recording/recording.h"

#include <algorithm>
#include <system_error>

#ifdef _WIN32
#include "engine/create_directory_path.h"
#endif

namespace {

bool Exists(const std::wstring& path) {
    std::error_code ignored;
    return std::filesystem::exists(FileSystemPath(path), ignored);
}

void Remove(const std::wstring& path) {
    std::error_code ignored;
    std::filesystem::remove(FileSystemPath(path), ignored); // a folder only when empty
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

RecordingFailure Failed(RecordingStep step, uint32_t code = 0, std::wstring path = L"") {
    RecordingFailure failure;
    failure.step = step;
    failure.code = code;
    failure.path = std::move(path);
    return failure;
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

CRecording::CRecording(CWaveIn& capture, IRecordingNotes& notes, std::function<void()> notify)
    : m_capture(capture), m_notes(notes), m_notify(std::move(notify)) {
    m_capture.SetEndHandler([this](CaptureEnd end) { CaptureEnded(end); });
    m_capture.SetFileHandler([this](CaptureFileEvent event) {
        Notice notice{
            event == CAPTURE_NEXT_FILE_WANTED ? Notice::WANTED : Notice::STARTED, {}, L"", 0};
        Post(std::move(notice));
    });
    g_pWaveFile->SetHandOver(&m_handOver);
}

CRecording::~CRecording() {
    Stop();
    m_capture.SetEndHandler(nullptr);
    m_capture.SetFileHandler(nullptr);
    if (g_pWaveFile)
        g_pWaveFile->SetHandOver(nullptr);
}

void CRecording::Post(Notice notice) {
    {
        std::lock_guard<std::mutex> lock(m_noticeLock);
        m_notices.push_back(std::move(notice));
    }
    if (m_notify)
        m_notify();
}

void CRecording::CaptureEnded(CaptureEnd end) {
    Notice notice{Notice::ENDED, end, L"", 0};
    Post(std::move(notice));
}

void CRecording::KeepNoted(std::vector<std::wstring> files) {
    m_unfinished = std::move(files);
}

RecordingFailure CRecording::Start(const RecordingPlan& plan) {
    if (m_recording)
        return Failed(STEP_FILE, 0, m_current);
    m_plan = plan;
    m_naming = plan.naming;
    m_wrapped = false;
    m_typedPart = 1;
    m_nextFailure = RecordingFailure();
    m_prepared = Prepared();
    {
        std::lock_guard<std::mutex> lock(m_noticeLock);
        m_notices.clear();
    }
    RecordingFailure failure;
    if (plan.sequential) {
        failure = OpenSequential(plan);
    } else {
        std::wstring made;
        uint32_t code = 0;
        const std::wstring folder = FolderOf(plan.typedName);
        if (!MakeFolders(folder, made, code))
            return Failed(STEP_FOLDER, code, folder);
        failure =
            OpenCapture(plan.typedName, plan,
                        plan.replaceTyped ? RawFile::CREATE_REPLACE : RawFile::CREATE_NEW_ONLY);
        if (!failure)
            m_current = plan.typedName;
    }
    if (failure) {
        WavePart none;
        m_handOver.Close(none); // the writer opened it with a file the capture then removed
        return failure;
    }
    m_recording = true;
    m_unfinished.push_back(m_current);
    Note();
    m_disk.Start(m_handOver, [this](const std::filesystem::path& path, uint32_t error) {
        Notice notice{Notice::COMPLETED, {}, path.wstring(), error};
        Post(std::move(notice));
    });
    return failure;
}

// Another program (or a second copy of this one) may create the file between the check and the
// creation: then the next free number is tried, a bounded number of times. made: the folder made
// for the last name tried.
template <class Create>
RecordingFailure CRecording::TakeFreeName(SequentialNaming& naming, std::wstring& path,
                                          std::wstring& made, Create create) {
    RecordingFailure failure;
    for (int attempt = 0; attempt < 100; ++attempt) {
        made.clear();
        failure = NextName(naming, path, made);
        if (failure)
            return failure;
        failure = create(path);
        if (failure.step != STEP_FILE_EXISTS)
            return failure;
    }
    return failure;
}

// The number is used only once its file exists, and kept at once.
RecordingFailure CRecording::OpenSequential(const RecordingPlan& plan) {
    SequentialNaming naming = plan.naming;
    std::wstring path, made;
    const RecordingFailure failure =
        TakeFreeName(naming, path, made, [&](const std::wstring& name) {
            return OpenCapture(name, plan, RawFile::CREATE_NEW_ONLY);
        });
    if (!failure) {
        m_naming = naming;
        m_current = path;
        m_notes.SaveCounter(m_naming.count);
    }
    return failure;
}

RecordingFailure CRecording::NextName(SequentialNaming& naming, std::wstring& path,
                                      std::wstring& made) {
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
        m_wrapped = m_wrapped || !m_recording; // a next file's wrap is not announced
        break;
    case NAMING_DONE:
        break;
    }
    uint32_t code = 0;
    const std::wstring folder = FolderOf(path);
    if (!MakeFolders(folder, made, code))
        return Failed(STEP_FOLDER, code, folder);
    return RecordingFailure();
}

RecordingFailure CRecording::OpenCapture(const std::wstring& path, const RecordingPlan& plan,
                                         RawFile::CreateMode mode) {
    if (m_capture.Open(FileSystemPath(path), plan.channels, plan.samplesPerSec, plan.sampleType,
                       mode))
        return RecordingFailure();
    const CaptureError error = m_capture.LastFailure();
    switch (error.failure) {
    case CAPTURE_DEVICE_FAILED:
        return Failed(STEP_DEVICE, error.code);
    case CAPTURE_NO_MEMORY:
        return Failed(STEP_NO_MEMORY);
    case CAPTURE_FILE_EXISTS:
        return Failed(STEP_FILE_EXISTS, error.code, path);
    case CAPTURE_FILE_FAILED:
        return Failed(STEP_FILE, error.code, path);
    case CAPTURE_BAD_FORMAT:
    case CAPTURE_OK:
        break;
    }
    return Failed(STEP_FORMAT);
}

bool CRecording::Pause() {
    return m_recording && m_capture.Stop() != 0;
}

RecordingFailure CRecording::Resume() {
    if (!m_recording || m_capture.Start())
        return RecordingFailure();
    return Failed(STEP_DEVICE, m_capture.LastFailure().code);
}

// 1. The capture ends: every block is in the writer, whose last file is completed. 2. The next
// file made ahead and not taken goes, with its number and its folder. 3. The disk thread
// completes the full files left and ends. 4. The note keeps only what is not complete.
std::vector<RecordingFailure> CRecording::Stop() {
    std::vector<RecordingFailure> failures;
    if (!m_recording)
        return failures;
    m_recording = false;
    m_capture.Close();
    if (!g_pWaveFile->Close())
        failures.push_back(Failed(STEP_COMPLETE, g_pWaveFile->CompletionError(), m_current));
    else
        Forget(m_current);
    WavePart untaken;
    if (m_handOver.Close(untaken)) {
        untaken.flusher.reset();
        untaken.file.Close();
        GiveBack(m_prepared);
    }
    m_prepared = Prepared();
    m_disk.Join();

    std::vector<Notice> notices;
    {
        std::lock_guard<std::mutex> lock(m_noticeLock);
        notices.swap(m_notices);
    }
    for (const Notice& notice : notices) {
        if (notice.kind != Notice::COMPLETED)
            continue;
        if (notice.code == 0)
            Forget(notice.path);
        else
            failures.push_back(Failed(STEP_COMPLETE, notice.code, notice.path));
    }
    Note();
    return failures;
}

std::vector<RecordingReport> CRecording::TakeReports() {
    std::vector<Notice> notices;
    {
        std::lock_guard<std::mutex> lock(m_noticeLock);
        notices.swap(m_notices);
    }
    std::vector<RecordingReport> reports;
    for (const Notice& notice : notices) {
        switch (notice.kind) {
        case Notice::WANTED:
            PrepareNextFile();
            break;
        case Notice::STARTED:
            if (m_recording && !m_prepared.path.empty()) {
                m_current = m_prepared.path;
                m_prepared = Prepared();
                RecordingReport report;
                report.kind = RecordingReport::FILE_STARTED;
                report.path = m_current;
                reports.push_back(report);
            }
            break;
        case Notice::COMPLETED:
            if (notice.code == 0) {
                Forget(notice.path);
                Note();
            } else {
                RecordingReport report;
                report.kind = RecordingReport::NOT_COMPLETED;
                report.path = notice.path;
                report.failure = Failed(STEP_COMPLETE, notice.code, notice.path);
                reports.push_back(report);
            }
            break;
        case Notice::ENDED:
            EndedBySelf(notice.end, reports);
            break;
        }
    }
    return reports;
}

void CRecording::EndedBySelf(const CaptureEnd& end, std::vector<RecordingReport>& reports) {
    if (!m_recording)
        return; // stopped meanwhile: nothing to end
    RecordingReport report;
    report.kind = RecordingReport::ENDED;
    report.reason = end.reason;
    report.atMs = end.atMs;
    report.path = m_current;
    switch (end.reason) {
    case CAPTURE_END_FILE_FULL:
        report.failure = m_nextFailure;
        break;
    case CAPTURE_END_WRITE_FAILED:
        report.failure = Failed(STEP_WRITE, end.code, m_current);
        break;
    case CAPTURE_END_DEVICE_FAILED:
        report.failure = Failed(STEP_DEVICE, end.code);
        break;
    case CAPTURE_END_DEVICE_SILENT:
        break;
    }
    reports.push_back(report);
    for (RecordingFailure& failure : Stop()) {
        RecordingReport notCompleted;
        notCompleted.kind = RecordingReport::NOT_COMPLETED;
        notCompleted.path = failure.path;
        notCompleted.failure = std::move(failure);
        reports.push_back(notCompleted);
    }
}

// On the window thread, ahead of the seam: the next sequential name, or the typed name
// numbered; a name whose file exists is passed over. A file that cannot be made is not said
// now: the recording ends at the limit and says why then.
void CRecording::PrepareNextFile() {
    if (!m_recording || !m_prepared.path.empty())
        return;
    m_nextFailure = RecordingFailure();
    const WaveFormat format =
        MakeFileFormat(m_plan.channels, m_plan.samplesPerSec, m_plan.sampleType);
    Prepared prepared;
    prepared.sequential = m_plan.sequential;
    SequentialNaming naming = m_naming;
    WavePart part;
    RecordingFailure failure;
    const auto create = [&](const std::wstring& path) {
        WaveFileError error = WAVE_FILE_OK;
        uint32_t code = 0;
        if (CWaveFile::CreateWithHeader(part.file, FileSystemPath(path), RawFile::CREATE_NEW_ONLY,
                                        format, &error, &code))
            return RecordingFailure();
        return Failed(error == WAVE_FILE_EXISTS ? STEP_FILE_EXISTS : STEP_FILE, code, path);
    };
    if (m_plan.sequential) {
        failure = TakeFreeName(naming, prepared.path, prepared.madeFolder, create);
        if (failure && !prepared.madeFolder.empty())
            Remove(prepared.madeFolder); // empty: nothing was made in it
    } else {
        // "name (2).ext", "name (3).ext", ...
        const std::wstring& name = m_plan.typedName;
        const size_t slash = name.find_last_of(L"\\/");
        const size_t dot = name.rfind(L'.');
        const size_t stem =
            dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash) ? dot
                                                                                      : name.size();
        for (int attempt = 0; attempt < 1000; ++attempt) {
            prepared.path = name.substr(0, stem) + L" (" + std::to_wstring(++m_typedPart) + L")" +
                            name.substr(stem);
            failure = create(prepared.path);
            if (failure.step != STEP_FILE_EXISTS)
                break;
        }
    }
    if (!part.file.IsOpen()) {
        m_nextFailure = failure;
        return;
    }
    part.path = FileSystemPath(prepared.path);
    part.flusher = std::make_shared<RawFile>(part.file.Duplicate());
    prepared.countBefore = m_naming.count;
    prepared.countAfter = naming.count;
    if (!m_handOver.Offer(part)) { // cannot happen while recording; never leave it behind
        part.flusher.reset();
        part.file.Close();
        Remove(prepared.path);
        if (!prepared.madeFolder.empty())
            Remove(prepared.madeFolder);
        return;
    }
    m_prepared = prepared;
    m_unfinished.push_back(prepared.path);
    Note();
    if (prepared.sequential) {
        m_naming = naming;
        m_notes.SaveCounter(m_naming.count);
    }
}

// A next file that was never needed: removed with the folder made for it, and its number
// given back unless a later one was taken since.
void CRecording::GiveBack(Prepared& prepared) {
    if (prepared.path.empty())
        return;
    Remove(prepared.path);
    if (!prepared.madeFolder.empty())
        Remove(prepared.madeFolder);
    Forget(prepared.path);
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
