// Both sides of a call in one recording, through the capture, the queue and the file: the
// microphone (a simulated input whose samples count its frames) on the left, unchanged; what the
// computer plays (a simulated output's 1 kHz tone) on the right; the output away and back while
// the microphone records on.
#include "capture/playback_wave_input.h"
#include "capture/source_wave_input.h"
#include "capture/wave_in.h"
#include "engine/clock.h"
#include "tests/monitor/fake_monitor_host.h"
#include "tests/support/no_notes.h"
#include "tests/support/report_pump.h"
#include "tests/support/simulated_playback_stream.h"
#include "tests/support/simulated_wave_input.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

SimulatedWaveInput* g_mic = nullptr;

// The microphone's frames, the output's tone: channel 0 and 1 of a stereo 16-bit file.
struct Sides {
    size_t frames = 0, counted = 0; // left samples that follow on from the one before
    size_t toneFrames = 0;          // right samples of the tone (|s| > 0.1)
    double loudest = 0;             // on the right
};

Sides Read(const WavFile& wav) {
    Sides sides;
    sides.frames = wav.data.size() / 4;
    for (size_t n = 0; n < sides.frames; ++n) {
        const auto sample = [&](size_t frame, int channel) {
            const uint8_t* at = &wav.data[frame * 4 + size_t(channel) * 2];
            return int16_t(uint16_t(at[0] | at[1] << 8));
        };
        if (n > 0 && uint16_t(sample(n, 0)) == uint16_t(sample(n - 1, 0) + 1))
            ++sides.counted;
        const double right = std::fabs(sample(n, 1) / 32768.0);
        sides.loudest = std::max(sides.loudest, right);
        sides.toneFrames += right > 0.1;
    }
    return sides;
}

} // namespace

TEST(BothSides, MicrophoneLeftPlaybackRightAndTheOutputAwayAlone) {
    TempDir dir;
    FakeMonitorHost host;
    NoNotes notes;
    ReportPump pump;
    auto mic = std::make_unique<SimulatedWaveInput>();
    auto output = std::make_unique<SimulatedPlaybackStream>();
    g_mic = mic.get();
    SimulatedPlaybackStream* sim = output.get();
    mic->SetBlockInterval(4000); // the output's pace: ten times real time
    SetTickFunction([] { return g_mic->NowMs(); });
    {
        auto device = std::make_unique<SourceWaveInput>(
            std::move(mic), std::make_unique<PlaybackWaveInput>(std::move(output)));
        CWaveIn capture(std::move(device), host);
        CRecording recording(capture, notes, pump.Wake());
        std::vector<RecordingReport> reports;
        for (int channels : {2, 1}) {
            RecordingPlan plan;
            plan.channels = channels;
            plan.samplesPerSec = channels == 2 ? 16000 : 44100; // each opening at its own rate
            plan.sampleType = SAMPLE_TYPE_PCM16;
            plan.typedName = (dir / ("both" + std::to_string(channels) + ".wav")).wstring();
            plan.source.kind = SOURCE_BOTH;
            ASSERT_FALSE(recording.Start(plan));
            const uint32_t start = g_mic->NowMs();
            ASSERT_TRUE(
                pump.Until(recording, reports, [&] { return g_mic->NowMs() >= start + 3000; }));
            if (channels == 2) {
                sim->SetAway(true);
                ASSERT_TRUE(
                    pump.Until(recording, reports, [&] { return recording.SideWaiting(); }));
                const uint32_t away = g_mic->NowMs();
                ASSERT_TRUE(
                    pump.Until(recording, reports, [&] { return g_mic->NowMs() >= away + 2000; }));
                sim->SetAway(false);
                ASSERT_TRUE(
                    pump.Until(recording, reports, [&] { return !recording.SideWaiting(); }));
                const uint32_t back = g_mic->NowMs();
                ASSERT_TRUE(
                    pump.Until(recording, reports, [&] { return g_mic->NowMs() >= back + 2000; }));
            }
            recording.Stop();
            ASSERT_TRUE(recording.WaitUntilComplete(20000, reports));
            const WavFile wav = ReadWav(plan.typedName);
            EXPECT_EQ(wav.channels, channels);
            if (channels == 2) {
                const Sides sides = Read(wav);
                EXPECT_GT(sides.frames, 16000u * 6);
                EXPECT_EQ(sides.counted,
                          sides.frames - 1); // the microphone's, all of it, unchanged
                EXPECT_LT(sides.loudest, 0.52);
                EXPECT_GT(sides.toneFrames, sides.frames / 4);
            }
        }
    }
    SetTickFunction(nullptr);
}
