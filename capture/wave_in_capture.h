// WaveInCapture: one device's capture, behind CWaveIn (see wave_in.h for what it does). It is
// shared between CWaveIn and the threads that call into the device, so that a driver that never
// returns keeps it alive: CWaveIn then cuts it off (nothing more reaches the sink, the monitor or
// the handlers) and leaves it behind with the threads stuck in it.
//
// Threads: Open, Start, Stop and Close are called one at a time, by CWaveIn's caller threads; the
// per-block work, and closing and opening the device again while it waits, run on the capture
// thread; CutOff, State, Clock and ReopenInput on any thread. Every call into the device is made
// under m_lock, which also guards the state and whether the device is open. What reaches the sink,
// the monitor and the handlers goes through m_outLock, which is never held across a call into the
// device, so a cut-off takes at most one block's copy.
#pragma once

#include "capture/block_sink.h"
#include "capture/wave_input.h"
#include "engine/recording_clock.h"
#include "engine/recording_failure.h"
#include "monitor/monitor.h"

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

// The capture's life.
enum CaptureState {
    CAPTURE_CLOSED,  // no capture is open
    CAPTURE_RUNNING, // the device records into the sink
    CAPTURE_PAUSED,  // the owner paused it: the device, if there is one, is stopped
    CAPTURE_WAITING, // to record, but the input is gone: the default input is opened again until
                     // one records (the clock runs on)
    CAPTURE_ENDED,   // it ended by itself before the input gave any sound: nothing more is taken
};

// The device behind the capture.
enum DeviceState {
    DEVICE_CLOSED,  // not open (the input is waited for, or the capture is closed)
    DEVICE_OPEN,    // open, its buffers queued, not recording
    DEVICE_STARTED, // recording: it hands buffers back
};

// What the input has given of sound, and whether the device open now has given it. Until the
// input has given sound, its silence or failure ends the capture; after, it is waited for. A
// device opened again records only once it has given sound (the first opening records at once).
enum InputSound {
    SOUND_NONE,          // nothing yet, from the first opening
    SOUND_NONE_REOPENED, // nothing yet, from a device opened again, which the capture waits for
    SOUND_AWAITED,       // sound, but not yet from the device opened again since
    SOUND_PROVEN,        // sound, from the device open now
};
constexpr bool HasHeard(InputSound sound) {
    return sound == SOUND_AWAITED || sound == SOUND_PROVEN;
}
constexpr bool IsProven(InputSound sound) {
    return sound == SOUND_NONE || sound == SOUND_PROVEN;
}

// Bytes in one 40 ms buffer of this device format (truncated, not rounded to whole frames).
uint32_t WaveInBufferSize(const WaveFormat& deviceFormat);
// What a failed opening of the device means: the chosen device is not there, what an output
// plays cannot be read back here, or the device refused (STEP_DEVICE with its code).
RecordingStep StepOfDeviceCode(uint32_t code);

class WaveInCapture {
public:
    // Every block goes to the monitor too.
    WaveInCapture(std::unique_ptr<IWaveInput> device, CMonitor& monitor);
    ~WaveInCapture();
    WaveInCapture(const WaveInCapture&) = delete;
    WaveInCapture& operator=(const WaveInCapture&) = delete;

    // As CWaveIn's, without the monitor's part (CWaveIn tells the monitor on its own thread).
    int Open(IBlockSink& sink, const WaveFormat& format, const CaptureSource& source);
    int Start();
    int Stop();
    int Close();

    // Set before Open.
    void SetEndHandler(std::function<void(const RecordingFailure&, uint32_t atTicks)> handler);
    void SetInputHandler(std::function<void(bool waiting)> handler);
    void ReopenInput();
    // From here on nothing reaches the sink, the monitor or the handlers, and the clock stands
    // still; returns once a block being handed over has been.
    void CutOff();

    CaptureState State() const { return m_state; }
    // The input opened last, as IWaveInput::DefaultInput tells it (empty when it cannot be
    // told). Any thread, without waiting for the device.
    std::wstring Input() const;
    // IWaveInput::SideWaiting of the device, without waiting for it. Any thread.
    WaitingSide SideWaiting() const { return m_device ? m_device->SideWaiting() : SIDE_NONE; }
    uint32_t NearQuietMs() const { return m_device ? m_device->NearQuietMs() : 0; }
    RecordingClock& Clock() { return m_clock; }
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
    // Capture thread: the device given up, the one way: reset, what it handed back taken to the
    // sink, every buffer unprepared, the device closed.
    void GiveUpDevice();
    void Proven();
    // Capture thread: another input than the one opened is the default now: followed where
    // Windows moves the stream itself, the device given up elsewhere.
    void FollowDefaultInput();
    // Under the lock: the buffers (allocated when there are none), the device opened at the
    // format, every buffer prepared and queued (again: the capture's retry while it waits). The
    // device's code on failure.
    uint32_t OpenDevice(bool again = false);
    // Under the lock, every buffer back: every buffer unprepared, the device closed.
    bool CloseDeviceLocked();
    void WaitUntilProcessed();
    // Ends the thread, gives up the buffers and the device; returns false on a device error.
    bool Release();
    // Closes the device; when it will not close, even after a second reset, it may still hold
    // the buffers, which then stay allocated as long as the device object exists.
    bool CloseDevice();
    // Capture thread: what goes out of the capture, unless it has been cut off.
    template <class Deliver> void Out(Deliver deliver);
    void ReportInput(bool waiting);
    int Fail(RecordingStep step, uint32_t code);

    // Blocks of a device that would not close: it may still write into them, so they live
    // until the device object itself is gone (declared first, so destroyed after it).
    std::vector<std::unique_ptr<uint8_t[]>> m_retiredBlocks;
    const std::unique_ptr<IWaveInput> m_device;
    CMonitor& m_monitor;

    // Set by Open and Close, read by the capture thread while it runs.
    IBlockSink* m_sink = nullptr;
    WaveFormat m_format;
    CaptureSource m_source; // every opening, the first and each one again, is of this source
    // The device's buffers: set up under the lock, each taken and given back by the capture
    // thread in turn while the device runs.
    WaveHeader m_waveHdr[kWaveInBufferCount];
    std::unique_ptr<uint8_t[]> m_blocks;
    int m_prepared = 0; // headers prepared, from the first
    int m_next = 0;     // the header the device hands back next (capture thread)
    RecordingClock m_clock;

    std::thread m_thread;
    // Guards the fields below, shared with the capture thread, every change of the state, and
    // every call into the device.
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::atomic<CaptureState> m_state{CAPTURE_CLOSED};
    DeviceState m_deviceState = DEVICE_CLOSED;
    bool m_quit = false;          // the capture thread takes what came back once more and ends
    uint64_t m_syncRequested = 0; // the caller asks for one more scan...
    uint64_t m_syncDone = 0;      // ...and the capture thread says it made it
    std::wstring m_defaultInput;  // the default input when the device was opened
    // Written by the capture thread (under the lock but for its first sound), read by Start.
    std::atomic<InputSound> m_sound{SOUND_NONE};
    // The capture thread's own, while it runs.
    uint32_t m_lastAttempt = 0;      // GetTicks of the last opening while the device is gone
    uint32_t m_lastDefaultCheck = 0; // GetTicks when the default input was last asked
    // The device is to be given up and the input opened again (a wake, a refused resume); the
    // capture thread takes it, and forgets it once the device is given up.
    std::atomic<bool> m_reopenAsked{false};
    // The device handed back a buffer in this run, empty or not: from here on the silence limit
    // counts, not the first block's. Written under the lock by Start, else by the capture thread.
    std::atomic<bool> m_heard{false};
    std::atomic<uint32_t> m_lastBlockMs{0}; // GetTicks at the start of the run or the last block

    mutable std::mutex m_inputLock; // guards m_input alone
    std::wstring m_input;

    // Guards m_cut and every delivery out of the capture (sink, monitor, handlers).
    std::mutex m_outLock;
    std::atomic<bool> m_cut{false};

    // The caller's own (set before Open, read by the capture thread).
    RecordingFailure m_failure;
    std::function<void(const RecordingFailure&, uint32_t)> m_endHandler;
    std::function<void(bool)> m_inputHandler;
};
