// The monitor as a whole: no allocation per block, and the capture thread against the window
// thread.
#include "monitor/block_peaks.h"
#include "tests/monitor/monitor_fixture.h"
#include "tests/support/alloc_counter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <random>
#include <thread>

namespace {

using MonitorTest = MonitorFixture;

TEST_F(MonitorTest, NothingIsAllocatedPerBlock) {
    for (int channels : {1, 2}) {
        for (int bits : {8, 16}) {
            monitor->SetFormat(uint16_t(channels), uint16_t(bits));
            std::vector<uint8_t> block(7680);
            for (size_t i = 0; i < block.size(); ++i)
                block[i] = uint8_t(i * 37);
            StartCountingAllocations();
            for (int i = 0; i < 50; ++i) {
                s_now += 300;
                monitor->ProcessBlock(block.data(), uint32_t(block.size()));
            }
            EXPECT_EQ(StopCountingAllocations(), 0) << channels << " channels, " << bits << " bits";
        }
    }
}

// The quiet rule at the level of the peaks, 40 ms blocks at 8000 Hz: where in the sound the
// warning (QuietMs reaching kQuietWarnMs) begins and ends. Signals of 16-bit samples, or of
// 8-bit bytes around 128; levels in dBFS of the peak.
TEST_F(MonitorTest, QuietSoundIsToldAfterTenSeconds) {
    std::mt19937 random(31);
    auto noise = [&](double sigma) {
        return [&random, sigma](int) {
            return int(std::lround(std::normal_distribution<double>(0, sigma)(random)));
        };
    };
    auto tone = [](double amplitude) {
        return [amplitude](int n) { return int(amplitude * std::sin(n * 0.35)); };
    };
    auto silence = [](int) { return 0; };
    using Signal = std::function<int(int n)>; // sample n (8000 a second)
    // A signal of pieces: (seconds, signal).
    auto pieces = [](std::vector<std::pair<int, Signal>> parts) {
        return [parts](int n) {
            int at = n / 8000;
            for (const auto& part : parts) {
                if (at < part.first)
                    return part.second(n);
                at -= part.first;
            }
            return parts.back().second(n);
        };
    };
    const struct {
        const char* what;
        int bits, seconds;
        Signal signal;
        std::vector<int>
            changes; // ms of sound at the end of the block that begins or ends the warning
    } cases[] = {
        {"digital zero (a muted microphone)", 16, 15, silence, {10000}},
        {"an unplugged input's converter, a few steps", 16, 15, noise(0.7), {10000}},
        {"a quiet room's noise floor at -60 dBFS RMS", 16, 60, noise(33), {}},
        {"a very quiet room at -72 dBFS RMS", 16, 60, noise(8), {}},
        {"speech with pauses of 9 s in digital silence",
         16,
         60,
         pieces({{2, tone(8000)}, {9, silence}, {1, tone(3000)}, {9, silence}, {2, tone(500)}}),
         {}},
        {"a tone that stops for 12 s and comes back",
         16,
         25,
         pieces({{5, tone(8000)}, {12, silence}, {8, tone(8000)}}),
         {15000, 17040}},
        {"a tone peaking at -66 dBFS", 16, 15, tone(17), {}},
        {"a tone peaking just under it", 16, 15, tone(15.9), {10000}},
        {"8-bit: the middle, one step either side",
         8,
         15,
         [](int n) { return n % 3 - 1; },
         {10000}},
        {"8-bit: a room two steps either side", 8, 15, noise(2), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        monitor->SetFormat(1, uint16_t(c.bits), c.bits == 16 ? 16000 : 8000);
        std::vector<int> changes;
        bool warned = false;
        for (int block = 0; block < c.seconds * 25; ++block) {
            std::vector<int16_t> samples16;
            std::vector<uint8_t> samples8;
            for (int i = 0; i < 320; ++i) {
                const int v = c.signal(block * 320 + i);
                samples16.push_back(int16_t(std::clamp(v, -32768, 32767)));
                samples8.push_back(uint8_t(std::clamp(128 + v, 0, 255)));
            }
            if (c.bits == 16)
                Feed16(samples16);
            else
                Feed8(samples8);
            if ((monitor->QuietMs() >= kQuietWarnMs) != warned) {
                warned = !warned;
                changes.push_back((block + 1) * 40);
            }
        }
        EXPECT_EQ(changes, c.changes);
    }
}

TEST_F(MonitorTest, BlocksTellTheWindowsWithoutWaiting) {
    monitor->SetFormat(2, 16);
    const int before = host.invalidated;
    Feed16({1000, -1000});
    EXPECT_EQ(host.invalidated - before, 3) << "the view and both meters";
    EXPECT_EQ(host.textsPending, 1);
    EXPECT_TRUE(host.textsSet.empty()) << "texts are set only by the window thread";
    monitor->DeliverStatusTexts();
    EXPECT_EQ(host.textsSet[2], 1);
    EXPECT_EQ(host.textsSet[3], 1);
    monitor->DeliverStatusTexts();
    EXPECT_EQ(host.textsSet[2], 1) << "an unchanged text is not set again";
}

// What a window shows when it paints only what the monitor said changed: the areas invalidated
// since its last paint, after scrolling by what the picture scrolled (the left-most column
// stays), as the Windows host does.
class ScreenOf {
public:
    ScreenOf(CMonitor& monitor, FakeMonitorHost& host, WindowHandle window)
        : m_monitor(monitor), m_host(host), m_window(window) {
        EXPECT_TRUE(monitor.CopyPicture(window, m_screen)); // a full paint to begin with
        m_invalid.assign(size_t(m_screen.Width()) * size_t(m_screen.Height()), false);
    }

    void Paint(size_t& areasSeen) {
        for (; areasSeen < m_host.areas.size(); ++areasSeen) {
            const auto& a = m_host.areas[areasSeen];
            if (a.window == m_window)
                for (int y = a.area.top; y < a.area.bottom; ++y)
                    for (int x = a.area.left; x < a.area.right; ++x)
                        m_invalid[size_t(y) * size_t(m_screen.Width()) + size_t(x)] = true;
        }
        m_monitor.PaintWindow(m_window, [&](const PixelSurface& picture, int scrolled) {
            const int w = m_screen.Width();
            for (int y = 0; y < m_screen.Height(); ++y) {
                for (int x = 1; x < w; ++x) // scrolled left, column 0 kept
                    if (x + scrolled < w)
                        m_screen.SetPixel(x, y, m_screen.GetPixel(x + scrolled, y));
                for (int x = std::max(1, w - scrolled); x < w; ++x)
                    m_invalid[size_t(y) * size_t(w) + size_t(x)] = true;
                for (int x = 0; x < w; ++x)
                    if (m_invalid[size_t(y) * size_t(w) + size_t(x)])
                        m_screen.SetPixel(x, y, picture.GetPixel(x, y));
            }
        });
        std::fill(m_invalid.begin(), m_invalid.end(), false);
    }

    const PixelSurface& Screen() const { return m_screen; }

private:
    CMonitor& m_monitor;
    FakeMonitorHost& m_host;
    WindowHandle m_window;
    PixelSurface m_screen;
    std::vector<bool> m_invalid;
};

// A block tells only what it changed: painting just that, the waveform scrolled by as many
// columns as the picture, shows the pictures pixel for pixel after hundreds of blocks, with
// paints at random moments (several blocks between two, or none), in both layouts.
TEST_F(MonitorTest, PaintingOnlyWhatChangedShowsThePictures) {
    std::mt19937 random(13);
    for (uint16_t channels : {uint16_t(1), uint16_t(2)}) {
        SCOPED_TRACE(channels);
        monitor->SetFormat(channels, 16);
        monitor->Repaint(channels);
        size_t seen = host.areas.size();
        ScreenOf screens[] = {{*monitor, host, host.view},
                              {*monitor, host, host.meter0},
                              {*monitor, host, host.meter1}};
        std::vector<int16_t> samples(2 * channels);
        for (int block = 0; block < 600; ++block) {
            s_now += 40;
            const int loud = int(random() % 4) == 0 ? 32767 : int(random() % 3000);
            for (auto& sample : samples)
                sample = int16_t(int(random() % (2 * loud + 1)) - loud);
            Feed16(samples);
            if (random() % 3 == 0) {
                const size_t from = seen;
                for (ScreenOf& screen : screens) {
                    seen = from;
                    screen.Paint(seen);
                }
            }
        }
        const size_t from = seen;
        for (ScreenOf& screen : screens) {
            seen = from;
            screen.Paint(seen);
        }
        for (WindowHandle window : {host.view, host.meter0, host.meter1}) {
            const PixelSurface& screen = screens[window == host.view     ? 0
                                                 : window == host.meter0 ? 1
                                                                         : 2]
                                             .Screen();
            const PixelSurface picture = Picture(window);
            int differences = 0;
            for (int y = 0; y < picture.Height(); ++y)
                for (int x = 0; x < picture.Width(); ++x)
                    if (screen.GetPixel(x, y) != picture.GetPixel(x, y) && differences++ < 3)
                        ADD_FAILURE() << "window " << window << ", pixel " << x << "," << y;
            EXPECT_EQ(differences, 0);
        }
        // A steady level changes no meter row and no text: after the first such block, the
        // meters are not told of anything, only the waveform's new column is.
        std::fill(samples.begin(), samples.end(), int16_t(10000));
        Feed16(samples);
        monitor->DeliverStatusTexts();
        const size_t before = host.areas.size();
        const int pendingBefore = host.textsPending;
        for (int block = 0; block < 10; ++block) {
            s_now += 40;
            Feed16(samples);
        }
        EXPECT_EQ(host.areas.size() - before, 10u) << "one column a block, and nothing else";
        EXPECT_EQ(host.textsPending, pendingBefore) << "an unchanged text is not announced";
    }
}

// Before the preview hands over its controls, no window is told to repaint and none is painted,
// not even a null one.
TEST_F(MonitorTest, NoWindowsNoDrawing) {
    FakeMonitorHost bareHost;
    CMonitor bare(bareHost);
    bare.SetFormat(2, 16);
    const auto block = SampleBytes({100, -100});
    bare.ProcessBlock(block.data(), 4);
    bare.OnPause();
    bare.Repaint(2);
    bare.OnClose();
    EXPECT_EQ(bareHost.invalidated, 0);
    bool painted = false;
    const auto paint = [&](const PixelSurface&, int) { painted = true; };
    EXPECT_FALSE(bare.PaintWindow(nullptr, paint));
    EXPECT_FALSE(bare.PaintWindow(host.view, paint));
    EXPECT_FALSE(painted);
}

// The capture thread processes blocks while the window thread repaints, closes, reformats,
// paints and takes the texts. It is run under ThreadSanitizer, which finds any access the lock
// does not guard.
TEST_F(MonitorTest, CaptureThreadAgainstWindowThread) {
    monitor->SetFormat(2, 16);
    std::atomic<bool> done{false};
    std::thread capture([&] {
        std::mt19937 random(2);
        std::vector<int16_t> samples(3840);
        for (int block = 0; block < 3000; ++block) {
            for (auto& s : samples)
                s = int16_t(random());
            const auto bytes = SampleBytes(samples);
            monitor->ProcessBlock(bytes.data(), uint32_t(bytes.size()));
        }
        done = true;
    });
    int rounds = 0;
    while (!done) {
        monitor->Repaint(uint16_t(1 + rounds % 2));
        if (rounds % 7 == 0)
            monitor->OnClose();
        if (rounds % 11 == 0)
            monitor->SetFormat(2, 16);
        monitor->PaintWindow(host.view, [&](const PixelSurface& s, int) {
            EXPECT_EQ(s.Width(), kViewWidth) << "a whole picture, never one being remade";
        });
        monitor->DeliverStatusTexts();
        ++rounds;
        // A window thread serves messages between such calls; without a pause this loop would
        // hold the lock almost all the time and starve the capture thread.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    capture.join();
    EXPECT_GT(host.textsSet[2], 0) << "the texts reached the status bar meanwhile";
}

} // namespace
