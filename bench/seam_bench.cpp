// The block at the seam of a long recording: the full file completed (pad byte, sizes, flush,
// close) and the prepared next file taking the block, against the blocks in between; and the
// preparing of a next file, which the window thread does ahead of time. 40 ms blocks of 48000 Hz
// stereo 16-bit into files of 200 blocks, on the folder given.
//   seam_bench [FOLDER]
#include "engine/wave_file.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Micro(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-34s median %8.1f µs   99 %% %8.1f µs   worst %8.1f µs   (%zu)\n", what,
                times[times.size() / 2], times[times.size() * 99 / 100], times.back(),
                times.size());
}

} // namespace

int main(int argc, char** argv) {
    const fs::path folder =
        (argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path()) / "sonarix-seams";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const uint32_t block = 7680;
    const int blocksPerFile = 200, files = 40;
    std::vector<uint8_t> data(block, 0x22);
    CWaveFile wav;
    wav.SetRiffSizeLimit(38 + uint64_t(blocksPerFile) * block);
    if (!wav.Open(folder / "part0.wav", 2, 48000, SAMPLE_TYPE_PCM16)) {
        std::printf("cannot create files in %s\n", folder.string().c_str());
        return 1;
    }
    std::vector<double> blocks, seams, prepares;
    for (int i = 0; i < blocksPerFile * files; ++i) {
        if (wav.WantsNext(10)) {
            const auto start = Clock::now();
            wav.PrepareNext(folder / ("part" + std::to_string(wav.Switches() + 1) + ".wav"),
                            RawFile::CREATE_NEW_ONLY, nullptr, nullptr);
            prepares.push_back(Micro(Clock::now() - start));
        }
        const uint32_t before = wav.Switches();
        const auto start = Clock::now();
        if (!wav.Write(data.data(), block)) {
            std::printf("write failed at block %d\n", i);
            return 1;
        }
        (wav.Switches() != before ? seams : blocks).push_back(Micro(Clock::now() - start));
    }
    wav.Close();
    Report("a block within a file", blocks);
    Report("the block at a seam", seams);
    Report("preparing a next file (window)", prepares);
    std::printf("a block lasts 40000 µs; the capture keeps 30 of them (1.2 s) in the device\n");
    fs::remove_all(folder);
    return 0;
}
