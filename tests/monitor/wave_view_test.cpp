// The waveform's pixels, for the edge cases of its geometry.
#include "monitor/block_peaks.h"
#include "tests/monitor/monitor_fixture.h"

namespace {

// A column of `height` rows of `fill`, with rows from..to (inclusive) set to `mark`.
std::string Rows(int height, char fill, std::initializer_list<std::tuple<int, int, char>> marks) {
    std::string column(size_t(height), fill);
    for (const auto& [from, to, mark] : marks)
        for (int y = from; y <= to && y < height; ++y)
            column[size_t(y)] = mark;
    return column;
}

using WaveViewTest = MonitorFixture;
constexpr int kRight = MonitorFixture::kViewWidth - 1; // the newest column

TEST_F(WaveViewTest, SilenceShowsTheCentreLines) {
    monitor->SetFormat(1, 16);
    monitor->Repaint(1);
    Feed16(std::vector<int16_t>(640, 0));
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight), Rows(100, 'g', {{50, 50, 'W'}}));

    monitor->SetFormat(2, 16);
    monitor->Repaint(2);
    Feed16(std::vector<int16_t>(1280, 0));
    // Quarter 25 and half + quarter 75 from the two bands, the divider at half.
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight),
              Rows(100, 'g', {{25, 25, 'W'}, {50, 50, 'd'}, {75, 75, 'W'}}));
    // A full redraw of silent history: the same, for every column.
    monitor->Repaint(2);
    EXPECT_EQ(WaveColumn(Picture(host.view), 3),
              Rows(100, 'g', {{25, 25, 'W'}, {50, 50, 'd'}, {75, 75, 'W'}}));
}

TEST_F(WaveViewTest, FullScaleColumnsReachTheBandEdges) {
    monitor->SetFormat(1, 16);
    monitor->Repaint(1);
    Feed16({32767, -32768});
    // y(max) = 0, so the line starts at row 2; y(min) = 100 lies below the picture.
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight), Rows(100, 'W', {{0, 1, 'g'}}));

    monitor->SetFormat(2, 16);
    monitor->Repaint(2);
    Feed16({32767, 0, -32768, -32768});
    // Channel 0: rows 2..50 (y(min) = 25 + 25), over the divider. Channel 1 (max 0, min
    // -32768): rows y(0) + 2 = 77 to 100, below its centre line at 75.
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight),
              Rows(100, 'g', {{2, 50, 'W'}, {75, 75, 'W'}, {77, 99, 'W'}}));
}

// The 8-bit peak of 128 (byte 255) scales past 32767 and is not clamped: with a band
// half-height of 64 or more its top pixel is one row higher than a 16-bit peak of 32767.
TEST_F(WaveViewTest, EightBitPeakOf128) {
    Attach(128); // mono half-height 64
    monitor->SetFormat(1, 8);
    Feed8({255, 128});
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight).find('W'), 1u) << "y(max) = -1";

    Attach(100); // half-height 50
    monitor->SetFormat(1, 8);
    Feed8({255, 128});
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight).find('W'), 2u) << "y(max) = 0";
}

// A column whose max maps exactly one row above the centre and whose min is 0 has an empty
// line: live, its strip still shows the white centre pixel; a full redraw shows plain ground.
TEST_F(WaveViewTest, EmptyColumnLiveAndRedrawn) {
    monitor->SetFormat(1, 16);
    monitor->Repaint(1);
    Feed16({655, 0}); // RoundedMulDiv(32767 - 655, 50, 32767) = 49
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight), Rows(100, 'g', {{50, 50, 'W'}}));
    monitor->Repaint(1);
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight), Rows(100, 'g', {}));
    // With y(max) = 47 the line covers rows 49 and 50.
    Feed16({2000, 0});
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight), Rows(100, 'g', {{49, 50, 'W'}}));
}

// The scroll never writes the left-most column: it keeps the last full redraw until the next.
TEST_F(WaveViewTest, LeftMostColumnKeepsTheLastRedraw) {
    monitor->SetFormat(1, 16);
    monitor->Repaint(1);
    const std::string silent = Rows(100, 'g', {{50, 50, 'W'}}); // a silent column's one pixel
    ASSERT_EQ(WaveColumn(Picture(host.view), 0), silent);
    for (int i = 0; i < kViewWidth + 5; ++i)
        Feed16({16384, -16384});
    EXPECT_EQ(WaveColumn(Picture(host.view), 0), silent);
    const std::string loud = WaveColumn(Picture(host.view), 1);
    EXPECT_NE(loud, silent);
    monitor->Repaint(1);
    EXPECT_EQ(WaveColumn(Picture(host.view), 0), loud) << "the redraw shows history entry 0";
}

// A marker's column has its colour where the ground would be, everything else drawn as ever; it
// scrolls with the sound, a full redraw shows it, and a new recording starts without it. A
// column marked later by a frame of its sound (a gap found a second after it) is drawn again so,
// and a frame to come is marked as its block comes. Here a block holds two frames.
TEST_F(WaveViewTest, MarkerColumnScrollsWithTheSound) {
    monitor->SetFormat(2, 16);
    monitor->Repaint(2);
    monitor->MarkFrame(0);
    for (int i = 0; i < 4; ++i)
        Feed16({0, 0, 0, 0});
    const auto silent = [](char ground) {
        return Rows(100, ground, {{25, 25, 'W'}, {50, 50, 'd'}, {75, 75, 'W'}});
    };
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight - 3), silent('m'));
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight), silent('g')) << "one column only";
    monitor->MarkFrame(5); // block 2's second frame
    monitor->MarkFrame(8); // block 4's first, to come
    Feed16({0, 0, 0, 0});
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight - 2), silent('m')) << "block 2";
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight), silent('m')) << "block 4";
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight - 1), silent('g'));
    monitor->Repaint(2);
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight - 4), silent('m'));
    monitor->SetFormat(2, 16);
    monitor->Repaint(2);
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight - 3).find('m'), std::string::npos);
}

TEST_F(WaveViewTest, MonoRepaintOfStereoHistory) {
    monitor->SetFormat(2, 16);
    Feed16({32767, 0, -32768, 0}); // channel 0 full scale, channel 1 silent
    monitor->Repaint(1);
    EXPECT_EQ(WaveColumn(Picture(host.view), kRight), Rows(100, 'W', {{0, 1, 'g'}}))
        << "channel 0 over the whole height, no divider";
}

TEST_F(WaveViewTest, ClosedRecordingLeavesAnEmptyPicture) {
    monitor->SetFormat(1, 16);
    Feed16({20000, -20000});
    monitor->OnClose();
    EXPECT_NE(g_blockPeaks.maxCh0, 0) << "the peaks stay";
    const PixelSurface picture = Picture(host.view);
    for (int x : {0, 100, kRight})
        EXPECT_EQ(WaveColumn(picture, x), Rows(100, 'g', {{50, 50, 'W'}})) << "column " << x;
}

} // namespace
