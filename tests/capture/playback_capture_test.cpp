// What the computer plays, recorded as a microphone is: the output's packets through the
// conversion into the capture, the queue, the disk thread and the file, on the clock the
// simulated output keeps. Every sample is checked against the tone the output played at that
// moment of the clock.
#include "capture/playback_wave_input.h"
#include "capture/wave_in.h"
#include "engine/clock.h"
#include "tests/monitor/fake_monitor_host.h"
#include "tests/support/no_notes.h"
#include "tests/support/report_pump.h"
#include "tests/support/simulated_playback_stream.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace fs = std::filesystem;
using Sim = SimulatedPlaybackStream;

namespace {

class PlaybackCaptureTest : public testing::Test {
protected:
    // A new output, capture and recording, on the new output's clock.
    void SetUp() override {
        TearDown();
        auto stream = std::make_unique<Sim>();
        sim = s_sim = stream.get();
        SetTickFunction([] { return s_sim->NowMs(); });
        capture = std::make_unique<CWaveIn>(std::make_unique<PlaybackWaveInput>(std::move(stream)),
                                            monitor);
        recording = std::make_unique<CRecording>(*capture, notes, pump.Wake());
        reports.clear();
    }
    void TearDown() override {
        if (recording) {
            recording->Stop();
            recording->WaitUntilComplete(20000, reports);
        }
        recording.reset();
        capture.reset();
        SetTickFunction(nullptr);
    }
    template <typename Done> bool Pump(Done done) { return pump.Until(*recording, reports, done); }
    bool PumpUntilMs(uint32_t ms) {
        return Pump([&] { return sim->NowMs() >= ms; });
    }
    size_t Count(RecordingReport::Kind kind) const {
        return size_t(std::count_if(reports.begin(), reports.end(),
                                    [&](const RecordingReport& r) { return r.kind == kind; }));
    }

    static Sim* s_sim;
    TempDir dir;
    FakeMonitorHost host;
    CMonitor monitor{host};
    NoNotes notes;
    Sim* sim = nullptr;
    std::unique_ptr<CWaveIn> capture;
    std::unique_ptr<CRecording> recording;
    std::vector<RecordingReport> reports;
    ReportPump pump;
};
Sim* PlaybackCaptureTest::s_sim = nullptr;

// The file's first channel, from..to, against the 1 kHz tone of amplitude 0.5 × gain that the
// output played at each sample's moment: the largest difference, in full-scale fractions.
double WorstAgainstTone(const WavFile& wav, size_t from, size_t to, double gain) {
    const size_t align = size_t(wav.channels) * wav.bits / 8;
    double worst = 0;
    for (size_t n = from; n < to && (n + 1) * align <= wav.data.size(); ++n) {
        const uint8_t* at = &wav.data[n * align];
        const double sample =
            wav.bits == 8 ? (at[0] - 128.0) / 128 : int16_t(uint16_t(at[0] | at[1] << 8)) / 32768.0;
        const double played = 0.5 * gain * std::sin(2 * 3.14159265358979 * 1000.0 * n / wav.rate);
        worst = std::max(worst, std::fabs(sample - played));
    }
    return worst;
}

// What the output played, in the recording's format, every sample at its moment on the output's
// clock: the tone through a format and a layout; an idle output as digital silence, no gap; a
// glitch filled with silence of its length; the chosen output away until it is opened again, as
// a stretch without sound that the recording waits out for that output, finds, says and fills;
// one that cannot be read back, or a chosen one not there, starts nothing.
TEST_F(PlaybackCaptureTest, WhatThePcPlaysOnItsClock) {
    enum Event { NONE, IDLE, GLITCH, AWAY, NO_LOOPBACK, ABSENT };
    const StreamFormat kFloat48 = {48000, 2, ENCODING_FLOAT32, 0x3};
    const struct {
        const char* what;
        StreamFormat output;
        int channels, rate, type;
        Event event;
        double gain; // of what was played, in the recording
    } cases[] = {
        // clang-format off
        {"48000 stereo to 16000 mono", kFloat48, 1, 16000, SAMPLE_TYPE_PCM16, NONE, 1},
        {"44100 5.1 to 44100 stereo 8-bit", {44100, 6, ENCODING_FLOAT32, 0x3F}, 2, 44100,
         SAMPLE_TYPE_PCM8, NONE, 1.7071},
        {"idle for a second", kFloat48, 1, 16000, SAMPLE_TYPE_PCM16, IDLE, 1},
        {"a glitch of 30 ms", kFloat48, 1, 16000, SAMPLE_TYPE_PCM16, GLITCH, 1},
        {"the chosen output away for 3 s", kFloat48, 1, 16000, SAMPLE_TYPE_PCM16, AWAY, 1},
        {"no loopback", kFloat48, 1, 16000, SAMPLE_TYPE_PCM16, NO_LOOPBACK, 1},
        {"a chosen output not there", kFloat48, 1, 16000, SAMPLE_TYPE_PCM16, ABSENT, 1},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        sim->SetFormat(c.output);
        const fs::path file = dir / (std::string(c.what) + ".wav");
        RecordingPlan plan;
        plan.channels = c.channels;
        plan.samplesPerSec = c.rate;
        plan.sampleType = c.type;
        plan.typedName = file.wstring();
        plan.source = {SOURCE_PLAYBACK,
                       c.event == AWAY     ? Sim::kDeviceId
                       : c.event == ABSENT ? L"{0.0.0.00000000}.{unplugged}"
                                           : L"",
                       L""};
        sim->SetNoLoopback(c.event == NO_LOOPBACK);
        const RecordingFailure failure = recording->Start(plan);
        if (c.event == NO_LOOPBACK || c.event == ABSENT) {
            EXPECT_EQ(failure.step, c.event == ABSENT ? STEP_SOURCE_ABSENT : STEP_NO_LOOPBACK);
            EXPECT_FALSE(fs::exists(file));
            continue;
        }
        ASSERT_FALSE(failure);
        ASSERT_TRUE(PumpUntilMs(1000));
        const double outputRate = c.output.rate;
        uint64_t from = 0, to = 0; // the event's stretch, in the output's frames
        if (c.event == IDLE) {
            from = sim->SetIdle(true);
            ASSERT_TRUE(PumpUntilMs(2000));
            to = sim->SetIdle(false);
        } else if (c.event == GLITCH) {
            from = sim->Glitch(uint64_t(outputRate * 0.03));
            to = from + uint64_t(outputRate * 0.03);
        } else if (c.event == AWAY) {
            from = sim->SetAway(true);
            ASSERT_TRUE(Pump([&] { return recording->State() == RECORDING_WAITING; }));
            ASSERT_TRUE(PumpUntilMs(uint32_t(from * 1000 / outputRate) + 3000));
            sim->SetAway(false);
            ASSERT_TRUE(Pump([&] { return recording->State() == RECORDING_RUNNING; }));
            to = sim->OpenedAt(); // the next opening finds it
            EXPECT_EQ(sim->LastSource(), plan.source) << "that output, and no other";
        }
        ASSERT_TRUE(PumpUntilMs(uint32_t(std::max(to, from) * 1000 / uint64_t(outputRate)) + 1500));
        const double stopping = sim->NowMs() / 1000.0;
        recording->Stop();
        const double stopped = sim->NowMs() / 1000.0; // the clock may go on as Stop returns
        ASSERT_TRUE(recording->WaitUntilComplete(20000, reports));

        const WavFile wav = ReadWav(file);
        ASSERT_TRUE(wav.IsComplete());
        EXPECT_EQ(wav.channels, c.channels);
        EXPECT_EQ(wav.rate, uint32_t(c.rate));
        const size_t frames = wav.dataSize / (size_t(wav.channels) * wav.bits / 8);
        EXPECT_GE(double(frames) / c.rate, stopping - 0.1) << "as long as the clock ran";
        EXPECT_LE(double(frames) / c.rate, stopped + 0.1) << "as long as the clock ran";
        EXPECT_EQ(Count(RecordingReport::INPUT_LOST), c.event == AWAY ? 1u : 0u);
        EXPECT_EQ(Count(RecordingReport::INPUT_BACK), c.event == AWAY ? 1u : 0u);
        const double step = c.type == SAMPLE_TYPE_PCM8 ? 2.0 / 128 : 3.0 / 32768;
        const size_t edge = size_t(c.rate / 100); // the filter's ringing at either side of a change
        const size_t start = size_t(from * uint64_t(c.rate) / uint64_t(outputRate));
        const size_t stop = size_t(to * uint64_t(c.rate) / uint64_t(outputRate));
        if (c.event == AWAY) { // found, said once, filled
            ASSERT_EQ(Count(RecordingReport::GAPS), 1u);
            const RecordingReport& told =
                *std::find_if(reports.begin(), reports.end(),
                              [](auto& r) { return r.kind == RecordingReport::GAPS; });
            ASSERT_EQ(told.gaps.size(), 1u);
            EXPECT_TRUE(told.gaps[0].filled);
            EXPECT_NEAR(double(told.gaps[0].atMs), from * 1000.0 / outputRate, 100);
            EXPECT_NEAR(double(told.gaps[0].lengthMs), (to - from) * 1000.0 / outputRate, 100);
            continue;
        }
        EXPECT_EQ(Count(RecordingReport::GAPS), 0u) << "nothing missing";
        EXPECT_LT(
            WorstAgainstTone(wav, edge, c.event == NONE ? frames - edge : start - edge, c.gain),
            step);
        if (c.event == NONE)
            continue;
        EXPECT_LT(WorstAgainstTone(wav, stop + edge, frames - edge, c.gain), step)
            << "after it, the tone at its place";
        EXPECT_EQ(WorstAgainstTone(wav, start + edge, stop - edge, 0), 0.0) << "silence";
    }
}

} // namespace
