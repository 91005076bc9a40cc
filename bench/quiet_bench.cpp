// The quiet warning against recorded sound: raw 16-bit mono files at 16000 Hz (made with sox by
// scripts/bench.sh), fed to the monitor in 40 ms blocks as the capture would. For each file, how
// many times the warning would begin, when it first would (in seconds of sound), and how long it
// would stay on.
#include "bench/null_monitor_host.h"
#include "monitor/monitor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    constexpr uint32_t kRate = 16000, kBlockBytes = kRate * 2 / 25;
    NullMonitorHost host;
    CMonitor monitor(host);
    monitor.AttachWindows(NullMonitorHost::View(), NullMonitorHost::Meter0(),
                          NullMonitorHost::Meter1());
    std::printf("%-44s %8s %8s %8s %9s %10s %9s\n", "sound", "seconds", "RMS dB", "peak dB",
                "warnings", "first at s", "warned s");
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t equals = arg.find('=');
        const std::string label = arg.substr(0, equals), path = arg.substr(equals + 1);
        FILE* file = std::fopen(path.c_str(), "rb");
        if (!file) {
            std::printf("%-44s cannot be read: %s\n", label.c_str(), path.c_str());
            return 1;
        }
        monitor.SetFormat(1, 16, kRate * 2);
        std::vector<uint8_t> block(kBlockBytes);
        uint64_t blocks = 0, warnedBlocks = 0, warnings = 0;
        double squares = 0;
        int peak = 0;
        double firstAt = -1;
        bool warned = false;
        while (std::fread(block.data(), 1, block.size(), file) == block.size()) {
            monitor.ProcessBlock(block.data(), kBlockBytes);
            for (uint32_t b = 0; b + 1 < kBlockBytes; b += 2) {
                const int v = int16_t(uint16_t(block[b] | block[b + 1] << 8));
                squares += double(v) * v;
                peak = std::max(peak, std::abs(v));
            }
            ++blocks;
            const bool now = monitor.QuietMs() >= kQuietWarnMs;
            if (now && !warned) {
                ++warnings;
                if (firstAt < 0)
                    firstAt = blocks * 0.04;
            }
            warnedBlocks += now;
            warned = now;
        }
        std::fclose(file);
        char first[32] = "-";
        if (firstAt >= 0)
            std::snprintf(first, sizeof first, "%.2f", firstAt);
        const double samples = double(blocks) * kBlockBytes / 2;
        const double rms = samples > 0 ? std::sqrt(squares / samples) : 0;
        std::printf("%-44s %8.1f %8.1f %8.1f %9llu %10s %9.1f\n", label.c_str(), blocks * 0.04,
                    20 * std::log10(std::max(rms, 1e-9) / 32768),
                    20 * std::log10(std::max(peak, 1) / 32768.0),
                    static_cast<unsigned long long>(warnings), first, warnedBlocks * 0.04);
    }
    return 0;
}
