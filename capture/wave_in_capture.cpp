#include "capture/wave_in_capture.h"

#include "capture/wave_in.h"

#include "engine/clock.h"

#include <chrono>
#include <new>
#include <system_error>

namespace {

// How often the capture thread looks at the clock while no buffer comes back.
constexpr uint32_t kWaitSliceMs = 100;
constexpr uint32_t kNoDriver = 6; // MMSYSERR_NODRIVER: no device to open

} // namespace

uint32_t WaveInBufferSize(const WaveFormat& deviceFormat) {
    return deviceFormat.nAvgBytesPerSec * kWaveInBufferMs / 1000;
}

RecordingStep StepOfDeviceCode(uint32_t code) {
    return code == kSourceAbsent || code == kOutputAbsent ? STEP_SOURCE_ABSENT
           : code == kWrongEndpointType                   ? STEP_NO_LOOPBACK
                                                          : STEP_DEVICE;
}

WaveInCapture::WaveInCapture(std::unique_ptr<IWaveInput> device, CMonitor& monitor)
    : m_device(std::move(device)), m_monitor(monitor) {}

WaveInCapture::~WaveInCapture() {
    if (m_state != CAPTURE_CLOSED)
        Close(); // never leave the capture thread running
}

void WaveInCapture::SetEndHandler(std::function<void(const RecordingFailure&, uint32_t)> handler) {
    m_endHandler = std::move(handler);
}

void WaveInCapture::SetInputHandler(std::function<void(bool)> handler) {
    m_inputHandler = std::move(handler);
}

void WaveInCapture::ReopenInput() {
    m_reopenAsked = true;
    if (m_device)
        m_device->Wake();
}

std::wstring WaveInCapture::Input() const {
    std::lock_guard<std::mutex> lock(m_inputLock);
    return m_input;
}

void WaveInCapture::CutOff() {
    std::lock_guard<std::mutex> lock(m_outLock);
    m_cut = true;
    m_clock.Pause(GetTicks());
}

template <class Deliver> void WaveInCapture::Out(Deliver deliver) {
    std::lock_guard<std::mutex> lock(m_outLock);
    if (!m_cut)
        deliver();
}

int WaveInCapture::Fail(RecordingStep step, uint32_t code) {
    m_failure = Failed(step, code);
    return 0;
}

// 1. Open the device with its buffers (see OpenDevice). 2. Start the capture thread. 3. Start
// the device. Any failure releases everything taken.
int WaveInCapture::Open(IBlockSink& sink, const WaveFormat& format, const CaptureSource& source) {
    if (m_state != CAPTURE_CLOSED)
        return 0;
    Fail(STEP_OK, 0);
    if (!m_device)
        return Fail(STEP_DEVICE, kNoDriver);
    m_format = format;
    m_source = source;
    m_clock.Reset();

    auto abandon = [&](RecordingStep step, uint32_t code) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_state = CAPTURE_CLOSED; // nothing goes back to the device
            if (m_deviceState != DEVICE_CLOSED)
                m_device->Reset();
        }
        Release();
        m_sink = nullptr;
        return Fail(step, code);
    };
    {
        std::unique_lock<std::mutex> lock(m_lock);
        const uint32_t code = OpenDevice();
        if (code != 0) {
            lock.unlock();
            return abandon(m_blocks ? StepOfDeviceCode(code) : STEP_NO_MEMORY, code);
        }
        m_state = CAPTURE_PAUSED; // open; Start runs it
    }
    m_sink = &sink;
    m_quit = false;
    m_sound = SOUND_NONE; // the first opening records without it: its silence ends the capture
    m_reopenAsked = false;
    m_syncRequested = m_syncDone = 0;
    m_heard = false;
    m_lastDefaultCheck = GetTicks();
    m_thread = std::thread(&WaveInCapture::CaptureThread, this);
    if (!Start()) {
        const RecordingFailure failed = m_failure;
        return abandon(failed.step, failed.code);
    }
    return 1;
}

// Under the lock. 1. The thirty blocks, unless a device that would not close kept the last ones
// (then new ones). 2. Open the source's device. 3. Prepare and queue every buffer. 4. The name of
// the default input, to follow a change.
uint32_t WaveInCapture::OpenDevice(bool again) {
    const uint32_t size = WaveInBufferSize(m_format);
    if (!m_blocks) {
        m_blocks.reset(new (std::nothrow) uint8_t[size_t(size) * kWaveInBufferCount]);
        if (!m_blocks)
            return 1; // MMSYSERR_ERROR: no memory
    }
    for (int i = 0; i < kWaveInBufferCount; ++i) {
        m_waveHdr[i] = WaveHeader();
        m_waveHdr[i].lpData = m_blocks.get() + size_t(size) * i;
        m_waveHdr[i].dwBufferLength = size;
        m_waveHdr[i].dwLoops = 1;
        m_waveHdr[i].index = i;
    }
    m_next = 0;
    uint32_t code =
        again ? m_device->Reopen(m_format, m_source) : m_device->Open(m_format, m_source);
    m_deviceState = code == 0 ? DEVICE_OPEN : DEVICE_CLOSED;
    for (int i = 0; code == 0 && i < kWaveInBufferCount; ++i) {
        code = m_device->Prepare(m_waveHdr[i]);
        if (code == 0) {
            m_prepared = i + 1;
            code = m_device->AddBuffer(m_waveHdr[i]);
        }
    }
    if (code == 0 && !m_device->DefaultInput(m_defaultInput))
        m_defaultInput.clear();
    if (code == 0) {
        std::lock_guard<std::mutex> lock(m_inputLock);
        m_input = m_defaultInput;
    }
    return code;
}

// A paused capture whose input went away meanwhile, or whose device was opened again and has
// given no sound yet, waits for it. Once the input has given sound, a device that refuses to
// start (unplugged while paused) is an input lost: the capture waits and opens the default input
// again, as it does while running.
int WaveInCapture::Start() {
    uint32_t code = 0;
    bool lost = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state != CAPTURE_PAUSED)
            return m_state != CAPTURE_CLOSED ? 1 : 0;
        const uint32_t now = GetTicks();
        m_lastBlockMs = now;
        m_heard = false;
        if (m_deviceState == DEVICE_OPEN)
            code = m_device->Start();
        lost = code != 0 && HasHeard(m_sound);
        if (code == 0 || lost) {
            if (code == 0 && m_deviceState == DEVICE_OPEN)
                m_deviceState = DEVICE_STARTED;
            m_state = m_deviceState == DEVICE_STARTED && IsProven(m_sound) ? CAPTURE_RUNNING
                                                                           : CAPTURE_WAITING;
            m_clock.Run(now);
            m_reopenAsked = m_reopenAsked || lost;
        }
    }
    if (lost)
        m_device->Wake(); // the capture thread gives the device up
    else if (code)
        return Fail(STEP_DEVICE, code);
    return 1;
}

// A device that will not stop records on.
int WaveInCapture::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const CaptureState state = m_state;
        if (state != CAPTURE_RUNNING && state != CAPTURE_WAITING)
            return state != CAPTURE_CLOSED ? 1 : 0;
        if (m_deviceState == DEVICE_STARTED) {
            if (const uint32_t code = m_device->Stop())
                return Fail(STEP_DEVICE, code);
            m_deviceState = DEVICE_OPEN;
        }
        m_state = CAPTURE_PAUSED;
        m_clock.Pause(GetTicks());
    }
    // The block the device was filling is in the sink and its buffer back in the queue before
    // the device can start again.
    WaitUntilProcessed();
    return 1;
}

// 1. Pause. 2. Reset: the device hands back every buffer. 3. End the capture thread, which
// hands what came back to the sink. 4. Unprepare, close the device, free the blocks. 5. Clear the
// monitor's picture.
int WaveInCapture::Close() {
    if (m_state == CAPTURE_CLOSED)
        return 1;
    Stop();
    bool ok;
    {
        // From here on no buffer goes back to the device: the reset hands them all back. (An
        // ended capture takes none of them.)
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state != CAPTURE_ENDED)
            m_state = CAPTURE_CLOSED;
        m_clock.Pause(GetTicks()); // also when the device would not stop
        ok = m_deviceState == DEVICE_CLOSED || m_device->Reset() == 0;
    }
    ok = Release() && ok;
    m_state = CAPTURE_CLOSED;
    m_sink = nullptr;
    return ok ? 1 : 0;
}

bool WaveInCapture::Release() {
    if (m_thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_quit = true;
        }
        m_device->Wake();
        m_thread.join();
    }
    bool ok = true;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (int i = 0; i < m_prepared; ++i)
            ok = m_device->Unprepare(m_waveHdr[i]) == 0 && ok;
        m_prepared = 0;
    }
    return CloseDevice() && ok;
}

bool WaveInCapture::CloseDevice() {
    std::lock_guard<std::mutex> lock(m_lock);
    const bool closed = CloseDeviceLocked();
    m_blocks.reset();
    return closed;
}

// A device that will not close, even after a second reset, may still write into its buffers:
// they are kept as long as the device object, and a later opening gets blocks of its own.
bool WaveInCapture::CloseDeviceLocked() {
    for (int i = 0; i < m_prepared; ++i)
        m_device->Unprepare(m_waveHdr[i]);
    m_prepared = 0;
    bool closed = m_deviceState == DEVICE_CLOSED || m_device->Close() == 0;
    if (!closed) {
        m_device->Reset();
        for (int i = 0; i < kWaveInBufferCount; ++i)
            m_device->Unprepare(m_waveHdr[i]);
        closed = m_device->Close() == 0;
    }
    m_deviceState = DEVICE_CLOSED;
    m_prepared = 0;
    if (!closed && m_blocks)
        m_retiredBlocks.push_back(std::move(m_blocks));
    return closed;
}

void WaveInCapture::WaitUntilProcessed() {
    std::unique_lock<std::mutex> lock(m_lock);
    const uint64_t ticket = ++m_syncRequested;
    m_device->Wake();
    // Bounded, though the capture thread waits for nothing. (Close waits for the thread to end,
    // as long as CWaveIn waits for Close.)
    m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_syncDone >= ticket; });
}

// The capture thread: waits for buffers, hands them to the sink and the monitor and gives them
// back, until Close asks it to end; then takes what the reset handed back, without giving it
// back. Before the input has given sound, a device that fails or stays silent ends the
// recording; after, it is given up and waited for.
void WaveInCapture::CaptureThread() {
    for (;;) {
        m_device->WaitForDone(kWaitSliceMs);
        bool quit;
        DeviceState device;
        uint64_t sync;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            quit = m_quit;
            device = m_deviceState;
            sync = m_syncRequested;
        }
        const CaptureState state = m_state;
        if (device != DEVICE_CLOSED && state != CAPTURE_ENDED)
            ProcessDoneBuffers();
        // Paused or waiting: nothing comes for a while, and what waits is judged as it stands.
        // The state as it is now: a device opened again that just gave its first sound records,
        // and its first block, which may have come late, is judged with those that follow.
        if (m_state != CAPTURE_RUNNING)
            Out([&] { m_sink->Settle(); });
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_syncDone = sync;
        }
        m_changed.notify_all();
        if (quit)
            return;
        if (state == CAPTURE_CLOSED || state == CAPTURE_ENDED)
            continue;
        const uint32_t now = GetTicks();
        if (device == DEVICE_CLOSED) {
            m_reopenAsked = false; // it is being opened anew anyway
            TryReopen(now);
        } else if (m_reopenAsked.exchange(false) && HasHeard(m_sound)) {
            LoseInput();
        } else if (device == DEVICE_STARTED) { // recording, or waiting for its first sound
            const uint32_t allowed = m_heard ? kSilenceTimeoutMs : kFirstBlockTimeoutMs;
            if (uint32_t(now - m_lastBlockMs.load()) > allowed) {
                if (HasHeard(m_sound))
                    LoseInput();
                else
                    EndBySelf(Failed(STEP_DEVICE_SILENT));
            } else if (state == CAPTURE_RUNNING &&
                       uint32_t(now - m_lastDefaultCheck) >= kDefaultInputCheckMs) {
                m_lastDefaultCheck = now;
                FollowDefaultInput();
            }
        }
    }
}

void WaveInCapture::ProcessDoneBuffers(bool giveBack) {
    for (int n = 0; n < kWaveInBufferCount && m_state != CAPTURE_ENDED; ++n) {
        WaveHeader& header = m_waveHdr[m_next];
        if (!m_device->TakeDone(header))
            return;
        m_next = (m_next + 1) % kWaveInBufferCount;
        const CaptureState state = m_state;
        if (state == CAPTURE_RUNNING || state == CAPTURE_WAITING)
            m_heard = true; // empty buffers that come back at once count as silence too
        if (header.dwBytesRecorded > 0) {
            const uint32_t now = GetTicks();
            m_lastBlockMs = now; // the silence is counted from the last block
            if (m_sound == SOUND_NONE)
                m_sound = SOUND_PROVEN;
            else if (m_sound != SOUND_PROVEN)
                Proven();
            Out([&] {
                m_sink->TakeBlock(header.lpData, header.dwBytesRecorded, m_clock.Ms(now));
                m_monitor.ProcessBlock(header.lpData, header.dwBytesRecorded);
            });
        }
        // Decided under the lock that Close takes to stop the giving back, so no buffer can go
        // back to the device after its reset.
        std::unique_lock<std::mutex> lock(m_lock);
        if (m_state == CAPTURE_CLOSED || !giveBack)
            continue;
        if (const uint32_t code = m_device->AddBuffer(header)) {
            // A buffer the device will not take back leaves a hole in the ring: before the first
            // sound the recording ends here; after, the device is given up and waited for.
            lock.unlock();
            if (HasHeard(m_sound))
                LoseInput();
            else
                EndBySelf(Failed(STEP_DEVICE, code));
            return;
        }
    }
}

// The device given up (its sound to the sink); what the sink holds is settled; a running capture
// waits (a paused one stays paused), and the default input is tried at once.
void WaveInCapture::LoseInput() {
    m_reopenAsked = false; // one reopen for each wake
    GiveUpDevice();
    bool waiting;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        waiting = m_state == CAPTURE_RUNNING;
        if (waiting)
            m_state = CAPTURE_WAITING;
    }
    Out([&] { m_sink->Settle(); });
    m_lastAttempt = GetTicks() - kReopenPeriodMs;
    if (waiting)
        ReportInput(true);
}

void WaveInCapture::GiveUpDevice() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_deviceState != DEVICE_CLOSED)
            m_device->Reset();
    }
    ProcessDoneBuffers(false);
    std::lock_guard<std::mutex> lock(m_lock);
    CloseDeviceLocked();
}

// The device opened again is started at once, unless paused (then at the resume); the capture
// records again, and says so, only once it has given sound (a device that opens and delivers
// nothing is given up again by the silence rule, the capture waiting on).
void WaveInCapture::TryReopen(uint32_t now) {
    if (uint32_t(now - m_lastAttempt) < kReopenPeriodMs)
        return;
    m_lastAttempt = now;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state != CAPTURE_WAITING && m_state != CAPTURE_PAUSED)
            return;
        const bool running = m_state == CAPTURE_WAITING;
        uint32_t code = OpenDevice(true);
        if (code == 0 && running)
            code = m_device->Start();
        if (code != 0) { // undone at once: it recorded nothing
            if (m_deviceState != DEVICE_CLOSED)
                m_device->Reset();
            CloseDeviceLocked();
            return;
        }
        m_deviceState = running ? DEVICE_STARTED : DEVICE_OPEN;
        m_sound = HasHeard(m_sound) ? SOUND_AWAITED : SOUND_NONE_REOPENED;
        m_lastBlockMs = now;
        m_heard = false;
    }
    m_lastDefaultCheck = now;
}

// Capture thread: the device opened again has given its first sound; a capture that waited for
// it records again.
void WaveInCapture::Proven() {
    bool back;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_sound = SOUND_PROVEN;
        back = m_state == CAPTURE_WAITING;
        if (back)
            m_state = CAPTURE_RUNNING;
    }
    if (back)
        ReportInput(false);
}

// Windows' default input recorded through the wave mapper is moved to the new default by Windows
// itself (stream routing): a stream that goes on delivering is kept, and names the new input; one
// that stops is given up by the silence rule. Any other source's device is given up at once.
void WaveInCapture::FollowDefaultInput() {
    std::wstring name;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_defaultInput.empty() || !m_device->DefaultInput(name) || name == m_defaultInput)
            return;
        if (m_source.kind == SOURCE_INPUT && m_source.device.empty()) {
            m_defaultInput = name;
            std::lock_guard<std::mutex> inputLock(m_inputLock);
            m_input = name;
            return;
        }
    }
    LoseInput();
}

void WaveInCapture::ReportInput(bool waiting) {
    Out([&] {
        if (m_inputHandler)
            m_inputHandler(waiting);
    });
}

// On the capture thread: no more blocks are taken, and the owner is told. A capture being
// closed meanwhile is left to close.
void WaveInCapture::EndBySelf(RecordingFailure failure) {
    const uint32_t now = GetTicks();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_state == CAPTURE_CLOSED)
            return;
        m_state = CAPTURE_ENDED;
        m_clock.Pause(now);
    }
    Out([&] {
        if (m_endHandler)
            m_endHandler(failure, now);
    });
}
