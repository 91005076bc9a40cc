#include "capture/wave_in.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

constexpr uint32_t kNoDriver = 6; // MMSYSERR_NODRIVER: no device to open

} // namespace

// What the window thread asks of the capture and what it answered, shared with the caller thread,
// which may outlive the CWaveIn when the device hangs. Under lock.
struct CWaveIn::Caller {
    explicit Caller(std::shared_ptr<WaveInCapture> capture) : capture(std::move(capture)) {}
    const std::shared_ptr<WaveInCapture> capture;
    std::mutex lock;
    std::condition_variable changed;
    Call call = CALL_NONE; // asked, not yet taken
    bool answered = true;  // the last call taken has returned
    bool left = false;     // no more calls come: the thread ends once it has answered
    IBlockSink* sink = nullptr;
    WaveFormat format;
    CaptureSource source;
    int result = 0;
    RecordingFailure failure;
};

CWaveIn::CWaveIn(std::function<std::unique_ptr<IWaveInput>()> devices, CMonitor& monitor)
    : m_devices(std::move(devices)), m_monitor(monitor) {
    Renew();
}

CWaveIn::CWaveIn(std::unique_ptr<IWaveInput> device, CMonitor& monitor)
    : CWaveIn([first = std::make_shared<std::unique_ptr<IWaveInput>>(
                   std::move(device))] { return std::move(*first); },
              monitor) {}

// A device that hangs keeps its caller thread, which ends once it returns.
CWaveIn::~CWaveIn() {
    if (IsOpen())
        Close(); // never leave the capture thread running
    EndCaller();
}

void CWaveIn::EndCaller() {
    if (!m_callerThread.joinable())
        return;
    int ignored;
    if (!Hanging() && Answered(CALL_QUIT, ignored)) {
        m_callerThread.join();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_caller->lock);
        m_caller->left = true;
        m_caller->changed.notify_all();
    }
    m_callerThread.detach();
}

void CWaveIn::Renew() {
    EndCaller();
    m_capture = std::make_shared<WaveInCapture>(m_devices ? m_devices() : nullptr, m_monitor);
    m_capture->SetEndHandler(m_endHandler);
    m_capture->SetInputHandler(m_inputHandler);
    m_caller = std::make_shared<Caller>(m_capture);
    try {
        m_callerThread = std::thread(&CWaveIn::Serve, m_caller);
    } catch (const std::system_error&) {
        // No thread to be had: the calls are made on the window thread, without a bound.
    }
    m_cut = false;
}

int CWaveIn::Make(WaveInCapture& capture, Call call, IBlockSink* sink, const WaveFormat& format,
                  const CaptureSource& source) {
    switch (call) {
    case CALL_OPEN:
        return capture.Open(*sink, format, source);
    case CALL_START:
        return capture.Start();
    case CALL_STOP:
        return capture.Stop();
    case CALL_CLOSE:
        return capture.Close();
    case CALL_NONE:
    case CALL_QUIT:
        break;
    }
    return 1;
}

void CWaveIn::Serve(const std::shared_ptr<Caller>& caller) {
    for (;;) {
        Call call;
        IBlockSink* sink;
        WaveFormat format;
        CaptureSource source;
        {
            std::unique_lock<std::mutex> lock(caller->lock);
            caller->changed.wait(lock, [&] { return caller->call != CALL_NONE || caller->left; });
            if (caller->call == CALL_NONE)
                return;
            call = caller->call;
            caller->call = CALL_NONE;
            sink = caller->sink;
            format = caller->format;
            source = caller->source;
        }
        WaveInCapture& capture = *caller->capture;
        const int result = Make(capture, call, sink, format, source);
        std::lock_guard<std::mutex> lock(caller->lock);
        caller->result = result;
        caller->failure = capture.LastFailure();
        caller->answered = true;
        caller->changed.notify_all();
        if (call == CALL_QUIT || caller->left)
            return;
    }
}

bool CWaveIn::Answered(Call call, int& result) {
    Caller& caller = *m_caller;
    std::unique_lock<std::mutex> lock(caller.lock);
    if (!m_callerThread.joinable()) { // made here (see Renew)
        lock.unlock();
        result = Make(*m_capture, call, caller.sink, caller.format, caller.source);
        m_failure = m_capture->LastFailure();
        return true;
    }
    caller.call = call;
    caller.answered = false;
    caller.changed.notify_all();
    if (!caller.changed.wait_for(lock, std::chrono::milliseconds(kDeviceAnswerMs),
                                 [&] { return caller.answered; }))
        return false;
    result = caller.result;
    m_failure = caller.failure;
    return true;
}

bool CWaveIn::Hanging() const {
    std::lock_guard<std::mutex> lock(m_caller->lock);
    return !m_caller->answered;
}

int CWaveIn::Hung() {
    m_failure = Failed(STEP_DEVICE_HUNG);
    return 0;
}

void CWaveIn::CutOff() {
    m_capture->CutOff();
    m_cut = true;
}

void CWaveIn::SetEndHandler(std::function<void(const RecordingFailure&, uint32_t)> handler) {
    m_endHandler = std::move(handler);
    if (!m_cut)
        m_capture->SetEndHandler(m_endHandler);
}

void CWaveIn::SetInputHandler(std::function<void(bool)> handler) {
    m_inputHandler = std::move(handler);
    if (!m_cut)
        m_capture->SetInputHandler(m_inputHandler);
}

void CWaveIn::ReopenInput() {
    if (!m_cut)
        m_capture->ReopenInput();
}

CaptureState CWaveIn::State() const {
    return m_cut ? CAPTURE_CLOSED : m_capture->State();
}

// A capture cut off is left behind with its device: this one gets a new device, with the same
// handlers. The monitor learns the format before the first block can come.
int CWaveIn::Open(IBlockSink& sink, int channels, int samplesPerSec, int sampleType,
                  const CaptureSource& source) {
    if (IsOpen())
        return 0;
    m_failure = RecordingFailure();
    if (!IsRecordableFormat(channels, samplesPerSec, sampleType)) {
        m_failure = Failed(STEP_FORMAT);
        return 0;
    }
    if (m_cut)
        Renew();
    const WaveFormat format = MakeDeviceFormat(channels, samplesPerSec, sampleType);
    m_monitor.SetFormat(format.nChannels, format.wBitsPerSample, format.nAvgBytesPerSec);
    {
        std::lock_guard<std::mutex> lock(m_caller->lock);
        m_caller->sink = &sink;
        m_caller->format = format;
        m_caller->source = source;
    }
    int opened = 0;
    if (!Answered(CALL_OPEN, opened)) {
        CutOff();
        return Hung();
    }
    if (opened)
        m_monitor.OnStart();
    return opened;
}

// While the device has not answered the last call, nothing more is asked of it.
int CWaveIn::Start() {
    if (Hanging())
        return Hung();
    int started = 0;
    if (!Answered(CALL_START, started))
        return Hung();
    if (started)
        m_monitor.OnStart();
    return started;
}

int CWaveIn::Stop() {
    if (Hanging())
        return Hung();
    int stopped = 0;
    if (!Answered(CALL_STOP, stopped))
        return Hung();
    if (stopped)
        m_monitor.OnPause();
    return stopped;
}

// A capture whose device hung, now or before, is cut off at once: the sound still in the device
// is lost with it, everything the sink holds stays.
int CWaveIn::Close() {
    if (!IsOpen())
        return 1;
    int closed = 0;
    if (Hanging() || !Answered(CALL_CLOSE, closed)) {
        CutOff();
        closed = Hung();
    }
    m_monitor.OnClose();
    return closed;
}
