// CMonitor::ProcessBlock for one 40 ms block at 48000 Hz stereo 16-bit (1920 frames), with the
// waveform as wide as the real control (140 × 85 dialog units: 210 × 138 pixels in the dialog
// font) and meters of 15 × 138 pixels.
#include "bench/null_monitor_host.h"
#include "monitor/monitor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

void BM_ProcessBlock(benchmark::State& state) {
    NullMonitorHost host;
    CMonitor monitor(host);
    monitor.AttachWindows(NullMonitorHost::View(), NullMonitorHost::Meter0(),
                          NullMonitorHost::Meter1());
    monitor.SetFormat(2, 16);
    std::vector<uint8_t> block(7680);
    for (size_t i = 0; i + 1 < block.size(); i += 2) {
        const auto s = int16_t(20000 * std::sin(double(i) / 40));
        block[i] = uint8_t(s);
        block[i + 1] = uint8_t(uint16_t(s) >> 8);
    }
    for (auto _ : state)
        monitor.ProcessBlock(block.data(), uint32_t(block.size()));
}

BENCHMARK(BM_ProcessBlock)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly();

} // namespace

BENCHMARK_MAIN();
