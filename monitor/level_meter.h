// CLevelMeter: the vertical level meter of one channel (control 1007 for channel 0, 1009 for
// channel 1), from -24 dB at the bottom to 0 dB at the top in a green, a yellow and a red zone,
// with a marker at the held peak, and the held peak as text in the status bar.
//
// Owned and driven by CMonitor under its lock: Update runs on the capture thread, the others on
// the window thread.
#pragma once

#include "monitor/monitor_host.h"
#include "monitor/pixel_surface.h"

#include <cstdint>
#include <vector>

constexpr Colour kMeterGreenLit = MakeColour(0, 255, 0);
constexpr Colour kMeterGreenUnlit = MakeColour(0, 128, 0);
constexpr Colour kMeterYellowLit = MakeColour(255, 255, 0);
constexpr Colour kMeterYellowUnlit = MakeColour(128, 128, 0);
constexpr Colour kMeterRedLit = MakeColour(255, 0, 0);
constexpr Colour kMeterRedUnlit = MakeColour(128, 0, 0);

// The held peak, shared by both meters: the highest level either reached since the last reset.
// A reset happens at the first meter update more than 1000 ms after the previous one.
extern double g_holdDb;
extern uint32_t g_holdResetTick;

// Returns the hold to its state at process start (no level drawn yet).
void ResetPeakHold();

// The status-bar texts the meters leave for the window thread: parts 2 and 3.
struct MeterTexts {
    char text[2][16] = {};
    bool changed[2] = {};
};

class CLevelMeter {
public:
    CLevelMeter(IMonitorHost& host, int channel, MeterTexts& texts)
        : m_host(host), m_channel(channel), m_texts(texts) {}

    static constexpr int kMaxChangedAreas = 4;

    int Attach(WindowHandle window);
    // Draws the level of the latest block (g_blockPeaks) and sets the hold text.
    int Update(int bitsPerSample);
    // The bands of rows whose colour the last Update changed, at most kMaxChangedAreas (more
    // become one band over all of them); returns their count.
    int ChangedAreas(Rect* areas) const;
    double ComputeLevel(int bitsPerSample) const;
    static double FloorLevel(int bitsPerSample) { return -6.0 * bitsPerSample; }
    int DrawLevel(double levelDb, int bitsPerSample);
    // Draws the unlit scale.
    int DrawScale();
    // Empties the meter's status-bar part (also without a window).
    int ClearText();

    WindowHandle Window() const { return m_hwnd; }
    const PixelSurface& Surface() const { return m_surface; }

private:
    struct Geometry {
        int left, top, right, bottom; // the client area less a 2-pixel margin
        int y6, y3;                   // the -6 dB and -3 dB boundaries
        int Y(double db) const;       // the row of a level
    };
    Geometry Measure() const;
    void Box(const Geometry& g, int top, int bottom, Colour colour);
    void SetText(const char* text);

    IMonitorHost& m_host;
    WindowHandle m_hwnd = nullptr;
    int m_channel;
    MeterTexts& m_texts;
    PixelSurface m_surface;
    // The meter's rows before the last Update, one colour each (a row is one colour across),
    // and the bands of rows it changed.
    std::vector<Colour> m_rowsBefore;
    Rect m_changed[kMaxChangedAreas];
    int m_changedCount = 0;
};
