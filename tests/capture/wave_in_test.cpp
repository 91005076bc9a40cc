// The capture against the simulated device: order of calls, buffer sizes, the flag, pauses,
// failures at every step, a device that falls silent, a writer that fails, and nothing lost or
// doubled across many random recordings.
#include "capture/wave_in.h"
#include "engine/clock.h"
#include "tests/monitor/fake_monitor_host.h"
#include "tests/support/alloc_counter.h"
#include "tests/support/simulated_wave_input.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif
#include <thread>

namespace fs = std::filesystem;
using Sim = SimulatedWaveInput;

namespace {

// The frame numbers the simulated device wrote (see SimulatedWaveInput), modulo what the
// format can carry.
std::vector<uint64_t> FrameNumbers(const WavFile& r) {
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
::testing::AssertionResult HoldsEveryFrameOnce(const WavFile& r, uint64_t delivered) {
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
    static std::atomic<uint32_t> s_ticks; // the capture's clock, stepped by the tests

    void SetUp() override {
        SetTickFunction([] { return s_ticks.load(); });
        host.SetSize(host.view, 100, 50);
        host.SetSize(host.meter0, 15, 50);
        host.SetSize(host.meter1, 15, 50);
        capture.reset(); // one capture at a time: it owns the process-wide writer and monitor
        endReasons.clear();
        endCodes.clear();
        auto device = std::make_unique<Sim>();
        sim = device.get();
        capture = std::make_unique<CWaveIn>(std::move(device), host);
        AttachMonitorViews(host.view, host.meter0, host.meter1);
        capture->SetEndHandler([this](CaptureEnd end) {
            std::lock_guard<std::mutex> lock(endLock);
            endReasons.push_back(end.reason);
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
    std::vector<uint32_t> endCodes;
};

std::atomic<uint32_t> WaveInTest::s_ticks{1000};

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
    for (int type = SAMPLE_TYPE_PCM8; type <= SAMPLE_TYPE_ALAW; ++type) {
        for (int channels : {1, 2}) {
            for (const SamplingRate& offered : kSamplingRates) {
                const int rate = offered.hz;
                SCOPED_TRACE(testing::Message()
                             << "type " << type << ", " << channels << " ch, " << rate);
                ASSERT_EQ(
                    capture->Open(dir / "size.wav", channels, rate, type, RawFile::CREATE_REPLACE),
                    1);
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
                const WavFile r = ReadWav(dir / "size.wav");
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
    const WavFile r = ReadWav(dir / "p.wav");
    EXPECT_TRUE(HoldsEveryFrameOnce(r, sim->FramesDelivered()));
    EXPECT_TRUE(r.IsComplete());
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
        EXPECT_EQ(capture->Open(dir / "g.wav", 1, 8000, SAMPLE_TYPE_PCM16, RawFile::CREATE_REPLACE),
                  1);
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
        ASSERT_EQ(
            capture->Open(dir / "c.wav", 1, 16000, SAMPLE_TYPE_PCM16, RawFile::CREATE_REPLACE), 1);
        WaitForFrames(3000);
        sim->FailFrom(op, sim->Calls(op) + 1);
        EXPECT_EQ(capture->Close(), op == Sim::STOP ? 1 : 0);
        EXPECT_FALSE(capture->IsOpen());
        EXPECT_EQ(g_bCaptureActive, 0);
        const WavFile r = ReadWav(dir / "c.wav");
        EXPECT_TRUE(r.IsComplete()) << "completed";
        if (op != Sim::RESET) {
            EXPECT_TRUE(HoldsEveryFrameOnce(r, sim->FramesDelivered()));
        }
    }
}

// The silence rule on the capture's clock, which the test steps: a running device that delivers
// nothing for more than 2 s, or hands back only empty buffers, ends the recording, its file
// complete; so does one that hands back nothing at all within 5 s of its start.
TEST_F(WaveInTest, SilenceIsCountedOnTheClock) {
    const struct {
        const char* what;
        bool blocksFirst, empty;
        uint32_t limit;
    } cases[] = {
        {"falls silent after its blocks", true, false, kSilenceTimeoutMs},
        {"hands back empty buffers at once", false, true, kSilenceTimeoutMs},
        {"never hands back a buffer", false, false, kFirstBlockTimeoutMs},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        sim->SetBlockInterval(2000);
        sim->SetSilent(!c.blocksFirst && !c.empty);
        sim->SetReturnEmpty(c.empty);
        ASSERT_EQ(capture->Open(dir / "s.wav", 1, 8000, SAMPLE_TYPE_PCM16, RawFile::CREATE_REPLACE),
                  1);
        if (c.blocksFirst) {
            WaitForFrames(800);
            sim->SetSilent(true);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // what is in flight is taken
        s_ticks += c.limit;
        EXPECT_FALSE(WaitForEnd(std::chrono::milliseconds(300))) << "not too long yet";
        s_ticks += 1;
        ASSERT_TRUE(WaitForEnd(std::chrono::seconds(2)));
        EXPECT_EQ(endReasons.front(), CAPTURE_END_DEVICE_SILENT);
        const WavFile r = ReadWav(dir / "s.wav"); // complete before any Close
        EXPECT_TRUE(r.IsComplete());
        EXPECT_TRUE(HoldsEveryFrameOnce(r, sim->FramesDelivered()));
        // The device speaks again: the ended recording takes nothing more.
        const uint64_t before = sim->FramesDelivered();
        sim->SetReturnEmpty(false);
        sim->SetSilent(false);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(capture->Close(), 1);
        EXPECT_EQ(FrameNumbers(ReadWav(dir / "s.wav")).size(), before);
        EXPECT_EQ(endReasons.size(), 1u);
    }
}

TEST_F(WaveInTest, FullFileEndsTheRecording) {
    g_pWaveFile->SetRiffSizeLimit(38 + 100000);
    ASSERT_EQ(capture->Open(dir / "full.wav", 2, 48000, SAMPLE_TYPE_PCM16), 1);
    ASSERT_TRUE(WaitForEnd(std::chrono::seconds(5)));
    EXPECT_EQ(endReasons.front(), CAPTURE_END_FILE_FULL);
    capture->Close();
    const WavFile r = ReadWav(dir / "full.wav");
    EXPECT_EQ(r.dataSize, 7680u * (100000 / 7680));
    EXPECT_TRUE(r.IsComplete());
    const auto numbers = FrameNumbers(r);
    for (size_t i = 0; i < numbers.size(); ++i)
        ASSERT_EQ(numbers[i], i) << "in order, nothing doubled";
    g_pWaveFile->SetRiffSizeLimit(CWaveFile::kMaxRiffSize);
}

// The device refuses a buffer back midway: the recording ends at once (well before the silence
// timeout), with the device as the reason and its code, and the file holds every frame taken,
// once, in order.
TEST_F(WaveInTest, BufferRefusedBackEndsTheRecordingAtOnce) {
    const uint32_t kNoDriver = 6; // MMSYSERR_NODRIVER: a device disabled while recording
    sim->FailFrom(Sim::ADD_BUFFER, kWaveInBufferCount + 10, kNoDriver);
    ASSERT_EQ(capture->Open(dir / "refused.wav", 1, 16000, SAMPLE_TYPE_PCM16), 1);
    ASSERT_TRUE(WaitForEnd(std::chrono::milliseconds(1000)));
    EXPECT_EQ(endReasons.front(), CAPTURE_END_DEVICE_FAILED);
    EXPECT_EQ(endCodes.front(), kNoDriver) << "the code travels with the end";
    const WavFile r = ReadWav(dir / "refused.wav");
    EXPECT_TRUE(r.IsComplete()) << "completed by the capture itself";
    EXPECT_TRUE(HoldsEveryFrameOnce(r, 10 * 640)) << "the ten blocks taken, 640 frames each";
    capture->Close();
    EXPECT_EQ(ReadWav(dir / "refused.wav").dataSize, r.dataSize);
    EXPECT_EQ(endReasons.size(), 1u);
}

// winmm promises nothing for calls from two threads at once: the window thread's pauses and the
// capture thread's giving back never meet inside the device.
TEST_F(WaveInTest, DeviceCallsNeverOverlap) {
    sim->SetCallDuration(200);
    sim->SetBlockInterval(300);
    ASSERT_EQ(capture->Open(dir / "calls.wav", 1, 8000, SAMPLE_TYPE_PCM16), 1);
    for (int round = 0; round < 30; ++round) {
        WaitForFrames(sim->FramesDelivered() + 320);
        ASSERT_EQ(capture->Stop(), 1);
        ASSERT_EQ(capture->Start(), 1);
    }
    ASSERT_EQ(capture->Close(), 1);
    EXPECT_GT(sim->Calls(Sim::ADD_BUFFER), 60)
        << "buffers went back while the window thread called";
    EXPECT_EQ(sim->Overlaps(), 0);
    EXPECT_TRUE(HoldsEveryFrameOnce(ReadWav(dir / "calls.wav"), sim->FramesDelivered()));
}

// Why a recording could not start, with the device's or the system's own code; the device is
// tried before the file, so a device that cannot record never touches a file, not even one the
// user agreed to replace; a file that exists is never replaced unless asked, also when it
// appears between the check and the creation.
TEST_F(WaveInTest, FailedStartsSayWhyAndTouchNoFile) {
    const std::vector<uint8_t> old = {'o', 'l', 'd'};
    const uint32_t kAllocated = 4, kNoDriver = 6;
    const struct {
        const char* what;
        Sim::Operation failing; // OPERATION_COUNT: the device works
        uint32_t code;
        bool existing;
        RawFile::CreateMode mode;
        bool raced; // the file appears while the device opens
        const char* folder;
        CaptureFailure failure;
    } cases[] = {
        {"device in use", Sim::OPEN, kAllocated, false, RawFile::CREATE_NEW_ONLY, false, "",
         CAPTURE_DEVICE_FAILED},
        {"device gone, replacing", Sim::OPEN, kNoDriver, true, RawFile::CREATE_REPLACE, false, "",
         CAPTURE_DEVICE_FAILED},
        {"device does not start", Sim::START, kNoDriver, false, RawFile::CREATE_NEW_ONLY, false, "",
         CAPTURE_DEVICE_FAILED},
        {"file exists", Sim::OPERATION_COUNT, 0, true, RawFile::CREATE_NEW_ONLY, false, "",
         CAPTURE_FILE_EXISTS},
        {"file appears meanwhile", Sim::OPERATION_COUNT, 0, false, RawFile::CREATE_NEW_ONLY, true,
         "", CAPTURE_FILE_EXISTS},
        {"folder missing", Sim::OPERATION_COUNT, 0, false, RawFile::CREATE_NEW_ONLY, false,
         "missing", CAPTURE_FILE_FAILED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        const fs::path path = dir / c.folder / "start.wav";
        std::error_code ignored;
        fs::remove(path, ignored);
        if (c.existing)
            WriteFileBytes(path, old);
        if (c.failing != Sim::OPERATION_COUNT)
            sim->FailFrom(c.failing, 1, c.code);
        if (c.raced)
            sim->SetCallHook([&](Sim::Operation op) {
                if (op == Sim::OPEN)
                    WriteFileBytes(path, old);
            });
        EXPECT_EQ(capture->Open(path, 1, 8000, SAMPLE_TYPE_PCM16, c.mode), 0);
        const CaptureError error = capture->LastFailure();
        EXPECT_EQ(error.failure, c.failure);
        if (c.failure == CAPTURE_DEVICE_FAILED) {
            EXPECT_EQ(error.code, c.code);
        } else {
            EXPECT_NE(error.code, 0u) << "the system's own error";
        }
        if (c.existing || c.raced) {
            EXPECT_EQ(ReadFileBytes(path), old) << "untouched";
        } else {
            EXPECT_FALSE(fs::exists(path)) << "no file left behind";
        }
        EXPECT_EQ(sim->QueuedCount(), 0);
        EXPECT_EQ(sim->Calls(Sim::CLOSE), c.failing == Sim::OPEN ? 0 : 1) << "the device is closed";
        EXPECT_EQ(g_bCaptureActive, 0);
        sim->SetCallHook(nullptr);
    }
}

// A device that will not close, even after a second reset, may still write into its buffers:
// they stay allocated (under AddressSanitizer, writing into freed ones would be caught).
TEST_F(WaveInTest, DeviceThatWillNotCloseKeepsItsBuffers) {
    ASSERT_EQ(capture->Open(dir / "stuck.wav", 1, 8000, SAMPLE_TYPE_PCM16), 1);
    WaitForFrames(1000);
    sim->FailFrom(Sim::CLOSE, sim->Calls(Sim::CLOSE) + 1);
    EXPECT_EQ(capture->Close(), 0);
    EXPECT_EQ(sim->Calls(Sim::CLOSE), 2) << "tried again after a second reset";
    EXPECT_EQ(sim->Calls(Sim::RESET), 2);
    sim->WriteIntoBuffers();
    const WavFile r = ReadWav(dir / "stuck.wav");
    EXPECT_TRUE(r.IsComplete()) << "the file is complete all the same";
    EXPECT_TRUE(HoldsEveryFrameOnce(r, sim->FramesDelivered()));
}

// A capture deleted while it records (the window gone without a stop) still completes its file.
TEST_F(WaveInTest, DeletedWhileRecordingCompletesTheFile) {
    sim->SetBlockInterval(500);
    ASSERT_EQ(capture->Open(dir / "deleted.wav", 2, 16000, SAMPLE_TYPE_PCM16), 1);
    WaitForFrames(2000);
    capture.reset();
    const WavFile r = ReadWav(dir / "deleted.wav");
    EXPECT_TRUE(r.IsComplete());
    EXPECT_GE(FrameNumbers(r).size(), 2000u);
    EXPECT_EQ(g_bCaptureActive, 0);
}

#ifndef _WIN32
// A disk that fills in the middle of a block (a file size limit stands in for it) ends the
// recording as a failed write, not as a full file, with what landed completed.
TEST_F(WaveInTest, DiskFullInTheMiddleOfABlockIsAFailedWrite) {
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 46 + 3 * 640 + 100; // 8000 Hz mono 16-bit: 640 bytes a block
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const int opened = capture->Open(dir / "disk.wav", 1, 8000, SAMPLE_TYPE_PCM16);
    const bool ended = WaitForEnd(std::chrono::seconds(5));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    ASSERT_EQ(opened, 1);
    ASSERT_TRUE(ended);
    EXPECT_EQ(endReasons.front(), CAPTURE_END_WRITE_FAILED);
    capture->Close();
    const WavFile r = ReadWav(dir / "disk.wav");
    EXPECT_EQ(r.fileSize, 46u + 3 * 640 + 100);
    EXPECT_EQ(r.dataSize, 3u * 640 + 100) << "what landed, and no more";
}
#endif

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
        ASSERT_EQ(capture->Open(path, format.channels, 8000, format.type, RawFile::CREATE_REPLACE),
                  1)
            << "cycle " << cycle;
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
        ASSERT_TRUE(HoldsEveryFrameOnce(ReadWav(path), sim->FramesDelivered()))
            << "cycle " << cycle << ", " << format.channels << " ch, type " << format.type;
    }
}

} // namespace
