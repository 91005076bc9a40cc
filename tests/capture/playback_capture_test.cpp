// What the computer plays, recorded as a microphone is: the output's packets through the
// conversion into the capture, the queue, the disk thread and the file, on the clock the
// simulated output keeps. Every sample is checked against the tone the output played at that
// moment of the clock.
#include "capture/playback_wave_input.h"
#include "capture/wave_in.h"
#include "engine/clock.h"
#include "recording/recording.h"
#include "tests/monitor/fake_monitor_host.h"
#include "tests/support/no_notes.h"
#include "tests/support/report_pump.h"
#include "tests/support/simulated_playback_stream.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>

namespace fs = std::filesystem;
using Sim = SimulatedPlaybackStream;

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kToneHz = 1000, kToneAmplitude = 0.5;

class PlaybackCaptureTest : public testing::Test {
protected:
    void SetUp() override {
        host.SetSize(host.view, 100, 50);
        host.SetSize(host.meter0, 15, 50);
        host.SetSize(host.meter1, 15, 50);
        Renew();
    }
    void TearDown() override {
        Release();
        SetTickFunction(nullptr);
    }
    void Release() {
        if (recording) {
            recording->Stop();
            recording->WaitUntilComplete(20000, reports);
        }
        recording.reset();
        capture.reset();
    }
    // A new output, capture and recording, on the new output's clock.
    void Renew() {
        Release();
        auto stream = std::make_unique<Sim>();
        sim = stream.get();
        s_sim = sim;
        sim->SetTone(kToneHz, kToneAmplitude);
        SetTickFunction([] { return s_sim->NowMs(); });
        capture =
            std::make_unique<CWaveIn>(std::make_unique<PlaybackWaveInput>(std::move(stream)), host);
        recording = std::make_unique<CRecording>(*capture, notes, pump.Wake());
        reports.clear();
    }
    template <typename Done> bool Pump(Done done) { return pump.Until(*recording, reports, done); }
    bool PumpUntilMs(uint32_t ms) {
        return Pump([&] { return sim->NowMs() >= ms; });
    }
    size_t Count(RecordingReport::Kind kind) const {
        return size_t(std::count_if(reports.begin(), reports.end(),
                                    [&](const RecordingReport& r) { return r.kind == kind; }));
    }
    RecordingPlan Plan(const fs::path& file, int channels, int rate, int type) {
        RecordingPlan plan;
        plan.channels = channels;
        plan.samplesPerSec = rate;
        plan.sampleType = type;
        plan.typedName = file.wstring();
        plan.source.kind = SOURCE_PLAYBACK;
        return plan;
    }

    static Sim* s_sim;
    TempDir dir;
    FakeMonitorHost host;
    NoNotes notes;
    Sim* sim = nullptr;
    std::unique_ptr<CWaveIn> capture;
    std::unique_ptr<CRecording> recording;
    std::vector<RecordingReport> reports;
    ReportPump pump;
};
Sim* PlaybackCaptureTest::s_sim = nullptr;

// The file's first channel as full-scale fractions.
std::vector<double> FirstChannel(const WavFile& wav) {
    std::vector<double> samples;
    const size_t align = size_t(wav.channels) * wav.bits / 8;
    for (size_t at = 0; at + align <= std::min<size_t>(wav.dataSize, wav.data.size()); at += align)
        samples.push_back(wav.bits == 8
                              ? (double(wav.data[at]) - 128) / 128
                              : double(int16_t(uint16_t(wav.data[at] | wav.data[at + 1] << 8))) /
                                    32768);
    return samples;
}

// The samples from..to against what the output played at their places on the clock, shifted by
// shift frames (scaled by gain): the largest difference (or the first past limit).
double WorstAgainstTone(const std::vector<double>& samples, size_t from, size_t to, int rate,
                        double gain, double shift = 0, double limit = 2) {
    double worst = 0;
    for (size_t n = from; n < std::min(to, samples.size()) && worst <= limit; ++n) {
        const double t = (double(n) + shift) / rate;
        const double played = kToneAmplitude * std::sin(2 * kPi * kToneHz * t);
        worst = std::max(worst, std::fabs(samples[n] - gain * played));
    }
    return worst;
}

// How closely 200 samples from `from` on are what the output played at some moment: the
// place within one period of the first tone whose worst difference is least, found to a
// two-thousandth of a frame. (Where they lie in the recording is its length's to say.)
double BestMatch(const std::vector<double>& samples, size_t from, int rate, double gain) {
    const auto worst = [&](double shift) {
        return WorstAgainstTone(samples, from, from + 200, rate, gain, shift);
    };
    double best = 1e9, at = 0;
    for (double step : {1.0, 0.01, 0.0005}) {
        const double centre = at;
        const double span = step == 1.0 ? rate / kToneHz + 1 : step * 100;
        for (double d = step == 1.0 ? 0 : -span; d <= span; d += step)
            if (worst(centre + d) < best)
                best = worst(centre + d), at = centre + d;
    }
    return best;
}

// What the output played, in the recording's format, every sample at its moment on the output's
// clock: the tone through any format; an idle output as digital silence, no gap; a short glitch
// filled with silence of its length; a long one, and the output away until it is opened again,
// as a stretch without sound that the recording finds, says, and fills, the tone after it in
// its place.
TEST_F(PlaybackCaptureTest, WhatThePcPlaysOnItsClock) {
    enum Event { NONE, IDLE, SHORT_GLITCH, LONG_GLITCH, AWAY, PAUSE };
    const StreamFormat kFloat48 = {48000, 2, ENCODING_FLOAT32, 0x3};
    const double kA = 1;
    const struct {
        const char* what;
        StreamFormat output;
        int channels, rate, type;
        Event event;
        double gain; // of what was played, in the recording
    } cases[] = {
        // clang-format off
        {"48000 float stereo to 16000 mono", kFloat48, 1, 16000, SAMPLE_TYPE_PCM16, NONE, kA},
        {"44100 16-bit 5.1 to 44100 stereo 8-bit", {44100, 6, ENCODING_INT16, 0x3F}, 2, 44100,
         SAMPLE_TYPE_PCM8, NONE, kA * 1.7071},
        {"96000 32-bit stereo to 8000 mono", {96000, 2, ENCODING_INT32, 0}, 1, 8000,
         SAMPLE_TYPE_PCM16, NONE, kA},
        {"idle for a second", kFloat48, 1, 16000, SAMPLE_TYPE_PCM16, IDLE, kA},
        {"a glitch of 30 ms", kFloat48, 1, 16000, SAMPLE_TYPE_PCM16, SHORT_GLITCH, kA},
        {"a glitch of 1.5 s", kFloat48, 1, 16000, SAMPLE_TYPE_PCM16, LONG_GLITCH, kA},
        {"the chosen output away for 3 s", kFloat48, 1, 16000, SAMPLE_TYPE_PCM16, AWAY, kA},
        {"paused for a second", {44100, 2, ENCODING_FLOAT32, 0x3}, 2, 22050, SAMPLE_TYPE_PCM16,
         PAUSE, kA},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Renew();
        sim->SetFormat(c.output);
        const fs::path file = dir / (std::string(c.what) + ".wav");
        RecordingPlan plan = Plan(file, c.channels, c.rate, c.type);
        if (c.event == AWAY) // the output chosen by its ID: that one is waited for
            plan.source.device = Sim::kDeviceId;
        ASSERT_FALSE(recording->Start(plan));
        ASSERT_TRUE(PumpUntilMs(1000));
        const double outputRate = c.output.rate;
        uint64_t from = 0, to = 0;              // the event's stretch, in the output's frames
        double pausedLeast = 0, pausedMost = 0; // the time a pause left out (s)
        switch (c.event) {
        case NONE:
            break;
        case IDLE:
            from = sim->SetIdle(true);
            ASSERT_TRUE(PumpUntilMs(2000));
            to = sim->SetIdle(false);
            break;
        case SHORT_GLITCH:
        case LONG_GLITCH: {
            const uint64_t frames = uint64_t(outputRate * (c.event == SHORT_GLITCH ? 0.03 : 1.5));
            from = sim->Glitch(frames);
            to = from + frames;
            break;
        }
        case PAUSE: {
            // Where the sound stops being taken, and where it is taken again, lie between the
            // clock before and after each call.
            from = sim->Glitch(0);
            ASSERT_FALSE(recording->Pause());
            to = sim->Glitch(0);
            ASSERT_TRUE(PumpUntilMs(uint32_t(to * 1000 / outputRate) + 1000));
            const uint64_t resuming = sim->Glitch(0);
            ASSERT_FALSE(recording->Resume());
            const uint64_t resumed = sim->Glitch(0);
            pausedLeast = double(resuming - to) / outputRate;
            pausedMost = double(resumed - from) / outputRate;
            break;
        }
        case AWAY:
            from = sim->SetAway(true);
            ASSERT_TRUE(Pump([&] { return recording->State() == RECORDING_WAITING; }));
            ASSERT_TRUE(PumpUntilMs(uint32_t(from * 1000 / outputRate) + 3000));
            sim->SetAway(false);
            ASSERT_TRUE(Pump([&] { return recording->State() == RECORDING_RUNNING; }));
            to = sim->OpenedAt(); // the next opening finds it
            EXPECT_EQ(sim->LastSource(), plan.source) << "that output, and no other";
            break;
        }
        const uint32_t end =
            uint32_t(std::max<uint64_t>(to, from) * 1000 / uint64_t(outputRate)) + 1500;
        ASSERT_TRUE(PumpUntilMs(end));
        const double stopping = sim->NowMs() / 1000.0;
        recording->Stop();
        const double stopped = sim->NowMs() / 1000.0; // the clock may go on as Stop returns
        ASSERT_TRUE(recording->WaitUntilComplete(20000, reports));

        const WavFile wav = ReadWav(file);
        ASSERT_TRUE(wav.IsComplete());
        EXPECT_EQ(wav.channels, c.channels);
        EXPECT_EQ(wav.rate, uint32_t(c.rate));
        const std::vector<double> samples = FirstChannel(wav);
        const double step = c.type == SAMPLE_TYPE_PCM8 ? 2.0 / 128 : 3.0 / 32768;
        const size_t edge = size_t(c.rate / 100); // the filter's ringing at either side of a change
        const size_t start = size_t(from * uint64_t(c.rate) / uint64_t(outputRate));
        const size_t stop = size_t(to * uint64_t(c.rate) / uint64_t(outputRate));
        EXPECT_EQ(Count(RecordingReport::INPUT_LOST), c.event == AWAY ? 1u : 0u);
        EXPECT_EQ(Count(RecordingReport::INPUT_BACK), c.event == AWAY ? 1u : 0u);
        const double length = double(samples.size()) / c.rate;
        EXPECT_GE(length + pausedMost, stopping - 0.1) << "as long as the clock ran";
        EXPECT_LE(length + pausedLeast, stopped + 0.1) << "as long as the clock ran";
        if (c.event == PAUSE) {
            // Before it, every sample at its place; after it, the sound goes on from the resume:
            // nothing of the pause is in the file (its length says).
            EXPECT_EQ(Count(RecordingReport::GAPS), 0u) << "a pause is no gap";
            EXPECT_LT(WorstAgainstTone(samples, edge, start - edge, c.rate, c.gain), step);
            EXPECT_LT(BestMatch(samples, stop + c.rate / 10, c.rate, c.gain), 3 * step)
                << "the sound after it, as it was played";
            continue;
        }
        if (c.event == NONE || c.event == IDLE || c.event == SHORT_GLITCH) {
            EXPECT_EQ(Count(RecordingReport::GAPS), 0u) << "nothing missing";
            const size_t silentFrom = c.event == NONE ? samples.size() : start;
            EXPECT_LT(WorstAgainstTone(samples, edge, silentFrom - edge, c.rate, c.gain), step);
            if (c.event != NONE) {
                EXPECT_LT(
                    WorstAgainstTone(samples, stop + edge, samples.size() - edge, c.rate, c.gain),
                    step)
                    << "after it, the tone at its place";
                for (size_t n = start + edge; n < stop - edge; ++n)
                    ASSERT_EQ(samples[n], 0.0) << "silence at " << n;
            }
            continue;
        }
        // Found by the recording, said once, filled (the file as long as the clock ran); the
        // sound after it as it was played.
        const RecordingReport* gaps = nullptr;
        for (const RecordingReport& report : reports)
            if (report.kind == RecordingReport::GAPS)
                gaps = &report;
        ASSERT_TRUE(gaps);
        ASSERT_EQ(gaps->gaps.size(), 1u);
        EXPECT_TRUE(gaps->gaps[0].filled);
        EXPECT_NEAR(double(gaps->gaps[0].atMs), from * 1000.0 / outputRate, 100);
        EXPECT_NEAR(double(gaps->gaps[0].lengthMs), (to - from) * 1000.0 / outputRate, 100);
        EXPECT_LT(BestMatch(samples, stop + c.rate / 5, c.rate, c.gain), 3 * step)
            << "the sound after it, as it was played";
    }
}

// A system that cannot read an output back, and a chosen output that is not there, start
// nothing: no file, and which it was; the chosen one present records.
TEST_F(PlaybackCaptureTest, OutputsThatCannotBeRecordedStartNothing) {
    const fs::path file = dir / "nothing.wav";
    RecordingPlan plan = Plan(file, 2, 16000, SAMPLE_TYPE_PCM16);
    sim->SetNoLoopback(true);
    RecordingFailure failure = recording->Start(plan);
    EXPECT_EQ(failure.step, STEP_NO_LOOPBACK);
    EXPECT_EQ(failure.code, kWrongEndpointType);
    EXPECT_FALSE(fs::exists(file));

    sim->SetNoLoopback(false);
    plan.source.device = L"{0.0.0.00000000}.{an output not plugged in}";
    failure = recording->Start(plan);
    EXPECT_EQ(failure.step, STEP_SOURCE_ABSENT);
    EXPECT_FALSE(fs::exists(file));

    plan.source.device = Sim::kDeviceId;
    ASSERT_FALSE(recording->Start(plan));
    EXPECT_EQ(sim->LastSource(), plan.source);
    ASSERT_TRUE(PumpUntilMs(500));
    recording->Stop();
    ASSERT_TRUE(recording->WaitUntilComplete(20000, reports));
    EXPECT_GT(ReadWav(file).dataSize, 0u);
}

} // namespace
