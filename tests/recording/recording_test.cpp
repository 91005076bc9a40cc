// A recording's life across its files, against the simulated device: the next files' names and
// numbers, the seams, the note, the disk thread's completions and flushes, and every failure on
// the way, each as the user would meet it.
#include "recording/recording.h"

#include "engine/clock.h"
#include "tests/monitor/fake_monitor_host.h"
#include "tests/support/simulated_wave_input.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>

namespace fs = std::filesystem;
using Sim = SimulatedWaveInput;

namespace {

std::atomic<uint32_t> s_ticks{1000};
std::atomic<int> s_slowFlushes{0}; // flushes still to be slow
std::atomic<int> s_failFlushes{0}; // flushes still to fail
std::atomic<bool> s_inSlowFlush{false};

bool FlushHook() {
    if (s_failFlushes > 0) {
        --s_failFlushes;
        return false;
    }
    if (s_slowFlushes > 0) {
        --s_slowFlushes;
        s_inSlowFlush = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // a network share
        s_inSlowFlush = false;
    }
    return true;
}

class FakeNotes : public IRecordingNotes {
public:
    bool SaveCounter(uint32_t count) override {
        counter = int64_t(count);
        return true;
    }
    bool NoteFiles(const std::vector<std::wstring>& files) override {
        noted = files;
        return true;
    }
    int64_t counter = -1;
    std::vector<std::wstring> noted;
};

class RecordingTest : public testing::Test {
protected:
    void SetUp() override {
        SetTickFunction([] { return s_ticks.load(); });
        RawFile::SetFlushHook(FlushHook);
        host.SetSize(host.view, 100, 50);
        host.SetSize(host.meter0, 15, 50);
        host.SetSize(host.meter1, 15, 50);
        auto device = std::make_unique<Sim>();
        sim = device.get();
        capture = std::make_unique<CWaveIn>(std::move(device), host);
        recording = std::make_unique<CRecording>(*capture, notes, [this] {
            std::lock_guard<std::mutex> lock(m_lock);
            ++m_notices;
            m_signal.notify_all();
        });
    }

    void TearDown() override {
        recording.reset();
        capture.reset();
        RawFile::SetFlushHook(nullptr);
        SetTickFunction(nullptr);
    }

    // The window thread's part: takes the reports until done() or 10 s.
    template <typename Done> void Pump(Done done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done() && std::chrono::steady_clock::now() < limit) {
            {
                std::unique_lock<std::mutex> lock(m_lock);
                m_signal.wait_for(lock, std::chrono::milliseconds(5), [&] { return m_notices; });
                m_notices = 0;
            }
            for (auto& report : recording->TakeReports())
                reports.push_back(report);
        }
    }

    RecordingPlan Plan(const fs::path& folder, bool sequential, uint32_t count = 7,
                       bool subFolders = false) {
        RecordingPlan plan;
        plan.channels = 1;
        plan.samplesPerSec = 16000;
        plan.sampleType = SAMPLE_TYPE_PCM16;
        plan.sequential = sequential;
        plan.naming = {count, sequential ? 1 : 0, folder.wstring(), L"t", subFolders ? 1 : 0};
        plan.typedName = (folder / "talk.wav").wstring();
        return plan;
    }

    TempDir dir;
    FakeMonitorHost host;
    FakeNotes notes;
    Sim* sim = nullptr;
    std::unique_ptr<CWaveIn> capture;
    std::unique_ptr<CRecording> recording;
    std::vector<RecordingReport> reports;
    std::mutex m_lock;
    std::condition_variable m_signal;
    int m_notices = 0;
};

std::vector<uint64_t> Frames(const fs::path& path) {
    const WavFile wav = ReadWav(path);
    std::vector<uint64_t> frames;
    for (size_t at = 0; at + 2 <= std::min<size_t>(wav.dataSize, wav.data.size()); at += 2)
        frames.push_back(uint64_t(wav.data[at]) | uint64_t(wav.data[at + 1]) << 8);
    return frames;
}

// Recordings past a file's limit (20 or 100 blocks of 40 ms), sequential and typed, with names
// taken on the way, a pause, a seam whose full file takes seconds to flush, and a next file that
// cannot be made: every frame lands once, in order, over complete files; the counter ends just
// past the last file used (a file made ahead and never needed gives its number back, and its
// new sub-folder goes with it); the note names what is not complete, nothing once stopped.
TEST_F(RecordingTest, LongRecordingsAcrossFiles) {
    const uint32_t block = 640 * 2;
    const struct Case {
        const char* what;
        bool sequential;
        uint32_t count;
        uint32_t blocks; // per file
        bool subFolders, pause, slowSeam;
        const char* taken;              // a file in the way
        std::vector<const char*> files; // the recording's files, in order
        const char* givenBack;          // the file made ahead, which must be gone
        int64_t counter;                // stored at the end (-1: never saved)
        RecordingStep nextFailure;      // the recording ends at the limit with it
    } cases[] = {
        {"typed",
         false,
         0,
         20,
         false,
         false,
         false,
         "talk (3).wav",
         {"talk.wav", "talk (2).wav", "talk (4).wav"},
         "talk (5).wav",
         -1,
         STEP_OK},
        {"sequential, paused",
         true,
         7,
         20,
         false,
         true,
         false,
         "t000008.wav",
         {"t000007.wav", "t000009.wav", "t000010.wav", "t000011.wav"},
         "t000012.wav",
         12,
         STEP_OK},
        {"slow flush at the seam",
         true,
         0,
         100,
         false,
         false,
         true,
         nullptr,
         {"t000000.wav", "t000001.wav"},
         "t000002.wav",
         2,
         STEP_OK},
        {"sub-folder given back",
         true,
         998,
         20,
         true,
         false,
         false,
         nullptr,
         {"000K/t000998.wav", "000K/t000999.wav"},
         "001K",
         1000,
         STEP_OK},
        {"next file cannot be made",
         true,
         999,
         20,
         true,
         false,
         false,
         "001K",
         {"000K/t000999.wav"},
         "001K/t001000.wav",
         1000,
         STEP_FILE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        reports.clear();
        notes = FakeNotes();
        const fs::path folder = dir / c.what;
        fs::create_directory(folder);
        if (c.taken)
            WriteFileBytes(folder / c.taken, {1, 2, 3});
        g_pWaveFile->SetRiffSizeLimit(38 + c.blocks * block + 100);
        s_slowFlushes = c.slowSeam ? 1 : 0;
        sim->SetBlockInterval(10000); // the window thread has a file's time to make the next

        ASSERT_FALSE(recording->Start(Plan(folder, c.sequential, c.count, c.subFolders)));
        if (c.pause) {
            Pump([&] { return sim->FramesDelivered() > 30 * 640; });
            ASSERT_TRUE(recording->Pause());
            ASSERT_FALSE(recording->Resume());
        }
        if (c.slowSeam) {
            // While the full file's flush takes its time, the capture goes on: more than the
            // thirty buffers the device holds are delivered meanwhile.
            Pump([&] { return s_inSlowFlush.load(); });
            ASSERT_TRUE(s_inSlowFlush);
            const uint64_t before = sim->FramesDelivered();
            Pump([&] { return sim->FramesDelivered() > before + 40 * 640 || !s_inSlowFlush; });
            EXPECT_GT(sim->FramesDelivered(), before + 40 * 640) << "the capture thread waited";
        }
        const size_t files = c.files.size();
        if (c.nextFailure != STEP_OK) {
            Pump([&] { return !recording->IsRecording(); });
            ASSERT_FALSE(reports.empty());
            EXPECT_EQ(reports.back().kind, RecordingReport::ENDED);
            EXPECT_EQ(reports.back().reason, CAPTURE_END_FILE_FULL);
            EXPECT_EQ(reports.back().failure.step, c.nextFailure);
        } else {
            // Into the last file, past the moment its own next file is made.
            Pump([&] {
                return sim->FramesDelivered() > (files - 1) * c.blocks * 640 + 12 * 640 &&
                       fs::exists(folder / c.givenBack);
            });
            EXPECT_TRUE(recording->Stop().empty());
        }
        EXPECT_FALSE(fs::exists(folder / c.givenBack)) << "made ahead, never needed: gone";
        EXPECT_EQ(notes.counter, c.counter);
        EXPECT_TRUE(notes.noted.empty()) << "every file complete";
        EXPECT_EQ(FileSystemPath(recording->CurrentFile()), folder / c.files.back());
        std::vector<uint64_t> frames;
        for (const char* name : c.files) {
            EXPECT_TRUE(ReadWav(folder / name).IsComplete()) << name;
            const auto part = Frames(folder / name);
            EXPECT_LE(part.size(), c.blocks * 640) << name;
            frames.insert(frames.end(), part.begin(), part.end());
        }
        if (c.nextFailure == STEP_OK) {
            ASSERT_EQ(frames.size(), sim->FramesDelivered());
        }
        for (size_t i = 0; i < frames.size(); ++i)
            ASSERT_EQ(frames[i], i & 0xFFFF) << "frame " << i << " over the seams";
        g_pWaveFile->SetRiffSizeLimit(CWaveFile::kMaxRiffSize);
    }
}

// The file being written reaches the disk every few seconds of the clock, not before; and a
// file whose completion fails keeps its note and is reported with the system's code.
TEST_F(RecordingTest, FlushCadenceAndFailedCompletion) {
    sim->SetBlockInterval(20000);
    ASSERT_FALSE(recording->Start(Plan(dir.Path(), false)));
    const std::wstring file = (dir / "talk.wav").wstring();
    EXPECT_EQ(notes.noted, std::vector<std::wstring>{file}) << "noted while it records";
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(recording->Flushes(), 0u) << "not before its time";
    for (uint32_t n = 1; n <= 2; ++n) {
        s_ticks += kFlushPeriodMs;
        Pump([&] { return recording->Flushes() >= n; });
        EXPECT_EQ(recording->Flushes(), n);
    }
    s_failFlushes = 1;
    const auto failures = recording->Stop();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].step, STEP_COMPLETE);
    EXPECT_EQ(failures[0].path, file);
    EXPECT_NE(failures[0].code, 0u);
    EXPECT_EQ(notes.noted, std::vector<std::wstring>{file}) << "kept for the next start";
    ASSERT_FALSE(recording->Start(Plan(dir.Path(), true, 0)));
    EXPECT_EQ(notes.noted.size(), 2u) << "still noted beside the new recording";
    recording->Stop();
    EXPECT_EQ(notes.noted, std::vector<std::wstring>{file});
}

} // namespace
