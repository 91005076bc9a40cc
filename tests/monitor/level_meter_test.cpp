// Level meters: the zones, the hold marker and the held dB texts.
#include "monitor/block_peaks.h"
#include "monitor/level_meter.h"
#include "tests/monitor/monitor_fixture.h"

#include <cmath>

namespace {

// A meter column of 138 rows (client 15 × 138): margin rows 0, 1, 136, 137; red zone 2..17,
// yellow 18..34 (y3 = 18), green 35..135 (y6 = 35). Capital letters are lit.
std::string Meter(char red, char yellow, char green,
                  std::initializer_list<std::pair<int, char>> rows = {}) {
    std::string column =
        ".." + std::string(16, red) + std::string(17, yellow) + std::string(101, green) + "..";
    for (const auto& [row, mark] : rows)
        column[size_t(row)] = mark;
    return column;
}

std::string Range(std::string column, int from, int to, char mark) {
    for (int y = from; y <= to; ++y)
        column[size_t(y)] = mark;
    return column;
}

using LevelMeterTest = MonitorFixture;

TEST_F(LevelMeterTest, EachRowOfTheLevelTable) {
    monitor->SetFormat(1, 16);
    Feed16({0, 0}); // L <= -24: all unlit, no marker
    EXPECT_EQ(MeterColumn(Picture(host.meter0), 5), Meter('r', 'y', 'g'));

    s_now += 2000;
    Feed16({16384}); // -6.02 dB: the green zone lit up to y(L) = 35 = y6
    EXPECT_EQ(MeterColumn(Picture(host.meter0), 5), Meter('r', 'y', 'G'));

    s_now += 2000;
    Feed16({20000}); // -4.29 dB: y(L) = 25, yellow lit from there down
    EXPECT_EQ(MeterColumn(Picture(host.meter0), 5), Range(Meter('r', 'y', 'G'), 25, 34, 'Y'));

    s_now += 2000;
    Feed16({-32768}); // 0 dB: everything lit to the top
    const PixelSurface loud = Picture(host.meter0);
    EXPECT_EQ(MeterColumn(loud, 5), Meter('R', 'Y', 'G'));
    // The 2-pixel margin is never painted.
    for (int x : {0, 1, 13, 14})
        EXPECT_EQ(MeterColumn(loud, x), std::string(138, '.')) << "column " << x;
}

TEST_F(LevelMeterTest, HoldMarkerColours) {
    monitor->SetFormat(1, 16);
    Feed16({-32768});
    Feed16({3277}); // -20 dB bar under a 0 dB hold: a red marker on the top row
    EXPECT_EQ(MeterColumn(Picture(host.meter0), 5),
              Range(Meter('r', 'y', 'g', {{2, 'R'}}), 113, 135, 'G'));

    s_now += 2000;
    Feed16({20000}); // hold -4.29 dB at row 25
    Feed16({0});
    EXPECT_EQ(MeterColumn(Picture(host.meter0), 5), Meter('r', 'y', 'g', {{25, 'Y'}}));

    s_now += 2000;
    Feed16({10362}); // hold -10 dB at row 57
    Feed16({0});
    EXPECT_EQ(MeterColumn(Picture(host.meter0), 5), Meter('r', 'y', 'g', {{57, 'G'}}));

    s_now += 2000;
    Feed16({0}); // the hold falls to the floor: no marker
    EXPECT_EQ(MeterColumn(Picture(host.meter0), 5), Meter('r', 'y', 'g'));
}

TEST_F(LevelMeterTest, LevelsOfEdgeValues) {
    MeterTexts texts;
    CLevelMeter meter(host, 0, texts);
    struct Case {
        int16_t max, min;
        int bits;
        double db;
    } cases[] = {
        {16384, 0, 16, -6.0206}, {0, -32768, 16, 0.0}, {32767, 0, 16, -0.000265},
        {2, 0, 16, -84.29},      {1, -1, 16, -96.0},   {0, 0, 16, -96.0},
        {1, 0, 8, -48.0},        {128, 0, 8, 0.0},     {0, -127, 8, -0.0683},
        {2, 0, 8, -36.12},
    };
    for (const Case& c : cases) {
        g_blockPeaks = {c.max, c.min, 0, 0};
        EXPECT_NEAR(meter.ComputeLevel(c.bits), c.db, 0.005)
            << "max " << c.max << " min " << c.min << " bits " << c.bits;
    }
}

TEST_F(LevelMeterTest, HoldTexts) {
    monitor->SetFormat(1, 16);
    Feed16({-32768});
    EXPECT_EQ(Text(2), "0.0dB");
    EXPECT_EQ(host.textsPending, 1);

    s_now += 1000; // not yet past 1000 ms since the last reset
    Feed16({0});
    EXPECT_EQ(Text(2), "0.0dB");
    s_now += 1;
    Feed16({0});
    EXPECT_EQ(Text(2), "-96.0dB");

    s_now += 1001;
    Feed16({32767});
    EXPECT_EQ(Text(2), "-0.0dB");

    monitor->SetFormat(1, 8);
    s_now += 1001;
    Feed8({128, 128, 128});
    EXPECT_EQ(Text(2), "-48.0dB") << "8-bit silence";
    Feed8({0, 128});
    EXPECT_EQ(Text(2), "-0.1dB") << "the byte 0 reads -0.07 dB";
}

// One hold for both meters: in a stereo block, meter 0 takes its text before channel 1's level
// is taken in, meter 1 after; meter 0 catches up with the next block.
TEST_F(LevelMeterTest, StereoSharesOneHold) {
    monitor->SetFormat(2, 16);
    Feed16({3277, -32768});
    EXPECT_EQ(Text(2), "-20.0dB");
    EXPECT_EQ(Text(3), "0.0dB");
    Feed16({3277, -32768});
    EXPECT_EQ(Text(2), "0.0dB");
    monitor->OnClose();
    EXPECT_EQ(Text(2), "");
    EXPECT_EQ(Text(3), "");
}

TEST_F(LevelMeterTest, MonoLeavesPartThreeAndMeterOneAlone) {
    host.statusText[3] = "kept";
    monitor->SetFormat(1, 16);
    const std::string before = MeterColumn(Picture(host.meter1), 5);
    Feed16({-32768, 5});
    EXPECT_EQ(MeterColumn(Picture(host.meter1), 5), before) << "a loud block leaves it as it was";
    monitor->OnPause();
    monitor->OnClose();
    monitor->DeliverStatusTexts();
    EXPECT_EQ(host.textsSet[3], 0);
    EXPECT_EQ(host.statusText[3], "kept");
    EXPECT_EQ(host.statusText[2], "");
}

TEST_F(LevelMeterTest, IncompleteStereoFrameIsIgnored) {
    monitor->SetFormat(2, 16);
    Feed16({100, -200, 30000}); // the third sample has no partner
    EXPECT_EQ(g_blockPeaks.maxCh0, 100);
    EXPECT_EQ(g_blockPeaks.minCh1, -200);
    monitor->SetFormat(2, 8);
    Feed8({127, 255, 0}); // channel 0 reads 0, channel 1 reads 128; the byte 0 is left out
    EXPECT_EQ(g_blockPeaks.minCh0, 0);
    EXPECT_EQ(g_blockPeaks.maxCh1, 128);
}

TEST_F(LevelMeterTest, PauseLeavesMetersUnlitAndTextsKept) {
    monitor->SetFormat(2, 16);
    Feed16({-32768, -32768});
    monitor->OnPause();
    EXPECT_EQ(MeterColumn(Picture(host.meter0), 5), Meter('r', 'y', 'g'));
    EXPECT_EQ(MeterColumn(Picture(host.meter1), 5), Meter('r', 'y', 'g'));
    EXPECT_EQ(Text(3), "0.0dB");
}

} // namespace
