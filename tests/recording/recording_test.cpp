// A recording's life across its files, against the simulated device and a test disk that can
// stop answering, fill up and fail: the seams, the names and numbers, the note, the flushes,
// the stalls the queue rides out and the ones it cannot, and every failure on the way, each as
// the user would meet it.
#include "recording/recording.h"

#include "engine/clock.h"
#include "engine/marker_journal.h"
#include "engine/wave_file.h"
#include "recording/recording_policy.h"
#include "recording/recording_view.h"
#include "recording/system_side.h"
#include "tests/monitor/fake_monitor_host.h"
#include "tests/support/fake_system_side.h"
#include "tests/support/report_pump.h"
#include "tests/support/simulated_wave_input.h"
#include "tests/support/test_disk.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <thread>

namespace fs = std::filesystem;
using Sim = SimulatedWaveInput;

namespace {

// The capture's clock (silence, elapsed time) and the disk thread's (flushes, free space), each
// stepped on its own.
std::atomic<uint32_t> s_ticks{1000};
std::atomic<uint32_t> s_diskTicks{1000};

class FakeNotes : public IRecordingNotes {
public:
    bool SaveCounter(uint32_t count) override {
        counter = int64_t(count);
        return true;
    }
    bool NoteFiles(const std::vector<NotedFile>& files) override {
        noted = files;
        ++noteCalls;
        return true;
    }
    std::vector<NotedFile> NotedFiles() override { return noted; }
    std::vector<std::wstring> ToldFiles() override { return told; }
    bool NoteToldFiles(const std::vector<std::wstring>& files) override {
        told = files;
        return true;
    }
    int64_t counter = -1;
    int noteCalls = 0;
    std::vector<NotedFile> noted;
    std::vector<std::wstring> told;
};

// 16000 Hz stereo 16-bit: 640 frames of 4 bytes a block, 64000 bytes a second.
constexpr uint32_t kFramesPerBlock = 640;
constexpr uint32_t kBlockBytes = 4 * kFramesPerBlock;
constexpr uint64_t kFramesPerSecond = 16000;

class RecordingTest : public testing::Test {
protected:
    void SetUp() override {
        SetTickFunction([] { return s_ticks.load(); });
        SetDiskTickFunction([] { return s_diskTicks.load(); });
        host.SetSize(host.view, 100, 50);
        host.SetSize(host.meter0, 15, 50);
        host.SetSize(host.meter1, 15, 50);
        auto device = std::make_unique<Sim>();
        sim = device.get();
        sim->SetBlockInterval(300);
        capture = std::make_unique<CWaveIn>(std::move(device), monitor);
        recording = std::make_unique<CRecording>(*capture, notes, pump.Wake());
        reports.clear();
    }

    void TearDown() override {
        disk.Release();
        recording->Stop();
        recording->WaitUntilComplete(20000, reports);
        recording.reset();
        capture.reset();
        SetTickFunction(nullptr);
        SetDiskTickFunction(nullptr);
    }

    template <typename Done> bool Pump(Done done) { return pump.Until(*recording, reports, done); }
    bool PumpFrames(uint64_t frames) {
        return Pump([&] { return sim->FramesDelivered() >= frames; });
    }
    void StopAndComplete() {
        recording->Stop();
        EXPECT_TRUE(recording->WaitUntilComplete(20000, reports));
    }
    const RecordingReport* Find(RecordingReport::Kind kind) const {
        for (const RecordingReport& report : reports)
            if (report.kind == kind)
                return &report;
        return nullptr;
    }

    RecordingPlan Plan(const fs::path& folder, bool sequential, uint32_t count = 7,
                       bool subFolders = false) {
        RecordingPlan plan;
        plan.channels = 2;
        plan.samplesPerSec = 16000;
        plan.sampleType = SAMPLE_TYPE_PCM16;
        plan.sequential = sequential;
        plan.naming = {count, sequential ? 1 : 0, folder.wstring(), L"t", subFolders ? 1 : 0};
        plan.typedName = (folder / "talk.wav").wstring();
        return plan;
    }

    TempDir dir;
    TestDisk disk;
    FakeMonitorHost host;
    CMonitor monitor{host};
    FakeNotes notes;
    Sim* sim = nullptr;
    std::unique_ptr<CWaveIn> capture;
    std::unique_ptr<CRecording> recording;
    std::vector<RecordingReport> reports;
    ReportPump pump;
};

// The frames of the files, in order: frame n holds n (the simulated device's numbering), and
// silence (0) stands where sound could not be kept. Each file complete.
std::vector<uint32_t> Frames(const std::vector<fs::path>& files) {
    std::vector<uint32_t> frames;
    for (const fs::path& file : files) {
        const WavFile wav = ReadWav(file);
        EXPECT_TRUE(wav.IsComplete()) << file.string();
        for (size_t at = 0; at + 4 <= std::min<size_t>(wav.dataSize, wav.data.size()); at += 4)
            frames.push_back(uint32_t(wav.data[at]) | uint32_t(wav.data[at + 1]) << 8 |
                             uint32_t(wav.data[at + 2]) << 16 | uint32_t(wav.data[at + 3]) << 24);
    }
    return frames;
}

// Every frame in its place on the clock, within tolerance frames: frame i holds about i, or
// silence in a stretch without sound. The silent stretches, as (first frame, frames).
std::vector<std::pair<uint64_t, uint64_t>> Gaps(const std::vector<uint32_t>& frames,
                                                uint64_t tolerance = 0) {
    std::vector<std::pair<uint64_t, uint64_t>> gaps;
    for (size_t i = 1; i < frames.size(); ++i) { // frame 0 holds 0 itself
        if (frames[i] != 0) {
            const uint64_t off = frames[i] > i ? frames[i] - i : i - frames[i];
            EXPECT_LE(off, tolerance) << "frame " << i << " holds " << frames[i];
            if (off > tolerance)
                break;
            continue;
        }
        if (gaps.empty() || gaps.back().first + gaps.back().second != i)
            gaps.emplace_back(i, 0);
        ++gaps.back().second;
    }
    return gaps;
}

// Recordings past a file's limit (20 or 100 blocks), sequential and typed, with names taken on
// the way (one as it is made), a pause, and a next file that cannot be made: every frame lands
// once, in order, over complete files; the counter ends just past the last file used (a file made
// ahead and never needed gives its number back, and its new sub-folder goes with it); the note
// names what is not complete, nothing once complete.
TEST_F(RecordingTest, LongRecordingsAcrossFiles) {
    const struct Case {
        const char* what;
        bool sequential;
        uint32_t count;
        uint32_t blocks; // per file
        bool subFolders, pause;
        const char* taken;              // a file in the way
        std::vector<const char*> files; // the recording's files, in order
        const char* givenBack;          // the file made ahead, which must be gone
        int64_t counter;                // stored at the end (-1: never saved)
        RecordingStep nextFailure;      // the recording ends at the limit with it
        const char* appears = nullptr;  // a file made by another program as this one makes it
        bool slowShare = false;         // the next file's opening waits (a share's time-out)
    } cases[] = {
        {"typed",
         false,
         0,
         20,
         false,
         false,
         "talk (3).wav",
         {"talk.wav", "talk (2).wav", "talk (4).wav"},
         "talk (5).wav",
         -1,
         STEP_OK,
         nullptr,
         true},
        {"sequential, paused",
         true,
         7,
         20,
         false,
         true,
         "t000008.wav",
         {"t000007.wav", "t000009.wav", "t000010.wav", "t000011.wav"},
         "t000013.wav",
         12,
         STEP_OK,
         "t000012.wav"},
        {"sub-folder given back",
         true,
         998,
         20,
         true,
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
        notes = FakeNotes();
        const fs::path folder = dir / c.what;
        fs::create_directory(folder);
        if (c.taken)
            WriteFileBytes(folder / c.taken, {1, 2, 3});
        if (c.appears)
            disk.AppearAtOpening(folder / c.appears);
        recording->SetFileSizeLimit(38 + c.blocks * kBlockBytes + 100);

        const size_t files = c.files.size();
        // Into the last file, past the moment its own next file is made, and no further.
        const uint64_t frames = ((files - 1) * c.blocks + 12) * kFramesPerBlock;
        if (c.nextFailure == STEP_OK)
            sim->SetFrameLimit(frames);
        ASSERT_FALSE(recording->Start(Plan(folder, c.sequential, c.count, c.subFolders)));
        if (c.slowShare) { // the next file's opening waits, the window answers meanwhile
            disk.HoldOpenings(true);
            EXPECT_TRUE(Pump([&] { return disk.Waiting() == 1; }));
            disk.HoldOpenings(false);
        }
        if (c.pause) {
            PumpFrames(30 * kFramesPerBlock);
            ASSERT_FALSE(recording->Pause());
            ASSERT_FALSE(recording->Resume());
        }
        if (c.nextFailure != STEP_OK) {
            Pump([&] { return recording->State() != RECORDING_RUNNING; });
            const RecordingReport* ended = Find(RecordingReport::ENDED);
            ASSERT_TRUE(ended);
            EXPECT_EQ(ended->failure.step, c.nextFailure);
            EXPECT_TRUE(recording->WaitUntilComplete(20000, reports));
        } else {
            Pump([&] {
                return sim->FramesDelivered() == frames && fs::exists(folder / c.givenBack);
            });
            StopAndComplete();
        }
        EXPECT_EQ(recording->State(), RECORDING_STOPPED);
        EXPECT_FALSE(Find(RecordingReport::FILE_COMPLETED)) << "every file completed";
        EXPECT_FALSE(fs::exists(folder / c.givenBack)) << "made ahead, never needed: gone";
        EXPECT_EQ(notes.counter, c.counter);
        EXPECT_TRUE(notes.noted.empty()) << "every file complete";
        EXPECT_EQ(FileSystemPath(recording->CurrentFile()), folder / c.files.back());
        std::vector<fs::path> paths;
        for (const char* name : c.files) {
            paths.push_back(folder / name);
            EXPECT_LE(ReadWav(folder / name).dataSize, c.blocks * kBlockBytes) << name;
        }
        const std::vector<uint32_t> recorded = Frames(paths);
        if (c.nextFailure == STEP_OK) {
            EXPECT_EQ(recorded.size(), frames);
        }
        EXPECT_TRUE(Gaps(recorded).empty());
        if (c.appears) {
            EXPECT_EQ(ReadFileBytes(folder / c.appears).size(), 17u) << "the other's, untouched";
        }
    }
}

// A disk that stops answering, writes and flushes held (a USB stick, a network share): for up
// to the queue's 30 s nothing is lost and the device's buffers keep going back; for longer, the
// stretch that could not be kept is told with its place and length, silence stands in for it
// (the file keeps the clock's time), and the recording goes on when the disk answers. A stop
// while the disk is away, with the queue holding a seam, leaves every file complete, the right
// file current, and no file made ahead behind. The drive, with room for 5 minutes, says so once.
// An input that stalls in the same recording is a gap of its own, in its place: each is marked
// where it begins, on the world's clock.
TEST_F(RecordingTest, StalledDisk) {
    static Sim* s_sim;
    const struct {
        const char* what;
        uint32_t heldSeconds; // of sound delivered while the disk is held
        uint32_t blocksPerFile;
        bool stopWhileHeld;
        bool lost;
        std::vector<const char*> files;
        uint64_t inputStall; // frames, after the disk answers again
    } cases[] = {
        {"10 s", 10, 0, false, false, {"t000000.wav"}, 0},
        {"35 s, then the input stalls", 35, 0, false, true, {"t000000.wav"}, 8000},
        {"a stop racing a seam", 5, 75, true, false, {"t000000.wav", "t000001.wav"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        s_sim = sim;
        SetTickFunction([] { return s_sim->NowMs(); });
        const fs::path folder = dir / c.what;
        fs::create_directory(folder);
        if (c.blocksPerFile)
            recording->SetFileSizeLimit(38 + c.blocksPerFile * kBlockBytes);
        const uint64_t held = 10 * kFramesPerBlock;
        sim->SetFrameLimit(held);
        disk.SetFreeSpace(5 * 60 * 4 * kFramesPerSecond);
        ASSERT_FALSE(recording->Start(Plan(folder, true, 0)));
        ASSERT_TRUE(PumpFrames(held));
        if (c.blocksPerFile) { // made ahead (and noted) before the disk stops answering
            ASSERT_TRUE(Pump([&] { return notes.noted.size() == 2; }));
        }
        disk.Hold();
        sim->SetFrameLimit(held + c.heldSeconds * kFramesPerSecond);
        ASSERT_TRUE(PumpFrames(held + c.heldSeconds * kFramesPerSecond));
        ASSERT_TRUE(Pump([&] { return sim->QueuedCount() == kWaveInBufferCount; }))
            << "every block taken while the disk is away, so the loss is one stretch";
        EXPECT_TRUE(Pump([&] { return disk.Waiting() == 1; }))
            << "the disk thread waits in its write...";
        EXPECT_EQ(recording->State(), RECORDING_RUNNING) << "...while the recording goes on";
        if (c.stopWhileHeld)
            recording->Stop();
        disk.Release();
        if (!c.stopWhileHeld) { // the recording goes on
            sim->SetFrameLimit(UINT64_MAX);
            if (c.lost) { // the disk has caught up once the loss is marked, and journaled
                ASSERT_TRUE(Pump([&] {
                    const auto journal = ReadMarkerJournal(folder / c.files[0]);
                    return !journal.empty() && journal[0].label.rfind("Lost 1 ", 0) == 0;
                }));
            }
            PumpFrames(sim->FramesDelivered() + 40 * kFramesPerBlock); // more than 1 s apart
            sim->Stall(c.inputStall);
            PumpFrames(sim->FramesDelivered() + 40 * kFramesPerBlock);
        }
        StopAndComplete();

        std::vector<fs::path> files;
        for (const char* name : c.files)
            files.push_back(folder / name);
        const std::vector<uint32_t> frames = Frames(files);
        EXPECT_EQ(frames.size(), sim->FramesDelivered() + c.inputStall)
            << "the clock's time, gaps filled";
        const auto gaps = Gaps(frames);
        const RecordingReport* told = Find(RecordingReport::GAPS);
        ASSERT_EQ(gaps.size(), c.lost ? 2u : 0u);
        ASSERT_EQ(told != nullptr, c.lost);
        if (c.lost) {
            ASSERT_EQ(told->gaps.size(), 2u);
            for (size_t i = 0; i < 2; ++i) {
                EXPECT_EQ(told->gaps[i].atMs, gaps[i].first * 1000 / kFramesPerSecond);
                EXPECT_EQ(told->gaps[i].lengthMs, gaps[i].second * 1000 / kFramesPerSecond);
            }
            EXPECT_GE(gaps[0].first, kQueueSeconds * kFramesPerSecond) << "30 s kept first";
            // The write held may hold a block from before the hold or the first one after it,
            // as the disk thread happened to be when the disk stopped answering.
            EXPECT_GE(gaps[0].second,
                      (c.heldSeconds - kQueueSeconds) * kFramesPerSecond - kFramesPerBlock);
            EXPECT_EQ(gaps[1].second, c.inputStall);
            const WavFile wav = ReadWav(files[0]); // each marked where it begins
            ASSERT_EQ(wav.cues.size(), 2u);
            EXPECT_TRUE(wav.cues[0].position == gaps[0].first &&
                        wav.cues[1].position == gaps[1].first);
            EXPECT_EQ(wav.cues[0].label.substr(0, 7) + wav.cues[1].label.substr(0, 6),
                      "Lost 1 Gap 1 ");
            EXPECT_EQ(wav.cues[1].label.substr(wav.cues[1].label.size() - 7), "(0.5 s)");
        }
        EXPECT_EQ(FileSystemPath(recording->CurrentFile()), files.back());
        const auto lowSpace = [](const RecordingReport& r) {
            return r.kind == RecordingReport::SPACE_LOW && r.lengthMs == 5 * 60 * 1000;
        };
        EXPECT_EQ(std::count_if(reports.begin(), reports.end(), lowSpace), 1);
        const fs::path ahead = folder / ("t00000" + std::to_string(c.files.size()) + ".wav");
        EXPECT_TRUE(Pump([&] { // on a thread of its own, its number following
            return !fs::exists(ahead) && notes.counter == int64_t(c.files.size());
        })) << "the file made ahead is gone";
        EXPECT_TRUE(notes.noted.empty()) << "only files not complete stay noted";
        EXPECT_EQ(notes.counter, int64_t(c.files.size())) << "and its number given back";
    }
}

// What the window holds of the system for a recording: the computer awake, the shutdown asked
// to wait and the marker's key, from the start to the end, paused too; a key held down places
// one marker; a Modern Standby laptop on battery keeps its display on, said once; the file is
// flushed as the computer goes to sleep; a key another program holds is said once a run.
TEST_F(RecordingTest, TheSystemSideFollowsTheRecording) {
    FakeSystemSide system;
    system.modernStandby = true;
    system.power = POWER_BATTERY;
    CSystemFollower follower(system, *recording);
    const auto follow = [&] {
        return follower.Follow(ViewOf(recording->State(), false, SIDE_NONE, false, false));
    };
    EXPECT_FALSE(follow().displayKeptOn);
    EXPECT_TRUE(system.LetGo() && follower.SessionMayEnd(false));
    const fs::path t7 = dir / "t000007.wav";
    ASSERT_FALSE(recording->Start(Plan(dir.Path(), true)));
    const CSystemFollower::Said said = follow();
    EXPECT_TRUE(said.displayKeptOn && !said.keyTaken);
    EXPECT_TRUE(system.system && system.display && system.shutdownBlocked);
    EXPECT_FALSE(follower.SessionMayEnd(false));
    EXPECT_TRUE(follower.SessionMayEnd(true)) << "a critical end cannot be refused";
    ASSERT_TRUE(follower.HoldsMarkerKey());
    for (int i = system.PressesOfKeyHeld(CSystemFollower::kMarkerKey, 30); i > 0; --i)
        if (follower.MarkerKeyPressed(CSystemFollower::kMarkerKey))
            recording->PlaceMarker();
    EXPECT_EQ(recording->MarkerCount(), 1u) << "held down for 30 repeats";
    ASSERT_TRUE(PumpFrames(4 * kFramesPerBlock));
    const int flushes = disk.Flushes(t7);
    follower.Suspending();
    EXPECT_TRUE(Pump([&] { return disk.Flushes(t7) > flushes; })) << "flushed before sleep";

    ASSERT_FALSE(recording->Pause());
    EXPECT_FALSE(follow().displayKeptOn) << "said once";
    EXPECT_TRUE(system.system && system.shutdownBlocked && follower.HoldsMarkerKey()) << "paused";
    system.power = POWER_AC;
    EXPECT_FALSE(follower.PowerChanged().displayKeptOn);
    EXPECT_TRUE(system.system && !system.display) << "plugged in";
    recording->Stop();
    follow();
    EXPECT_TRUE(system.LetGo() && follower.SessionMayEnd(false));
    EXPECT_FALSE(follower.MarkerKeyPressed(CSystemFollower::kMarkerKey));

    system.keyTaken = true;
    for (const bool said : {true, false}) {
        ASSERT_FALSE(recording->Start(Plan(dir.Path(), true)));
        EXPECT_EQ(follow().keyTaken, said);
        EXPECT_FALSE(follower.HoldsMarkerKey());
        recording->Stop();
        follow();
    }
}

// The flushes come every 4 s of the disk thread's clock, not before, to the file being written
// (a full file's only other flushes are its completion's). A disk that fills up between the last
// block of one file and the first of the next names the file that failed, keeps whole frames,
// and completes both; a flush that fails is told at once, with its file and the system's code.
TEST_F(RecordingTest, DiskFailuresAndFlushes) {
    const fs::path t0 = dir / "t000000.wav", t1 = dir / "t000001.wav", t2 = dir / "t000002.wav";
    recording->SetFileSizeLimit(38 + 20 * kBlockBytes);
    // The device falls quiet after this many blocks, and everything is written.
    const auto quietAfter = [&](uint64_t blocks) {
        sim->SetFrameLimit(blocks * kFramesPerBlock);
        EXPECT_TRUE(Pump([&] {
            const uint64_t onDisk =
                (ReadWav(t0).data.size() + (fs::exists(t1) ? ReadWav(t1).data.size() : 0)) / 4;
            return sim->QueuedCount() == kWaveInBufferCount && onDisk == blocks * kFramesPerBlock;
        }));
    };
    sim->SetFrameLimit(0);
    ASSERT_FALSE(recording->Start(Plan(dir.Path(), true, 0)));
    quietAfter(5);
    s_diskTicks += 3999; // the promise is 4 s, whatever the constant says
    quietAfter(6);
    EXPECT_EQ(disk.Flushes(t0), 0) << "not before its time";
    s_diskTicks += 1;
    EXPECT_TRUE(Pump([&] { return disk.Flushes(t0) == 1; }));
    quietAfter(7);
    EXPECT_TRUE(recording->FlushNow(20000)); // the computer is about to sleep
    EXPECT_EQ(disk.Flushes(t0), 2) << "flushed before the call returns";
    quietAfter(25);
    EXPECT_EQ(disk.Flushes(t0), 4) << "and twice more, completed";
    EXPECT_EQ(disk.Flushes(t1), 0);
    s_diskTicks += 4000;
    EXPECT_TRUE(Pump([&] { return disk.Flushes(t1) == 1; }));
    EXPECT_EQ(disk.Flushes(t0), 4) << "the full file is flushed no more";

    ASSERT_TRUE(Pump([&] { return fs::exists(t2); })) << "made ahead";
    disk.FillAt(disk.Appended() + 15 * kBlockBytes + 2050); // half a frame into t2
    sim->SetFrameLimit(UINT64_MAX);
    ASSERT_TRUE(Pump([&] { return recording->State() != RECORDING_RUNNING; }));
    const RecordingReport* ended = Find(RecordingReport::ENDED);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->failure.step, STEP_WRITE);
    EXPECT_EQ(FileSystemPath(ended->failure.path), t2) << "the file that failed";
    EXPECT_EQ(ended->failure.code, kDiskFullError);
    EXPECT_EQ(ended->lengthMs, (40 * kFramesPerBlock + 512) * 1000 / kFramesPerSecond);
    EXPECT_TRUE(recording->WaitUntilComplete(20000, reports));
    EXPECT_EQ(ReadWav(t2).dataSize, 2048u) << "whole frames";
    EXPECT_TRUE(Gaps(Frames({t0, t1, t2})).empty());
    EXPECT_TRUE(notes.noted.empty()) << "each note kept until its own completion was known";

    disk.FillAt(UINT64_MAX);
    disk.FailFlushes(1); // the first flush: no seam's completion comes before it
    recording->SetFileSizeLimit(0);
    sim->SetFrameLimit(5 * kFramesPerBlock); // a file that does not grow while it is read
    const fs::path typed = dir / "talk.wav";
    ASSERT_FALSE(recording->Start(Plan(dir.Path(), false)));
    ASSERT_TRUE(Pump([&] { return ReadWav(typed).data.size() >= 5 * kBlockBytes; }));
    s_diskTicks += kFlushPeriodMs;
    ASSERT_TRUE(Pump([&] { return recording->State() != RECORDING_RUNNING; })) << "at once";
    ended = &reports.back();
    ASSERT_EQ(ended->kind, RecordingReport::ENDED);
    EXPECT_EQ(ended->failure.step, STEP_FLUSH);
    EXPECT_EQ(ended->failure.path, typed.wstring());
    EXPECT_EQ(ended->failure.code, kWriteFaultError);
    EXPECT_TRUE(recording->WaitUntilComplete(20000, reports));
    EXPECT_TRUE(ReadWav(typed).IsComplete());

    // A completion that fails (its flush): said, its note kept until the next start.
    const fs::path failing = dir / "failing.wav";
    RecordingPlan plan = Plan(dir.Path(), false);
    plan.typedName = failing.wstring();
    ASSERT_FALSE(recording->Start(plan));
    ASSERT_TRUE(Pump([&] { return ReadWav(failing).data.size() >= 5 * kBlockBytes; }));
    reports.clear();
    disk.FailFlushes(1);
    StopAndComplete();
    const auto completed =
        std::find_if(reports.begin(), reports.end(), [](const RecordingReport& report) {
            return report.kind == RecordingReport::FILE_COMPLETED;
        });
    ASSERT_NE(completed, reports.end());
    EXPECT_EQ(completed->failure.step, STEP_COMPLETE);
    EXPECT_EQ(completed->failure.code, kWriteFaultError);
    EXPECT_EQ(FileSystemPath(completed->failure.path), failing);
    ASSERT_EQ(notes.noted.size(), 1u) << "kept for the next start";
    EXPECT_EQ(FileSystemPath(notes.noted[0].path), failing);
    SequentialNaming naming;
    recording->CompleteInterrupted();
    ASSERT_TRUE(Pump([&] { return Find(RecordingReport::INTERRUPTED_READY); }));
    recording->SettleInterrupted(naming); // found complete (its sizes were written), or completed
    EXPECT_TRUE(ReadWav(failing).IsComplete());
    EXPECT_TRUE(notes.noted.empty());
}

// What happens to the input while it records, on the world's clock that the simulated device
// keeps: the recording goes on (the input is waited for and opened again, once for each loss or
// wake, and said to record only once it gives sound); every stretch of the clock without sound
// is found with its place and length within 0.1 s, told once at the end, and filled with
// silence, so every frame of the file stays at its clock time; and every frame the device
// delivered is in the file.
TEST_F(RecordingTest, InputFailuresAreWaitedOutAndKeptOnTheClock) {
    static Sim* s_sim;
    const uint64_t tolerance = kFramesPerSecond / 10;
    constexpr uint32_t kNoDriver = 6; // MMSYSERR_NODRIVER: the device was removed
    constexpr int kWakeWhileAway = -1;
    const struct {
        const char* what;
        void (*fail)(Sim& sim, CRecording& recording);
        uint32_t leastGapMs; // what the failure costs at the least, on the clock
        uint32_t seconds;    // of sound before and after it
        int opens = 2;       // of the device, the first included (kWakeWhileAway: any number)
        int lost = 1;        // times the running recording said it waits for its input
    } cases[] = {
        {"refuses a buffer back",
         [](Sim& sim, CRecording&) { sim.FailNext(Sim::ADD_BUFFER, kNoDriver, 1); }, 0, 2},
        {"delivers nothing",
         [](Sim& sim, CRecording&) { sim.QuietFor(3 * kFramesPerSecond, false); }, 3000, 2},
        {"delivers empty buffers",
         [](Sim& sim, CRecording&) { sim.QuietFor(3 * kFramesPerSecond, true); }, 3000, 2},
        {"opens again but gives nothing for 6 s more", // given up twice, said once
         [](Sim& sim, CRecording&) { sim.QuietFor(8 * kFramesPerSecond, false); }, 8000, 2, 3},
        {"a reopen that fails three times",
         [](Sim& sim, CRecording&) {
             sim.FailNext(Sim::OPEN, kNoDriver, 3); // before the loss that leads to it
             sim.FailNext(Sim::ADD_BUFFER, kNoDriver, 1);
         },
         3000, 2, 5},
        {"the computer wakes", [](Sim&, CRecording& recording) { recording.ReopenInput(); }, 0, 2},
        {"the computer wakes, the input opens at the second try", // under 1.3 s, a block a pass
         [](Sim& sim, CRecording& recording) {
             sim.SetBlockInterval(10000); // the clock at a pace the test can follow
             sim.FailNext(Sim::OPEN, kNoDriver, 1);
             FakeSystemSide system;
             CSystemFollower(system, recording).Resumed();
         },
         900, 2, 3},
        {"the computer wakes while the input is away", // opened until the test wakes it
         [](Sim& sim, CRecording&) {
             sim.SetBlockInterval(10000); // the clock at a pace the test can follow
             sim.FailNext(Sim::OPEN, kNoDriver);
             sim.FailNext(Sim::ADD_BUFFER, kNoDriver, 1);
         },
         2000, 2, kWakeWhileAway},
        {"a stall of 1 s", [](Sim& sim, CRecording&) { sim.Stall(kFramesPerSecond); }, 1000, 2, 1,
         0},
        // Windows moves the default input's stream itself: one that goes on is kept, one that
        // stops is given up and opened again.
        {"another input becomes the default, the stream goes on",
         [](Sim& sim, CRecording&) { sim.SetDefaultInput(L"Headset"); }, 0, 4, 1, 0},
        {"another input becomes the default, the stream stops",
         [](Sim& sim, CRecording&) {
             sim.SetDefaultInput(L"Headset");
             sim.QuietFor(3 * kFramesPerSecond, false);
         },
         3000, 2},
        {"a resume the removed device refuses", // the resume waits for the input
         [](Sim& sim, CRecording& recording) {
             EXPECT_FALSE(recording.Pause());
             sim.FailNext(Sim::START, kNoDriver, 1);
             EXPECT_FALSE(recording.Resume());
             EXPECT_NE(recording.State(), RECORDING_PAUSED);
         },
         0, 2, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        s_sim = sim;
        SetTickFunction([] { return s_sim->NowMs(); });
        sim->ContinueAcrossOpens(true);
        const fs::path file = dir / (std::string(c.what) + ".wav");
        RecordingPlan plan = Plan(dir.Path(), false);
        plan.typedName = file.wstring();
        ASSERT_FALSE(recording->Start(plan));
        const auto until = [&](uint64_t frames) {
            ASSERT_TRUE(Pump([&] { return sim->NowMs() >= frames * 1000 / kFramesPerSecond; }));
        };
        until(c.seconds * kFramesPerSecond);
        const uint64_t before = sim->FramesDelivered();
        c.fail(*sim, *recording);
        if (c.opens == kWakeWhileAway) { // the wake comes before the input can be opened again
            ASSERT_TRUE(Pump([&] { return sim->Calls(Sim::OPEN) >= 3; }));
            recording->ReopenInput();
            sim->StopFailing(Sim::OPEN);
        }
        // As much sound again after it, however long the failure took.
        ASSERT_TRUE(PumpFrames(before + c.seconds * kFramesPerSecond));
        ASSERT_TRUE(Pump([&] { return recording->State() == RECORDING_RUNNING; }))
            << "the recording goes on";
        StopAndComplete();
        EXPECT_FALSE(Find(RecordingReport::ENDED));
        if (c.opens != kWakeWhileAway) {
            EXPECT_EQ(sim->Calls(Sim::OPEN), c.opens);
        }
        const auto count = [&](RecordingReport::Kind kind) {
            return std::count_if(reports.begin(), reports.end(),
                                 [&](const RecordingReport& r) { return r.kind == kind; });
        };
        EXPECT_EQ(count(RecordingReport::INPUT_LOST), c.lost);
        if (std::string(c.what).find("default") != std::string::npos) {
            EXPECT_EQ(recording->Input(), L"Headset") << "the new default named";
        }
        EXPECT_EQ(count(RecordingReport::INPUT_BACK), c.opens == 1 ? 0 : 1);
        const std::vector<uint32_t> frames = Frames({file});
        const auto silent = Gaps(frames, tolerance);
        // Every frame the device delivered is in the file, once, in order: none is lost as the
        // input is closed and opened again (frame 0 holds 0, as silence does).
        std::vector<uint32_t> sound;
        std::copy_if(frames.begin(), frames.end(), std::back_inserter(sound),
                     [](uint32_t frame) { return frame != 0; });
        EXPECT_EQ(sound.size() + 1, sim->FramesDelivered());
        EXPECT_TRUE(std::adjacent_find(sound.begin(), sound.end(),
                                       std::greater_equal<uint32_t>()) == sound.end());
        const RecordingReport* told = Find(RecordingReport::GAPS);
        ASSERT_EQ(told != nullptr, !silent.empty());
        if (!told)
            continue;
        ASSERT_EQ(told->gaps.size(), silent.size()) << "one each, said once";
        for (size_t i = 0; i < silent.size(); ++i) {
            EXPECT_TRUE(told->gaps[i].filled);
            EXPECT_NEAR(double(told->gaps[i].atMs),
                        double(silent[i].first) * 1000 / kFramesPerSecond, 100);
            EXPECT_NEAR(double(told->gaps[i].lengthMs),
                        double(silent[i].second) * 1000 / kFramesPerSecond, 100);
        }
        EXPECT_GE(told->gaps.back().lengthMs + 100, c.leastGapMs);
    }
}

// Markers in every sample type and channel count, placed as the recording goes: one while it
// runs, one while it is paused (with the resume's own), one just inside the first file's end and
// one right before the seam, one with no sound after it; two stalls of the input a second of
// sound apart are one gap, a third is another. The files are completed at the stop, at seams, or
// by the repair after a kill from what was noted. Each marker is a cue point (ids from 1) in the
// file that holds the frame it points at, at that frame, labelled with its number and its time
// in the recording (pauses left out, the silence standing in for the stalls counted in); the
// chunks follow the RIFF rules; the stalls hold the format's silence; the pause is no gap.
TEST_F(RecordingTest, MarkersInTheFilesThatHoldTheirSound) {
    static Sim* s_sim;
    enum Completion { STOP, SEAM, KILL };
    const char* const kCompletions[] = {"stop", "seams", "kill"};
    const uint64_t block = kFramesPerBlock; // 40 ms
    const std::vector<std::pair<std::string, uint64_t>> expected = {
        // label, position in the recording (frames)
        {"Marker 1 00:00:00.2", 5 * block},       {"Marker 2 00:00:00.4", 10 * block},
        {"Resume 1 00:00:00.4", 10 * block},      {"Gap 1 00:00:00.4 (1.4 s)", 12 * block},
        {"Marker 3 00:00:02.3", 59 * block},      {"Marker 4 00:00:02.4", 60 * block},
        {"Gap 2 00:00:03.6 (0.2 s)", 92 * block}, {"Marker 5 00:00:05.0", 127 * block - 1}};
    const std::pair<uint64_t, uint64_t> stalls[] = {{12, 24}, {44, 49}, {92, 97}}; // blocks
    const uint8_t silence[] = {0x80, 0x00, 0xFF, 0xD5}; // of each sample type, in the file
    for (int type = SAMPLE_TYPE_PCM8; type <= SAMPLE_TYPE_ALAW; ++type) {
        for (int channels : {1, 2}) {
            for (Completion completion : {STOP, SEAM, KILL}) {
                const std::string what = std::to_string(type) + " type, " +
                                         std::to_string(channels) + " ch, " +
                                         kCompletions[completion];
                SCOPED_TRACE(what);
                TearDown();
                SetUp();
                s_sim = sim;
                SetTickFunction([] { return s_sim->NowMs(); });
                notes = FakeNotes();
                const uint64_t fileBlock = block * channels * (type == SAMPLE_TYPE_PCM16 ? 2 : 1);
                if (completion == SEAM) // 60 blocks and the markers, not a 61st
                    recording->SetFileSizeLimit(38 + 60 * fileBlock + 400);
                const fs::path folder = dir / what;
                fs::create_directory(folder);
                RecordingPlan plan = Plan(folder, false);
                plan.channels = channels;
                plan.sampleType = type;
                uint64_t skipped = 0; // the world's frames that brought no sound
                const auto deliver = [&](uint64_t blocks) {
                    sim->SetFrameLimit(blocks * block + skipped);
                    ASSERT_TRUE(Pump([&] {
                        return sim->FramesDelivered() == blocks * block &&
                               sim->QueuedCount() == kWaveInBufferCount;
                    }));
                };
                const auto stall = [&](uint64_t blocks) {
                    sim->Stall(blocks * block);
                    skipped += blocks * block;
                };
                sim->SetFrameLimit(0);
                ASSERT_FALSE(recording->Start(plan));
                deliver(5);
                EXPECT_EQ(recording->PlaceMarker(), 1u);
                deliver(10);
                ASSERT_FALSE(recording->Pause());
                sim->PassTime(5 * kFramesPerSecond);
                skipped += 5 * kFramesPerSecond;
                EXPECT_EQ(recording->PlaceMarker(), 2u) << "while paused";
                ASSERT_FALSE(recording->Resume());
                deliver(12);
                stall(12);
                deliver(32);
                stall(5);
                deliver(42);
                recording->PlaceMarker();
                deliver(43);
                recording->PlaceMarker();
                deliver(75);
                stall(5);
                deliver(105);
                // Its time is the recording's position as far as the disk has written it (the
                // note's label, should the program be killed now): all of it, the stalls filled.
                ASSERT_TRUE(Pump([&] {
                    uint64_t written = 0;
                    for (const auto& file : fs::directory_iterator(folder))
                        if (file.path().extension() == ".wav") // not the markers' journal
                            written += ReadWav(file.path()).data.size();
                    return written == 127 * fileBlock;
                }));
                EXPECT_EQ(recording->PlaceMarker(), 5u) << "no sound after it";
                const fs::path first = folder / "talk.wav";
                std::vector<uint8_t> killed, journal;
                std::vector<NotedFile> noted;
                if (completion == KILL) { // everything on the disk, every marker journaled
                    // the last one at the end (its sound never came) by the next flush
                    EXPECT_TRUE(recording->FlushNow(20000));
                    ASSERT_TRUE(Pump([&] {
                        const auto kept = ReadMarkerJournal(first);
                        return ReadWav(first).data.size() == 127 * fileBlock &&
                               notes.noted.size() == 1 && kept.size() == expected.size() &&
                               kept[3].label == expected[3].first;
                    }));
                    killed = ReadFileBytes(first);
                    journal = ReadFileBytes(MarkerJournalPath(first));
                    noted = notes.noted;
                }
                StopAndComplete();
                const RecordingReport* gaps = Find(RecordingReport::GAPS);
                ASSERT_TRUE(gaps);
                ASSERT_EQ(gaps->gaps.size(), 2u);
                EXPECT_EQ(gaps->gaps[0].atMs, 480u);
                EXPECT_EQ(gaps->gaps[0].lengthMs, 1480u) << "two stalls, one gap";
                EXPECT_EQ(gaps->gaps[1].atMs, 3680u);
                EXPECT_FALSE(fs::exists(MarkerJournalPath(first))) << "gone with the completion";
                if (completion == KILL) {
                    WriteFileBytes(first, killed);
                    WriteFileBytes(MarkerJournalPath(first), journal);
                    notes.noted = noted;
                    SequentialNaming naming;
                    recording->CompleteInterrupted();
                    ASSERT_TRUE(Pump([&] { return Find(RecordingReport::INTERRUPTED_READY); }));
                    ASSERT_EQ(recording->SettleInterrupted(naming).size(), 1u);
                    EXPECT_TRUE(notes.noted.empty());
                    EXPECT_FALSE(fs::exists(MarkerJournalPath(first)));
                }
                std::vector<fs::path> files = {first};
                if (completion == SEAM)
                    files = {first, folder / "talk (2).wav", folder / "talk (3).wav"};
                std::vector<std::pair<std::string, uint64_t>> found;
                std::vector<uint8_t> data;
                for (const fs::path& file : files) {
                    const WavFile wav = ReadWav(file);
                    EXPECT_TRUE(wav.IsComplete()) << testing::PrintToString(wav.chunks);
                    for (const WavFile::Cue& cue : wav.cues) {
                        EXPECT_EQ(cue.id, &cue - wav.cues.data() + 1u) << "ids from 1";
                        EXPECT_TRUE(cue.chunk == "data" && cue.chunkStart == 0 &&
                                    cue.blockStart == 0 && cue.sampleOffset == cue.position);
                        found.emplace_back(cue.label,
                                           data.size() / (fileBlock / block) + cue.position);
                    }
                    data.insert(data.end(), wav.data.begin(), wav.data.end());
                }
                EXPECT_EQ(found, expected);
                ASSERT_EQ(data.size(), 127 * fileBlock);
                for (const auto& [from, to] : stalls)
                    for (uint64_t at = from * fileBlock; at < to * fileBlock; ++at)
                        ASSERT_EQ(data[at], silence[type]) << "byte " << at;
            }
        }
    }
}

// A file keeps at most 2500 markers (libsndfile reads no more): the user hears once that no more
// are kept in it. Each costs one line of its journal and nothing of the settings file, the
// 2500th as much as the first; the journal goes with the completion.
TEST_F(RecordingTest, AFileKeepsAtMost2500Markers) {
    const fs::path journal = MarkerJournalPath(dir / "talk.wav");
    sim->SetFrameLimit(5 * kFramesPerBlock);
    ASSERT_FALSE(recording->Start(Plan(dir.Path(), false)));
    // Every block taken before the first marker: its frame then has the digits of the last's.
    ASSERT_TRUE(Pump([&] {
        return sim->FramesDelivered() >= 5 * kFramesPerBlock &&
               sim->QueuedCount() == kWaveInBufferCount;
    }));
    const int noted = notes.noteCalls;
    // Markers up to the last number, and one block after them: their journal's bytes.
    const auto place = [&](uint32_t last) {
        const uint64_t before = disk.Written(journal);
        while (recording->MarkerCount() < last)
            recording->PlaceMarker();
        sim->SetFrameLimit(sim->FramesDelivered() + kFramesPerBlock);
        EXPECT_TRUE(Pump(
            [&] { return ReadMarkerJournal(dir / "talk.wav").size() == std::min(last, 2500u); }));
        return disk.Written(journal) - before;
    };
    const uint64_t first = place(1) - 18; // the journal's own first line
    place(2499);
    const uint64_t last = place(2500);
    EXPECT_LE(last, first + 3) << "the 2500th marker costs what the first did: " << first;
    place(2503);
    EXPECT_EQ(notes.noteCalls, noted) << "no marker writes the settings";
    StopAndComplete();
    const WavFile wav = ReadWav(dir / "talk.wav");
    EXPECT_TRUE(wav.IsComplete());
    ASSERT_EQ(wav.cues.size(), 2500u);
    EXPECT_EQ(wav.cues.back().label.substr(0, 12), "Marker 2500 ");
    const auto full = [](const RecordingReport& r) {
        return r.kind == RecordingReport::MARKER_DROPPED;
    };
    ASSERT_EQ(std::count_if(reports.begin(), reports.end(), full), 1) << "said once";
    EXPECT_EQ(FileSystemPath(std::find_if(reports.begin(), reports.end(), full)->path),
              dir / "talk.wav");
    EXPECT_TRUE(notes.noted.empty());
}

// At start-up, the files an earlier run left unfinished, looked at on a thread of their own (a
// drive that does not answer holds only that thread): one whose card reader has no card (the
// drive not ready) keeps its note and is said once as waiting for its drive, and is completed
// once the card is back; one made ahead and never recorded into goes without a word, with its
// number.
TEST_F(RecordingTest, InterruptedFilesAreNeverForgotten) {
    const fs::path cut = dir / "t000003.wav", ahead = dir / "t000004.wav";
    for (const fs::path& file : {cut, ahead}) {
        CWaveFile wav;
        ASSERT_EQ(wav.Open(file, 2, 16000, SAMPLE_TYPE_PCM16), 1);
        const std::vector<uint8_t> block(file == cut ? kBlockBytes : 0, 0x11);
        wav.Write(block.data(), uint32_t(block.size()));
        WriteFileBytes(dir / "copy", ReadFileBytes(file)); // as the crash left it
        wav.Close();
        fs::rename(dir / "copy", file);
    }
    notes.noted = {{cut.wstring(), {}}, {ahead.wstring(), {}}};
    disk.FailOpening(cut, kNotReadyError);
    SequentialNaming naming = {5, 1, dir.Path().wstring(), L"t", 0};
    for (int start = 0; start < 3; ++start) {
        SCOPED_TRACE(start);
        if (start == 2)
            disk.FailOpening({}, 0);
        if (start == 0)
            disk.HoldOpenings(true);
        reports.clear();
        recording->CompleteInterrupted();
        if (start == 0) {
            ASSERT_TRUE(Pump([&] { return disk.Waiting() == 1; }));
            disk.HoldOpenings(false);
        }
        ASSERT_TRUE(Pump([&] { return Find(RecordingReport::INTERRUPTED_READY); }));
        const auto said = recording->SettleInterrupted(naming);
        ASSERT_EQ(said.size(), start == 1 ? 0u : 1u) << "the card's absence said once";
        const std::vector<NotedFile> kept = {{cut.wstring(), {}}};
        EXPECT_EQ(notes.noted, start < 2 ? kept : std::vector<NotedFile>());
        if (start == 0) {
            EXPECT_EQ(said[0].kind, RecordingReport::INTERRUPTED_WAITS);
        }
        if (start == 2) {
            EXPECT_EQ(said[0].kind, RecordingReport::INTERRUPTED_COMPLETED);
            EXPECT_EQ(said[0].lengthMs, 40u);
        }
    }
    EXPECT_FALSE(fs::exists(ahead));
    EXPECT_EQ(naming.count, 4u);
    EXPECT_EQ(notes.counter, 4);
}

} // namespace
