#include "tests/support/simulated_wave_input.h"

#include <algorithm>
#include <chrono>
#include <cstring>

SimulatedWaveInput::~SimulatedWaveInput() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_quit = true;
    }
    m_generatorWake.notify_all();
    if (m_generator.joinable())
        m_generator.join();
    if (m_deleted)
        m_deleted();
}

void SimulatedWaveInput::SetSilent(bool silent) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_silent = silent;
    }
    m_generatorWake.notify_all();
}

void SimulatedWaveInput::FailFrom(Operation operation, int nth, uint32_t code, int count) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_failFrom[operation] = nth;
    m_failCode[operation] = code;
    m_failCount[operation] = count;
}

void SimulatedWaveInput::FailNext(Operation operation, uint32_t code, int count) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_failFrom[operation] = m_calls[operation] + 1;
    m_failCode[operation] = code;
    m_failCount[operation] = count;
}

void SimulatedWaveInput::SetFrameLimit(uint64_t frames) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_frameLimit = frames;
    }
    m_generatorWake.notify_all();
}

void SimulatedWaveInput::Stall(uint64_t frames) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_stall += frames;
}

void SimulatedWaveInput::PassTime(uint64_t frames) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_nextFrame += frames;
}

void SimulatedWaveInput::QuietFor(uint64_t frames, bool emptyBuffers) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_quietUntil = m_nextFrame + frames;
        m_quietEmpty = emptyBuffers;
    }
    m_generatorWake.notify_all();
}

void SimulatedWaveInput::SetDefaultInput(const std::wstring& name) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_defaultInput = name;
}

void SimulatedWaveInput::SetAbsent(const std::wstring& device, bool absent) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_absent.erase(std::remove(m_absent.begin(), m_absent.end(), device), m_absent.end());
    if (absent)
        m_absent.push_back(device);
}

CaptureSource SimulatedWaveInput::LastSource() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_source;
}

bool SimulatedWaveInput::DefaultInput(std::wstring& name) {
    Call call(*this);
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_source.FollowsDefault()) {
        name = m_defaultInput;
        return true;
    }
    if (std::find(m_absent.begin(), m_absent.end(), m_source.device) != m_absent.end())
        return false;
    name = m_source.device;
    return true;
}

uint32_t SimulatedWaveInput::NowMs() const {
    std::lock_guard<std::mutex> lock(m_lock);
    const uint64_t rate = m_format.nSamplesPerSec ? m_format.nSamplesPerSec : 1;
    const bool behind = std::any_of(m_buffers.begin(), m_buffers.end(),
                                    [](const Buffer& buffer) { return buffer.done; });
    const uint64_t now = behind ? m_takenAt : m_nextFrame;
    const double ms = double(now) * 1000.0 / double(rate) * (1.0 + m_driftPpm * 1e-6);
    return uint32_t(uint64_t(ms));
}

void SimulatedWaveInput::SetReturnEmpty(bool empty) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_returnEmpty = empty;
    }
    m_generatorWake.notify_all();
}

void SimulatedWaveInput::WriteIntoBuffers() {
    std::lock_guard<std::mutex> lock(m_lock);
    for (Buffer& buffer : m_buffers)
        if (buffer.header)
            for (uint32_t i = 0; i < buffer.header->dwBufferLength; ++i)
                buffer.header->lpData[i] = uint8_t(i);
}

// The hook runs before the device's lock is taken: a driver that hangs in a call holds only the
// thread that made it, as a real one does.
SimulatedWaveInput::Call::Call(SimulatedWaveInput& device, Operation operation) : m_device(device) {
    if (operation != OPERATION_COUNT && m_device.m_hook)
        m_device.m_hook(operation);
    if (m_device.m_running++ > 0)
        ++m_device.m_overlaps;
    if (const uint32_t us = m_device.m_callUs)
        std::this_thread::sleep_for(std::chrono::microseconds(us));
}

SimulatedWaveInput::Call::~Call() {
    --m_device.m_running;
}

WaveFormat SimulatedWaveInput::Format() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_format;
}

bool SimulatedWaveInput::IsStarted() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_started;
}

uint32_t SimulatedWaveInput::BufferLength(int index) const {
    std::lock_guard<std::mutex> lock(m_lock);
    const Buffer& buffer = m_buffers.at(size_t(index));
    return buffer.prepared ? buffer.header->dwBufferLength : 0;
}

std::vector<double> SimulatedWaveInput::TakeTurnarounds() {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<double> taken;
    taken.swap(m_turnarounds);
    return taken;
}

int SimulatedWaveInput::QueuedCount() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return int(m_queue.size());
}

uint32_t SimulatedWaveInput::Fails(Operation operation) {
    const int call = ++m_calls[operation];
    const int from = m_failFrom[operation];
    const bool fails = from > 0 && call >= from && call - from < m_failCount[operation];
    return fails ? m_failCode[operation] : 0;
}

uint32_t SimulatedWaveInput::Open(const WaveFormat& format, const CaptureSource& source) {
    Call call(*this, OPEN);
    std::lock_guard<std::mutex> lock(m_lock);
    m_source = source;
    if (const uint32_t code = Fails(OPEN))
        return code;
    if (std::find(m_absent.begin(), m_absent.end(), source.device) != m_absent.end())
        return kSourceAbsent;
    if (m_open || format.nBlockAlign == 0)
        return kError;
    m_format = format;
    m_open = true;
    if (!m_continue) {
        m_nextFrame = m_quietUntil = m_takenAt = 0;
        m_framesDelivered = 0;
        m_clockStarted = false;
    }
    m_started = false;
    m_quit = false;
    m_queue.clear();
    m_buffers.assign(64, Buffer());
    if (!m_generator.joinable())
        m_generator = std::thread(&SimulatedWaveInput::Generate, this);
    return 0;
}

uint32_t SimulatedWaveInput::Prepare(WaveHeader& header) {
    Call call(*this, PREPARE);
    std::lock_guard<std::mutex> lock(m_lock);
    if (const uint32_t code = Fails(PREPARE))
        return code;
    if (!m_open || header.index < 0 || header.index >= int(m_buffers.size()))
        return kError;
    m_buffers[header.index] = Buffer();
    m_buffers[header.index].prepared = true;
    m_buffers[header.index].header = &header;
    return 0;
}

uint32_t SimulatedWaveInput::AddBuffer(WaveHeader& header) {
    Call call(*this, ADD_BUFFER);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (const uint32_t code = Fails(ADD_BUFFER))
            return code;
        if (!m_open || header.index < 0 || header.index >= int(m_buffers.size()))
            return kError;
        Buffer& buffer = m_buffers[header.index];
        if (!buffer.prepared || buffer.queued)
            return kError;
        if (buffer.handedBack != std::chrono::steady_clock::time_point())
            m_turnarounds.push_back(std::chrono::duration<double, std::micro>(
                                        std::chrono::steady_clock::now() - buffer.handedBack)
                                        .count());
        buffer.queued = true;
        buffer.done = false;
        buffer.bytesRecorded = 0;
        m_queue.push_back(header.index);
    }
    m_generatorWake.notify_all();
    return 0;
}

uint32_t SimulatedWaveInput::Start() {
    Call call(*this, START);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (const uint32_t code = Fails(START))
            return code;
        if (!m_open)
            return kError;
        m_started = true;
        m_clockStarted = true;
    }
    m_generatorWake.notify_all();
    return 0;
}

// The buffer being filled comes back with the part of a block recorded so far.
uint32_t SimulatedWaveInput::Stop() {
    Call call(*this, STOP);
    std::lock_guard<std::mutex> lock(m_lock);
    if (const uint32_t code = Fails(STOP))
        return code;
    if (!m_open)
        return kError;
    if (m_started && !m_silent && m_nextFrame >= m_quietUntil && !m_queue.empty()) {
        Buffer& head = m_buffers[m_queue.front()];
        Fill(head, head.header->dwBufferLength / 2);
        HandBack(head);
    }
    m_started = false;
    return 0;
}

uint32_t SimulatedWaveInput::Reset() {
    Call call(*this, RESET);
    std::lock_guard<std::mutex> lock(m_lock);
    if (const uint32_t code = Fails(RESET))
        return code;
    if (!m_open)
        return kError;
    if (m_started && !m_silent && m_nextFrame >= m_quietUntil && !m_queue.empty())
        Fill(m_buffers[m_queue.front()], m_buffers[m_queue.front()].header->dwBufferLength / 2);
    m_started = false;
    while (!m_queue.empty())
        HandBack(m_buffers[m_queue.front()]);
    return 0;
}

uint32_t SimulatedWaveInput::Unprepare(WaveHeader& header) {
    Call call(*this, UNPREPARE);
    std::lock_guard<std::mutex> lock(m_lock);
    if (const uint32_t code = Fails(UNPREPARE))
        return code;
    if (header.index < 0 || header.index >= int(m_buffers.size()))
        return kError;
    Buffer& buffer = m_buffers[header.index];
    if (buffer.queued)
        return kError; // still playing
    buffer.prepared = false;
    return 0;
}

uint32_t SimulatedWaveInput::Close() {
    Call call(*this, CLOSE);
    std::lock_guard<std::mutex> lock(m_lock);
    if (const uint32_t code = Fails(CLOSE))
        return code;
    if (!m_queue.empty())
        return kError;
    m_open = false;
    m_started = false;
    m_generatorWake.notify_all(); // time goes on while it is closed
    return 0;
}

bool SimulatedWaveInput::TakeDone(WaveHeader& header) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (header.index < 0 || header.index >= int(m_buffers.size()))
        return false;
    Buffer& buffer = m_buffers[header.index];
    if (!buffer.done)
        return false;
    buffer.done = false;
    header.dwBytesRecorded = buffer.bytesRecorded;
    m_takenAt = buffer.doneAt;
    m_generatorWake.notify_all(); // time may go on
    return true;
}

// An auto-reset event: a completion or a wake since the last wait ends the next wait at once.
void SimulatedWaveInput::WaitForDone(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_doneSignal.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return m_signals > 0; });
    m_signals = 0;
}

void SimulatedWaveInput::Wake() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_signals;
    }
    m_doneSignal.notify_all();
}

uint32_t SimulatedWaveInput::Fill(Buffer& buffer, uint32_t bytes) {
    const uint32_t align = m_format.nBlockAlign;
    const uint32_t frames = uint32_t(
        std::min<uint64_t>(bytes / align, m_frameLimit - std::min(m_frameLimit, m_nextFrame)));
    uint8_t* out = buffer.header->lpData;
    const bool wide = m_format.wBitsPerSample == 16;
    const bool stereo = m_format.nChannels == 2;
    for (uint32_t f = 0; f < frames; ++f, ++m_nextFrame) {
        const uint64_t n = m_nextFrame;
        if (wide) {
            *out++ = uint8_t(n);
            *out++ = uint8_t(n >> 8);
            if (stereo) {
                *out++ = uint8_t(n >> 16);
                *out++ = uint8_t(n >> 24);
            }
        } else {
            *out++ = uint8_t(n);
            if (stereo)
                *out++ = uint8_t(n >> 8);
        }
    }
    if (m_muted)
        std::memset(buffer.header->lpData, wide ? 0 : 0x80, size_t(frames) * align);
    buffer.bytesRecorded = frames * align;
    m_framesDelivered += frames;
    return buffer.bytesRecorded;
}

void SimulatedWaveInput::HandBack(Buffer& buffer) {
    buffer.handedBack = std::chrono::steady_clock::now();
    buffer.doneAt = m_nextFrame;
    m_queue.pop_front();
    buffer.queued = false;
    buffer.done = true;
    ++m_signals;
    m_doneSignal.notify_all();
}

uint32_t SimulatedWaveInput::BlockFrames() const {
    const uint32_t align = m_format.nBlockAlign ? m_format.nBlockAlign : 1;
    return m_format.nAvgBytesPerSec / 25 / align;
}

bool SimulatedWaveInput::Delivering() const {
    const bool quiet = m_nextFrame < m_quietUntil && !m_quietEmpty;
    return m_open && m_started && !m_silent && !quiet && !m_queue.empty() &&
           (m_returnEmpty || m_nextFrame < m_quietUntil || m_nextFrame < m_frameLimit);
}

// At a pace (not as fast as it goes), time passes without sound while the device is silent, and
// while it is closed when it goes on across opens; not while it waits for a buffer, is stopped,
// has reached the test's limit, or a buffer it handed back waits to be taken (the world keeps to
// the pace of a capture that takes each buffer as it comes).
bool SimulatedWaveInput::Idling() const {
    const bool quiet = m_silent || (m_nextFrame < m_quietUntil && !m_quietEmpty);
    const bool taken = std::none_of(m_buffers.begin(), m_buffers.end(),
                                    [](const Buffer& buffer) { return buffer.done; });
    return m_clockStarted && m_intervalUs > 0 && taken &&
           ((!m_open && m_continue) || (m_open && m_started && quiet));
}

void SimulatedWaveInput::Generate() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_generatorWake.wait(lock, [&] { return m_quit || Delivering() || Idling(); });
        if (m_quit)
            return;
        if (const uint32_t interval = m_intervalUs) {
            // Real time passes while the buffer fills; a stop meanwhile takes it part full.
            const int head = m_queue.empty() ? -1 : m_queue.front();
            m_generatorWake.wait_for(lock, std::chrono::microseconds(interval),
                                     [&] { return m_quit; });
            if (m_quit)
                return;
            if (Delivering() && m_queue.front() != head)
                continue;
        }
        if (Delivering() && (m_returnEmpty || m_nextFrame < m_quietUntil)) {
            m_nextFrame += BlockFrames();
            HandBack(m_buffers[m_queue.front()]);
        } else if (Delivering()) {
            m_nextFrame += m_stall; // the time the stall took passes before this buffer's sound
            m_stall = 0;
            Buffer& head = m_buffers[m_queue.front()];
            Fill(head, head.header->dwBufferLength);
            HandBack(head);
        } else if (Idling()) {
            m_nextFrame += BlockFrames();
            ++m_signals; // the capture looks at the clock
            m_doneSignal.notify_all();
        }
    }
}
