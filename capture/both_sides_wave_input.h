// BothSidesWaveInput: both sides of a call in one recording, as one wave input with winmm's
// contract: the microphone (an input) and what the computer plays (an output read back). The
// microphone's device is the recording's clock: its buffers are the recording's, in its order,
// with its pauses, losses and waits. What the output plays comes on the output's own clock; its
// own thread (the far side's) takes it, 10 ms at a time, into a DriftFollower, and each buffer
// the microphone hands back takes as many frames from there: in stereo the microphone is the left
// channel and the output the right (each opened in mono), in mono both at half (-6 dB).
//
// Each side goes on without the other. An output that goes away (unplugged, its device changed)
// leaves its channel silent while the microphone records on, and is opened again every second
// until it plays again; the follower starts fresh at each opening and at each start or resume. A
// microphone that goes away is the capture's to wait for, as an input alone is; but its openings
// again (Reopen) open the output alone when the microphone is not there, and the output records
// on its own clock, the microphone's channel silent, until the microphone can be opened again
// (then the capture opens both again: a short gap of both, on the recording's gap rules, at the
// moment the microphone went and the moment it came). SideWaiting says which side is away.
//
// Threads: the wave-input calls come from the capture's threads, one at a time; TakeDone only
// copies and mixes (the follower's short lock). The far side's thread runs from Open to Close;
// m_farLock guards the output's device and every call into it but its waits.
#pragma once

#include "capture/wave_input.h"
#include "engine/drift_follower.h"
#include "engine/sample_conversion.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class BothSidesWaveInput : public IWaveInput {
public:
    static constexpr int kFarBuffers = 20;
    static constexpr uint32_t kFarBufferMs = 10;
    // While the output is away, it is opened again this often.
    static constexpr uint32_t kFarReopenMs = 1000;

    // The two devices outlive this.
    BothSidesWaveInput(IWaveInput& input, IWaveInput& playback);
    ~BothSidesWaveInput() override;
    BothSidesWaveInput(const BothSidesWaveInput&) = delete;
    BothSidesWaveInput& operator=(const BothSidesWaveInput&) = delete;

    uint32_t Open(const WaveFormat& format, const CaptureSource& source) override;
    uint32_t Prepare(WaveHeader& header) override;
    uint32_t AddBuffer(WaveHeader& header) override;
    uint32_t Start() override;
    uint32_t Stop() override;
    uint32_t Reset() override;
    uint32_t Unprepare(WaveHeader& header) override;
    uint32_t Close() override;
    bool TakeDone(WaveHeader& header) override;
    void WaitForDone(uint32_t timeoutMs) override { Clock().WaitForDone(timeoutMs); }
    void Wake() override { Clock().Wake(); }
    // The microphone's, while it is there: its change is the recording's to follow.
    bool DefaultInput(std::wstring& input) override;
    uint32_t Reopen(const WaveFormat& format, const CaptureSource& source) override;
    WaitingSide SideWaiting() const override;
    uint32_t NearQuietMs() const override;

    // The follower's figures (tests, benchmarks).
    DriftFollower::Figures Follower() const;

private:
    // A buffer of one side's own, in mono 16-bit.
    struct SideBuffer {
        WaveHeader header;
        std::unique_ptr<uint8_t[]> data;
    };
    uint32_t OpenSides(const WaveFormat& format, const CaptureSource& source, bool again);
    // The device whose buffers are the recording's: the microphone's, or the output's while the
    // microphone is away.
    IWaveInput& Clock() const { return m_farClocked ? m_playback : m_input; }
    void FarThread();
    void CountNearQuiet(const uint8_t* pcm, size_t frames);
    // Under m_farLock: the output opened, its buffers queued, started if the recording runs.
    uint32_t OpenFar();
    // Under m_farLock: what came back taken into the follower (or let go), each buffer queued
    // again; false when the output refused one back (it is lost).
    bool TakeFar(bool keep);
    // Under m_farLock: the output given up; it is waited for.
    void CloseFar(bool lost);
    void EndFarThread();

    IWaveInput& m_input;
    IWaveInput& m_playback;

    WaveFormat m_format, m_nearFormat;
    CaptureSource m_source;
    std::vector<SideBuffer> m_near; // by the recording's buffer index
    // TakeDone's (one thread at a time): the output's frames and the mix, for the longest buffer.
    std::unique_ptr<float[]> m_farFrames, m_mix;
    size_t m_mostFrames = 0;
    Quantiser m_quantiser;
    // Frames of the microphone's quiet sound since the last that was not, since the opening
    // (TakeDone's; read anywhere).
    std::atomic<uint64_t> m_nearQuietFrames{0};
    std::unique_ptr<DriftFollower> m_follower;

    std::thread m_farThread;
    mutable std::mutex m_farLock;
    std::condition_variable m_farWake;
    bool m_open = false;    // Open to Close
    bool m_running = false; // started and not paused
    bool m_quit = false;
    bool m_farOpen = false;
    std::atomic<bool> m_farWaiting{false};
    // Opened again while the microphone was away: the output alone records, on its own clock,
    // into the recording's buffers, the microphone's channel silent; the far side's thread asks
    // every kFarReopenMs whether the microphone is there again (m_nearBack), and the next buffer
    // is then refused, so that the capture opens both sides again.
    std::atomic<bool> m_farClocked{false}, m_nearBack{false};
    SideBuffer m_far[kFarBuffers];
    int m_farNext = 0; // the output's buffer that comes back next
    std::unique_ptr<float[]> m_farIn;
};
