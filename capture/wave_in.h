// CWaveIn: the default input, recorded through thirty buffers of 40 ms that circle between the
// device and the program. Every buffer that comes back is copied into the recording's block sink
// (its queue to the disk), fed to the monitor, and given back to the device at once.
//
// Once the input has given its first sound, nothing that happens to it ends the recording: an
// input that fails, disappears, falls silent for kSilenceTimeoutMs, or is no longer the default
// is closed, and the default input is opened again at the same format every kReopenPeriodMs
// until one records; the owner hears that the capture waits and that it records again.
//
// The capture's life is one state (CaptureState), changed only under the capture's lock, read
// anywhere at once. The capture also runs the recording's one clock (RecordingClock): it runs
// while the capture records or waits for its input, and every block is stamped with it.
//
// Threads: Open, Start, Stop and Close run on the window thread. The per-block work, and closing
// and opening the device again while it waits, run on a capture thread of CWaveIn's own, woken by
// the device's completion notice; the device's own notification does nothing else. The capture
// thread waits for nothing: no disk (the sink only copies), no window (the monitor draws into
// memory and posts its notices), never the window thread. Close returns only after the capture
// thread has ended, so no block is in the sink or the monitor afterwards. The device promises
// nothing about calls from two threads at once, so every call into it is made under one lock,
// which also guards the state and whether the device is open.
#pragma once

#include "capture/block_sink.h"
#include "capture/wave_input.h"
#include "engine/recording_clock.h"
#include "engine/recording_failure.h"
#include "monitor/monitor.h"
#include "monitor/monitor_host.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

constexpr int kWaveInBufferCount = 30;
constexpr uint32_t kWaveInBufferMs = 40;
// How long (on GetTicks' clock) a running device may deliver nothing, once it has handed back a
// buffer, before the capture counts it as gone; and how long it may take to hand back its first
// buffer after a start or a resume (a driver that never starts, a stream lost while paused).
constexpr uint32_t kSilenceTimeoutMs = 2000;
constexpr uint32_t kFirstBlockTimeoutMs = 5000;
// While the input is away, it is opened again this often; and this often the capture asks which
// input is the default, to follow a new one.
constexpr uint32_t kReopenPeriodMs = 1000;
constexpr uint32_t kDefaultInputCheckMs = 2000;

// The monitor of the one capture. Owned by the CWaveIn.
extern CMonitor* g_pMonitor;

// The capture's life.
enum CaptureState {
    CAPTURE_CLOSED,  // no capture is open
    CAPTURE_RUNNING, // the device records into the sink
    CAPTURE_PAUSED,  // the owner paused it: the device, if there is one, is stopped
    CAPTURE_WAITING, // to record, but the input is gone: the default input is opened again until
                     // one records (the clock runs on)
    CAPTURE_ENDED,   // it ended by itself before the input gave any sound: nothing more is taken
};

// Bytes in one 40 ms buffer of this device format (truncated, not rounded to whole frames).
uint32_t WaveInBufferSize(const WaveFormat& deviceFormat);

class CWaveIn {
public:
    CWaveIn(std::unique_ptr<IWaveInput> device, IMonitorHost& monitorHost);
    // Deletes the monitor; a capture still open is closed first.
    ~CWaveIn();
    CWaveIn(const CWaveIn&) = delete;
    CWaveIn& operator=(const CWaveIn&) = delete;

    // Opens the device in the format, queues the buffers and starts recording into sink, which
    // must outlive the capture. 1 when it records; 0 when anything failed (LastFailure says
    // what: STEP_FORMAT, STEP_NO_MEMORY or STEP_DEVICE), with everything released.
    int Open(IBlockSink& sink, int channels, int samplesPerSec, int sampleType);
    // Starts or resumes the device; 1 when it runs or waits for its input (otherwise LastFailure
    // says why).
    int Start();
    // Pauses: stops the device; the block it was filling goes to the sink and its buffer back to
    // the device. 0 when the device would not stop (LastFailure): it records on. While the
    // capture waits for its input, a start or a stop only says whether it is to run once open.
    int Stop();
    // Ends the capture: every byte recorded up to here is in the sink. 0 when the device
    // reported an error on the way (everything is released anyway).
    int Close();

    // Called on the capture thread when the capture ends by itself (before the input gave any
    // sound: STEP_DEVICE with the device's code, or STEP_DEVICE_SILENT) at atTicks (GetTicks);
    // must not block (the owner queues it and posts a message). Set while no capture is open.
    void SetEndHandler(std::function<void(const RecordingFailure&, uint32_t atTicks)> handler);
    // Called on the capture thread when a running capture begins to wait for its input (true),
    // and when the input opened again has given its first sound (false); must not block. (A
    // resume that finds the input gone returns waiting: the owner reads the state.) Set while no
    // capture is open.
    void SetInputHandler(std::function<void(bool waiting)> handler);
    // Any thread: the input is closed and opened again (the computer woke up).
    void ReopenInput();

    // Any thread.
    CaptureState State() const { return m_state; }
    bool IsOpen() const { return m_state != CAPTURE_CLOSED; }
    // The recording's clock: reset by Open, run and paused with the device; Close stops it.
    RecordingClock& Clock() { return m_clock; }
    const RecordingClock& Clock() const { return m_clock; }
    // What made the last Open, Start or Stop fail. Window thread.
    const RecordingFailure& LastFailure() const { return m_failure; }

private:
    void CaptureThread();
    // Takes the buffers that came back, in queue order; gives them back unless closing or
    // dropping the device (giveBack false).
    void ProcessDoneBuffers(bool giveBack = true);
    void EndBySelf(RecordingFailure failure);
    // Capture thread: the device is given up (what it hands back goes to the sink), and the
    // capture waits for an input.
    void LoseInput();
    // Capture thread, while the device is gone, every kReopenPeriodMs: the default input opened
    // again (and started, unless paused).
    void TryReopen(uint32_t now);
    void Proven();
    // Capture thread: whether another input than the one opened is the default now.
    bool DefaultInputChanged();
    // Under the lock: the buffers (allocated when there are none), the device opened at the
    // format, every buffer prepared and queued. The device's code on failure.
    uint32_t OpenDevice();
    // Under the lock: every buffer back, unprepared, the device closed.
    bool CloseDeviceLocked();
    void WaitUntilProcessed();
    // Ends the thread, gives up the buffers and the device; returns false on a device error.
    bool Release();
    // Closes the device; when it will not close, even after a second reset, it may still hold
    // the buffers, which then stay allocated as long as the device object exists.
    bool CloseDevice();
    void Tell(bool waiting);
    int Fail(RecordingStep step, uint32_t code);

    // Blocks of a device that would not close: it may still write into them, so they live
    // until the device object itself is gone (declared first, so destroyed after it).
    std::vector<std::unique_ptr<uint8_t[]>> m_retiredBlocks;
    std::unique_ptr<IWaveInput> m_device;
    std::unique_ptr<CMonitor> m_monitor; // what g_pMonitor points to
    IBlockSink* m_sink = nullptr;        // while a capture is open
    WaveHeader m_waveHdr[kWaveInBufferCount];
    std::unique_ptr<uint8_t[]> m_blocks;
    WaveFormat m_format; // the device's, while a capture is open
    int m_prepared = 0;  // headers prepared, from the first
    int m_next = 0;      // the header the device hands back next
    RecordingClock m_clock;

    std::thread m_thread;
    // Guards the fields below, shared with the capture thread, every change of the state, and
    // every call into the device.
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::atomic<CaptureState> m_state{CAPTURE_CLOSED};
    bool m_deviceOpen = false;    // the device is open (not while the input is waited for)
    bool m_started = false;       // ...and started: it hands buffers back
    bool m_quit = false;          // the capture thread takes what came back once more and ends
    uint64_t m_syncRequested = 0; // the window thread asks for one more scan...
    uint64_t m_syncDone = 0;      // ...and the capture thread says it made it
    // The input has given sound: from here on it is waited for. Written by the capture thread,
    // read by Start.
    std::atomic<bool> m_everHeard{false};
    // The device now open has given sound (or is the first): until it has, after an opening
    // again, the capture waits for it. Changed under the lock, by the capture thread.
    std::atomic<bool> m_proven{true};
    // The capture thread's own, while it runs.
    uint32_t m_lastAttempt = 0;      // GetTicks of the last opening while the device is gone
    uint32_t m_lastDefaultCheck = 0; // GetTicks when the default input was last asked
    std::wstring m_defaultInput;     // the default input when the device was opened
    // The device is to be given up and the input opened again (a wake, a refused resume); the
    // capture thread takes it, and forgets it once the device is given up.
    std::atomic<bool> m_reopenAsked{false};
    // The device handed back a buffer in this run, empty or not: from here on the silence limit
    // counts, not the first block's.
    std::atomic<bool> m_heard{false};
    std::atomic<uint32_t> m_lastBlockMs{0}; // GetTicks at the start of the run or the last block
    // The window thread's own.
    RecordingFailure m_failure;
    std::function<void(const RecordingFailure&, uint32_t)> m_endHandler;
    std::function<void(bool)> m_inputHandler;
};

// The preview page's way to the monitor: controls 1010, 1007, 1009, and its repaint.
int AttachMonitorViews(WindowHandle waveform, WindowHandle meter1, WindowHandle meter2);
int RepaintMonitor(uint16_t channels);
