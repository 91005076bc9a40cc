// Records from the system's sound as the program does (the capture, the queue, the disk thread),
// into a folder given on the command line, and writes a manifest of what it recorded for the
// checker (check_recordings.py) to compare with the files.
//   device_recordings FOLDER          the default input in every format; a sink's monitor read
//                                     through WASAPI; both sides of a call (the default input
//                                     and the second sink's monitor read through WASAPI); an
//                                     input chosen by its ID; the loopback
//   device_recordings FOLDER --again  the input chosen before, by the ID it noted, once more
// While it runs, a 1 kHz tone plays into the default sink, whose monitor is the default input,
// and a 1.5 kHz one into the sink "Second" (see run_device_tests.sh). For the last recording
// it asks the script to suspend the input, by creating FOLDER\suspend-input: the recording is
// to wait for it.
#include "capture/audio_endpoints.h"
#include "capture/source_wave_input.h"
#include "capture/wave_in.h"
#include "monitor/win_monitor_host.h"
#include "recording/recording.h"
#include "tests/support/no_notes.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
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
    const bool again = argc > 2 && std::wstring(argv[2]) == L"--again";
    std::ofstream manifest(folder / "manifest.txt", again ? std::ios::app : std::ios::trunc);
    CWinMonitorHost host;
    CMonitor display(host);
    CWaveIn capture(MakeSystemWaveInput(), display);
    NoNotes notes;
    CRecording recording(capture, notes, nullptr);
    CaptureSource source; // Windows' default input, unless a case says otherwise
    const auto plan = [&](const fs::path& path, int channels, int rate, int type) {
        RecordingPlan plan;
        plan.channels = channels;
        plan.samplesPerSec = rate;
        plan.sampleType = type;
        plan.typedName = path.wstring();
        plan.replaceTyped = true;
        plan.source = source;
        return plan;
    };

    int failures = 0;
    // hz: the tone the file must hold.
    auto record = [&](const std::string& name, int channels, int rate, int type, bool withPause,
                      int hz = 1000) {
        const fs::path path = folder / (name + ".wav");
        const auto start = Clock::now();
        // The device starts and stops somewhere within the calls that start, pause, resume and
        // stop it: what they take is counted apart, as the device's time may hold all of it.
        double inCalls = 0;
        const auto timed = [&](auto call) {
            const auto before = Clock::now();
            const auto result = call();
            inCalls += Seconds(Clock::now() - before);
            return result;
        };
        if (const RecordingFailure failure =
                timed([&] { return recording.Start(plan(path, channels, rate, type)); })) {
            std::printf("FAILED to start %s: step %d, code 0x%x\n", name.c_str(), int(failure.step),
                        unsigned(failure.code));
            ++failures;
            return;
        }
        // The time the device surely ran: from the end of the start to the pause, and from the
        // resume to the stop.
        auto running = Clock::now();
        double recorded = 0;
        if (withPause) {
            Sleep(1.5);
            recorded += Seconds(Clock::now() - running);
            timed([&] { return recording.Pause(); });
            Sleep(1.0);
            timed([&] { return recording.Resume(); });
            running = Clock::now();
            Sleep(1.5);
        } else {
            Sleep(2.0);
        }
        recorded += Seconds(Clock::now() - running);
        timed([&] {
            recording.Stop();
            return 0;
        });
        std::vector<RecordingReport> reports;
        const bool complete = recording.WaitUntilComplete(10000, reports);
        const int closed = complete && reports.empty() ? 1 : 0;
        const double wall = Seconds(Clock::now() - start);
        manifest << name << ' ' << channels << ' ' << rate << ' ' << type << ' ' << recorded << ' '
                 << wall << ' ' << closed << ' ' << hz << ' ' << inCalls << '\n';
        std::printf("recorded %s (%.3f s running, %.3f s in the calls, %.2f s of wall time)\n",
                    name.c_str(), recorded, inCalls, wall);
    };

    // An input chosen by its ID: the monitor of the sink "Second", found by the name Windows
    // gives it; noted, for the run after another input came before it in winmm's numbers.
    const auto chosen = [&]() -> std::wstring {
        for (const AudioEndpoint& endpoint : ActiveEndpoints(SOURCE_INPUT))
            if (endpoint.name == L"Monitor of Second")
                return endpoint.id;
        return L"";
    };
    if (again) {
        std::wifstream noted(folder / "chosen-id.txt");
        std::getline(noted, source.device);
        record("chosen_again", 1, 16000, 1, false, 1500);
        return failures;
    }
    source.device = chosen();
    std::wofstream(folder / "chosen-id.txt") << source.device;
    if (source.device.empty()) {
        std::printf("FAILED: no input named \"Monitor of Second\"\n");
        ++failures;
    } else {
        if (!getenv("ONLY_BOTH"))
            record("chosen", 2, 44100, 1, false, 1500);
    }

    // What an output plays, through WASAPI, from the default sink's monitor in place of the
    // loopback Wine lacks; then the loopback itself, which Wine refuses.
    source = CaptureSource();
    source.kind = SOURCE_PLAYBACK;
    std::wstring monitor;
    for (const AudioEndpoint& endpoint : ActiveEndpoints(SOURCE_INPUT))
        if (endpoint.name == L"Monitor of Null Output")
            monitor = endpoint.id;
    SetEnvironmentVariableW(L"SONARIX_LOOPBACK_ENDPOINT", monitor.c_str());
    record("playback_c1_r16000", 1, 16000, 1, false);
    record("playback_c2_r48000_mulaw", 2, 48000, 2, true);
    // Both sides of a call: the default input (1 kHz) left, the sink "Second" (1.5 kHz) right;
    // in mono the two mixed.
    std::wstring second;
    for (const AudioEndpoint& endpoint : ActiveEndpoints(SOURCE_INPUT))
        if (endpoint.name == L"Monitor of Second")
            second = endpoint.id;
    SetEnvironmentVariableW(L"SONARIX_LOOPBACK_ENDPOINT", second.c_str());
    source.kind = SOURCE_BOTH;
    record("both_c2_r16000", 2, 16000, 1, false);
    record("both_c1_r44100", 1, 44100, 1, false);
    SetEnvironmentVariableW(L"SONARIX_LOOPBACK_ENDPOINT", nullptr);
    source.kind = SOURCE_PLAYBACK;
    const RecordingFailure refused = recording.Start(plan(folder / "loopback.wav", 2, 16000, 1));
    if (!refused)
        recording.Stop();
    manifest << "loopback 2 16000 1 " << (refused.step == STEP_NO_LOOPBACK ? "refused" : "accepted")
             << " 0 1\n";
    source = CaptureSource();

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
    if (!recording.Start(plan(folder / "silenced.wav", 1, 16000, 1))) {
        Sleep(1.5);
        std::ofstream(folder / "suspend-input").put('1');
        const auto asked = Clock::now();
        const char* why = "nothing";
        while (Clock::now() - asked < std::chrono::seconds(8) && why[0] == 'n') {
            Sleep(0.02);
            for (const RecordingReport& report : recording.TakeReports())
                why = report.kind == RecordingReport::INPUT_LOST ? "waits"
                      : report.kind == RecordingReport::ENDED    ? "ended"
                                                                 : why;
        }
        const double after = why[0] != 'n' ? Seconds(Clock::now() - asked) : -1;
        recording.Stop();
        std::vector<RecordingReport> reports;
        recording.WaitUntilComplete(10000, reports);
        manifest << "silenced 1 16000 1 " << why << ' ' << after << " 1\n";
        std::printf("silenced: %s after %.2f s\n", why, after);
    } else {
        ++failures;
    }
    return failures ? 1 : 0;
}
