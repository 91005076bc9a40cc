// The WAV writer's cost per 40 ms capture block at 48000 Hz stereo, for each sample type, as
// time per block and as a share of the 40 ms the block lasts.
#include "engine/wave_file.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kChannels = 2;
constexpr int kFramesPerBlock = kRate / 25; // 40 ms
constexpr int kBlocksPerFile = 25 * 60;     // start a new file every recorded minute

void BM_WriteBlock(benchmark::State& state) {
    const int sampleType = int(state.range(0));
    const size_t bytesPerSample = sampleType == SAMPLE_TYPE_PCM8 ? 1 : 2;
    std::vector<uint8_t> block(kFramesPerBlock * kChannels * bytesPerSample);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = uint8_t(128 + 100 * std::sin(double(i) / 7));

    const auto path = std::filesystem::temp_directory_path() /
                      ("sonarix-bench-" + std::to_string(sampleType) + ".wav");
    CWaveFile wav;
    int written = 0;
    wav.Open(path, kChannels, kRate, sampleType, RawFile::CREATE_REPLACE);
    for (auto _ : state) {
        if (wav.Write(block.data(), uint32_t(block.size())) != CWaveFile::WRITE_OK) {
            state.SkipWithError("write failed");
            break;
        }
        if (++written == kBlocksPerFile) {
            state.PauseTiming();
            wav.Close();
            wav.Open(path, kChannels, kRate, sampleType, RawFile::CREATE_REPLACE);
            written = 0;
            state.ResumeTiming();
        }
    }
    wav.Close();
    std::filesystem::remove(path);
}

BENCHMARK(BM_WriteBlock)
    ->ArgName("sample_type")
    ->DenseRange(SAMPLE_TYPE_PCM8, SAMPLE_TYPE_ALAW)
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
