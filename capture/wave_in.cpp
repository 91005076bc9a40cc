#include "capture/wave_in.h"

#include "engine/clock.h"

#include <chrono>
#include <new>
#include <system_error>

CWaveFile* g_pWaveFile = nullptr;
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
    : m_device(std::move(device)), m_writer(std::make_unique<CWaveFile>()),
      m_monitor(std::make_unique<CMonitor>(monitorHost)) {
    g_bCaptureActive = 0;
    g_pWaveFile = m_writer.get();
    g_pMonitor = m_monitor.get();
}

CWaveIn::~CWaveIn() {
    if (m_open)
        Close(); // never leave the capture thread running or a file incomplete
    g_pMonitor = nullptr;
    g_pWaveFile = nullptr;
}

void CWaveIn::SetEndHandler(std::function<void(CaptureEnd)> handler) {
    m_endHandler = std::move(handler);
}

void CWaveIn::SetFileHandler(std::function<void(CaptureFileEvent)> handler) {
    m_fileHandler = std::move(handler);
}

int CWaveIn::Fail(CaptureFailure failure, uint32_t code) {
    m_failure = {failure, code};
    return 0;
}

// 1. Check the format. 2. Allocate the thirty blocks. 3. Open the device. 4. Prepare and queue
// every buffer. 5. Create the file. 6. Start the capture thread. 7. Tell the monitor the
// format. 8. Start the device. Any failure releases everything taken and removes the file.
int CWaveIn::Open(const std::filesystem::path& fileName, int channels, int samplesPerSec,
                  int sampleType, RawFile::CreateMode mode) {
    if (m_open)
        return 0;
    Fail(CAPTURE_OK, 0);
    if (!IsRecordableFormat(channels, samplesPerSec, sampleType))
        return Fail(CAPTURE_BAD_FORMAT, 0);
    const WaveFormat format = MakeDeviceFormat(channels, samplesPerSec, sampleType);
    const uint32_t size = WaveInBufferSize(format);

    bool fileCreated = false;
    auto abandon = [&](CaptureFailure failure, uint32_t code) {
        g_bCaptureActive = 0;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_closing = true;
            if (m_deviceOpen)
                m_device->Reset();
        }
        Release();
        if (fileCreated) {
            g_pWaveFile->Close();
            std::error_code ignored;
            std::filesystem::remove(fileName, ignored);
        }
        m_open = false;
        return Fail(failure, code);
    };

    m_blocks.reset(new (std::nothrow) uint8_t[size_t(size) * kWaveInBufferCount]);
    if (!m_blocks)
        return abandon(CAPTURE_NO_MEMORY, 0);
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
            return abandon(CAPTURE_DEVICE_FAILED, code);
        }
    }

    if (!g_pWaveFile->Open(fileName, channels, samplesPerSec, sampleType, mode)) {
        const bool exists = g_pWaveFile->GetError() == WAVE_FILE_EXISTS;
        const uint32_t code = g_pWaveFile->GetSystemError();
        return abandon(exists ? CAPTURE_FILE_EXISTS : CAPTURE_FILE_FAILED, code);
    }
    fileCreated = true;

    m_next = 0;
    m_quit = false;
    m_closing = false;
    m_ended = false;
    m_syncRequested = m_syncDone = 0;
    m_heard = false;
    m_switchesTold = 0;
    m_nextAsked = false;
    m_thread = std::thread(&CWaveIn::CaptureThread, this);
    g_pMonitor->SetFormat(format.nChannels, format.wBitsPerSample);
    m_open = true;
    if (!Start()) {
        const CaptureError failed = m_failure;
        return abandon(failed.failure, failed.code);
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
        return Fail(CAPTURE_DEVICE_FAILED, code);
    }
    return 1;
}

int CWaveIn::Stop() {
    if (!m_open)
        return 0;
    g_bCaptureActive = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_device->Stop() != 0)
            return 0;
    }
    // The block the device was filling is written and its buffer back in the queue before
    // the device can start again.
    WaitUntilProcessed();
    g_pMonitor->OnPause();
    return 1;
}

// 1. Pause. 2. Reset: the device hands back every buffer. 3. End the capture thread, which
// writes what came back. 4. Unprepare, close the device, free the blocks. 5. Complete the file.
// 6. Clear the monitor's picture.
int CWaveIn::Close() {
    if (!m_open)
        return 1;
    Stop();
    bool ok;
    {
        // From here on no buffer goes back to the device: the reset hands them all back.
        std::lock_guard<std::mutex> lock(m_lock);
        m_closing = true;
        ok = m_device->Reset() == 0;
    }
    ok = Release() && ok;
    ok = g_pWaveFile->Close() && ok;
    g_pMonitor->OnClose();
    m_open = false;
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
    // Bounded, so that a pause cannot hang on a capture thread stuck in a file write: the pause
    // then goes on with that block still on its way. (Close waits for the thread without a bound:
    // the file is not completed while a block is in the writer.)
    m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_syncDone >= ticket; });
}

// The capture thread: waits for buffers, writes them, feeds the monitor and gives them back,
// until Close asks it to end; then takes what the reset handed back, without giving it back.
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
            EndBySelf(CAPTURE_END_DEVICE_SILENT, 0);
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
            if (g_pWaveFile->Write(header.lpData, header.dwBytesRecorded)) {
                TellAboutNextFile();
                g_pMonitor->ProcessBlock(header.lpData, header.dwBytesRecorded);
            } else {
                EndBySelf(g_pWaveFile->GetError() == WAVE_FILE_FULL ? CAPTURE_END_FILE_FULL
                                                                    : CAPTURE_END_WRITE_FAILED,
                          g_pWaveFile->GetSystemError());
                return;
            }
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
            EndBySelf(CAPTURE_END_DEVICE_FAILED, code);
            return;
        }
    }
}

// On the capture thread, after a block is in the file: the owner hears that the recording moved
// into the next file, or that the next file is wanted, each once.
void CWaveIn::TellAboutNextFile() {
    const uint32_t switches = g_pWaveFile->Switches();
    if (switches != m_switchesTold) {
        m_switchesTold = switches;
        m_nextAsked = false;
        if (m_fileHandler)
            m_fileHandler(CAPTURE_NEXT_FILE_STARTED);
    }
    if (!m_nextAsked && g_pWaveFile->WantsNext(kNextFileLeadSeconds)) {
        m_nextAsked = true;
        if (m_fileHandler)
            m_fileHandler(CAPTURE_NEXT_FILE_WANTED);
    }
}

// On the capture thread: no more blocks are taken, the file is completed with what it holds
// (how that went, Close tells later), and the owner is told.
void CWaveIn::EndBySelf(CaptureEndReason reason, uint32_t code) {
    m_ended = true;
    g_pWaveFile->Close();
    if (m_endHandler)
        m_endHandler({reason, code, GetTicks()});
}

int AttachMonitorViews(WindowHandle waveform, WindowHandle meter1, WindowHandle meter2) {
    return g_pMonitor->AttachWindows(waveform, meter1, meter2);
}

int RepaintMonitor(uint16_t channels) {
    return g_pMonitor->Repaint(channels);
}
