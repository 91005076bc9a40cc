// The capture against the simulated device: order of calls, buffer sizes, the flag, pauses,
// failures at every step, a device that falls silent, a writer that fails, and nothing lost or
// doubled across many random recordings.
#include "engine/simulated_wave_input.h"
#include "engine/wave_in.h"
#include "tests/alloc_counter.h"
#include "tests/monitor/fake_monitor_host.h"
#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

namespace fs = std::filesystem;
using Sim = SimulatedWaveInput;

namespace {

struct Recording {
    uint16_t tag = 0, channels = 0, bits = 0;
    uint32_t rate = 0, dataSize = 0, riffSize = 0;
    std::vector<uint8_t> data;
};

Recording ReadRecording(const fs::path& path) {
    const auto file = ReadFileBytes(path);
    Recording r;
    if (file.size() < 46)
        return r;
    r.riffSize = GetU32(file, 4);
    r.tag = GetU16(file, 20);
    r.channels = GetU16(file, 22);
    r.rate = GetU32(file, 24);
    r.bits = GetU16(file, 34);
    r.dataSize = GetU32(file, 42);
    r.data.assign(file.begin() + 46, file.end());
    return r;
}

// The frame numbers the simulated device wrote (see SimulatedWaveInput), modulo what the
// format can carry.
std::vector<uint64_t> FrameNumbers(const Recording& r) {
    std::vector<uint64_t> numbers;
    const size_t align = size_t(r.channels) * r.bits / 8;
    for (size_t at = 0; at + align <= std::min<size_t>(r.dataSize, r.data.size()); at += align) {
        uint64_t n = 0;
        for (size_t b = 0; b < align; ++b)
            n |= uint64_t(r.data[at + b]) << (8 * b);
        numbers.push_back(n);
    }
    return numbers;
}

// Every frame from 0 to delivered - 1, in order, each once.
::testing::AssertionResult HoldsEveryFrameOnce(const Recording& r, uint64_t delivered) {
    const auto numbers = FrameNumbers(r);
    if (numbers.size() != delivered)
        return ::testing::AssertionFailure()
               << numbers.size() << " frames in the file, " << delivered << " delivered";
    const uint64_t mask = (uint64_t(1) << (8 * r.channels * r.bits / 8)) - 1;
    for (size_t i = 0; i < numbers.size(); ++i)
        if (numbers[i] != (i & mask))
            return ::testing::AssertionFailure() << "frame " << i << " holds " << numbers[i]
                                                 << " (expected " << (i & mask) << ")";
    return ::testing::AssertionSuccess();
}

class WaveInTest : public testing::Test {
protected:
    void SetUp() override {
        host.SetSize(host.view, 100, 50);
        host.SetSize(host.meter0, 15, 50);
        host.SetSize(host.meter1, 15, 50);
        capture.reset(); // one capture at a time: it owns the process-wide writer and monitor
        endReasons.clear();
        auto device = std::make_unique<Sim>();
        sim = device.get();
        capture = std::make_unique<CWaveIn>(std::move(device), host);
        AttachMonitorViews(host.view, host.meter0, host.meter1);
        capture->SetEndHandler([this](CaptureEndReason reason) {
            std::lock_guard<std::mutex> lock(endLock);
            endReasons.push_back(reason);
            endSignal.notify_all();
        });
    }

    bool WaitForEnd(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(endLock);
        return endSignal.wait_for(lock, limit, [&] { return !endReasons.empty(); });
    }

    // Waits until the device has delivered at least this many frames.
    void WaitForFrames(uint64_t frames) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (sim->FramesDelivered() < frames && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_GE(sim->FramesDelivered(), frames);
    }

    TempDir dir;
    FakeMonitorHost host;
    Sim* sim = nullptr;
    std::unique_ptr<CWaveIn> capture;
    std::mutex endLock;
    std::condition_variable endSignal;
    std::vector<CaptureEndReason> endReasons;
};

TEST_F(WaveInTest, CallsInTheirOrderAndTheFlagAroundThem) {
    std::vector<std::pair<Sim::Operation, int>> calls; // operation, flag at the time
    sim->SetCallHook([&](Sim::Operation op) {
        if (op != Sim::ADD_BUFFER || calls.size() < 64)
            calls.emplace_back(op, g_bCaptureActive.load());
    });
    sim->SetBlockInterval(2000);
    ASSERT_EQ(capture->Open(dir / "order.wav", 2, 16000, SAMPLE_TYPE_PCM16), 1);
    EXPECT_EQ(g_bCaptureActive, 1);
    EXPECT_EQ(g_pMonitor->Channels(), 2);
    EXPECT_EQ(g_pMonitor->BitsPerSample(), 16);
    ASSERT_EQ(capture->Stop(), 1);
    ASSERT_EQ(capture->Start(), 1);
    ASSERT_EQ(capture->Close(), 1);
    EXPECT_EQ(g_bCaptureActive, 0);

    std::vector<std::pair<Sim::Operation, int>> expected = {{Sim::OPEN, 0}};
    for (int i = 0; i < 30; ++i) {
        expected.emplace_back(Sim::PREPARE, 0);
        expected.emplace_back(Sim::ADD_BUFFER, 0);
    }
    expected.emplace_back(Sim::START, 1); // the flag is set before the device starts...
    expected.emplace_back(Sim::STOP, 0);  // ...and cleared before it stops
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
// at 16 bits while the file says 8.
TEST_F(WaveInTest, BufferSizesAndDeviceFormats) {
    const int rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    for (int type = SAMPLE_TYPE_PCM8; type <= SAMPLE_TYPE_ALAW; ++type) {
        for (int channels : {1, 2}) {
            for (int rate : rates) {
                SCOPED_TRACE(testing::Message()
                             << "type " << type << ", " << channels << " ch, " << rate);
                ASSERT_EQ(capture->Open(dir / "size.wav", channels, rate, type), 1);
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
                const Recording r = ReadRecording(dir / "size.wav");
                EXPECT_EQ(r.bits, type == SAMPLE_TYPE_PCM16 ? 16 : 8);
            }
        }
    }
    ASSERT_EQ(capture->Open(dir / "a.wav", 1, 11025, SAMPLE_TYPE_PCM8), 1);
    EXPECT_EQ(sim->BufferLength(0), 441u);
    capture->Close();
    ASSERT_EQ(capture->Open(dir / "b.wav", 2, 48000, SAMPLE_TYPE_PCM16), 1);
    EXPECT_EQ(sim->BufferLength(0), 7680u);
    capture->Close();
}

TEST_F(WaveInTest, UnrecordableFormatsNeverReachTheDevice) {
    EXPECT_EQ(capture->Open(dir / "x.wav", 3, 8000, SAMPLE_TYPE_PCM16), 0);
    EXPECT_EQ(capture->Open(dir / "x.wav", 0, 8000, SAMPLE_TYPE_PCM16), 0);
    EXPECT_EQ(capture->Open(dir / "x.wav", 1, 8000, 4), 0);
    EXPECT_EQ(capture->Open(dir / "x.wav", 1, 0, SAMPLE_TYPE_PCM16), 0);
    EXPECT_EQ(sim->Calls(Sim::OPEN), 0);
    EXPECT_FALSE(fs::exists(dir / "x.wav"));
}

// A pause writes the block the device was filling and gives its buffer back; the file and the
// device stay, and nothing is allocated.
TEST_F(WaveInTest, PauseAndResumeKeepEverythingAndLoseNothing) {
    sim->SetBlockInterval(1000);
    ASSERT_EQ(capture->Open(dir / "p.wav", 2, 48000, SAMPLE_TYPE_PCM16), 1);
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
    const Recording r = ReadRecording(dir / "p.wav");
    EXPECT_TRUE(HoldsEveryFrameOnce(r, sim->FramesDelivered()));
    EXPECT_EQ(r.riffSize, 38 + r.dataSize);
}

// A device that fails at any step of the opening: Open returns 0, releases everything and
// leaves no file; the next recording works.
TEST_F(WaveInTest, DeviceFailingWhileOpening) {
    struct Step {
        Sim::Operation op;
        int nth;
    } steps[] = {{Sim::OPEN, 1},       {Sim::PREPARE, 1},     {Sim::PREPARE, 17},
                 {Sim::ADD_BUFFER, 1}, {Sim::ADD_BUFFER, 30}, {Sim::START, 1}};
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "operation " << step.op << ", call " << step.nth);
        SetUp(); // a fresh device and capture
        sim->FailFrom(step.op, sim->Calls(step.op) + step.nth);
        EXPECT_EQ(capture->Open(dir / "f.wav", 1, 8000, SAMPLE_TYPE_PCM16), 0);
        EXPECT_FALSE(fs::exists(dir / "f.wav")) << "the header-only file is removed";
        EXPECT_EQ(g_bCaptureActive, 0);
        EXPECT_EQ(sim->QueuedCount(), 0);
        EXPECT_EQ(sim->Calls(Sim::UNPREPARE),
                  sim->Calls(Sim::PREPARE) - (step.op == Sim::PREPARE ? 1 : 0));
        EXPECT_EQ(sim->Calls(Sim::CLOSE), step.op == Sim::OPEN ? 0 : 1);
        EXPECT_FALSE(capture->IsOpen());
        sim->FailFrom(step.op, 0);
        EXPECT_EQ(capture->Open(dir / "g.wav", 1, 8000, SAMPLE_TYPE_PCM16), 1);
        EXPECT_EQ(capture->Close(), 1);
    }
}

// Stop, reset or unprepare failing while closing: everything is still released and the file
// completed; Close says 0.
TEST_F(WaveInTest, DeviceFailingWhileClosing) {
    for (Sim::Operation op : {Sim::STOP, Sim::RESET, Sim::UNPREPARE}) {
        SCOPED_TRACE(testing::Message() << "operation " << op);
        SetUp();
        sim->SetBlockInterval(500);
        ASSERT_EQ(capture->Open(dir / "c.wav", 1, 16000, SAMPLE_TYPE_PCM16), 1);
        WaitForFrames(3000);
        sim->FailFrom(op, sim->Calls(op) + 1);
        EXPECT_EQ(capture->Close(), op == Sim::STOP ? 1 : 0);
        EXPECT_FALSE(capture->IsOpen());
        EXPECT_EQ(g_bCaptureActive, 0);
        const Recording r = ReadRecording(dir / "c.wav");
        EXPECT_EQ(r.riffSize, 38 + r.dataSize + (r.dataSize & 1)) << "completed";
        if (op != Sim::RESET) {
            EXPECT_TRUE(HoldsEveryFrameOnce(r, sim->FramesDelivered()));
        }
    }
}

TEST_F(WaveInTest, SilentDeviceEndsTheRecording) {
    capture->SetSilenceTimeout(200);
    sim->SetBlockInterval(2000);
    ASSERT_EQ(capture->Open(dir / "s.wav", 1, 8000, SAMPLE_TYPE_PCM16), 1);
    WaitForFrames(800);
    sim->SetSilent(true);
    const auto silentFrom = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitForEnd(std::chrono::seconds(5)));
    EXPECT_LT(std::chrono::steady_clock::now() - silentFrom, std::chrono::seconds(2));
    EXPECT_EQ(endReasons.front(), CAPTURE_END_DEVICE_SILENT);
    // Complete before anyone closes the capture.
    Recording r = ReadRecording(dir / "s.wav");
    EXPECT_EQ(r.riffSize, 38 + r.dataSize);
    EXPECT_TRUE(HoldsEveryFrameOnce(r, sim->FramesDelivered()));
    sim->SetSilent(false); // whatever comes later is not taken
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    capture->Close();
    EXPECT_EQ(ReadRecording(dir / "s.wav").dataSize, r.dataSize);
    EXPECT_EQ(endReasons.size(), 1u);
}

// A device that has not delivered its first block is not silent: some start late.
TEST_F(WaveInTest, LateFirstBlockIsNotSilence) {
    capture->SetSilenceTimeout(100);
    sim->SetSilent(true);
    ASSERT_EQ(capture->Open(dir / "late.wav", 1, 8000, SAMPLE_TYPE_PCM16), 1);
    EXPECT_FALSE(WaitForEnd(std::chrono::milliseconds(400)));
    sim->SetSilent(false);
    WaitForFrames(320);
    EXPECT_EQ(capture->Close(), 1);
    EXPECT_TRUE(endReasons.empty());
}

TEST_F(WaveInTest, FullFileEndsTheRecording) {
    g_pWaveFile->SetRiffSizeLimit(38 + 100000);
    ASSERT_EQ(capture->Open(dir / "full.wav", 2, 48000, SAMPLE_TYPE_PCM16), 1);
    ASSERT_TRUE(WaitForEnd(std::chrono::seconds(5)));
    EXPECT_EQ(endReasons.front(), CAPTURE_END_FILE_FULL);
    capture->Close();
    const Recording r = ReadRecording(dir / "full.wav");
    EXPECT_EQ(r.dataSize, 7680u * (100000 / 7680));
    EXPECT_EQ(r.riffSize, 38 + r.dataSize);
    const auto numbers = FrameNumbers(r);
    for (size_t i = 0; i < numbers.size(); ++i)
        ASSERT_EQ(numbers[i], i) << "in order, nothing doubled";
    g_pWaveFile->SetRiffSizeLimit(CWaveFile::kMaxRiffSize);
}

// Random recordings with random pauses and timing: every file holds exactly the frames the
// device delivered, in order, each once, and no recording takes long to open or close.
TEST_F(WaveInTest, NothingLostNothingDoubled) {
    const int cycles = 1000;
    std::mt19937 random(20261207);
    const struct {
        int channels, type;
    } formats[] = {{2, SAMPLE_TYPE_PCM16}, {1, SAMPLE_TYPE_PCM16}, {2, SAMPLE_TYPE_PCM8}};
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const auto format = formats[random() % 3];
        sim->SetBlockInterval(uint32_t(random() % 400));
        const fs::path path = dir / "r.wav";
        const auto started = std::chrono::steady_clock::now();
        ASSERT_EQ(capture->Open(path, format.channels, 8000, format.type), 1) << "cycle " << cycle;
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
        ASSERT_TRUE(HoldsEveryFrameOnce(ReadRecording(path), sim->FramesDelivered()))
            << "cycle " << cycle << ", " << format.channels << " ch, type " << format.type;
    }
}

} // namespace
