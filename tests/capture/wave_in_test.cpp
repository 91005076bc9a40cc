// The capture against the simulated device: order of calls, buffer sizes, the flag, pauses,
// failures at every step, a device that falls silent or refuses a buffer back, and nothing lost
// or doubled across many random recordings.
#include "capture/wave_in.h"
#include "engine/clock.h"
#include "tests/monitor/fake_monitor_host.h"
#include "tests/support/alloc_counter.h"
#include "tests/support/simulated_wave_input.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>

#include <thread>

using Sim = SimulatedWaveInput;

namespace {

// The recording's queue as the capture sees it: every block's bytes, kept in memory.
class MemorySink : public IBlockSink {
public:
    void TakeBlock(const uint8_t* data, uint32_t bytes, uint32_t) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bytes.insert(m_bytes.end(), data, data + bytes);
    }
    void Settle() override {}
    std::vector<uint8_t> Bytes() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_bytes;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bytes.clear();
    }

private:
    mutable std::mutex m_lock;
    std::vector<uint8_t> m_bytes;
};

// The frame numbers the simulated device wrote (see SimulatedWaveInput) into blocks of this
// device format, modulo what the format can carry.
std::vector<uint64_t> FrameNumbers(const std::vector<uint8_t>& bytes, size_t align) {
    std::vector<uint64_t> numbers;
    for (size_t at = 0; at + align <= bytes.size(); at += align) {
        uint64_t n = 0;
        for (size_t b = 0; b < align; ++b)
            n |= uint64_t(bytes[at + b]) << (8 * b);
        numbers.push_back(n);
    }
    return numbers;
}

// Every frame from 0 to delivered - 1, in order, each once.
::testing::AssertionResult HoldsEveryFrameOnce(const std::vector<uint8_t>& bytes, size_t align,
                                               uint64_t delivered) {
    const auto numbers = FrameNumbers(bytes, align);
    if (numbers.size() != delivered)
        return ::testing::AssertionFailure()
               << numbers.size() << " frames taken, " << delivered << " delivered";
    const uint64_t mask = (uint64_t(1) << (8 * align)) - 1;
    for (size_t i = 0; i < numbers.size(); ++i)
        if (numbers[i] != (i & mask))
            return ::testing::AssertionFailure() << "frame " << i << " holds " << numbers[i]
                                                 << " (expected " << (i & mask) << ")";
    return ::testing::AssertionSuccess();
}

class WaveInTest : public testing::Test {
protected:
    static std::atomic<uint32_t> s_ticks; // the capture's clock, stepped by the tests

    void SetUp() override {
        SetTickFunction([] { return s_ticks.load(); });
        host.SetSize(host.view, 100, 50);
        host.SetSize(host.meter0, 15, 50);
        host.SetSize(host.meter1, 15, 50);
        capture.reset(); // one capture at a time: it owns the process-wide writer and monitor
        endSteps.clear();
        endCodes.clear();
        sink.Clear();
        auto device = std::make_unique<Sim>();
        sim = device.get();
        capture = std::make_unique<CWaveIn>(std::move(device), monitor);
        monitor.AttachWindows(host.view, host.meter0, host.meter1);
        capture->SetEndHandler([this](const RecordingFailure& end, uint32_t) {
            std::lock_guard<std::mutex> lock(endLock);
            endSteps.push_back(end.step);
            endCodes.push_back(end.code);
            endSignal.notify_all();
        });
    }

    void TearDown() override {
        capture.reset();
        SetTickFunction(nullptr);
    }

    bool WaitForEnd(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(endLock);
        return endSignal.wait_for(lock, limit, [&] { return !endSteps.empty(); });
    }

    // Waits until the device has delivered at least this many frames.
    void WaitForFrames(uint64_t frames) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (sim->FramesDelivered() < frames && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_GE(sim->FramesDelivered(), frames);
    }

    FakeMonitorHost host;
    CMonitor monitor{host};
    MemorySink sink;
    Sim* sim = nullptr;
    std::unique_ptr<CWaveIn> capture;
    std::mutex endLock;
    std::condition_variable endSignal;
    std::vector<RecordingStep> endSteps;
    std::vector<uint32_t> endCodes;
};

std::atomic<uint32_t> WaveInTest::s_ticks{1000};

// The state changes with the device's own calls, under the lock those calls are made under: the
// device starts while the capture is paused and is running once it returns, and stops while it
// runs.
TEST_F(WaveInTest, CallsInTheirOrderAndTheStateAroundThem) {
    std::vector<std::pair<Sim::Operation, int>> calls; // operation, state at the time
    sim->SetCallHook([&](Sim::Operation op) {
        if (op != Sim::ADD_BUFFER || calls.size() < 64)
            calls.emplace_back(op, capture->State());
    });
    sim->SetBlockInterval(2000);
    ASSERT_EQ(capture->Open(sink, 2, 16000, SAMPLE_TYPE_PCM16), 1);
    EXPECT_EQ(capture->State(), CAPTURE_RUNNING);
    EXPECT_EQ(monitor.Channels(), 2);
    EXPECT_EQ(monitor.BitsPerSample(), 16);
    ASSERT_EQ(capture->Stop(), 1);
    ASSERT_EQ(capture->Start(), 1);
    ASSERT_EQ(capture->Close(), 1);
    EXPECT_EQ(capture->State(), CAPTURE_CLOSED);

    std::vector<std::pair<Sim::Operation, int>> expected = {{Sim::OPEN, CAPTURE_CLOSED}};
    for (int i = 0; i < 30; ++i) {
        expected.emplace_back(Sim::PREPARE, CAPTURE_CLOSED);
        expected.emplace_back(Sim::ADD_BUFFER, CAPTURE_CLOSED);
    }
    expected.emplace_back(Sim::START, CAPTURE_PAUSED);
    expected.emplace_back(Sim::STOP, CAPTURE_RUNNING);
    // (the partial buffer of the pause goes back to the device)
    std::vector<std::pair<Sim::Operation, int>> seen;
    for (const auto& call : calls)
        if (call.first != Sim::ADD_BUFFER || seen.size() < 61)
            seen.push_back(call);
    ASSERT_GE(seen.size(), expected.size());
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), seen.begin()));
    EXPECT_EQ(sim->Calls(Sim::UNPREPARE), 30);
    EXPECT_EQ(sim->Calls(Sim::RESET), 1);
    EXPECT_EQ(sim->Calls(Sim::CLOSE), 1);
    EXPECT_EQ(sim->QueuedCount(), 0);
}

// Thirty buffers of nAvgBytesPerSec × 40 / 1000 bytes for every format; µ-law and A-law capture
// at 16 bits.
TEST_F(WaveInTest, BufferSizesAndDeviceFormats) {
    for (int type = SAMPLE_TYPE_PCM8; type <= SAMPLE_TYPE_ALAW; ++type) {
        for (int channels : {1, 2}) {
            for (const SamplingRate& offered : kSamplingRates) {
                const int rate = offered.hz;
                SCOPED_TRACE(testing::Message()
                             << "type " << type << ", " << channels << " ch, " << rate);
                ASSERT_EQ(capture->Open(sink, channels, rate, type), 1);
                const WaveFormat device = sim->Format();
                const uint32_t bits = type == SAMPLE_TYPE_PCM8 ? 8 : 16;
                EXPECT_EQ(device.wFormatTag, 1);
                EXPECT_EQ(device.wBitsPerSample, bits);
                EXPECT_EQ(device.nBlockAlign, bits / 8 * channels);
                const uint32_t expected = uint32_t(rate) * (bits / 8) * channels / 25;
                for (int i = 0; i < 30; ++i)
                    ASSERT_EQ(sim->BufferLength(i), expected) << "buffer " << i;
                EXPECT_EQ(sim->BufferLength(30), 0u) << "only thirty";
                ASSERT_EQ(capture->Close(), 1);
            }
        }
    }
    ASSERT_EQ(capture->Open(sink, 1, 11025, SAMPLE_TYPE_PCM8), 1);
    EXPECT_EQ(sim->BufferLength(0), 441u);
    capture->Close();
    ASSERT_EQ(capture->Open(sink, 2, 48000, SAMPLE_TYPE_PCM16), 1);
    EXPECT_EQ(sim->BufferLength(0), 7680u);
    capture->Close();
}

TEST_F(WaveInTest, UnrecordableFormatsNeverReachTheDevice) {
    EXPECT_EQ(capture->Open(sink, 3, 8000, SAMPLE_TYPE_PCM16), 0);
    EXPECT_EQ(capture->Open(sink, 0, 8000, SAMPLE_TYPE_PCM16), 0);
    EXPECT_EQ(capture->Open(sink, 1, 8000, 4), 0);
    EXPECT_EQ(capture->Open(sink, 1, 0, SAMPLE_TYPE_PCM16), 0);
    EXPECT_EQ(capture->LastFailure().step, STEP_FORMAT);
    EXPECT_EQ(sim->Calls(Sim::OPEN), 0);
}

// A pause hands on the block the device was filling and gives its buffer back; the device
// stays, and nothing is allocated.
TEST_F(WaveInTest, PauseAndResumeKeepEverythingAndLoseNothing) {
    sim->SetBlockInterval(1000);
    ASSERT_EQ(capture->Open(sink, 2, 48000, SAMPLE_TYPE_PCM16), 1);
    for (int round = 0; round < 40; ++round) { // more pauses than buffers
        WaitForFrames(sim->FramesDelivered() + 1920);
        StartCountingAllocations();
        ASSERT_EQ(capture->Stop(), 1);
        const int queued = sim->QueuedCount();
        ASSERT_EQ(capture->Start(), 1);
        EXPECT_EQ(StopCountingAllocations(), 0) << "round " << round;
        EXPECT_EQ(queued, 30) << "every buffer is back with the device after the pause";
    }
    ASSERT_EQ(capture->Close(), 1);
    EXPECT_EQ(sim->Calls(Sim::OPEN), 1);
    EXPECT_EQ(sim->Calls(Sim::PREPARE), 30);
    EXPECT_TRUE(HoldsEveryFrameOnce(sink.Bytes(), 4, sim->FramesDelivered()));
}

// A device that fails at any step of the opening: Open returns 0 with the device's code and
// releases everything; the next recording works. One that will not stop for a pause records on.
TEST_F(WaveInTest, DeviceFailingWhileOpeningOrPausing) {
    const uint32_t kAllocated = 4, kNoDriver = 6;
    struct Step {
        Sim::Operation op;
        int nth;
        uint32_t code;
    } steps[] = {{Sim::OPEN, 1, kAllocated},         {Sim::OPEN, 1, kNoDriver},
                 {Sim::PREPARE, 17, Sim::kError},    {Sim::ADD_BUFFER, 1, Sim::kError},
                 {Sim::ADD_BUFFER, 30, Sim::kError}, {Sim::START, 1, kNoDriver}};
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "operation " << step.op << ", call " << step.nth);
        SetUp(); // a fresh device and capture
        sim->FailFrom(step.op, sim->Calls(step.op) + step.nth, step.code);
        EXPECT_EQ(capture->Open(sink, 1, 8000, SAMPLE_TYPE_PCM16), 0);
        EXPECT_EQ(capture->LastFailure().step, STEP_DEVICE);
        EXPECT_EQ(capture->LastFailure().code, step.code);
        EXPECT_EQ(capture->State(), CAPTURE_CLOSED);
        EXPECT_EQ(sim->QueuedCount(), 0);
        EXPECT_EQ(sim->Calls(Sim::UNPREPARE),
                  sim->Calls(Sim::PREPARE) - (step.op == Sim::PREPARE ? 1 : 0));
        EXPECT_EQ(sim->Calls(Sim::CLOSE), step.op == Sim::OPEN ? 0 : 1);
        EXPECT_FALSE(capture->IsOpen());
        sim->StopFailing(step.op);
        EXPECT_EQ(capture->Open(sink, 1, 8000, SAMPLE_TYPE_PCM16), 1);
        EXPECT_EQ(capture->Close(), 1);
    }
    sim->SetBlockInterval(500);
    sink.Clear();
    ASSERT_EQ(capture->Open(sink, 1, 8000, SAMPLE_TYPE_PCM16), 1);
    sim->FailNext(Sim::STOP, kNoDriver);
    EXPECT_EQ(capture->Stop(), 0);
    EXPECT_EQ(capture->LastFailure().code, kNoDriver);
    EXPECT_EQ(capture->State(), CAPTURE_RUNNING) << "it records on";
    sim->StopFailing(Sim::STOP);
    const uint64_t before = sim->FramesDelivered();
    WaitForFrames(before + 3 * 320);
    EXPECT_EQ(capture->Close(), 1);
    EXPECT_TRUE(HoldsEveryFrameOnce(sink.Bytes(), 2, sim->FramesDelivered()));
}

// Stop, reset or unprepare failing while closing: everything is still released; Close says 0.
TEST_F(WaveInTest, DeviceFailingWhileClosing) {
    for (Sim::Operation op : {Sim::STOP, Sim::RESET, Sim::UNPREPARE}) {
        SCOPED_TRACE(testing::Message() << "operation " << op);
        SetUp();
        sim->SetBlockInterval(500);
        ASSERT_EQ(capture->Open(sink, 1, 16000, SAMPLE_TYPE_PCM16), 1);
        WaitForFrames(3000);
        sim->FailFrom(op, sim->Calls(op) + 1);
        EXPECT_EQ(capture->Close(), op == Sim::STOP ? 1 : 0);
        EXPECT_FALSE(capture->IsOpen());
        EXPECT_EQ(capture->State(), CAPTURE_CLOSED);
        if (op != Sim::RESET) {
            EXPECT_TRUE(HoldsEveryFrameOnce(sink.Bytes(), 2, sim->FramesDelivered()));
        }
    }
}

// The silence rule on the capture's clock, which the test steps: before the input has given any
// sound, a device that hands back only empty buffers for more than 2 s, or nothing at all within
// 5 s of its start, ends the recording; one that falls silent after its sound, or refuses a
// buffer back, is closed and the input opened again, the capture waiting meanwhile. A buffer
// refused before any sound ends it at once, with the device's code.
TEST_F(WaveInTest, SilenceAndFailuresOnTheClock) {
    const uint32_t kNoDriver = 6; // MMSYSERR_NODRIVER: a device disabled while recording
    const struct {
        const char* what;
        bool soundFirst, empty, refuse;
        uint32_t limit; // 0: at once
        bool ends;
    } cases[] = {
        {"falls silent after its sound", true, false, false, kSilenceTimeoutMs, false},
        {"refuses a buffer back after its sound", true, false, true, 0, false},
        {"hands back empty buffers at once", false, true, false, kSilenceTimeoutMs, true},
        {"never hands back a buffer", false, false, false, kFirstBlockTimeoutMs, true},
        {"refuses an empty buffer back", false, true, true, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        std::atomic<int> waits{0};
        capture->SetInputHandler([&](bool waiting) { waits += waiting ? 1 : 0; });
        sim->SetBlockInterval(2000);
        sim->SetSilent(!c.soundFirst && !c.empty);
        sim->SetReturnEmpty(c.empty);
        ASSERT_EQ(capture->Open(sink, 1, 8000, SAMPLE_TYPE_PCM16), 1);
        if (c.soundFirst) {
            WaitForFrames(800);
            sim->SetSilent(!c.refuse);
        }
        if (c.refuse)
            sim->FailNext(Sim::ADD_BUFFER, kNoDriver, 1);
        if (c.limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50)); // in flight is taken
            s_ticks += c.limit;
            EXPECT_FALSE(WaitForEnd(std::chrono::milliseconds(300))) << "not too long yet";
            EXPECT_EQ(waits, 0);
            s_ticks += 1;
        }
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!WaitForEnd(std::chrono::milliseconds(10)) && waits == 0 &&
               std::chrono::steady_clock::now() < limit) {
        }
        EXPECT_EQ(!endSteps.empty(), c.ends);
        EXPECT_EQ(waits, c.ends ? 0 : 1);
        if (c.ends) {
            EXPECT_EQ(endSteps.front(), c.refuse ? STEP_DEVICE : STEP_DEVICE_SILENT);
            EXPECT_EQ(endCodes.front(), c.refuse ? kNoDriver : 0u) << "the code travels";
        } else {
            EXPECT_GE(sim->Calls(Sim::CLOSE), 1) << "the device given up";
        }
        // The device speaks again: an ended recording takes nothing more.
        const uint64_t before = sim->FramesDelivered();
        sim->SetReturnEmpty(false);
        sim->SetSilent(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(capture->Close(), 1);
        if (c.ends) {
            EXPECT_TRUE(HoldsEveryFrameOnce(sink.Bytes(), 2, before));
        }
        EXPECT_EQ(endSteps.size(), c.ends ? 1u : 0u);
    }
}

// winmm promises nothing for calls from two threads at once: the window thread's pauses and the
// capture thread's giving back never meet inside the device.
TEST_F(WaveInTest, DeviceCallsNeverOverlap) {
    sim->SetCallDuration(200);
    sim->SetBlockInterval(300);
    ASSERT_EQ(capture->Open(sink, 1, 8000, SAMPLE_TYPE_PCM16), 1);
    for (int round = 0; round < 30; ++round) {
        WaitForFrames(sim->FramesDelivered() + 320);
        ASSERT_EQ(capture->Stop(), 1);
        ASSERT_EQ(capture->Start(), 1);
    }
    ASSERT_EQ(capture->Close(), 1);
    EXPECT_GT(sim->Calls(Sim::ADD_BUFFER), 60)
        << "buffers went back while the window thread called";
    EXPECT_EQ(sim->Overlaps(), 0);
    EXPECT_TRUE(HoldsEveryFrameOnce(sink.Bytes(), 2, sim->FramesDelivered()));
}

// A device that will not close, even after a second reset, may still write into its buffers:
// they stay allocated (under AddressSanitizer, writing into freed ones would be caught).
TEST_F(WaveInTest, DeviceThatWillNotCloseKeepsItsBuffers) {
    ASSERT_EQ(capture->Open(sink, 1, 8000, SAMPLE_TYPE_PCM16), 1);
    WaitForFrames(1000);
    sim->FailNext(Sim::CLOSE);
    EXPECT_EQ(capture->Close(), 0);
    EXPECT_EQ(sim->Calls(Sim::CLOSE), 2) << "tried again after a second reset";
    EXPECT_EQ(sim->Calls(Sim::RESET), 2);
    sim->WriteIntoBuffers();
    EXPECT_TRUE(HoldsEveryFrameOnce(sink.Bytes(), 2, sim->FramesDelivered()));
}

// A driver that never returns (a USB input pulled out) holds the window thread no longer than
// kDeviceAnswerMs: the call fails as hung, and the close cuts the capture off. The sink keeps
// what came before, in order, and gets nothing more once the driver returns; the next recording
// opens a new device; the hung one is let go once its calls have returned.
TEST_F(WaveInTest, DeviceThatHangsIsLeftBehind) {
    enum Trigger { AT_OPEN, AT_PAUSE, AT_CLOSE, ON_CAPTURE_THREAD };
    const struct {
        const char* what;
        Sim::Operation hangs;
        Trigger trigger;
    } cases[] = {
        {"the opening hangs", Sim::OPEN, AT_OPEN},
        {"the pause hangs; no resume is asked of it", Sim::STOP, AT_PAUSE},
        {"the close's reset hangs", Sim::RESET, AT_CLOSE},
        {"the capture thread hangs giving the input up after a wake", Sim::RESET,
         ON_CAPTURE_THREAD},
    };
    // The hung device's side: it may outlive the case (a capture left behind keeps it), so it
    // holds what it shares with the test itself.
    struct Hang {
        std::mutex lock;
        std::condition_variable changed;
        bool armed = false, hanging = false, released = false, deleted = false;
        bool WaitFor(bool Hang::*what) {
            std::unique_lock<std::mutex> held(lock);
            return changed.wait_for(held, std::chrono::seconds(30), [&] { return this->*what; });
        }
        void Set(bool Hang::*what) {
            std::lock_guard<std::mutex> held(lock);
            this->*what = true;
            changed.notify_all();
        }
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        capture.reset();
        sink.Clear();
        const auto hang = std::make_shared<Hang>();
        hang->armed = c.trigger == AT_OPEN;
        std::vector<Sim*> devices;
        auto devicesMade = [&]() -> std::unique_ptr<IWaveInput> {
            auto device = std::make_unique<Sim>();
            device->SetBlockInterval(500);
            if (devices.empty()) {
                device->SetCallHook([hang, op = c.hangs](Sim::Operation called) {
                    std::unique_lock<std::mutex> held(hang->lock);
                    if (called != op || !hang->armed)
                        return;
                    hang->hanging = true;
                    hang->changed.notify_all();
                    hang->changed.wait(held, [&] { return hang->released; }); // the driver hangs
                });
                device->SetDeleteHook([hang] { hang->Set(&Hang::deleted); });
            }
            devices.push_back(device.get());
            return device;
        };
        CWaveIn hung(devicesMade, monitor);
        // However the case ends, the driver returns at last: no thread stays stuck in it.
        const std::unique_ptr<Hang, void (*)(Hang*)> release(
            hang.get(), [](Hang* h) { h->Set(&Hang::released); });
        monitor.AttachWindows(host.view, host.meter0, host.meter1);
        if (c.trigger != AT_OPEN) {
            ASSERT_EQ(hung.Open(sink, 1, 8000, SAMPLE_TYPE_PCM16), 1);
            sim = devices[0];
            WaitForFrames(2000);
            hang->Set(&Hang::armed);
        }
        switch (c.trigger) {
        case AT_OPEN:
            EXPECT_EQ(hung.Open(sink, 1, 8000, SAMPLE_TYPE_PCM16), 0);
            break;
        case AT_PAUSE: {
            EXPECT_EQ(hung.Stop(), 0);
            EXPECT_EQ(hung.LastFailure().step, STEP_DEVICE_HUNG);
            const int starts = devices[0]->Calls(Sim::START);
            EXPECT_EQ(hung.Start(), 0);
            EXPECT_EQ(devices[0]->Calls(Sim::START), starts);
            EXPECT_EQ(hung.Close(), 0);
            break;
        }
        case AT_CLOSE:
            EXPECT_EQ(hung.Close(), 0);
            break;
        case ON_CAPTURE_THREAD:
            hung.ReopenInput();
            ASSERT_TRUE(hang->WaitFor(&Hang::hanging)) << "the capture thread calls the device";
            EXPECT_EQ(hung.Close(), 0);
            break;
        }
        EXPECT_EQ(hung.LastFailure().step, STEP_DEVICE_HUNG);
        EXPECT_EQ(hung.State(), CAPTURE_CLOSED);
        const std::vector<uint8_t> kept = sink.Bytes();
        EXPECT_TRUE(HoldsEveryFrameOnce(kept, 2, kept.size() / 2));

        MemorySink next;
        ASSERT_EQ(hung.Open(next, 1, 8000, SAMPLE_TYPE_PCM16), 1);
        ASSERT_EQ(devices.size(), 2u) << "a new device";
        sim = devices[1];
        WaitForFrames(1000);
        EXPECT_EQ(hung.Close(), 1);
        EXPECT_TRUE(HoldsEveryFrameOnce(next.Bytes(), 2, devices[1]->FramesDelivered()));

        hang->Set(&Hang::released);
        ASSERT_TRUE(hang->WaitFor(&Hang::deleted)) << "the hung device is let go once it returns";
        EXPECT_EQ(sink.Bytes(), kept) << "nothing reached the sink after the close";
    }
}

// A capture deleted while it records (the window gone without a stop) ends its thread first.
TEST_F(WaveInTest, DeletedWhileRecordingEndsTheCapture) {
    sim->SetBlockInterval(500);
    ASSERT_EQ(capture->Open(sink, 2, 16000, SAMPLE_TYPE_PCM16), 1);
    WaitForFrames(2000);
    capture.reset(); // the device goes with it
    const std::vector<uint8_t> taken = sink.Bytes();
    EXPECT_GE(taken.size() / 4, 2000u);
    EXPECT_TRUE(HoldsEveryFrameOnce(taken, 4, taken.size() / 4));
}

// Random recordings with random pauses and timing: the sink holds exactly the frames the device
// delivered, in order, each once, and no recording takes long to open or close.
TEST_F(WaveInTest, NothingLostNothingDoubled) {
    const int cycles = 1000;
    std::mt19937 random(20261207);
    const struct {
        int channels, type;
        size_t align;
    } formats[] = {{2, SAMPLE_TYPE_PCM16, 4}, {1, SAMPLE_TYPE_PCM16, 2}, {2, SAMPLE_TYPE_PCM8, 2}};
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const auto format = formats[random() % 3];
        sim->SetBlockInterval(uint32_t(random() % 400));
        sink.Clear();
        const auto started = std::chrono::steady_clock::now();
        ASSERT_EQ(capture->Open(sink, format.channels, 8000, format.type), 1) << "cycle " << cycle;
        const int actions = int(random() % 6);
        bool paused = false;
        for (int a = 0; a < actions; ++a) {
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 1500));
            if (paused)
                ASSERT_EQ(capture->Start(), 1);
            else
                ASSERT_EQ(capture->Stop(), 1);
            paused = !paused;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 1500));
        ASSERT_EQ(capture->Close(), 1);
        ASSERT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5))
            << "cycle " << cycle;
        ASSERT_TRUE(HoldsEveryFrameOnce(sink.Bytes(), format.align, sim->FramesDelivered()))
            << "cycle " << cycle << ", " << format.channels << " ch, type " << format.type;
    }
}

} // namespace
