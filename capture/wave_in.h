// CWaveIn: one recording at a time from the default input into a WAV file. Thirty buffers of
// 40 ms circle between the device and the program; every buffer that comes back goes to the
// WAV writer, then to the monitor, then back to the device.
//
// Threads: Open, Start, Stop and Close run on the window thread. The per-block work runs on a
// capture thread of CWaveIn's own, woken by the device's completion notice; the device's own
// notification does nothing else. The capture thread never waits for the window thread. Close
// returns only after the capture thread has ended, so no block is in the writer or the monitor
// when the file is completed. The device promises nothing about calls from two threads at once,
// so every call into it is made under one lock.
#pragma once

#include "capture/wave_input.h"
#include "engine/wave_file.h"
#include "monitor/monitor.h"
#include "monitor/monitor_host.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

constexpr int kWaveInBufferCount = 30;
constexpr uint32_t kWaveInBufferMs = 40;
// How long (on GetTicks' clock) a running device may deliver nothing, once it has handed back a
// buffer, before the capture counts it as gone; and how long it may take to hand back its first
// buffer after a start or a resume (a driver that never starts, a stream lost while paused).
constexpr uint32_t kSilenceTimeoutMs = 2000;
constexpr uint32_t kFirstBlockTimeoutMs = 5000;

// The writer and the monitor of the one capture, and whether it runs. Owned by the CWaveIn.
extern CWaveFile* g_pWaveFile;
extern CMonitor* g_pMonitor;
extern std::atomic<int> g_bCaptureActive;

// Why a capture ended by itself; the recording then stops it and tells the user.
enum CaptureEndReason {
    CAPTURE_END_WRITE_FAILED = 1, // the file could not take a block (disk full, device error)
    CAPTURE_END_FILE_FULL,        // the file reached its size limit and no next file waited
    CAPTURE_END_DEVICE_SILENT,    // no block for a while: the input device is gone
    CAPTURE_END_DEVICE_FAILED,    // the device refused a buffer back
};

// The end, as a value that travels with the notice: the reason, and the system's or the
// device's code behind it (0 when there is none).
struct CaptureEnd {
    CaptureEndReason reason = CAPTURE_END_WRITE_FAILED;
    uint32_t code = 0;
    uint32_t atMs = 0; // GetTicks when it ended
};

// A recording goes on in a next file when its file is full: the owner is asked for that file
// while there is still this much room (and offers it through the writer's hand-over), and told
// when the recording has moved into it.
constexpr uint32_t kNextFileLeadSeconds = 10;
enum CaptureFileEvent {
    CAPTURE_NEXT_FILE_WANTED,  // offer a next file
    CAPTURE_NEXT_FILE_STARTED, // the prepared file is being written; the full one is handed on
};

// Why Open or Start failed, or the device ended a recording.
enum CaptureFailure {
    CAPTURE_OK = 0,
    CAPTURE_BAD_FORMAT,    // a format no recording can use
    CAPTURE_NO_MEMORY,     // the buffers could not be allocated
    CAPTURE_DEVICE_FAILED, // the device refused; code: its MMRESULT
    CAPTURE_FILE_EXISTS,   // the file exists and was not to be replaced; code: the system's
    CAPTURE_FILE_FAILED,   // the file could not be created; code: the system's error
};

struct CaptureError {
    CaptureFailure failure = CAPTURE_OK;
    uint32_t code = 0;
};

// Bytes in one 40 ms buffer of this device format (truncated, not rounded to whole frames).
uint32_t WaveInBufferSize(const WaveFormat& deviceFormat);

class CWaveIn {
public:
    CWaveIn(std::unique_ptr<IWaveInput> device, IMonitorHost& monitorHost);
    // Deletes the monitor, then the writer; the owner closes any capture first.
    ~CWaveIn();
    CWaveIn(const CWaveIn&) = delete;
    CWaveIn& operator=(const CWaveIn&) = delete;

    // Opens the device, queues the buffers, creates the file and starts recording. 1 when it
    // records; 0 when anything failed (LastFailure says what), with everything released and no
    // file left behind. The device comes first: a device that cannot record never touches a file.
    int Open(const std::filesystem::path& fileName, int channels, int samplesPerSec, int sampleType,
             RawFile::CreateMode mode = RawFile::CREATE_NEW_ONLY);
    // Starts or resumes the device; 1 when it runs (otherwise LastFailure says why).
    int Start();
    // Pauses: stops the device; the block it was filling is written and its buffer given back.
    int Stop();
    // Ends the capture: every byte recorded up to here reaches the file, which is completed.
    // 0 when the device or the file reported an error on the way (everything is released anyway).
    int Close();

    // Called on the capture thread when the capture ends by itself; must not block (the owner
    // queues it and posts a message). Set while no capture is open.
    void SetEndHandler(std::function<void(CaptureEnd)> handler);
    // Called on the capture thread about the next file (see CaptureFileEvent); must not block.
    void SetFileHandler(std::function<void(CaptureFileEvent)> handler);

    bool IsOpen() const { return m_open; }
    // What made the last Open or Start fail. Window thread.
    CaptureError LastFailure() const { return m_failure; }

private:
    void CaptureThread();
    // Takes the buffers that came back, in queue order; gives them back unless closing.
    void ProcessDoneBuffers();
    void EndBySelf(CaptureEndReason reason, uint32_t code);
    void TellAboutNextFile();
    void WaitUntilProcessed();
    // Ends the thread, gives up the buffers and the device; returns false on a device error.
    bool Release();
    // Closes the device; when it will not close, even after a second reset, it may still hold
    // the buffers, which then stay allocated as long as the device object exists.
    bool CloseDevice();
    int Fail(CaptureFailure failure, uint32_t code);

    // Blocks of a device that would not close: it may still write into them, so they live
    // until the device object itself is gone (declared first, so destroyed after it).
    std::vector<std::unique_ptr<uint8_t[]>> m_retiredBlocks;
    std::unique_ptr<IWaveInput> m_device;
    // The writer and the monitor that g_pWaveFile and g_pMonitor point to; the monitor goes
    // first (declared last).
    std::unique_ptr<CWaveFile> m_writer;
    std::unique_ptr<CMonitor> m_monitor;
    WaveHeader m_waveHdr[kWaveInBufferCount];
    std::unique_ptr<uint8_t[]> m_blocks;
    int m_prepared = 0; // headers prepared, from the first
    int m_next = 0;     // the header the device hands back next
    bool m_deviceOpen = false;
    bool m_open = false; // between a successful Open and Close
    std::filesystem::path m_fileName;

    std::thread m_thread;
    // Guards the fields below, shared with the capture thread, and every call into the device.
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_closing = false;       // buffers that come back are no longer given back
    bool m_quit = false;          // the capture thread takes what came back once more and ends
    uint64_t m_syncRequested = 0; // the window thread asks for one more scan...
    uint64_t m_syncDone = 0;      // ...and the capture thread says it made it
    // The capture thread's own, while it runs.
    bool m_ended = false; // the capture ended by itself: no more blocks are taken
    // The device handed back a buffer in this run, empty or not: from here on the silence limit
    // counts, not the first block's.
    std::atomic<bool> m_heard{false};
    std::atomic<uint32_t> m_lastBlockMs{0}; // GetTicks at the start of the run or the last block
    // The window thread's own.
    CaptureError m_failure;
    std::function<void(CaptureEnd)> m_endHandler;
    std::function<void(CaptureFileEvent)> m_fileHandler;
    // The capture thread's own: the switches into a next file it has told of, and whether it
    // has asked for the next one.
    uint32_t m_switchesTold = 0;
    bool m_nextAsked = false;
};

// The preview page's way to the monitor: controls 1010, 1007, 1009, and its repaint.
int AttachMonitorViews(WindowHandle waveform, WindowHandle meter1, WindowHandle meter2);
int RepaintMonitor(uint16_t channels);
