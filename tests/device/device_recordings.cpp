// Records from the system's default input through winmm, as the program does, into a folder
// given on the command line, and writes a manifest of what it recorded for the checker
// (check_recordings.py) to compare with the files.
//   device_recordings FOLDER
// While it runs, a 1 kHz tone plays into the input (see run_device_tests.sh). For the last
// recording it asks the script to suspend the input, by creating FOLDER\suspend-input.
#include "capture/wave_in.h"
#include "capture/winmm_wave_input.h"
#include "monitor/win_monitor_host.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

void Sleep(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: device_recordings FOLDER\n");
        return 2;
    }
    const fs::path folder = argv[1];
    std::ofstream manifest(folder / "manifest.txt");
    CWinMonitorHost host;
    CWaveIn capture(MakeWinmmWaveInput(), host);

    std::mutex lock;
    std::condition_variable ended;
    int endReason = 0;
    Clock::time_point endTime;
    capture.SetEndHandler([&](CaptureEnd end) {
        std::lock_guard<std::mutex> guard(lock);
        endReason = end.reason;
        endTime = Clock::now();
        ended.notify_all();
    });

    int failures = 0;
    auto record = [&](const std::string& name, int channels, int rate, int type, bool withPause) {
        const fs::path path = folder / (name + ".wav");
        const auto start = Clock::now();
        if (!capture.Open(path, channels, rate, type, RawFile::CREATE_REPLACE)) {
            std::printf("FAILED to open %s\n", name.c_str());
            ++failures;
            return;
        }
        // The time the device ran: from the end of Open (which starts it) to the pause, and
        // from the resume to the close.
        auto running = Clock::now();
        double recorded = 0;
        if (withPause) {
            Sleep(1.5);
            recorded += Seconds(Clock::now() - running);
            capture.Stop();
            Sleep(1.0);
            capture.Start();
            running = Clock::now();
            Sleep(1.5);
        } else {
            Sleep(3.0);
        }
        recorded += Seconds(Clock::now() - running);
        const int closed = capture.Close();
        const double wall = Seconds(Clock::now() - start);
        manifest << name << ' ' << channels << ' ' << rate << ' ' << type << ' ' << recorded << ' '
                 << wall << ' ' << closed << '\n';
        std::printf("recorded %s (%.3f s running, %.2f s of wall time)\n", name.c_str(), recorded,
                    wall);
    };

    // No warm-up: the first recording of the process is measured like every other.
    const int rates[] = {8000, 44100, 48000};
    for (int type = 0; type <= 3; ++type)
        for (int channels : {1, 2})
            for (int rate : rates)
                record("t" + std::to_string(type) + "_c" + std::to_string(channels) + "_r" +
                           std::to_string(rate),
                       channels, rate, type, false);
    record("paused", 2, 44100, 1, true);

    // The input stops delivering in the middle of a recording.
    const fs::path path = folder / "silenced.wav";
    if (capture.Open(path, 1, 16000, 1)) {
        Sleep(1.5);
        std::ofstream(folder / "suspend-input").put('1');
        const auto asked = Clock::now();
        std::unique_lock<std::mutex> guard(lock);
        const bool gotNotice =
            ended.wait_for(guard, std::chrono::seconds(8), [&] { return endReason != 0; });
        guard.unlock();
        const double after = gotNotice ? Seconds(endTime - asked) : -1;
        capture.Close();
        manifest << "silenced 1 16000 1 " << (gotNotice ? endReason : 0) << ' ' << after << " 1\n";
        std::printf("silenced: notice %d after %.2f s\n", endReason, after);
    } else {
        ++failures;
    }
    return failures ? 1 : 0;
}
