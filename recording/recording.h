// CRecording: one recording's life, from Start to its end across all its files. It picks each
// file's name (the next free sequential name, or the typed name and then "name (2).ext", ...),
// has it created exclusively, keeps the sequential counter and the settings note of the files
// not yet complete, offers the capture its next file ahead of time, has each full file completed
// by its disk thread, and reports every failure as a value: what failed, the system's or the
// device's code, the path.
//
// Threads: every public call runs on the window thread. The capture thread (its end and its
// file events) and the disk thread (a full file completed) only queue a notice here and call
// the notify function, which must not block (the window posts itself a message); the window
// thread then calls TakeReports, which acts on the notices and returns what the user is to see.
#pragma once

#include "capture/wave_in.h"
#include "engine/file_hand_over.h"
#include "engine/sequential_naming.h"
#include "recording/disk_thread.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// What failed.
enum RecordingStep {
    STEP_OK = 0,
    STEP_NO_FOLDER,     // sequential naming without a folder
    STEP_NAME_TOO_LONG, // the sequential folder or path would be too long
    STEP_ALL_TAKEN,     // every sequential number names a file; path: the folder
    STEP_BAD_NAME,      // the prefix or the folder would not make a plain file; path: the folder
    STEP_FOLDER,        // a folder of the path could not be made; path: the folder
    STEP_DEVICE,        // the device refused; code: its MMRESULT
    STEP_NO_MEMORY,     // the capture's buffers could not be allocated
    STEP_FORMAT,        // a format no recording can use
    STEP_FILE_EXISTS,   // the file exists and was not to be replaced
    STEP_FILE,          // the file could not be created
    STEP_WRITE,         // a block could not be written: a full disk, a lost drive
    STEP_COMPLETE,      // the file's sizes could not be written, or it could not be flushed
                        // or closed: it keeps its note, to be completed at the next start
};

struct RecordingFailure {
    RecordingStep step = STEP_OK;
    uint32_t code = 0; // the system's error, or the device's MMRESULT for STEP_DEVICE
    std::wstring path; // the file or folder concerned
    explicit operator bool() const { return step != STEP_OK; }
};

// What a recording keeps in the settings file at once. Window thread; false when it could not
// be written (the implementation tells the user).
class IRecordingNotes {
public:
    virtual ~IRecordingNotes() = default;
    virtual bool SaveCounter(uint32_t count) = 0;
    // The files not yet complete, so that the next start completes them; empty: none.
    virtual bool NoteFiles(const std::vector<std::wstring>& files) = 0;
};

// How a recording is to be made.
struct RecordingPlan {
    int channels = 2;
    int samplesPerSec = 16000;
    int sampleType = 1;
    bool sequential = false;
    SequentialNaming naming;   // when sequential
    std::wstring typedName;    // otherwise
    bool replaceTyped = false; // the user agreed to replace an existing typed file
};

struct RecordingReport {
    enum Kind {
        FILE_STARTED,  // the recording went on in path
        ENDED,         // the capture ended it by itself (reason); failure says why, if known
        NOT_COMPLETED, // failure: a file that could not be completed
    };
    Kind kind = FILE_STARTED;
    std::wstring path;
    CaptureEndReason reason = CAPTURE_END_WRITE_FAILED;
    uint32_t atMs = 0; // ENDED: GetTicks when the capture ended
    RecordingFailure failure;
};

class CRecording {
public:
    // notify: called on any thread when a notice waits for TakeReports.
    CRecording(CWaveIn& capture, IRecordingNotes& notes, std::function<void()> notify);
    ~CRecording();
    CRecording(const CRecording&) = delete;
    CRecording& operator=(const CRecording&) = delete;

    // Files an earlier run could not complete and that are still to be (their drive absent):
    // kept in the note with the files of every recording. Before the first Start.
    void KeepNoted(std::vector<std::wstring> files);

    // 1. The name: the next free sequential number (a file that appears meanwhile sends it on
    // to the next), or the typed one. 2. Its folders. 3. The capture, which opens the device and
    // creates the file. 4. The counter and the note, at once. 5. The disk thread.
    RecordingFailure Start(const RecordingPlan& plan);
    // Pauses and resumes the capture; Resume's failure is the device's.
    bool Pause();
    RecordingFailure Resume();
    // Ends the recording: the capture closed and its file completed, a next file made ahead and
    // not needed removed with its number given back, every full file completed. The files that
    // could not be completed (each keeps its note).
    std::vector<RecordingFailure> Stop();

    // Queues the capture's end; its end handler calls this on the capture thread (and tests on
    // any thread, to end a recording as the capture would).
    void CaptureEnded(CaptureEnd end);

    // Acts on the notices of the other threads: offers the next file when the capture wants it,
    // follows the recording into it, notes the full files completed, and stops a recording the
    // capture ended. Returns what the window is to show, in order.
    std::vector<RecordingReport> TakeReports();

    bool IsRecording() const { return m_recording; }
    // The path of the file being written (the last one, once stopped).
    const std::wstring& CurrentFile() const { return m_current; }
    // The sequential counter: the number the next file would get.
    uint32_t Counter() const { return m_naming.count; }
    // The last Start passed 999999 on its way to a free number.
    bool Wrapped() const { return m_wrapped; }
    // The flushes of the file being written so far (tests, benchmark).
    uint32_t Flushes() const { return m_disk.Flushes(); }

private:
    struct Notice {
        enum Kind { WANTED, STARTED, COMPLETED, ENDED } kind;
        CaptureEnd end;
        std::wstring path;
        uint32_t code = 0;
    };
    // A next file made ahead of time: where, its number's counter before and after, and the
    // folder made for it.
    struct Prepared {
        std::wstring path;
        bool sequential = false;
        uint32_t countBefore = 0, countAfter = 0;
        std::wstring madeFolder;
    };

    void Post(Notice notice);
    RecordingFailure OpenSequential(const RecordingPlan& plan);
    // The first free sequential name that create (path -> RecordingFailure) makes.
    template <class Create>
    RecordingFailure TakeFreeName(SequentialNaming& naming, std::wstring& path, std::wstring& made,
                                  Create create);
    RecordingFailure OpenCapture(const std::wstring& path, const RecordingPlan& plan,
                                 RawFile::CreateMode mode);
    void PrepareNextFile();
    // The next name and its folders; STEP_OK, or why not.
    RecordingFailure NextName(SequentialNaming& naming, std::wstring& path,
                              std::wstring& madeFolder);
    void GiveBack(Prepared& prepared);
    void Note();
    void Forget(const std::wstring& path);
    void EndedBySelf(const CaptureEnd& end, std::vector<RecordingReport>& reports);

    CWaveIn& m_capture;
    IRecordingNotes& m_notes;
    std::function<void()> m_notify;
    FileHandOver m_handOver;
    DiskThread m_disk;

    std::mutex m_noticeLock; // the queue between the other threads and the window thread
    std::vector<Notice> m_notices;

    // The window thread's own.
    bool m_recording = false;
    RecordingPlan m_plan;
    SequentialNaming m_naming;
    bool m_wrapped = false;
    int m_typedPart = 1;
    std::wstring m_current;
    Prepared m_prepared;                    // path empty: none
    RecordingFailure m_nextFailure;         // why the next file could not be made
    std::vector<std::wstring> m_unfinished; // noted: not yet complete
};

// A path of the program's (backslashes) as the file system takes it.
std::filesystem::path FileSystemPath(const std::wstring& path);
