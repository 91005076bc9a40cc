// CRecording: one recording's life, from Start to the completion of its last file, across all
// its files, and what is left of earlier ones. It picks each file's name (the next free
// sequential name, or the typed name and then "name (2).ext", ...), has it created exclusively,
// keeps the sequential counter and the settings note of the files not yet complete, completes
// at start-up what an earlier run left unfinished, and reports every failure as a value.
//
// The way of a block: the device -> the capture thread (CWaveIn) -> the recording's queue
// (BlockQueue) -> its disk thread (DiskThread) -> the writer (CWaveFile) -> the file. Each
// recording has a queue and a disk thread of its own; Stop returns at once, and the disk thread
// completes the files afterwards (a new recording may start meanwhile).
//
// A moment of the recording is named one way: the frame of the recording, pauses left out,
// silence that stands in for a stretch without sound counted in. The user's markers (PlaceMarker)
// and the recording's own (where it resumed, where a stretch without sound begins) are placed
// there by the disk thread, into the file that holds that frame and its journal, so the repair at
// the next start writes what a crash interrupted.
//
// Threads: every public call runs on the window thread. The capture thread (its end) and the
// disk threads only queue a report here and call the wake function, which must not block (the
// window posts itself a message); the window thread then calls TakeReports, which acts on the
// reports and returns what the user is to see.
#pragma once

#include "capture/wave_in.h"
#include "engine/recording_failure.h"
#include "engine/sequential_naming.h"
#include "recording/file_naming.h"
#include "recording/recording_notes.h"
#include "recording/recording_report.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// How a recording is to be made.
struct RecordingPlan {
    int channels = 2;
    int samplesPerSec = 16000;
    int sampleType = 1;
    bool sequential = false;
    SequentialNaming naming;   // when sequential
    std::wstring typedName;    // otherwise
    bool replaceTyped = false; // the user agreed to replace an existing typed file
    CaptureSource source;      // what is recorded
};

// The one state of the recording.
enum RecordingState {
    RECORDING_STOPPED, // no recording, nothing left to complete
    RECORDING_RUNNING, // the device records
    RECORDING_WAITING, // recording, but the input is gone or silent: it is opened again until
                       // it records (the clock runs on)
    RECORDING_PAUSED,  // the device is stopped, the file open
    RECORDING_ENDING,  // stopped; a disk thread still completes the files
};

class CRecording {
public:
    // wake: called on any thread when a report waits for TakeReports.
    CRecording(CWaveIn& capture, IRecordingNotes& notes, std::function<void()> wake);
    // Stops a recording; what is still being completed is left to finish on its own.
    ~CRecording();
    CRecording(const CRecording&) = delete;
    CRecording& operator=(const CRecording&) = delete;

    // At start-up: the noted files of earlier runs are completed (or found complete, gone, not
    // ours, or without a sound: removed) on a thread of their own, their notes kept meanwhile;
    // a recording may start. Once done, TakeReports gives INTERRUPTED_READY.
    void CompleteInterrupted();
    // Then: the numbers of the removed files given back in naming (unless the counter moved on
    // meanwhile); a file that cannot be completed now keeps its note, the others leave it. What
    // the user is to hear, each file once.
    std::vector<RecordingReport> SettleInterrupted(SequentialNaming& naming);

    // 1. The queue. 2. The capture: the device runs into the queue. 3. The name: the next free
    // sequential number (a file that appears meanwhile sends it on to the next), or the typed
    // one, with its folders and its file. 4. The counter and the note, at once. 5. The disk
    // thread. A start that fails uses no number and leaves no file.
    RecordingFailure Start(const RecordingPlan& plan);
    // Pauses the device; a device that would not stop records on (STEP_DEVICE).
    RecordingFailure Pause();
    // Resumes it; on failure the recording stays paused.
    RecordingFailure Resume();
    // Ends the recording at once: the capture is closed, and the disk thread completes the files
    // (their completion follows as reports).
    void Stop();
    // A marker at the moment of the recording the user hears now: the first sound the capture
    // takes from here on (the sound that resumes, while paused). Its number among the user's
    // markers of this recording; 0 when nothing records.
    uint32_t PlaceMarker();
    // The user's markers of the recording (the last one, once stopped).
    uint32_t MarkerCount() const { return m_userMarkers; }
    // The computer is about to sleep: what was written reaches the storage device at once,
    // waited for up to waitMs. False when the disk did not answer in time.
    bool FlushNow(uint32_t waitMs);
    // The computer woke up: the input is opened again (it may be gone, or another).
    void ReopenInput();
    // Close and the end of the session: waits up to timeoutMs for every file to be completed,
    // acting on the reports meanwhile. Whether all were; the reports met on the way.
    bool WaitUntilComplete(uint32_t timeoutMs, std::vector<RecordingReport>& reports);

    // Acts on the reports of the other threads: offers a next file when a disk thread wants one,
    // follows the recording into it, forgets the notes of completed files, and stops a recording
    // that could not go on. Returns what the window is to show, in order.
    std::vector<RecordingReport> TakeReports();

    RecordingState State() const;
    // The time recorded up to nowTicks (GetTicks), pauses left out: the capture's clock, which
    // stamps every block. Up to the stop, once stopped; a recording that ended by itself counts
    // up to its end.
    uint32_t ElapsedMs(uint32_t nowTicks) const;
    // ...from the first sound on (what the files hold, when the input gave its first block late):
    // what a stop after a duration counts. 0 before the first sound.
    uint32_t SoundMs(uint32_t nowTicks) const;
    // What identifies the input being recorded (see CWaveIn::Input).
    std::wstring Input() const { return m_capture.Input(); }
    // Both sides of a call: the side that is away and waited for (its channel silent).
    WaitingSide SideWaiting() const { return m_capture.SideWaiting(); }
    // ...and how long the microphone alone has given only quiet sound.
    uint32_t NearQuietMs() const { return m_capture.NearQuietMs(); }
    // How long the sound has been quiet: of both sides of a call, the microphone's alone (the
    // far side may simply be listening).
    uint32_t QuietMs() const {
        return Source().kind == SOURCE_BOTH ? NearQuietMs() : m_capture.Monitor().QuietMs();
    }
    // Both sides of a call: a side went away (away) or came back, as the window saw SideWaiting
    // change; an automatic marker says so where the sound is now.
    void MarkSide(WaitingSide side, bool away);
    // The recording stops at its stop time: an automatic marker says so where the sound is now.
    void MarkTimedStop();
    // How much more of the live recording the drive of its file holds, its files' seams counted;
    // UINT64_MAX while that is not known.
    uint64_t RecordableMs() const;
    // What the live recording records (the last one's, once stopped).
    const CaptureSource& Source() const { return m_source; }
    // The path of the file being written (the last one, once stopped).
    const std::wstring& CurrentFile() const { return m_current; }
    // The sequential counter: the number the next file would get.
    uint32_t Counter() const { return m_naming.count; }
    // The last Start passed 999999 on its way to a free number.
    bool Wrapped() const { return m_wrapped; }

    // The largest RIFF size of a file (tests of long recordings); 0: the format's own limit.
    void SetFileSizeLimit(uint64_t riffSize) { m_sizeLimit = riffSize; }

private:
    struct Run;
    class Reports;
    // A next file made ahead of time: where, its number's counter before and after, and the
    // folder made for it.
    struct Prepared {
        std::wstring path;
        bool sequential = false;
        uint32_t countBefore = 0, countAfter = 0;
        std::wstring madeFolder;
    };

    Run* Find(uint32_t serial);
    Run* Live();
    RecordingFailure CreateFirstFile(Run& run, std::wstring& path, std::wstring& madeFolder);
    void PrepareNextFile(Run& run);
    // Whether the counter moved.
    bool NextFileMade(Run& run);
    void StopAt(uint32_t endTicks);
    // Whether the user is to hear of it.
    bool EndedBySelf(Run& run, RecordingReport& report);
    void DiskDone(Run& run);
    // A file made and never recorded into: removed, with the folder made for it, its note
    // dropped and its number given back unless a later one was taken since (then true).
    bool GiveBack(const Prepared& prepared);
    // ...the same, off the window thread: removed on a thread of its own, which reports
    // NEXT_REMOVED; then Removed (whether a number was given back), and GaveBack once removed.
    void RemoveOffThread(const Prepared& prepared, RawFile file);
    bool Removed(const RecordingReport& report);
    bool GaveBack(const Prepared& prepared);
    void AskMarker(Run& run, MarkerKind kind, uint32_t number);
    // The disk thread had no room for a marker: whether the user is to hear of it.
    bool MarkerDropped(const RecordingReport& report);
    void Note();
    void Forget(const std::wstring& path);

    CWaveIn& m_capture;
    IRecordingNotes& m_notes;
    std::shared_ptr<Reports> m_reported; // shared with the disk threads, which may outlive this

    // The window thread's own.
    bool m_live = false; // the last run records (running, paused or waiting: the capture says)
    std::atomic<uint32_t> m_captureRun{0};    // the run the capture records for (its end's report)
    std::vector<std::unique_ptr<Run>> m_runs; // the live one last; the others still completing
    uint32_t m_serial = 0;
    SequentialNaming m_naming;
    bool m_wrapped = false;
    std::wstring m_current;
    CaptureSource m_source;
    uint64_t m_sizeLimit = 0;
    // The files noted as not yet complete (their markers are in their journals; those of an
    // earlier version's note are kept with it).
    std::vector<NotedFile> m_unfinished;
    // The next files made and never used, being removed.
    struct Removal {
        Prepared prepared;
        std::thread thread;
    };
    std::vector<Removal> m_removals;
    // The completion of the files earlier runs left, on its thread (which the job outlives).
    struct Repair;
    std::shared_ptr<Repair> m_repair;
    std::thread m_repairThread;
    // How many markers of each kind the live recording asked for.
    uint32_t m_userMarkers = 0, m_resumes = 0;
    uint32_t m_sideMarks[4] = {};                // by kind, from MARKER_PLAYBACK_AWAY on
    std::vector<std::wstring> m_markersFullTold; // files whose lack of room was said
};
