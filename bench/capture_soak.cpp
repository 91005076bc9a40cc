// One hour of 48000 Hz stereo 16-bit through the capture, the queue and the disk thread into a
// file, from the simulated device at 200 times its pace (a block every 200 µs): wall and CPU
// time, memory after the first minute and at the end, and the frames lost or doubled (read back
// from the file).
//   capture_soak [FOLDER] [MINUTES]
#include "bench/null_monitor_host.h"
#include "capture/wave_in.h"
#include "recording/recording.h"
#include "tests/support/no_notes.h"
#include "tests/support/simulated_wave_input.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

// Resident and peak resident memory of this process, in KiB.
std::pair<long, long> Memory() {
    std::ifstream status("/proc/self/status");
    std::string line;
    long rss = 0, peak = 0;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            rss = std::stol(line.substr(6));
        if (line.rfind("VmHWM:", 0) == 0)
            peak = std::stol(line.substr(6));
    }
    return {rss, peak};
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : "/tmp";
    const double minutes = argc > 2 ? std::stod(argv[2]) : 60;
    const auto path = folder / "sonarix-soak.wav";
    const uint64_t frameRate = 48000;
    const uint64_t target = uint64_t(minutes * 60 * frameRate);

    NullMonitorHost host;
    CMonitor monitor(host);
    auto device = std::make_unique<SimulatedWaveInput>();
    SimulatedWaveInput* sim = device.get();
    sim->SetBlockInterval(200);
    CWaveIn capture(std::move(device), monitor);
    monitor.AttachWindows(NullMonitorHost::View(), NullMonitorHost::Meter0(),
                          NullMonitorHost::Meter1());
    NoNotes notes;
    CRecording recording(capture, notes, nullptr);
    RecordingPlan plan;
    plan.channels = 2;
    plan.samplesPerSec = int(frameRate);
    plan.sampleType = SAMPLE_TYPE_PCM16;
    plan.typedName = path.wstring();
    plan.replaceTyped = true;

    const auto start = std::chrono::steady_clock::now();
    const double cpuStart = CpuSeconds();
    if (recording.Start(plan)) {
        std::printf("cannot start a recording into %s\n", path.string().c_str());
        return 1;
    }
    std::pair<long, long> afterMinute{0, 0};
    uint64_t lostMs = 0;
    std::vector<RecordingReport> reports;
    while (sim->FramesDelivered() < target) {
        if (!afterMinute.first && sim->FramesDelivered() >= 60 * frameRate)
            afterMinute = Memory();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        for (RecordingReport& report : recording.TakeReports())
            reports.push_back(report);
    }
    recording.Stop();
    recording.WaitUntilComplete(600000, reports);
    for (const RecordingReport& report : reports)
        for (const RecordingGap& gap : report.gaps)
            lostMs += gap.lengthMs;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuStart;
    const auto atEnd = Memory();
    const uint64_t delivered = sim->FramesDelivered();

    // Read the frames back: each holds its own number (low half in channel 0, high in 1).
    std::ifstream in(path, std::ios::binary);
    in.seekg(46);
    std::vector<char> chunk(1 << 20);
    uint64_t frames = 0, wrong = 0;
    while (in) {
        in.read(chunk.data(), std::streamsize(chunk.size()));
        const size_t got = size_t(in.gcount());
        for (size_t at = 0; at + 4 <= got; at += 4, ++frames) {
            uint32_t n;
            std::memcpy(&n, chunk.data() + at, 4);
            wrong += n != uint32_t(frames) && n != 0; // silence stands where sound was lost
        }
    }
    std::filesystem::remove(path);

    const double recorded = double(delivered) / frameRate;
    std::printf("recorded: %.1f min of 48000 Hz stereo 16-bit\n", recorded / 60);
    std::printf("wall time: %.1f s (%.0f times real time)\n", wall, recorded / wall);
    std::printf("CPU time: %.1f s (%.2f CPU-s per recorded minute)\n", cpu, cpu / (recorded / 60));
    std::printf("memory after 1 min: %ld KiB resident, %ld KiB peak\n", afterMinute.first,
                afterMinute.second);
    std::printf("memory at the end:  %ld KiB resident, %ld KiB peak\n", atEnd.first, atEnd.second);
    std::printf("frames delivered %llu, in the file %llu, out of place %llu, missing %lld; "
                "sound the queue could not keep: %.2f s\n",
                (unsigned long long)delivered, (unsigned long long)frames,
                (unsigned long long)wrong, (long long)delivered - (long long)frames,
                double(lostMs) / 1000);
    return frames == delivered && wrong == 0 ? 0 : 1;
}
