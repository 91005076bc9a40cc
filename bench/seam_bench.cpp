// The blocks of a long recording as the capture thread writes them: within a file, and at a
// seam, where the prepared next file takes the block and the full one goes to the disk thread;
// the making of a next file, which the window thread does ahead of time; and the flush cadence
// of the file being written, while blocks arrive at the device's pace. 40 ms blocks of 48000 Hz
// stereo 16-bit into files of 200 blocks, on the folder given.
//   seam_bench [FOLDER]
#include "engine/clock.h"
#include "engine/wave_file.h"
#include "recording/disk_thread.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Micro(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

void Report(const char* what, std::vector<double> times) {
    if (times.empty())
        return;
    std::sort(times.begin(), times.end());
    std::printf("%-38s median %8.1f µs   99 %% %8.1f µs   worst %8.1f µs   (%zu)\n", what,
                times[times.size() / 2], times[times.size() * 99 / 100], times.back(),
                times.size());
}

std::mutex g_flushLock;
std::vector<Clock::time_point> g_flushes;
std::atomic<bool> g_recordFlushes{false};

bool NoteFlush() {
    if (g_recordFlushes) {
        std::lock_guard<std::mutex> lock(g_flushLock);
        g_flushes.push_back(Clock::now());
    }
    return true;
}

// Writes blocks into files of blocksPerFile, making each next file when the writer wants one,
// with the disk thread completing the full ones; paced: one block every 40 ms.
bool Record(const fs::path& folder, int blocks, bool paced, std::vector<double>& within,
            std::vector<double>& seams, std::vector<double>& prepares) {
    const uint32_t block = 7680;
    const int blocksPerFile = 200;
    std::vector<uint8_t> data(block, 0x22);
    FileHandOver handOver;
    CWaveFile wav;
    wav.SetHandOver(&handOver);
    wav.SetRiffSizeLimit(38 + uint64_t(blocksPerFile) * block);
    if (!wav.Open(folder / "part0.wav", 2, 48000, SAMPLE_TYPE_PCM16)) {
        std::printf("cannot create files in %s\n", folder.string().c_str());
        return false;
    }
    DiskThread disk;
    disk.Start(handOver, nullptr);
    int made = 0;
    auto due = Clock::now();
    for (int i = 0; i < blocks; ++i) {
        if (wav.WantsNext(10)) {
            const auto start = Clock::now();
            WavePart next;
            next.path = folder / ("part" + std::to_string(++made) + ".wav");
            CWaveFile::CreateWithHeader(next.file, next.path, RawFile::CREATE_NEW_ONLY,
                                        wav.Format(), nullptr, nullptr);
            next.flusher = std::make_shared<RawFile>(next.file.Duplicate());
            handOver.Offer(next);
            prepares.push_back(Micro(Clock::now() - start));
        }
        if (paced) {
            due += std::chrono::milliseconds(40);
            std::this_thread::sleep_until(due);
        }
        const uint32_t before = wav.Switches();
        const auto start = Clock::now();
        if (!wav.Write(data.data(), block)) {
            std::printf("write failed at block %d\n", i);
            return false;
        }
        (wav.Switches() != before ? seams : within).push_back(Micro(Clock::now() - start));
    }
    wav.Close();
    WavePart untaken;
    handOver.Close(untaken);
    disk.Join();
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const fs::path folder =
        (argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path()) / "sonarix-seams";
    fs::remove_all(folder);
    fs::create_directories(folder);
    RawFile::SetFlushHook(NoteFlush);

    std::vector<double> within, seams, prepares;
    if (!Record(folder, 200 * 40, false, within, seams, prepares))
        return 1;
    std::printf("as fast as the disk takes them:\n");
    Report("a block within a file", within);
    Report("the block at a seam", seams);
    Report("making a next file (window thread)", prepares);

    // At the device's pace, for three flush periods: the flushes come on the disk thread, and the
    // blocks go on meanwhile.
    fs::remove_all(folder);
    fs::create_directories(folder);
    within.clear(), seams.clear(), prepares.clear();
    g_recordFlushes = true;
    const auto start = Clock::now();
    if (!Record(folder, int(3 * kFlushPeriodMs / 40 + 25), true, within, seams, prepares))
        return 1;
    g_recordFlushes = false;
    std::printf("at the device's pace (one block every 40 ms):\n");
    Report("a block within a file", within);
    Report("the block at a seam", seams);
    std::printf("flushes of the file being written, seconds after the start:");
    for (const auto& at : g_flushes)
        std::printf(" %.2f", std::chrono::duration<double>(at - start).count());
    std::printf("\n(the last one completes the file). A block lasts 40000 µs; the capture keeps 30 "
                "of them (1.2 s) in the device\n");
    fs::remove_all(folder);
    return 0;
}
