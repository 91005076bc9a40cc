#include "tests/support/simulated_playback_stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr uint32_t kError = 0x80004005; // E_FAIL
// A reader late by more than this is not made up for in a burst.
constexpr auto kMostBehind = std::chrono::milliseconds(50);

} // namespace

constexpr wchar_t SimulatedPlaybackStream::kDeviceId[];

SimulatedPlaybackStream::SimulatedPlaybackStream() : m_since(Clock::now()) {
    m_format.rate = 48000;
    m_format.channels = 2;
    m_format.encoding = ENCODING_FLOAT32;
    m_format.channelMask = 0x3;
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
    std::lock_guard<std::mutex> lock(m_lock);
    Advance();
    m_away = away;
    return m_position;
}

void SimulatedPlaybackStream::SetNoLoopback(bool none) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_noLoopback = none;
}

uint32_t SimulatedPlaybackStream::NowMs() {
    std::lock_guard<std::mutex> lock(m_lock);
    Advance();
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

SimulatedPlaybackStream::Clock::duration SimulatedPlaybackStream::Advance() {
    const Clock::time_point now = Clock::now();
    const auto packet = std::chrono::microseconds(10000 / kSpeed);
    if (!m_clockRuns) {
        m_since = now;
        return Clock::duration::max();
    }
    if (!m_open || m_away) {
        const auto passed = std::chrono::duration_cast<std::chrono::microseconds>(now - m_since);
        const uint64_t packets = uint64_t(passed / packet);
        m_position += packets * PacketFrames();
        m_since += packets * packet;
        return Clock::duration::max();
    }
    if (!m_started) {
        m_since = now; // stopped: the clock stands
        return Clock::duration::max();
    }
    m_since = std::max(m_since, now - kMostBehind);
    return m_since + packet > now ? m_since + packet - now : Clock::duration::zero();
}

uint32_t SimulatedPlaybackStream::Open(const CaptureSource& source, StreamFormat& format) {
    std::lock_guard<std::mutex> lock(m_lock);
    Advance();
    m_source = source;
    if (m_noLoopback)
        return kWrongEndpointType;
    if (m_away || (!source.FollowsDefault() && source.device != kDeviceId))
        return kSourceAbsent;
    if (m_open)
        return kError;
    m_open = true;
    m_started = false;
    m_openedAt = m_position;
    format = m_format;
    return 0;
}

uint32_t SimulatedPlaybackStream::Start() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_open)
        return kError;
    m_started = m_clockRuns = true;
    m_since = Clock::now();
    return 0;
}

uint32_t SimulatedPlaybackStream::Stop() {
    std::lock_guard<std::mutex> lock(m_lock);
    Advance();
    m_started = false;
    return 0;
}

void SimulatedPlaybackStream::Close() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_open = m_started = false;
    m_since = Clock::now();
}

// The packet due next, at its place on the clock: the tone, or noise in a silent packet, which
// must not be recorded.
uint32_t SimulatedPlaybackStream::NextPacket(PlaybackPacket& packet) {
    std::lock_guard<std::mutex> lock(m_lock);
    packet = PlaybackPacket();
    if (m_away)
        return kDeviceInvalidated;
    if (!m_started || Advance() > Clock::duration::zero())
        return 0;
    packet.discontinuity = m_glitch > 0;
    m_position += m_glitch;
    m_glitch = 0;
    const uint32_t frames = PacketFrames(), channels = m_format.channels;
    m_data.resize(size_t(frames) * channels * sizeof(float));
    for (uint32_t f = 0; f < frames; ++f) {
        const double t = double(m_position + f) / m_format.rate;
        const float value = m_idle ? float((f * 7919) % 200) / 100 - 1
                                   : float(m_amplitude * std::sin(2 * 3.14159265358979 * m_hz * t));
        for (uint32_t c = 0; c < channels; ++c)
            std::memcpy(&m_data[(size_t(f) * channels + c) * sizeof(float)], &value, sizeof value);
    }
    packet.data = m_data.data();
    packet.frames = m_handedOut = frames;
    packet.silent = m_idle;
    packet.hasPosition = true;
    packet.position = m_position;
    m_position += frames;
    m_since += std::chrono::microseconds(10000 / kSpeed);
    return 0;
}

uint32_t SimulatedPlaybackStream::ReleasePacket(uint32_t frames) {
    std::lock_guard<std::mutex> lock(m_lock);
    const bool handedOut = m_handedOut == frames;
    m_handedOut = 0;
    return handedOut ? 0 : kError;
}

void SimulatedPlaybackStream::WaitForPackets(uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    const auto due = std::min<Clock::duration>(Advance(), std::chrono::milliseconds(timeoutMs));
    m_woken.wait_for(lock, due, [&] { return m_wake || m_away; });
    m_wake = false;
}

void SimulatedPlaybackStream::Wake() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_wake = true;
    }
    m_woken.notify_all();
}

bool SimulatedPlaybackStream::CurrentDevice(const CaptureSource&, std::wstring& id) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_away)
        return false;
    id = kDeviceId;
    return true;
}
