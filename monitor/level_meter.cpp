#include "monitor/level_meter.h"

#include "engine/clock.h"
#include "monitor/block_peaks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

double g_holdDb = 0;
uint32_t g_holdResetTick = 0;

namespace {
bool g_holdStarted = false; // the first level drawing of the process sets the hold to the floor
} // namespace

void ResetPeakHold() {
    g_holdDb = 0;
    g_holdResetTick = 0;
    g_holdStarted = false;
}

int CLevelMeter::Attach(WindowHandle window) {
    m_hwnd = window;
    m_surface.Resize(0, 0);
    m_changedCount = 0;
    if (window) {
        const Rect client = m_host.GetClientRect(window);
        m_surface.Resize(client.right - client.left, client.bottom - client.top);
        m_rowsBefore.assign(size_t(std::max(m_surface.Height(), 0)), 0);
        m_host.OnAttach(window);
    }
    return 1;
}

// Draws the whole bar into the picture, then finds the rows that changed, so the window
// repaints only those.
int CLevelMeter::Update(int bitsPerSample) {
    m_changedCount = 0;
    if (!m_hwnd)
        return 1;
    const Geometry g = Measure();
    const int height = m_surface.Height();
    for (int y = 0; y < height; ++y)
        m_rowsBefore[size_t(y)] = m_surface.GetPixel(g.left, y);
    DrawLevel(ComputeLevel(bitsPerSample), bitsPerSample);
    for (int y = 0; y < height;) {
        if (m_surface.GetPixel(g.left, y) == m_rowsBefore[size_t(y)]) {
            ++y;
            continue;
        }
        int end = y + 1;
        while (end < height && m_surface.GetPixel(g.left, end) != m_rowsBefore[size_t(end)])
            ++end;
        const Rect band = {0, y, m_surface.Width(), end};
        if (m_changedCount < kMaxChangedAreas) {
            m_changed[m_changedCount++] = band;
        } else {
            m_changed[kMaxChangedAreas - 1].bottom = end;
        }
        y = end;
    }
    return 1;
}

int CLevelMeter::ChangedAreas(Rect* areas) const {
    for (int i = 0; i < m_changedCount; ++i)
        areas[i] = m_changed[i];
    return m_changedCount;
}

double CLevelMeter::ComputeLevel(int bitsPerSample) const {
    const int maxValue = m_channel == 0 ? g_blockPeaks.maxCh0 : g_blockPeaks.maxCh1;
    const int minValue = m_channel == 0 ? g_blockPeaks.minCh0 : g_blockPeaks.minCh1;
    const int peak = std::max(std::abs(minValue), std::abs(maxValue));
    const double fullScale = std::ldexp(1.0, bitsPerSample - 1);
    // A peak of 0 or 1 is the floor; the quietest level above it is that of a peak of 2.
    if (peak < 2)
        return FloorLevel(bitsPerSample);
    const double level = 20 * std::log10(peak / fullScale);
    return level < 20 * std::log10(1.1 / fullScale) ? FloorLevel(bitsPerSample) : level;
}

int CLevelMeter::Geometry::Y(double db) const {
    const int height = bottom - top;
    return int(bottom - height * (db + 24) * (1.0 / 24));
}

CLevelMeter::Geometry CLevelMeter::Measure() const {
    const Rect client = m_surface.ClientRect();
    Geometry g{client.left + 2, client.top + 2, client.right - 2, client.bottom - 2, 0, 0};
    const int height = g.bottom - g.top;
    g.y6 = int(g.bottom - 0.75 * height);
    g.y3 = int(g.bottom - 0.875 * height);
    return g;
}

void CLevelMeter::Box(const Geometry& g, int top, int bottom, Colour colour) {
    FillBox(m_surface, top, bottom, g.left, g.right, colour);
}

int CLevelMeter::DrawScale() {
    if (!m_hwnd)
        return 1;
    const Geometry g = Measure();
    Box(g, g.y6, g.bottom, kMeterGreenUnlit);
    Box(g, g.y3, g.y6, kMeterYellowUnlit);
    Box(g, g.top, g.y3, kMeterRedUnlit);
    return 1;
}

int CLevelMeter::DrawLevel(double levelDb, int bitsPerSample) {
    // 1. The hold: the floor at the first drawing and at each reset, then the highest level.
    const uint32_t now = GetTicks();
    if (!g_holdStarted) {
        g_holdDb = FloorLevel(bitsPerSample);
        g_holdStarted = true;
    }
    if (uint32_t(g_holdResetTick + 1000) < now) {
        g_holdDb = FloorLevel(bitsPerSample);
        g_holdResetTick = now;
    }
    if (g_holdDb < levelDb)
        g_holdDb = levelDb;

    // 2. The bar, bottom to top.
    const Geometry g = Measure();
    const int y = g.Y(levelDb);
    if (levelDb <= -24) {
        DrawScale();
    } else if (levelDb < -6) {
        Box(g, y, g.bottom, kMeterGreenLit);
        Box(g, g.y6, y, kMeterGreenUnlit);
        Box(g, g.y3, g.y6, kMeterYellowUnlit);
        Box(g, g.top, g.y3, kMeterRedUnlit);
    } else if (levelDb < -3) {
        Box(g, g.y6, g.bottom, kMeterGreenLit);
        Box(g, y, g.y6, kMeterYellowLit);
        Box(g, g.y3, y, kMeterYellowUnlit);
        Box(g, g.top, g.y3, kMeterRedUnlit);
    } else {
        Box(g, g.y6, g.bottom, kMeterGreenLit);
        Box(g, g.y3, g.y6, kMeterYellowLit);
        Box(g, y, g.y3, kMeterRedLit);
        Box(g, g.top, y, kMeterRedUnlit);
    }

    // 3. The hold marker, in the colour of its zone.
    if (g_holdDb > -24) {
        const Colour colour = g_holdDb < -6   ? kMeterGreenLit
                              : g_holdDb < -3 ? kMeterYellowLit
                                              : kMeterRedLit;
        const int yHold = g.Y(g_holdDb);
        DrawLine(m_surface, g.left, yHold, g.right, yHold, colour);
    }

    // 4. The held level as text, at every update.
    char text[16];
    std::snprintf(text, sizeof text, "%02.1fdB", g_holdDb);
    SetText(text);
    return 1;
}

int CLevelMeter::ClearText() {
    SetText("");
    return 1;
}

// A text the status bar shows already is not set again.
void CLevelMeter::SetText(const char* text) {
    if (std::strcmp(m_texts.text[m_channel], text) == 0)
        return;
    std::snprintf(m_texts.text[m_channel], sizeof m_texts.text[m_channel], "%s", text);
    m_texts.changed[m_channel] = true;
}
