#include "tests/support/simulated_playback_stream.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kError = 0x80004005; // E_FAIL

int64_t Scaled(float value, double fullScale) {
    return int64_t(std::lround(std::max(-1.0, std::min(1.0, double(value))) * fullScale));
}

} // namespace

// A sample in the output's encoding, little-endian.
void SimulatedPlaybackStream::Encode(float value, uint8_t* at) const {
    switch (m_format.encoding) {
    case ENCODING_UINT8:
        at[0] = uint8_t(128 + std::min<int64_t>(127, Scaled(value, 128)));
        return;
    case ENCODING_INT16: {
        const int64_t v = std::min<int64_t>(32767, Scaled(value, 32768));
        at[0] = uint8_t(v), at[1] = uint8_t(v >> 8);
        return;
    }
    case ENCODING_INT24: {
        const int64_t v = std::min<int64_t>(8388607, Scaled(value, 8388608));
        at[0] = uint8_t(v), at[1] = uint8_t(v >> 8), at[2] = uint8_t(v >> 16);
        return;
    }
    case ENCODING_INT32: {
        const int64_t v = std::min<int64_t>(2147483647, Scaled(value, 2147483648.0));
        for (int b = 0; b < 4; ++b)
            at[b] = uint8_t(v >> (8 * b));
        return;
    }
    case ENCODING_FLOAT32:
        std::memcpy(at, &value, 4);
        return;
    }
}

namespace {} // namespace

constexpr wchar_t SimulatedPlaybackStream::kDeviceId[];

SimulatedPlaybackStream::SimulatedPlaybackStream() {
    m_format.rate = 48000;
    m_format.channels = 2;
    m_format.encoding = ENCODING_FLOAT32;
    m_format.channelMask = 0x3;
    m_generator = std::thread(&SimulatedPlaybackStream::Generate, this);
}

SimulatedPlaybackStream::~SimulatedPlaybackStream() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_quit = true;
    }
    m_changed.notify_all();
    m_generator.join();
}

void SimulatedPlaybackStream::SetTone(double hz, double amplitude) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_hz = hz;
    m_amplitude = amplitude;
}

uint64_t SimulatedPlaybackStream::SetIdle(bool idle) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_idle = idle;
    return m_position;
}

uint64_t SimulatedPlaybackStream::Glitch(uint64_t frames) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_glitch += frames;
    return m_position;
}

uint64_t SimulatedPlaybackStream::SetAway(bool away) {
    uint64_t from;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_away = away;
        from = m_position;
    }
    m_changed.notify_all();
    return from;
}

uint32_t SimulatedPlaybackStream::NowMs() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return uint32_t(m_position * 1000 / m_format.rate);
}

uint64_t SimulatedPlaybackStream::OpenedAt() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_openedAt;
}

CaptureSource SimulatedPlaybackStream::LastSource() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_source;
}

uint32_t SimulatedPlaybackStream::Open(const CaptureSource& source, StreamFormat& format) {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_opens;
    m_source = source;
    if (m_noLoopback)
        return kWrongEndpointType;
    if (m_away || (!source.FollowsDefault() && source.device != kDeviceId))
        return kSourceAbsent;
    if (m_open)
        return kError;
    m_open = true;
    m_started = false;
    m_unread.clear();
    m_openedAt = m_position;
    format = m_format;
    return 0;
}

uint32_t SimulatedPlaybackStream::Start() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_open)
            return kError;
        m_started = m_clockRuns = true;
    }
    m_changed.notify_all();
    return 0;
}

uint32_t SimulatedPlaybackStream::Stop() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_started = false;
    m_unread.clear(); // a stopped stream's packets are gone
    return 0;
}

void SimulatedPlaybackStream::Close() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_open = m_started = false;
        m_unread.clear();
    }
    m_changed.notify_all();
}

// The tone at the packet's place on the clock; noise in a silent packet, which must not be
// recorded.
uint32_t SimulatedPlaybackStream::NextPacket(PlaybackPacket& packet) {
    std::lock_guard<std::mutex> lock(m_lock);
    packet = PlaybackPacket();
    if (m_away)
        return kDeviceInvalidated;
    if (m_unread.empty())
        return 0;
    const Packet& next = m_unread.front();
    const uint32_t channels = m_format.channels;
    m_data.assign(size_t(next.frames) * m_format.BlockAlign(), 0);
    for (uint32_t f = 0; f < next.frames; ++f) {
        const double t = double(next.position + f) / m_format.rate;
        const float value = next.silent
                                ? float((f * 7919) % 200) / 100.0f - 1.0f
                                : float(m_amplitude * std::sin(2 * 3.14159265358979 * m_hz * t));
        for (uint32_t c = 0; c < channels; ++c)
            Encode(value, &m_data[(size_t(f) * channels + c) * m_format.BytesPerSample()]);
    }
    packet.data = m_data.data();
    packet.frames = next.frames;
    packet.silent = next.silent;
    packet.discontinuity = next.discontinuity;
    packet.hasPosition = true;
    packet.position = next.position;
    return 0;
}

uint32_t SimulatedPlaybackStream::ReleasePacket(uint32_t frames) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_unread.empty() || m_unread.front().frames != frames)
            return kError;
        m_unread.pop_front();
    }
    m_changed.notify_all(); // the clock may go on
    return 0;
}

void SimulatedPlaybackStream::WaitForPackets(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [&] { return m_quit || m_woken || !m_unread.empty() || m_away; });
    m_woken = false;
}

void SimulatedPlaybackStream::Wake() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_woken = true;
    }
    m_changed.notify_all();
}

bool SimulatedPlaybackStream::CurrentDevice(const CaptureSource&, std::wstring& id) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_away)
        return false;
    id = kDeviceId;
    return true;
}

// A packet at a time: played into the stream while it runs and is read (two packets ahead at
// most), or only passing while the output is closed or away.
// Each packet is due an interval after the one before; a wake-up that comes late (a coarse
// timer, a busy machine) makes up for it with the packets due meanwhile, so the pace holds on
// average. Time the clock was held (its reader behind, the stream stopped) is not made up.
void SimulatedPlaybackStream::Generate() {
    using Clock = std::chrono::steady_clock;
    std::unique_lock<std::mutex> lock(m_lock);
    Clock::time_point due = Clock::now();
    for (;;) {
        const auto playing = [&] { return m_open && m_started && !m_away; };
        const auto goes = [&] {
            return m_quit ||
                   (m_clockRuns && ((playing() && m_unread.size() < 2) || !m_open || m_away));
        };
        if (!goes()) {
            m_changed.wait(lock, goes);
            due = std::max(due, Clock::now());
        }
        if (m_quit)
            return;
        m_changed.wait_until(lock, due, [&] { return m_quit; });
        if (m_quit)
            return;
        if (playing() && m_unread.size() < 2) {
            const bool glitched = m_glitch > 0;
            m_position += m_glitch;
            m_glitch = 0;
            m_unread.push_back({m_position, PacketFrames(), m_idle, glitched});
            m_position += PacketFrames();
        } else if (!m_open || m_away) {
            m_position += PacketFrames();
        } else {
            continue;
        }
        due += std::chrono::microseconds(m_intervalUs.load());
        m_changed.notify_all();
    }
}
