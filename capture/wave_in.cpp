#include "capture/wave_in.h"

#include "engine/clock.h"

#include <chrono>
#include <new>
#include <system_error>

CMonitor* g_pMonitor = nullptr;
std::atomic<int> g_bCaptureActive{0};

namespace {

// How often the capture thread looks at the clock while no buffer comes back.
constexpr uint32_t kWaitSliceMs = 100;

} // namespace

uint32_t WaveInBufferSize(const WaveFormat& deviceFormat) {
    return deviceFormat.nAvgBytesPerSec * kWaveInBufferMs / 1000;
}

CWaveIn::CWaveIn(std::unique_ptr<IWaveInput> device, IMonitorHost& monitorHost)
    : m_device(std::move(device)), m_monitor(std::make_unique<CMonitor>(monitorHost)) {
    g_bCaptureActive = 0;
    g_pMonitor = m_monitor.get();
}

CWaveIn::~CWaveIn() {
    if (m_open)
        Close(); // never leave the capture thread running
    g_pMonitor = nullptr;
}

void CWaveIn::SetEndHandler(std::function<void(const RecordingFailure&, uint32_t)> handler) {
    m_endHandler = std::move(handler);
}

int CWaveIn::Fail(RecordingStep step, uint32_t code) {
    m_failure = Failed(step, code);
    return 0;
}

// 1. Check the format. 2. Allocate the thirty blocks. 3. Open the device. 4. Prepare and queue
// every buffer. 5. Start the capture thread. 6. Tell the monitor the format. 7. Start the
// device. Any failure releases everything taken.
int CWaveIn::Open(IBlockSink& sink, int channels, int samplesPerSec, int sampleType) {
    if (m_open)
        return 0;
    Fail(STEP_OK, 0);
    if (!IsRecordableFormat(channels, samplesPerSec, sampleType))
        return Fail(STEP_FORMAT, 0);
    const WaveFormat format = MakeDeviceFormat(channels, samplesPerSec, sampleType);
    const uint32_t size = WaveInBufferSize(format);

    auto abandon = [&](RecordingStep step, uint32_t code) {
        g_bCaptureActive = 0;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_closing = true;
            if (m_deviceOpen)
                m_device->Reset();
        }
        Release();
        m_open = false;
        m_sink = nullptr;
        return Fail(step, code);
    };

    m_blocks.reset(new (std::nothrow) uint8_t[size_t(size) * kWaveInBufferCount]);
    if (!m_blocks)
        return abandon(STEP_NO_MEMORY, 0);
    for (int i = 0; i < kWaveInBufferCount; ++i) {
        m_waveHdr[i] = WaveHeader();
        m_waveHdr[i].lpData = m_blocks.get() + size_t(size) * i;
        m_waveHdr[i].dwBufferLength = size;
        m_waveHdr[i].dwLoops = 1;
        m_waveHdr[i].index = i;
    }
    {
        std::unique_lock<std::mutex> lock(m_lock);
        uint32_t code = m_device->Open(format);
        m_deviceOpen = code == 0;
        for (int i = 0; code == 0 && i < kWaveInBufferCount; ++i) {
            code = m_device->Prepare(m_waveHdr[i]);
            if (code == 0) {
                m_prepared = i + 1;
                code = m_device->AddBuffer(m_waveHdr[i]);
            }
        }
        if (code != 0) {
            lock.unlock();
            return abandon(STEP_DEVICE, code);
        }
    }

    m_sink = &sink;
    m_next = 0;
    m_quit = false;
    m_closing = false;
    m_ended = false;
    m_syncRequested = m_syncDone = 0;
    m_heard = false;
    m_thread = std::thread(&CWaveIn::CaptureThread, this);
    g_pMonitor->SetFormat(format.nChannels, format.wBitsPerSample);
    m_open = true;
    if (!Start()) {
        const RecordingFailure failed = m_failure;
        return abandon(failed.step, failed.code);
    }
    return 1;
}

int CWaveIn::Start() {
    if (!m_open)
        return 0;
    g_bCaptureActive = 1;
    g_pMonitor->OnStart();
    uint32_t code;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_lastBlockMs = GetTicks();
        m_heard = false;
        code = m_device->Start();
    }
    if (code) {
        g_bCaptureActive = 0;
        return Fail(STEP_DEVICE, code);
    }
    return 1;
}

// A device that will not stop records on: the flag is set again, so its blocks still count.
int CWaveIn::Stop() {
    if (!m_open)
        return 0;
    g_bCaptureActive = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (const uint32_t code = m_device->Stop()) {
            g_bCaptureActive = 1;
            return Fail(STEP_DEVICE, code);
        }
    }
    // The block the device was filling is in the sink and its buffer back in the queue before
    // the device can start again.
    WaitUntilProcessed();
    g_pMonitor->OnPause();
    return 1;
}

// 1. Pause. 2. Reset: the device hands back every buffer. 3. End the capture thread, which
// hands what came back to the sink. 4. Unprepare, close the device, free the blocks. 5. Clear the
// monitor's picture.
int CWaveIn::Close() {
    if (!m_open)
        return 1;
    Stop();
    g_bCaptureActive = 0; // also when the device would not stop
    bool ok;
    {
        // From here on no buffer goes back to the device: the reset hands them all back.
        std::lock_guard<std::mutex> lock(m_lock);
        m_closing = true;
        ok = m_device->Reset() == 0;
    }
    ok = Release() && ok;
    g_pMonitor->OnClose();
    m_open = false;
    m_sink = nullptr;
    return ok ? 1 : 0;
}

bool CWaveIn::Release() {
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

bool CWaveIn::CloseDevice() {
    std::lock_guard<std::mutex> lock(m_lock);
    bool closed = !m_deviceOpen || m_device->Close() == 0;
    if (!closed) {
        m_device->Reset();
        for (int i = 0; i < kWaveInBufferCount; ++i)
            m_device->Unprepare(m_waveHdr[i]);
        closed = m_device->Close() == 0;
    }
    m_deviceOpen = false;
    if (closed)
        m_blocks.reset();
    else if (m_blocks)
        m_retiredBlocks.push_back(std::move(m_blocks));
    return closed;
}

void CWaveIn::WaitUntilProcessed() {
    std::unique_lock<std::mutex> lock(m_lock);
    const uint64_t ticket = ++m_syncRequested;
    m_device->Wake();
    // Bounded, though the capture thread waits for nothing: a pause never hangs on it. (Close
    // waits for the thread without a bound: no block may be in the sink afterwards.)
    m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_syncDone >= ticket; });
}

// The capture thread: waits for buffers, hands them to the sink and the monitor and gives them
// back, until Close asks it to end; then takes what the reset handed back, without giving it
// back.
void CWaveIn::CaptureThread() {
    for (;;) {
        m_device->WaitForDone(kWaitSliceMs);
        bool quit, closing;
        uint64_t sync;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            quit = m_quit;
            closing = m_closing;
            sync = m_syncRequested;
        }
        ProcessDoneBuffers();
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_syncDone = sync;
        }
        m_changed.notify_all();
        if (quit)
            return;
        const uint32_t allowed = m_heard ? kSilenceTimeoutMs : kFirstBlockTimeoutMs;
        if (g_bCaptureActive && !m_ended && !closing &&
            uint32_t(GetTicks() - m_lastBlockMs.load()) > allowed)
            EndBySelf(Failed(STEP_DEVICE_SILENT));
    }
}

void CWaveIn::ProcessDoneBuffers() {
    for (int n = 0; n < kWaveInBufferCount && !m_ended; ++n) {
        WaveHeader& header = m_waveHdr[m_next];
        if (!m_device->TakeDone(header))
            return;
        m_next = (m_next + 1) % kWaveInBufferCount;
        if (g_bCaptureActive)
            m_heard = true; // empty buffers that come back at once count as silence too
        if (header.dwBytesRecorded > 0) {
            m_lastBlockMs = GetTicks(); // the silence is counted from the last block
            m_sink->TakeBlock(header.lpData, header.dwBytesRecorded);
            g_pMonitor->ProcessBlock(header.lpData, header.dwBytesRecorded);
        }
        // Decided under the lock that Close takes to stop the giving back, so no buffer can go
        // back to the device after its reset.
        std::unique_lock<std::mutex> lock(m_lock);
        if (m_closing)
            continue;
        if (const uint32_t code = m_device->AddBuffer(header)) {
            // A buffer the device will not take back leaves a hole in the ring: the recording
            // ends here, with every block taken so far in the file.
            lock.unlock();
            EndBySelf(Failed(STEP_DEVICE, code));
            return;
        }
    }
}

// On the capture thread: no more blocks are taken, and the owner is told.
void CWaveIn::EndBySelf(RecordingFailure failure) {
    m_ended = true;
    if (m_endHandler)
        m_endHandler(failure, GetTicks());
}

int AttachMonitorViews(WindowHandle waveform, WindowHandle meter1, WindowHandle meter2) {
    return g_pMonitor->AttachWindows(waveform, meter1, meter2);
}

int RepaintMonitor(uint16_t channels) {
    return g_pMonitor->Repaint(channels);
}
