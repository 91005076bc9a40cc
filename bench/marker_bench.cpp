// What a marker costs. The capture thread: one block taken into the recording's queue (copied,
// counted, judged) with no marker placed, and with the window thread placing a marker for every
// block meanwhile (25 a second, more than anyone presses a key: a marker is placed on the window
// thread, and the capture thread only meets it at one short lock). The disk thread: completing a
// file of an hour of 48000 Hz stereo with 2500 markers, and the repair of such a file after a
// crash, next to one without markers.
#include "engine/marker_journal.h"
#include "engine/recording_repair.h"
#include "engine/wave_file.h"
#include "recording/block_judge.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kBlockBytes = 7680; // 40 ms of 48000 Hz stereo 16-bit

void BM_CaptureBlock(benchmark::State& state) {
    const bool placing = state.range(0) != 0;
    BlockQueue queue;
    queue.Allocate(kBlockBytes, 1024);
    MarkerRequests markers;
    BlockJudge judge(queue, markers, 4, 48000);
    std::vector<uint8_t> block(kBlockBytes, 0x11);
    std::atomic<bool> done{false};
    std::atomic<uint64_t> blocks{0};
    std::thread window([&] {
        for (uint64_t placed = 0; placing && !done;) {
            if (blocks.load() == placed) {
                std::this_thread::yield();
                continue;
            }
            markers.Ask(MARKER_USER, uint32_t(++placed));
            if (placed % 64 == 0)
                markers.TakePlaced(); // as the disk thread would
        }
    });
    uint32_t clock = 0, taken = 0;
    for (auto _ : state) {
        judge.TakeBlock(block.data(), kBlockBytes, clock += 40);
        ++blocks;
        if (++taken == 1000) { // the disk thread's part, outside the measure
            state.PauseTiming();
            BlockQueue::Block next;
            while (queue.Next(std::chrono::milliseconds(0), next) == BlockQueue::BLOCK)
                queue.Release();
            taken = 0;
            state.ResumeTiming();
        }
    }
    done = true;
    window.join();
}
BENCHMARK(BM_CaptureBlock)->ArgName("markers_per_block")->Arg(0)->Arg(1)->UseRealTime();

// What the disk thread spends on a marker: one line appended to its file's journal, the 1st and
// the 2500th (a journal holding 2499 lines already); bytes_per_marker is what goes to the disk.
void BM_JournalMarker(benchmark::State& state) {
    const auto wav = std::filesystem::temp_directory_path() / "sonarix-journal-bench.wav";
    const uint64_t held = uint64_t(state.range(0)) - 1;
    uint64_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        MarkerJournal journal;
        journal.Begin(wav);
        for (uint64_t n = 1; n <= held; ++n)
            journal.Append(n, n * 4800, "Marker " + std::to_string(n) + " 00:00:00.0");
        const uint64_t before = journal.Bytes();
        state.ResumeTiming();
        journal.Append(held + 1, (held + 1) * 4800,
                       "Marker " + std::to_string(held + 1) + " 00:00:00.0");
        state.PauseTiming();
        bytes = journal.Bytes() - before;
        journal.End(true);
        state.ResumeTiming();
    }
    state.counters["bytes_per_marker"] = double(bytes);
}
BENCHMARK(BM_JournalMarker)->ArgName("nth")->Arg(1)->Arg(2500)->Iterations(300);

// An hour of sound written once; each round completes a copy of it.
const std::filesystem::path& HourFile() {
    static const std::filesystem::path path = [] {
        const auto file = std::filesystem::temp_directory_path() / "sonarix-marker-bench.wav";
        CWaveFile wav;
        wav.Open(file, 2, 48000, SAMPLE_TYPE_PCM16, RawFile::CREATE_REPLACE);
        std::vector<uint8_t> block(kBlockBytes * 25, 0x11);
        for (int second = 0; second < 3600; ++second)
            wav.Write(block.data(), uint32_t(block.size()));
        std::filesystem::copy_file(file, file.string() + ".live",
                                   std::filesystem::copy_options::overwrite_existing);
        wav.Close();
        return std::filesystem::path(file.string() + ".live"); // as a crash leaves it
    }();
    return path;
}

std::vector<WaveLayout::CueMarker> Markers(int count) {
    std::vector<WaveLayout::CueMarker> markers;
    for (int i = 0; i < count; ++i)
        markers.push_back({uint64_t(i) * 69000, "Marker " + std::to_string(i + 1) + " 00:00:00.0"});
    return markers;
}

void BM_RepairHourFile(benchmark::State& state) {
    const auto markers = Markers(int(state.range(0)));
    const auto copy = std::filesystem::temp_directory_path() / "sonarix-marker-bench-copy.wav";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(HourFile(), copy,
                                   std::filesystem::copy_options::overwrite_existing);
        state.ResumeTiming();
        if (CompleteInterruptedRecording(copy, markers).status != REPAIR_DONE)
            state.SkipWithError("not completed");
    }
    std::filesystem::remove(copy);
}
BENCHMARK(BM_RepairHourFile)->ArgName("markers")->Arg(0)->Arg(2500)->Unit(benchmark::kMillisecond);

// The writer's completion at the stop: the file kept open as the disk thread has it.
void BM_CompleteWithMarkers(benchmark::State& state) {
    const auto markers = Markers(int(state.range(0)));
    const auto file = std::filesystem::temp_directory_path() / "sonarix-marker-bench-close.wav";
    std::vector<uint8_t> block(kBlockBytes * 25, 0x11);
    for (auto _ : state) {
        state.PauseTiming();
        CWaveFile wav;
        wav.Open(file, 2, 48000, SAMPLE_TYPE_PCM16, RawFile::CREATE_REPLACE);
        for (int second = 0; second < 60; ++second)
            wav.Write(block.data(), uint32_t(block.size()));
        for (const auto& marker : markers)
            wav.AddMarker(marker.frame % (60 * 48000), marker.label);
        state.ResumeTiming();
        if (!wav.Close())
            state.SkipWithError("not completed");
    }
    std::filesystem::remove(file);
}
BENCHMARK(BM_CompleteWithMarkers)
    ->ArgName("markers")
    ->Arg(0)
    ->Arg(2500)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
