#include "tests/support/simulated_wave_input.h"

#include <algorithm>
#include <chrono>

SimulatedWaveInput::~SimulatedWaveInput() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_quit = true;
    }
    m_generatorWake.notify_all();
    if (m_generator.joinable())
        m_generator.join();
}

void SimulatedWaveInput::SetSilent(bool silent) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_silent = silent;
    }
    m_generatorWake.notify_all();
}

void SimulatedWaveInput::SetFrameLimit(uint64_t frames) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_frameLimit = frames;
    }
    m_generatorWake.notify_all();
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

SimulatedWaveInput::Call::Call(SimulatedWaveInput& device) : m_device(device) {
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
    if (m_hook)
        m_hook(operation);
    const int call = ++m_calls[operation];
    return m_failFrom[operation] > 0 && call >= m_failFrom[operation] ? m_failCode[operation] : 0;
}

uint32_t SimulatedWaveInput::Open(const WaveFormat& format) {
    Call call(*this);
    std::lock_guard<std::mutex> lock(m_lock);
    if (const uint32_t code = Fails(OPEN))
        return code;
    if (m_open || format.nBlockAlign == 0)
        return kError;
    m_format = format;
    m_open = true;
    m_nextFrame = 0;
    m_framesDelivered = 0;
    m_started = false;
    m_quit = false;
    m_queue.clear();
    m_buffers.assign(64, Buffer());
    if (!m_generator.joinable())
        m_generator = std::thread(&SimulatedWaveInput::Generate, this);
    return 0;
}

uint32_t SimulatedWaveInput::Prepare(WaveHeader& header) {
    Call call(*this);
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
    Call call(*this);
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
    Call call(*this);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (const uint32_t code = Fails(START))
            return code;
        if (!m_open)
            return kError;
        m_started = true;
    }
    m_generatorWake.notify_all();
    return 0;
}

// The buffer being filled comes back with the part of a block recorded so far.
uint32_t SimulatedWaveInput::Stop() {
    Call call(*this);
    std::lock_guard<std::mutex> lock(m_lock);
    if (const uint32_t code = Fails(STOP))
        return code;
    if (!m_open)
        return kError;
    if (m_started && !m_silent && !m_queue.empty()) {
        Buffer& head = m_buffers[m_queue.front()];
        Fill(head, head.header->dwBufferLength / 2);
        HandBack(head);
    }
    m_started = false;
    return 0;
}

uint32_t SimulatedWaveInput::Reset() {
    Call call(*this);
    std::lock_guard<std::mutex> lock(m_lock);
    if (const uint32_t code = Fails(RESET))
        return code;
    if (!m_open)
        return kError;
    if (m_started && !m_silent && !m_queue.empty())
        Fill(m_buffers[m_queue.front()], m_buffers[m_queue.front()].header->dwBufferLength / 2);
    m_started = false;
    while (!m_queue.empty())
        HandBack(m_buffers[m_queue.front()]);
    return 0;
}

uint32_t SimulatedWaveInput::Unprepare(WaveHeader& header) {
    Call call(*this);
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
    Call call(*this);
    std::lock_guard<std::mutex> lock(m_lock);
    if (const uint32_t code = Fails(CLOSE))
        return code;
    if (!m_queue.empty())
        return kError;
    m_open = false;
    m_started = false;
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
    buffer.bytesRecorded = frames * align;
    m_framesDelivered += frames;
    return buffer.bytesRecorded;
}

void SimulatedWaveInput::HandBack(Buffer& buffer) {
    buffer.handedBack = std::chrono::steady_clock::now();
    m_queue.pop_front();
    buffer.queued = false;
    buffer.done = true;
    ++m_signals;
    m_doneSignal.notify_all();
}

void SimulatedWaveInput::Generate() {
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_generatorWake.wait(lock, [&] {
            return m_quit || (m_open && m_started && !m_silent && !m_queue.empty() &&
                              (m_returnEmpty || m_nextFrame < m_frameLimit));
        });
        if (m_quit)
            return;
        if (m_returnEmpty) {
            HandBack(m_buffers[m_queue.front()]);
            continue;
        }
        if (const uint32_t interval = m_intervalUs) {
            // Real time passes while the buffer fills; a stop meanwhile takes it part full.
            const int head = m_queue.front();
            m_generatorWake.wait_for(lock, std::chrono::microseconds(interval),
                                     [&] { return m_quit; });
            if (m_quit)
                return;
            if (!m_started || m_silent || m_queue.empty() || m_queue.front() != head)
                continue;
        }
        Buffer& head = m_buffers[m_queue.front()];
        Fill(head, head.header->dwBufferLength);
        HandBack(head);
    }
}
