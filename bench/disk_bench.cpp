// The way of a block to the disk, measured, 48000 Hz stereo 16-bit (40 ms blocks of 7680 bytes),
// on the folder given:
//  1. the disk thread's work per block: a block within a file, and the seam (the full file
//     completed, the next one taken over), as fast as the disk takes them; and the window
//     thread's making of a next file;
//  2. a recording at the device's pace for three flush periods: when the file being written is
//     flushed, and how long each buffer is away from the device;
//  3. the disk stalled (every write and flush held) for longer and longer stretches, with the
//     device at 20 times its pace: what each stall cost, the longest survived without loss, and
//     how long each buffer was away from the device meanwhile.
//   disk_bench [FOLDER]
#include "bench/null_monitor_host.h"
#include "engine/clock.h"
#include "engine/wave_file.h"
#include "recording/recording.h"
#include "recording/recording_policy.h"
#include "tests/support/no_notes.h"
#include "tests/support/simulated_wave_input.h"
#include "tests/support/test_disk.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint32_t kBlock = 7680;
constexpr uint64_t kFramesPerSecond = 48000;

double Micro(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

void Report(const char* what, std::vector<double> times) {
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    std::printf("%-44s median %8.1f µs   99 %% %8.1f µs   worst %8.1f µs   (%zu)\n", what,
                times[times.size() / 2], times[times.size() * 99 / 100], times.back(),
                times.size());
}

// The test disk, noting when each flush comes.
class TimedDisk : public TestDisk {
public:
    uint32_t BeforeFlush(const fs::path& path) override {
        {
            std::lock_guard<std::mutex> lock(m_timesLock);
            flushes.push_back(Clock::now());
        }
        return TestDisk::BeforeFlush(path);
    }
    std::mutex m_timesLock;
    std::vector<Clock::time_point> flushes;
};

// 1. The writer on the disk thread: blocks into files of 200, the seams between them.
bool WriterCosts(const fs::path& folder) {
    std::vector<uint8_t> data(kBlock, 0x22);
    CWaveFile wav;
    wav.SetRiffSizeLimit(38 + 200 * uint64_t(kBlock));
    if (!wav.Open(folder / "part0.wav", 2, 48000, SAMPLE_TYPE_PCM16)) {
        std::printf("cannot create files in %s\n", folder.string().c_str());
        return false;
    }
    std::vector<double> within, seams, prepares;
    for (int i = 0, made = 0; i < 200 * 40; ++i) {
        auto start = Clock::now();
        CWaveFile::WriteResult result = wav.Write(data.data(), kBlock);
        if (result == CWaveFile::WRITE_FULL) {
            const auto made0 = Clock::now();
            RawFile next;
            CWaveFile::CreateWithHeader(next, folder / ("part" + std::to_string(++made) + ".wav"),
                                        RawFile::CREATE_NEW_ONLY, wav.Format(), nullptr);
            prepares.push_back(Micro(Clock::now() - made0));
            start = Clock::now();
            wav.Close();
            wav.Continue(std::move(next));
            result = wav.Write(data.data(), kBlock);
            seams.push_back(Micro(Clock::now() - start));
        } else {
            within.push_back(Micro(Clock::now() - start));
        }
        if (result != CWaveFile::WRITE_OK) {
            std::printf("write failed at block %d\n", i);
            return false;
        }
    }
    wav.Close();
    std::printf("the disk thread, as fast as the disk takes the blocks:\n");
    Report("a block within a file", within);
    Report("the seam (completed, next file, its block)", seams);
    Report("making a next file (window thread)", prepares);
    return true;
}

struct Session {
    NullMonitorHost host;
    CMonitor monitor{host};
    SimulatedWaveInput* sim = nullptr;
    std::unique_ptr<CWaveIn> capture;
    NoNotes notes;
    std::unique_ptr<CRecording> recording;
    std::vector<RecordingReport> reports;

    explicit Session(uint32_t blockIntervalUs) {
        auto device = std::make_unique<SimulatedWaveInput>();
        sim = device.get();
        sim->SetBlockInterval(blockIntervalUs);
        capture = std::make_unique<CWaveIn>(std::move(device), monitor);
        monitor.AttachWindows(NullMonitorHost::View(), NullMonitorHost::Meter0(),
                              NullMonitorHost::Meter1());
        recording = std::make_unique<CRecording>(*capture, notes, nullptr);
    }
    bool Start(const fs::path& file) {
        RecordingPlan plan;
        plan.channels = 2;
        plan.samplesPerSec = 48000;
        plan.sampleType = SAMPLE_TYPE_PCM16;
        plan.typedName = file.wstring();
        plan.replaceTyped = true;
        return !recording->Start(plan);
    }
    // Serves the recording (as the window thread does) until the device has delivered frames.
    void Until(uint64_t frames) {
        while (sim->FramesDelivered() < frames) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            for (RecordingReport& report : recording->TakeReports())
                reports.push_back(report);
        }
    }
    void Stop() {
        recording->Stop();
        recording->WaitUntilComplete(60000, reports);
    }
};

// 2. At the device's pace: the flush cadence and the buffers' time away from the device.
void Cadence(const fs::path& folder) {
    TimedDisk disk;
    Session session(40000);
    if (!session.Start(folder / "paced.wav"))
        return;
    const auto start = Clock::now();
    session.Until((3 * kFlushPeriodMs + 1000) * kFramesPerSecond / 1000);
    session.Stop();
    std::printf("at the device's pace (one block every 40 ms):\n");
    std::printf("flushes of the file being written, seconds after the start:");
    for (const auto& at : disk.flushes)
        std::printf(" %.2f", std::chrono::duration<double>(at - start).count());
    std::printf("\n(the last one completes the file)\n");
    Report("a buffer's time away from the device", session.sim->TakeTurnarounds());
}

// 3. The disk stalled for stretches of sound, the device at 20 times its pace.
void Stalls(const fs::path& folder) {
    std::printf("the disk stalled (every write and flush held), the device at 20 times its "
                "pace; the queue holds %u s:\n",
                kQueueSeconds);
    std::vector<double> turnarounds;
    uint32_t survived = 0;
    for (uint32_t seconds : {5u, 10u, 20u, 29u, 31u, 40u, 60u}) {
        TestDisk disk;
        Session session(2000);
        if (!session.Start(folder / "stalled.wav"))
            return;
        session.Until(kFramesPerSecond);
        session.sim->TakeTurnarounds();
        disk.Hold();
        session.Until(session.sim->FramesDelivered() + seconds * kFramesPerSecond);
        const std::vector<double> away = session.sim->TakeTurnarounds();
        turnarounds.insert(turnarounds.end(), away.begin(), away.end());
        disk.Release();
        session.Until(session.sim->FramesDelivered() + kFramesPerSecond);
        session.Stop();
        uint64_t lostMs = 0;
        for (const RecordingReport& report : session.reports)
            for (const RecordingGap& gap : report.gaps)
                lostMs += gap.lengthMs;
        std::printf("  a stall of %2u s of sound: %s", seconds, lostMs ? "" : "nothing lost\n");
        if (lostMs)
            std::printf("%.2f s lost (told, silence in its place)\n", double(lostMs) / 1000);
        if (!lostMs)
            survived = std::max(survived, seconds);
    }
    std::printf("longest stall survived without loss: %u s of sound\n", survived);
    Report("a buffer's time away from the device, stalled", turnarounds);
}

} // namespace

int main(int argc, char** argv) {
    const fs::path folder =
        (argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path()) / "sonarix-disk";
    fs::remove_all(folder);
    fs::create_directories(folder);
    if (!WriterCosts(folder))
        return 1;
    Cadence(folder);
    Stalls(folder);
    fs::remove_all(folder);
    std::printf("A block lasts 40000 µs; the device holds 30 of them (1.2 s).\n");
    return 0;
}
