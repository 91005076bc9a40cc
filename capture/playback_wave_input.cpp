#include "capture/playback_wave_input.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

namespace {

// winmm's own codes, for the capture to read the same way.
constexpr uint32_t kError = 1;         // MMSYSERR_ERROR
constexpr uint32_t kNoMemory = 7;      // MMSYSERR_NOMEM
constexpr uint32_t kBadFormat = 32;    // WAVERR_BADFORMAT
constexpr uint32_t kStillPlaying = 33; // WAVERR_STILLPLAYING
constexpr size_t kMostBuffers = 64;

} // namespace

PlaybackWaveInput::PlaybackWaveInput(std::unique_ptr<IPlaybackStream> stream)
    : m_stream(std::move(stream)) {}

PlaybackWaveInput::~PlaybackWaveInput() {
    bool open;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        open = m_open;
    }
    if (open) {
        Reset();
        Close();
    }
    EndThread();
}

// 1. The output opened and its format read. 2. The chain for its format and the recording's.
// 3. The playback thread.
uint32_t PlaybackWaveInput::Open(const WaveFormat& format, const CaptureSource& source) {
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_open)
        return kError;
    if (source.kind != SOURCE_PLAYBACK || format.wFormatTag != 1 ||
        (format.wBitsPerSample != 8 && format.wBitsPerSample != 16) ||
        (format.nChannels != 1 && format.nChannels != 2) || format.nSamplesPerSec == 0)
        return kBadFormat;
    if (const uint32_t code = m_stream->Open(source, m_streamFormat))
        return code;
    const auto fail = [&](uint32_t code) {
        m_stream->Close();
        return code;
    };
    if (!m_streamFormat.IsUsable() ||
        !m_resampler.Configure(m_streamFormat.rate, format.nSamplesPerSec, format.nChannels,
                               kChunkFrames))
        return fail(kBadFormat);
    const size_t most = std::max(m_resampler.MaxOutFrames(kChunkFrames),
                                 m_resampler.MaxOutFrames(m_resampler.DelayFrames() + 1));
    m_mixed.reset(new (std::nothrow) float[kChunkFrames * format.nChannels]);
    m_resampled.reset(new (std::nothrow) float[most * format.nChannels]);
    m_pcm16.reset(new (std::nothrow) int16_t[most * format.nChannels]);
    m_pcm8.reset(new (std::nothrow) uint8_t[most * format.nChannels]);
    if (!m_mixed || !m_resampled || !m_pcm16 || !m_pcm8)
        return fail(kNoMemory);
    m_format = format;
    m_source = source;
    m_buffers.assign(kMostBuffers, Buffer());
    m_queue.clear();
    m_started = m_running = m_quit = false;
    m_lost = 0;
    m_signals = 0;
    m_doneWaiting = 0;
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread(&PlaybackWaveInput::PlaybackThread, this);
        } catch (const std::system_error&) {
            return fail(kNoMemory);
        }
    }
    m_open = true;
    return 0;
}

uint32_t PlaybackWaveInput::Prepare(WaveHeader& header) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open || header.index < 0 || size_t(header.index) >= m_buffers.size())
        return kError;
    m_buffers[size_t(header.index)] = Buffer();
    m_buffers[size_t(header.index)].header = &header;
    m_buffers[size_t(header.index)].prepared = true;
    return 0;
}

// A lost stream takes no buffer back: the capture then gives the device up.
uint32_t PlaybackWaveInput::AddBuffer(WaveHeader& header) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_lost)
        return m_lost;
    if (!m_open || header.index < 0 || size_t(header.index) >= m_buffers.size())
        return kError;
    Buffer& buffer = m_buffers[size_t(header.index)];
    if (!buffer.prepared || buffer.queued)
        return kError;
    buffer.queued = true;
    buffer.done = false;
    buffer.filled = 0;
    m_queue.push_back(header.index);
    m_threadWake.notify_all();
    return 0;
}

// The sound starts anew: the filter's history and the device's positions are forgotten. The
// stream itself starts once, at the first start: a resume only takes its packets again.
uint32_t PlaybackWaveInput::Start() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open)
            return kError;
        if (m_lost)
            return m_lost; // gone while paused
        if (m_started)
            return 0;
        if (!m_running) {
            if (const uint32_t code = m_stream->Start())
                return code;
            m_running = true;
        }
        m_started = true;
        m_resampler.Reset();
        m_positionKnown = false;
    }
    m_threadWake.notify_all();
    return 0;
}

// The sound up to the pause, the filter's tail included, goes into the buffer being filled,
// which comes back with what it holds. The stream runs on, its packets read and let go: a
// stopped stream may keep what it takes meanwhile and hand it over at the next start (Wine's
// does), which would record the pause.
uint32_t PlaybackWaveInput::Stop() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open)
        return kError;
    if (!m_started)
        return 0;
    if (!m_lost)
        Pump(true);
    m_started = false;
    if (!m_lost)
        Deliver(m_resampled.get(), m_resampler.Flush(m_resampled.get()));
    if (!m_queue.empty() && m_buffers[size_t(m_queue.front())].filled > 0)
        HandBackHead();
    return 0;
}

uint32_t PlaybackWaveInput::Reset() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open)
        return kError;
    if (m_started && !m_lost)
        Deliver(m_resampled.get(), m_resampler.Flush(m_resampled.get()));
    m_started = false;
    if (m_running)
        m_stream->Stop();
    m_running = false;
    while (!m_queue.empty())
        HandBackHead();
    return 0;
}

uint32_t PlaybackWaveInput::Unprepare(WaveHeader& header) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (header.index < 0 || size_t(header.index) >= m_buffers.size())
        return kError;
    Buffer& buffer = m_buffers[size_t(header.index)];
    if (buffer.queued)
        return kStillPlaying;
    buffer.prepared = false;
    return 0;
}

// The playback thread ends before the stream goes: it may be reading it.
uint32_t PlaybackWaveInput::Close() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open)
            return kError;
        if (!m_queue.empty())
            return kStillPlaying;
    }
    EndThread();
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_running)
        m_stream->Stop();
    m_stream->Close();
    m_open = m_started = m_running = false;
    return 0;
}

void PlaybackWaveInput::EndThread() {
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_quit = true;
    }
    m_threadWake.notify_all();
    m_stream->Wake();
    m_thread.join();
}

bool PlaybackWaveInput::TakeDone(WaveHeader& header) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (header.index < 0 || size_t(header.index) >= m_buffers.size())
        return false;
    Buffer& buffer = m_buffers[size_t(header.index)];
    if (!buffer.done)
        return false;
    buffer.done = false;
    header.dwBytesRecorded = buffer.filled;
    if (--m_doneWaiting == 0)
        m_threadWake.notify_all();
    return true;
}

// An auto-reset event: a completion or a wake since the last wait ends the next one at once.
void PlaybackWaveInput::WaitForDone(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_doneSignal.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [&] { return m_signals > 0; });
    m_signals = 0;
}

void PlaybackWaveInput::Wake() {
    std::lock_guard<std::mutex> lock(m_lock);
    Signal();
}

bool PlaybackWaveInput::DefaultInput(std::wstring& input) {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_stream->CurrentDevice(m_source, input);
}

void PlaybackWaveInput::Signal() {
    ++m_signals;
    m_doneSignal.notify_all();
}

void PlaybackWaveInput::HandBackHead() {
    Buffer& head = m_buffers[size_t(m_queue.front())];
    m_queue.pop_front();
    head.queued = false;
    head.done = true;
    ++m_doneWaiting;
    Signal();
}

// While the stream runs and sound is wanted: waits for packets outside the lock, and reads them
// under it.
void PlaybackWaveInput::PlaybackThread() {
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_threadWake.wait(lock, [&] { return m_quit || Wanted(); });
            if (m_quit)
                return;
        }
        m_stream->WaitForPackets(kPollMs);
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_quit)
            return;
        if (Wanted())
            Pump();
    }
}

bool PlaybackWaveInput::Wanted() const {
    return m_open && m_running && !m_lost &&
           (!m_started || (!m_queue.empty() && m_doneWaiting == 0));
}

// Only while a buffer waits for sound: a capture behind leaves the packets with the device.
// Paused, the packets are let go.
void PlaybackWaveInput::Pump(bool draining) {
    const uint64_t longest = uint64_t(m_streamFormat.rate) * kLongestFilledGlitchMs / 1000;
    while (draining ? !m_queue.empty() && !m_lost : Wanted()) {
        PlaybackPacket packet;
        if (const uint32_t code = m_stream->NextPacket(packet)) {
            m_lost = code; // the buffer being filled comes back, and is refused back
            if (m_started && !m_queue.empty())
                HandBackHead();
            return;
        }
        if (packet.frames == 0)
            return;
        if (!m_started) {
            m_stream->ReleasePacket(packet.frames);
            continue;
        }
        if (packet.discontinuity && packet.hasPosition && m_positionKnown &&
            packet.position > m_nextPosition && packet.position - m_nextPosition <= longest)
            Convert(nullptr, uint32_t(packet.position - m_nextPosition));
        m_positionKnown = packet.hasPosition;
        m_nextPosition = packet.position + packet.frames;
        Convert(packet.silent ? nullptr : packet.data, packet.frames);
        m_stream->ReleasePacket(packet.frames);
    }
}

void PlaybackWaveInput::Convert(const uint8_t* data, uint32_t frames) {
    const int channels = m_format.nChannels;
    const size_t align = m_streamFormat.BlockAlign();
    for (uint32_t at = 0; at < frames; at += uint32_t(kChunkFrames)) {
        const size_t n = std::min<size_t>(kChunkFrames, frames - at);
        if (data)
            ToFloatFrames(data + at * align, n, m_streamFormat, channels, m_mixed.get());
        else
            std::fill(m_mixed.get(), m_mixed.get() + n * size_t(channels), 0.0f);
        Deliver(m_resampled.get(), m_resampler.Process(m_mixed.get(), n, m_resampled.get()));
    }
}

// The samples as the recording's PCM (little-endian, as the host), into the buffer being filled
// and on into the next; a full buffer comes back at once. What finds no buffer is dropped, as a
// device drops what it has no buffer for.
void PlaybackWaveInput::Deliver(const float* frames, size_t count) {
    const size_t samples = count * m_format.nChannels;
    const bool narrow = m_format.wBitsPerSample == 8;
    if (narrow)
        m_quantiser.ToPcm8(frames, samples, m_pcm8.get());
    else
        m_quantiser.ToPcm16(frames, samples, m_pcm16.get());
    const uint8_t* pcm = narrow ? m_pcm8.get() : reinterpret_cast<const uint8_t*>(m_pcm16.get());
    const size_t align = m_format.nBlockAlign;
    size_t at = 0;
    while (at < count && !m_queue.empty()) {
        Buffer& head = m_buffers[size_t(m_queue.front())];
        const size_t room = (head.header->dwBufferLength - head.filled) / align;
        const size_t n = std::min(room, count - at);
        std::memcpy(head.header->lpData + head.filled, pcm + at * align, n * align);
        head.filled += uint32_t(n * align);
        at += n;
        if (head.header->dwBufferLength - head.filled < align)
            HandBackHead();
    }
}
