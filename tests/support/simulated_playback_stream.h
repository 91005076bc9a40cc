// An output device without hardware, read back as WASAPI's loopback reads one: it plays a 1 kHz
// tone at half scale (or nothing) in 10 ms packets, ten times as fast as real time, and it can
// glitch, go away and come back, or have no loopback at all.
//
// It keeps the world's clock (NowMs, for a test's tick function), which the tone follows (the
// output's frame n is the tone's sample n): while the stream runs, time passes as its packets are
// read, each once it is due, so the clock is never ahead of what its reader took; while the
// output is closed or away, it passes with real time (from the first start on: the output's
// frame 0 is the first a recording takes). It has no thread of its own.
#pragma once

#include "capture/playback_stream.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

class SimulatedPlaybackStream : public IPlaybackStream {
public:
    static constexpr wchar_t kDeviceId[] = L"{0.0.0.00000000}.{simulated-output}";
    static constexpr int kSpeed = 10; // the world's time to real time

    SimulatedPlaybackStream();

    // The output's format (before the first Open): 48000 Hz float stereo unless set; float
    // samples, any rate and channels.
    void SetFormat(const StreamFormat& format) { m_format = format; }
    // Each of these returns the output's frame (on the clock) from which it holds.
    // Nothing plays: the packets come on, flagged silent (their data is noise, to be ignored).
    uint64_t SetIdle(bool idle);
    // This many frames of the clock pass without being delivered, and the next packet says so.
    uint64_t Glitch(uint64_t frames);
    // The output goes away (reading says so, opening finds it absent), and comes back.
    uint64_t SetAway(bool away);
    // The system cannot read an output back: opening answers kWrongEndpointType.
    void SetNoLoopback(bool none);
    uint32_t NowMs();
    // The output's frame on the clock when it was last opened, and the source it was asked for.
    uint64_t OpenedAt() const;
    CaptureSource LastSource() const;

    uint32_t Open(const CaptureSource& source, StreamFormat& format) override;
    uint32_t Start() override;
    uint32_t Stop() override;
    void Close() override;
    uint32_t NextPacket(PlaybackPacket& packet) override;
    uint32_t ReleasePacket(uint32_t frames) override;
    void WaitForPackets(uint32_t timeoutMs) override;
    void Wake() override;
    bool CurrentDevice(const CaptureSource& source, std::wstring& id) override;

private:
    using Clock = std::chrono::steady_clock;
    // Under the lock: the clock brought up to real time where it runs by itself; how long until
    // the next packet is due where packets are read.
    Clock::duration Advance();
    uint32_t PacketFrames() const { return m_format.rate / 100; }

    mutable std::mutex m_lock;
    std::condition_variable m_woken;
    bool m_wake = false;
    StreamFormat m_format;
    CaptureSource m_source;
    const double m_hz = 1000, m_amplitude = 0.5; // what it plays, in every channel
    bool m_open = false, m_started = false, m_idle = false, m_away = false, m_noLoopback = false;
    bool m_clockRuns = false;
    uint64_t m_position = 0;   // the clock, in the output's frames
    Clock::time_point m_since; // the real time of m_position
    uint64_t m_glitch = 0, m_openedAt = 0;
    uint32_t m_handedOut = 0; // frames of the packet handed out, not yet released
    std::vector<uint8_t> m_data;
};
