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
// Threads: Open, Start, Stop and Close run on the window thread, which never waits longer than
// kDeviceAnswerMs for them: each runs on a thread of its own, and a device that has not answered
// by then is taken to hang (a driver after its USB device was pulled). The call then fails
// (STEP_DEVICE_HUNG); a close cuts the capture off, so that nothing more reaches the sink or the
// monitor, and leaves the hung device and the threads stuck in it behind; the next Open takes a
// new device. The per-block work, and closing and opening the device again while it waits, run
// on a capture thread, woken by the device's completion notice; the device's own notification
// does nothing else. The capture thread waits for nothing: no disk (the sink only copies), no
// window (the monitor draws into memory and posts its notices), never the window thread. Close
// returns once the capture thread has ended or the capture is cut off, so no block reaches the
// sink or the monitor afterwards. The device promises nothing about calls from two threads at
// once, so every call into it is made under one lock, which also guards the state.
#pragma once

#include "capture/block_sink.h"
#include "capture/wave_in_capture.h"
#include "capture/wave_input.h"
#include "engine/recording_clock.h"
#include "engine/recording_failure.h"
#include "monitor/monitor.h"
#include "monitor/monitor_host.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

// How long the window thread waits for the device to answer an open, a start, a pause or a
// close. A healthy device answers within tens of milliseconds; the end of the Windows session
// leaves the rest of its few seconds to the disk.
constexpr uint32_t kDeviceAnswerMs = 2000;

class CWaveIn {
public:
    // Each device it opens comes from devices (another after one hung); a null one cannot be
    // opened. Every block goes to the monitor too, which must outlive the capture.
    CWaveIn(std::function<std::unique_ptr<IWaveInput>()> devices, CMonitor& monitor);
    // This device only: after it hung, no other.
    CWaveIn(std::unique_ptr<IWaveInput> device, CMonitor& monitor);
    // A capture still open is closed first.
    ~CWaveIn();
    CWaveIn(const CWaveIn&) = delete;
    CWaveIn& operator=(const CWaveIn&) = delete;

    // Opens the source's device in the format, queues the buffers and starts recording into
    // sink, which must outlive the capture. 1 when it records; 0 when anything failed
    // (LastFailure says what: STEP_FORMAT, STEP_NO_MEMORY, STEP_DEVICE, STEP_SOURCE_ABSENT,
    // STEP_NO_LOOPBACK or STEP_DEVICE_HUNG), with everything released. Every opening again while
    // the input is waited for is of the same source.
    int Open(IBlockSink& sink, int channels, int samplesPerSec, int sampleType,
             const CaptureSource& source = CaptureSource());
    // Starts or resumes the device; 1 when it runs or waits for its input (otherwise LastFailure
    // says why).
    int Start();
    // Pauses: stops the device; the block it was filling goes to the sink and its buffer back to
    // the device. 0 when the device would not stop (LastFailure): it records on. While the
    // capture waits for its input, a start or a stop only says whether it is to run once open.
    int Stop();
    // Ends the capture: every byte recorded up to here is in the sink, unless the device hung.
    // 0 when the device reported an error on the way or hung (everything is released anyway, or
    // left to the hung device).
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
    CaptureState State() const;
    bool IsOpen() const { return State() != CAPTURE_CLOSED; }
    // The recording's clock: reset by Open, run and paused with the device; Close stops it. Any
    // thread, as long as no Open comes between.
    RecordingClock& Clock() { return m_capture->Clock(); }
    const RecordingClock& Clock() const { return m_capture->Clock(); }
    // What identifies the input opened last: its endpoint ID where the system tells it, else its
    // name; empty when it cannot be told. Any thread.
    std::wstring Input() const { return m_cut ? std::wstring() : m_capture->Input(); }
    // A source of two sides whose second side is away and waited for (IWaveInput::SideWaiting).
    // Any thread.
    WaitingSide SideWaiting() const { return m_cut ? SIDE_NONE : m_capture->SideWaiting(); }
    // ...and how long its microphone has been quiet (IWaveInput::NearQuietMs). Any thread.
    uint32_t NearQuietMs() const { return m_cut ? 0 : m_capture->NearQuietMs(); }
    // What made the last Open, Start, Stop or Close fail. Window thread.
    const RecordingFailure& LastFailure() const { return m_failure; }
    // The monitor every block goes to.
    CMonitor& Monitor() const { return m_monitor; }

private:
    struct Caller;
    enum Call { CALL_NONE, CALL_OPEN, CALL_START, CALL_STOP, CALL_CLOSE, CALL_QUIT };
    // A capture with a new device, and its caller thread.
    void Renew();
    // The caller thread ends, or is left to end alone while the device hangs.
    void EndCaller();
    // Has the caller thread make the call, and waits up to kDeviceAnswerMs for it. false when it
    // has not answered: the device counts as hung until it does.
    bool Answered(Call call, int& result);
    // The last call has not answered yet.
    bool Hanging() const;
    int Hung();
    // The capture is left behind with its caller thread: nothing more reaches the sink.
    void CutOff();
    // One call into the capture, wherever it is made.
    static int Make(WaveInCapture& capture, Call call, IBlockSink* sink, const WaveFormat& format,
                    const CaptureSource& source);
    // The caller thread's loop: the calls are made there, one at a time.
    static void Serve(const std::shared_ptr<Caller>& caller);

    std::function<std::unique_ptr<IWaveInput>()> m_devices;
    CMonitor& m_monitor;
    std::shared_ptr<WaveInCapture> m_capture;
    std::shared_ptr<Caller> m_caller; // shared with its thread, which may outlive this
    std::thread m_callerThread;
    // The capture is cut off (closed while its device hung): the next Open takes a new device.
    std::atomic<bool> m_cut{false};
    RecordingFailure m_failure;
    std::function<void(const RecordingFailure&, uint32_t)> m_endHandler;
    std::function<void(bool)> m_inputHandler;
};
