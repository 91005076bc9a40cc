// PlaybackWaveInput: what an output device plays, as a wave input with winmm's contract, so the
// capture records it as it records a microphone: the same buffers, states, clock, waits for a
// device gone and openings again. Its own thread (the playback thread) reads the output's
// packets as they come, converts them to the recording's format (any encoding and layout in;
// mono or stereo out, resampled to the recording's rate, dithered to 16 or 8 bits) and fills the
// queued buffers in order, each handed back once full.
//
// A pause takes what the output played up to it: the packets not yet read, and the filter's
// tail, go into the buffer being filled, which comes back. Packets flagged silent are silence; a
// glitch the stream reports (a discontinuity, with the device's positions) is filled with silence
// of its length, up to a second, so later sound keeps its place; a longer one is left to the
// recording's gap rules. Packets are read only while a buffer is queued and none waits to be taken:
// a capture behind leaves them waiting with the device, whose own buffer (a second) rides it out,
// and what the capture takes is never ahead of what the device has played. A stream lost (the
// output unplugged) hands back the buffer being filled and refuses it back with the stream's code,
// so the capture gives the device up at once and waits for it.
//
// Threads: the wave-input calls come from the capture's threads, one at a time; the playback
// thread runs from Open to Close. One lock guards the buffers, the stream and every call into
// it; the playback thread holds it while it converts a packet (tens of microseconds), never
// while it waits for packets.
#pragma once

#include "capture/playback_stream.h"
#include "capture/wave_input.h"
#include "engine/resampler.h"
#include "engine/sample_conversion.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class PlaybackWaveInput : public IWaveInput {
public:
    // The longest glitch filled with silence, in the output's frames: a second.
    static constexpr uint32_t kLongestFilledGlitchMs = 1000;
    // How often the playback thread looks for packets when the stream does not say.
    static constexpr uint32_t kPollMs = 5;

    explicit PlaybackWaveInput(std::unique_ptr<IPlaybackStream> stream);
    ~PlaybackWaveInput() override;
    PlaybackWaveInput(const PlaybackWaveInput&) = delete;
    PlaybackWaveInput& operator=(const PlaybackWaveInput&) = delete;

    uint32_t Open(const WaveFormat& format, const CaptureSource& source) override;
    uint32_t Prepare(WaveHeader& header) override;
    uint32_t AddBuffer(WaveHeader& header) override;
    uint32_t Start() override;
    uint32_t Stop() override;
    uint32_t Reset() override;
    uint32_t Unprepare(WaveHeader& header) override;
    uint32_t Close() override;
    bool TakeDone(WaveHeader& header) override;
    void WaitForDone(uint32_t timeoutMs) override;
    void Wake() override;
    bool DefaultInput(std::wstring& input) override;

private:
    struct Buffer {
        WaveHeader* header = nullptr;
        bool prepared = false, queued = false, done = false;
        uint32_t filled = 0; // bytes
    };
    void PlaybackThread();
    // Under the lock: the stream runs, and a buffer waits for sound while none waits to be taken
    // (or, paused, its packets are to be let go).
    bool Wanted() const;
    // Under the lock: every packet that waits, converted into the queued buffers, while sound is
    // wanted (or, draining, while a buffer is queued at all).
    void Pump(bool draining = false);
    // Under the lock: frames of the output's format (or silence, for null) through the chain.
    void Convert(const uint8_t* data, uint32_t frames);
    // Under the lock: resampled float frames quantised into the queued buffers.
    void Deliver(const float* frames, size_t count);
    void HandBackHead();
    void Signal();
    void EndThread();

    const std::unique_ptr<IPlaybackStream> m_stream;
    std::thread m_thread;

    std::mutex m_lock;
    std::condition_variable m_doneSignal;
    std::condition_variable m_threadWake; // the stream started, or the thread is to end
    uint64_t m_signals = 0;               // completions and wakes since the last WaitForDone
    bool m_open = false;
    bool m_running = false; // the stream runs: from the first start to the reset or close
    bool m_started = false; // ...and its sound goes into the buffers (not paused)
    bool m_quit = false;
    uint32_t m_lost = 0;   // the stream's code once it is lost
    int m_doneWaiting = 0; // buffers handed back and not yet taken
    WaveFormat m_format;
    CaptureSource m_source;
    StreamFormat m_streamFormat;
    std::vector<Buffer> m_buffers;
    std::deque<int> m_queue; // indexes of queued buffers, the one being filled first
    // The chain, allocated at Open: one chunk of the stream's frames at a time.
    static constexpr size_t kChunkFrames = 2048;
    Resampler m_resampler;
    Quantiser m_quantiser;
    std::unique_ptr<float[]> m_mixed, m_resampled;
    std::unique_ptr<int16_t[]> m_pcm16;
    std::unique_ptr<uint8_t[]> m_pcm8;
    bool m_positionKnown = false;
    uint64_t m_nextPosition = 0; // the device position the next packet should start at
};
