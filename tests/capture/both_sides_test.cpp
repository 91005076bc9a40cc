// Both sides of a call in one recording, through the capture, the queue and the file: the
// microphone (a simulated input whose samples count its frames) on the left, unchanged; what the
// computer plays (a simulated output's 1 kHz tone) on the right; each side away and back while
// the other records on, and both; the microphone's quiet told while the output plays; a pause.
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
constexpr wchar_t kMic[] = L"{0.0.1.00000000}.{simulated-microphone}";

// The microphone's frames, the output's tone: channel 0 and 1 of a stereo 16-bit file.
struct Sides {
    size_t frames = 0;
    size_t breaks = 0;     // left samples that do not follow on from the one before
    size_t toneFrames = 0; // right samples of the tone (|s| > 0.1)
    double loudest = 0;    // on the right
    // The longest stretch of a silent left channel, and the tone's frames on the right there.
    size_t silentLeft = 0, toneInSilentLeft = 0;
};

Sides Read(const WavFile& wav) {
    Sides sides;
    sides.frames = wav.data.size() / 4;
    const auto sample = [&](size_t frame, int channel) {
        const uint8_t* at = &wav.data[frame * 4 + size_t(channel) * 2];
        return int16_t(uint16_t(at[0] | at[1] << 8));
    };
    size_t run = 0, runTone = 0;
    for (size_t n = 0; n < sides.frames; ++n) {
        const bool tone = std::fabs(sample(n, 1) / 32768.0) > 0.1;
        sides.loudest = std::max(sides.loudest, std::fabs(sample(n, 1) / 32768.0));
        sides.toneFrames += tone;
        const bool silent = sample(n, 0) == 0 && (n == 0 || sample(n - 1, 0) == 0 ||
                                                  n + 1 == sides.frames || sample(n + 1, 0) == 0);
        run = silent ? run + 1 : 0;
        runTone = silent ? runTone + tone : 0;
        if (run > sides.silentLeft) {
            sides.silentLeft = run;
            sides.toneInSilentLeft = runTone;
        }
        if (n > 0 && !silent && uint16_t(sample(n, 0)) != uint16_t(sample(n - 1, 0) + 1))
            ++sides.breaks;
    }
    return sides;
}

} // namespace

TEST(BothSides, MicrophoneLeftPlaybackRightEachAwayAlone) {
    TempDir dir;
    FakeMonitorHost host;
    CMonitor monitor{host};
    NoNotes notes;
    ReportPump pump;
    auto mic = std::make_unique<SimulatedWaveInput>();
    auto output = std::make_unique<SimulatedPlaybackStream>();
    g_mic = mic.get();
    SimulatedPlaybackStream* sim = output.get();
    mic->SetBlockInterval(4000);    // the output's pace: ten times real time
    mic->ContinueAcrossOpens(true); // its clock runs on while it is away
    SetTickFunction([] { return g_mic->NowMs(); });
    {
        auto device = std::make_unique<SourceWaveInput>(
            std::move(mic), std::make_unique<PlaybackWaveInput>(std::move(output)));
        CWaveIn capture(std::move(device), monitor);
        CRecording recording(capture, notes, pump.Wake());
        std::vector<RecordingReport> reports;
        RecordingPlan plan;
        plan.channels = 2;
        plan.samplesPerSec = 16000;
        plan.sampleType = SAMPLE_TYPE_PCM16;
        plan.typedName = (dir / "both.wav").wstring();
        plan.source.kind = SOURCE_BOTH;
        plan.source.device = kMic;
        ASSERT_FALSE(recording.Start(plan));
        const auto runFor = [&](uint32_t ms) {
            const uint32_t from = g_mic->NowMs();
            return pump.Until(recording, reports, [&] { return g_mic->NowMs() >= from + ms; });
        };
        const auto until = [&](WaitingSide side) {
            return pump.Until(recording, reports, [&] {
                return recording.SideWaiting() == side && recording.State() == RECORDING_RUNNING;
            });
        };
        ASSERT_TRUE(runFor(2000));
        // A pause: the follower starts fresh at the resume.
        ASSERT_FALSE(recording.Pause());
        ASSERT_FALSE(recording.Resume());
        ASSERT_TRUE(runFor(1000));
        // The output away and back: the microphone records on.
        sim->SetAway(true);
        ASSERT_TRUE(until(SIDE_FAR));
        recording.MarkSide(SIDE_FAR, true); // as the window does when it sees it
        ASSERT_TRUE(runFor(2000));
        sim->SetAway(false);
        ASSERT_TRUE(until(SIDE_NONE));
        recording.MarkSide(SIDE_FAR, false);
        ASSERT_TRUE(runFor(2000));
        // The microphone muted while the output plays: the microphone's quiet is told.
        g_mic->SetMuted(true);
        ASSERT_TRUE(
            pump.Until(recording, reports, [&] { return recording.NearQuietMs() >= 1000; }));
        g_mic->SetMuted(false);
        ASSERT_TRUE(pump.Until(recording, reports, [&] { return recording.NearQuietMs() == 0; }));
        // The microphone away and back: the output records on.
        g_mic->SetAbsent(kMic, true);
        g_mic->FailNext(SimulatedWaveInput::ADD_BUFFER, SimulatedWaveInput::kError, 1);
        ASSERT_TRUE(until(SIDE_NEAR));
        recording.MarkSide(SIDE_NEAR, true);
        ASSERT_TRUE(runFor(3000));
        g_mic->SetAbsent(kMic, false);
        ASSERT_TRUE(until(SIDE_NONE));
        recording.MarkSide(SIDE_NEAR, false);
        ASSERT_TRUE(runFor(2000));
        // Both away; the microphone back first records while the output is waited for.
        g_mic->SetAbsent(kMic, true);
        sim->SetAway(true);
        g_mic->FailNext(SimulatedWaveInput::ADD_BUFFER, SimulatedWaveInput::kError, 1);
        ASSERT_TRUE(
            pump.Until(recording, reports, [&] { return recording.State() == RECORDING_WAITING; }));
        g_mic->SetAbsent(kMic, false);
        ASSERT_TRUE(until(SIDE_FAR));
        sim->SetAway(false);
        ASSERT_TRUE(until(SIDE_NONE));
        ASSERT_TRUE(runFor(1000));
        recording.Stop();
        ASSERT_TRUE(recording.WaitUntilComplete(20000, reports));

        const WavFile wav = ReadWav(plan.typedName);
        ASSERT_EQ(wav.channels, 2);
        const Sides sides = Read(wav);
        EXPECT_GT(sides.frames, 16000u * 16);
        // The microphone's frames unchanged, but where it went and came back.
        EXPECT_LE(sides.breaks, 5u);
        EXPECT_LT(sides.loudest, 0.52);
        // (How much depends on the threads' timing: the queue runs dry when the output's thread
        // is late, at ten times real time a few milliseconds.)
        EXPECT_GT(sides.toneFrames, sides.frames / 10);
        // While it was away, the output's tone went on beside it.
        EXPECT_GT(sides.silentLeft, 16000u * 2);
        EXPECT_GT(sides.toneInSilentLeft, sides.silentLeft / 3);
        // Each side's going and coming marked, in order, among the gaps' markers.
        std::string said;
        for (const WavFile::Cue& cue : wav.cues)
            if (cue.label.find("away") != std::string::npos ||
                cue.label.find("back") != std::string::npos)
                said += cue.label.substr(0, cue.label.find(" 0")) + ";";
        EXPECT_EQ(said, "Playback away 1;Playback back 1;Microphone away 1;Microphone back 1;");
    }
    SetTickFunction(nullptr);
}
