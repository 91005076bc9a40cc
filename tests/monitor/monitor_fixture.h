// A monitor attached to three fake display controls, with a clock the test steps, and helpers
// to feed blocks and read the pictures back.
#pragma once

#include "engine/clock.h"
#include "monitor/monitor.h"
#include "tests/monitor/fake_monitor_host.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class MonitorFixture : public testing::Test {
public:
    static constexpr int kViewWidth = 210;
    static constexpr int kViewHeight = 100;
    static constexpr int kMeterWidth = 15;
    static constexpr int kMeterHeight = 138;

protected:
    void SetUp() override;
    void TearDown() override;
    void Attach(int viewHeight = kViewHeight);

    // Feeds one block of 16-bit samples (interleaved when stereo), or of 8-bit bytes.
    void Feed16(const std::vector<int16_t>& samples);
    void Feed8(const std::vector<uint8_t>& bytes);

    // A copy of the picture the monitor keeps for a control.
    PixelSurface Picture(WindowHandle window);
    // Column x of a picture, a letter per row: g ground, W white, d divider, . black, ? other.
    static std::string WaveColumn(const PixelSurface& picture, int x);
    // Column x of a meter picture: G/g lit/unlit green, Y/y yellow, R/r red, . black.
    static std::string MeterColumn(const PixelSurface& picture, int x);
    // The status texts the window thread would set now.
    std::string Text(int part);

    static uint32_t s_now;
    static uint32_t Now() { return s_now; }

    FakeMonitorHost host;
    std::unique_ptr<CMonitor> monitor;
};
