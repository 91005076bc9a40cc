// An output device without hardware, read back as WASAPI's loopback reads one: a generator thread
// plays a tone (or nothing) in 10 ms packets at a pace the test chooses, and it can glitch, go
// away and come back, or have no loopback at all.
//
// It keeps the world's clock (NowMs, for a test's tick function): time passes a packet at a time
// while the stream runs and its packets are read (it never runs more than two packets ahead of
// its reader), and at the same pace while it is closed or away; not while it is open and
// stopped. The tone follows that clock: the output's frame n is the tone's sample n.
#pragma once

#include "capture/playback_stream.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class SimulatedPlaybackStream : public IPlaybackStream {
public:
    static constexpr wchar_t kDeviceId[] = L"{0.0.0.00000000}.{simulated-output}";

    SimulatedPlaybackStream();
    ~SimulatedPlaybackStream() override;

    // The output's format (before the first Open): 48000 Hz float stereo unless set.
    void SetFormat(const StreamFormat& format) { m_format = format; }
    // What it plays, in every channel: a tone of this frequency and amplitude (full scale 1).
    void SetTone(double hz, double amplitude);
    // Microseconds of real time per 10 ms packet.
    void SetPacketInterval(uint32_t microseconds) { m_intervalUs = microseconds; }
    // Each of these returns the output's frame (on the clock) from which it holds.
    // Nothing plays: the packets come on, flagged silent (their data is noise, to be ignored).
    uint64_t SetIdle(bool idle);
    // This many frames of the clock pass without being delivered, and the next packet says so.
    uint64_t Glitch(uint64_t frames);
    // The output goes away (reading says so, opening finds it absent), and comes back.
    uint64_t SetAway(bool away);
    // The system cannot read an output back: opening answers kWrongEndpointType.
    void SetNoLoopback(bool none) { m_noLoopback = none; }
    // The clock and the tone go on across a close and an open (an output that comes back).
    uint32_t NowMs() const;
    int Opens() const { return m_opens; }
    // The output's frame on the clock when it was last opened.
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
    struct Packet {
        uint64_t position;
        uint32_t frames;
        bool silent, discontinuity;
    };
    void Generate();
    void Encode(float value, uint8_t* at) const;
    uint32_t PacketFrames() const { return m_format.rate / 100; }

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::thread m_generator;
    StreamFormat m_format;
    CaptureSource m_source;
    double m_hz = 1000, m_amplitude = 0.5;
    std::atomic<uint32_t> m_intervalUs{2000};
    bool m_open = false, m_started = false, m_clockRuns = false, m_idle = false, m_away = false;
    bool m_quit = false, m_woken = false;
    std::atomic<bool> m_noLoopback{false};
    uint64_t m_position = 0; // the clock, in the output's frames
    uint64_t m_glitch = 0;
    uint64_t m_openedAt = 0;
    std::deque<Packet> m_unread;
    std::vector<uint8_t> m_data; // the packet handed out
    std::atomic<int> m_opens{0};
};
