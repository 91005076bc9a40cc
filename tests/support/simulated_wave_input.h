// A wave-input device without hardware, with winmm's contract: a generator thread fills the
// queued buffers with numbered frames, at a pace the test chooses or as fast as it can. It can
// fail any operation on request, fall silent, hand buffers back empty, stall, and it counts calls
// that overlap (winmm promises nothing for calls from two threads at once).
//
// Frame n holds n in its samples: 16-bit stereo carries the low 16 bits of n in channel 0 and
// the high 16 bits in channel 1; mono carries the low 16 (8-bit: low 8) bits. A recording that
// lost or doubled nothing holds consecutive numbers.
//
// It keeps the world's clock too (NowMs, for a test's tick function): once started, time passes
// a block at a time as it fills one, and at the same pace while it is silent, hands buffers back
// empty or is closed; a stall lets time pass at once. The frame numbers follow that clock, so
// frame n is the sound of the clock's frame n.
#pragma once

#include "capture/wave_input.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class SimulatedWaveInput : public IWaveInput {
public:
    enum Operation {
        OPEN,
        PREPARE,
        ADD_BUFFER,
        START,
        STOP,
        RESET,
        UNPREPARE,
        CLOSE,
        OPERATION_COUNT
    };
    static constexpr uint32_t kError = 1; // MMSYSERR_ERROR

    SimulatedWaveInput() = default;
    ~SimulatedWaveInput() override;

    // Microseconds between two full buffers; 0: as fast as the capture takes them.
    void SetBlockInterval(uint32_t microseconds) { m_intervalUs = microseconds; }
    // The nth call (from 1) of the operation, and every later one (or count of them), fails with
    // this code.
    void FailFrom(Operation operation, int nth, uint32_t code = kError, int count = INT32_MAX);
    // The next call of the operation, and every later one (or count of them), fails: counted
    // under the device's lock, so a call that another thread makes meanwhile is the one that
    // fails, never one that slips past.
    void FailNext(Operation operation, uint32_t code = kError, int count = INT32_MAX);
    // No call of the operation fails any more.
    void StopFailing(Operation operation) { FailFrom(operation, 0); }
    // While silent, the device runs but fills nothing.
    void SetSilent(bool silent);
    // It falls silent once it has delivered this many frames since it was opened (a test's
    // exact stopping point); UINT64_MAX: never.
    void SetFrameLimit(uint64_t frames);
    // The sound system stalls: this many frames of the clock pass before the next buffer is
    // filled, never delivered.
    void Stall(uint64_t frames);
    // For this many frames of the clock from now the device delivers nothing (or only empty
    // buffers), then goes on by itself.
    void QuietFor(uint64_t frames, bool emptyBuffers);
    // Time passes while the device is stopped (the recording paused): the clock and the frame
    // numbers move on by this many frames.
    void PassTime(uint64_t frames);
    // The clock runs this many millionths fast (positive) or slow against the frames.
    void SetClockDrift(int ppm) { m_driftPpm = ppm; }
    // The clock and the frame numbers go on across a close and an open (an input that comes
    // back), rather than starting anew with each recording.
    void ContinueAcrossOpens(bool on) { m_continue = on; }
    // What DefaultInput answers for a source that follows Windows' default.
    void SetDefaultInput(const std::wstring& name);
    // The chosen device of this ID is taken away (absent) or brought back: an Open of it answers
    // kSourceAbsent meanwhile, and DefaultInput cannot tell it.
    void SetAbsent(const std::wstring& device, bool absent);
    // The source of the last Open.
    CaptureSource LastSource() const;
    // The world's clock in milliseconds (see above), as a capture that takes each buffer as soon
    // as it comes back sees it: while buffers wait to be taken, the clock when the one taken
    // last came back.
    uint32_t NowMs() const;
    // While muted, the device delivers at its pace, every sample silence (a muted microphone);
    // the frame numbers go on underneath.
    void SetMuted(bool muted) { m_muted = muted; }
    // While set, a running device hands every buffer back at once with nothing recorded.
    void SetReturnEmpty(bool empty);
    // Each operation lasts at least this long, so that calls from two threads would overlap.
    void SetCallDuration(uint32_t microseconds) { m_callUs = microseconds; }
    // What a device that was never closed may still do: write into every buffer it was given.
    void WriteIntoBuffers();

    // Called with every operation, before the device acts on it (tests check the program's
    // state at that moment). Set before the device is used.
    void SetCallHook(std::function<void(Operation)> hook) { m_hook = std::move(hook); }
    // Called as the device is deleted, on the thread that deletes it.
    void SetDeleteHook(std::function<void()> hook) { m_deleted = std::move(hook); }

    // Microseconds from each buffer's return by the device to its return to the device, since
    // the last call (benchmarks).
    std::vector<double> TakeTurnarounds();

    // What the device did since it was opened, for the test to compare with the file.
    uint64_t FramesDelivered() const { return m_framesDelivered; }
    uint32_t BufferLength(int index) const;
    int QueuedCount() const;
    int Calls(Operation operation) const { return m_calls[operation]; }
    // Operations that began while another one was still running.
    int Overlaps() const { return m_overlaps; }
    WaveFormat Format() const;
    bool IsStarted() const;

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
    bool DefaultInput(std::wstring& name) override;

private:
    struct Buffer {
        bool prepared = false;
        bool queued = false;
        bool done = false;
        uint32_t bytesRecorded = 0;
        WaveHeader* header = nullptr;
        std::chrono::steady_clock::time_point handedBack;
        uint64_t doneAt = 0; // the clock's frame when it was handed back
    };
    // Marks an operation as running, for the overlap count; first thing in every operation.
    class Call {
    public:
        explicit Call(SimulatedWaveInput& device, Operation operation = OPERATION_COUNT);
        ~Call();

    private:
        SimulatedWaveInput& m_device;
    };
    // Counts the call; under m_lock. The failure's code when it is to fail, else 0.
    uint32_t Fails(Operation operation);
    void Generate();
    // Fills frames into the queue's head buffer; under m_lock.
    uint32_t Fill(Buffer& buffer, uint32_t bytes);
    // Takes the queue's head off the queue and marks it done; under m_lock.
    void HandBack(Buffer& buffer);
    // Under m_lock: whether the head buffer is to be filled now, or time passes without sound.
    bool Delivering() const;
    bool Idling() const;
    uint32_t BlockFrames() const;

    mutable std::mutex m_lock;
    std::condition_variable m_generatorWake;
    std::condition_variable m_doneSignal;
    std::thread m_generator;
    WaveFormat m_format;
    std::vector<Buffer> m_buffers;
    std::deque<int> m_queue; // indexes of queued buffers, head first
    bool m_open = false;
    bool m_started = false;
    bool m_silent = false;
    bool m_returnEmpty = false;
    bool m_quit = false;
    uint64_t m_signals = 0;   // completions and wakes, for WaitForDone
    uint64_t m_nextFrame = 0; // also the clock, in frames
    uint64_t m_frameLimit = UINT64_MAX;
    uint64_t m_quietUntil = 0; // the clock's frame up to which it is quiet
    uint64_t m_stall = 0;      // frames of a stall that comes before the next buffer
    uint64_t m_takenAt = 0;    // the clock when the buffer taken last came back
    bool m_quietEmpty = false;
    bool m_clockStarted = false;
    bool m_continue = false;
    std::atomic<int> m_driftPpm{0};
    std::atomic<bool> m_muted{false};
    std::wstring m_defaultInput = L"Simulated input";
    std::vector<std::wstring> m_absent;
    CaptureSource m_source;
    std::atomic<uint64_t> m_framesDelivered{0};
    std::atomic<uint32_t> m_intervalUs{0};
    int m_failFrom[OPERATION_COUNT] = {};
    uint32_t m_failCode[OPERATION_COUNT] = {};
    int m_failCount[OPERATION_COUNT] = {};
    std::function<void(Operation)> m_hook;
    std::function<void()> m_deleted;
    std::atomic<int> m_calls[OPERATION_COUNT] = {};
    std::atomic<int> m_running{0};
    std::atomic<int> m_overlaps{0};
    std::atomic<uint32_t> m_callUs{0};
    std::vector<double> m_turnarounds;
};
