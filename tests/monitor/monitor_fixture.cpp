#include "tests/monitor/monitor_fixture.h"

#include "monitor/level_meter.h"
#include "monitor/wave_view.h"

uint32_t MonitorFixture::s_now = 0;

void MonitorFixture::SetUp() {
    ResetPeakHold();
    s_now = 100000;
    SetTickFunction(&MonitorFixture::Now);
    Attach();
}

void MonitorFixture::TearDown() {
    SetTickFunction(nullptr);
}

void MonitorFixture::Attach(int viewHeight) {
    host.SetSize(host.view, kViewWidth, viewHeight);
    host.SetSize(host.meter0, kMeterWidth, kMeterHeight);
    host.SetSize(host.meter1, kMeterWidth, kMeterHeight);
    monitor = std::make_unique<CMonitor>(host);
    monitor->AttachWindows(host.view, host.meter0, host.meter1);
}

void MonitorFixture::Feed16(const std::vector<int16_t>& samples) {
    const auto bytes = SampleBytes(samples);
    monitor->ProcessBlock(bytes.data(), uint32_t(bytes.size()));
}

void MonitorFixture::Feed8(const std::vector<uint8_t>& bytes) {
    monitor->ProcessBlock(bytes.data(), uint32_t(bytes.size()));
}

PixelSurface MonitorFixture::Picture(WindowHandle window) {
    PixelSurface copy;
    EXPECT_TRUE(monitor->CopyPicture(window, copy));
    return copy;
}

std::string MonitorFixture::WaveColumn(const PixelSurface& picture, int x) {
    std::string column;
    for (int y = 0; y < picture.Height(); ++y) {
        const Colour c = picture.GetPixel(x, y);
        column += c == kWaveGround                    ? 'g'
                  : c == kWaveSignal                  ? 'W'
                  : c == FakeMonitorHost::kButtonFace ? 'd'
                  : c == kWaveMarker                  ? 'm'
                  : c == 0                            ? '.'
                                                      : '?';
    }
    return column;
}

std::string MonitorFixture::MeterColumn(const PixelSurface& picture, int x) {
    std::string column;
    for (int y = 0; y < picture.Height(); ++y) {
        const Colour c = picture.GetPixel(x, y);
        column += c == kMeterGreenLit      ? 'G'
                  : c == kMeterGreenUnlit  ? 'g'
                  : c == kMeterYellowLit   ? 'Y'
                  : c == kMeterYellowUnlit ? 'y'
                  : c == kMeterRedLit      ? 'R'
                  : c == kMeterRedUnlit    ? 'r'
                  : c == 0                 ? '.'
                                           : '?';
    }
    return column;
}

std::string MonitorFixture::Text(int part) {
    monitor->DeliverStatusTexts();
    return host.statusText[part];
}
