// The monitor as a whole: no allocation per block, and the capture thread against the window
// thread.
#include "monitor/block_peaks.h"
#include "tests/monitor/monitor_fixture.h"
#include "tests/support/alloc_counter.h"

#include <atomic>
#include <chrono>
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
    const auto paint = [&](const PixelSurface&) { painted = true; };
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
        monitor->PaintWindow(host.view, [&](const PixelSurface& s) {
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
