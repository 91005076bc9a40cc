// CWaveView: the scrolling waveform of control 1010. Every block becomes one pixel column that
// enters at the right edge while the picture moves one pixel to the left; the view remembers as
// many blocks as the control has pixel columns, to redraw the whole picture on repaint. The
// column of a block that holds a marker has the marker's colour where the ground would be, and
// scrolls with the sound.
//
// Owned and driven by CMonitor, which holds its lock around every call: AddColumn runs on the
// capture thread, the others on the window thread.
#pragma once

#include "monitor/monitor_host.h"
#include "monitor/pixel_surface.h"

#include <cstdint>
#include <vector>

constexpr Colour kWaveGround = MakeColour(10, 36, 106);
constexpr Colour kWaveSignal = MakeColour(255, 255, 255);
constexpr Colour kWaveMarker = MakeColour(255, 160, 0);

class CWaveView {
public:
    explicit CWaveView(IMonitorHost& host) : m_host(host) {}

    // Takes the window to draw for; sizes the history and the picture to its client area, all
    // zero. A null window only releases them.
    int Attach(WindowHandle window);
    // Zeroes the history; draws nothing.
    int ClearHistory();
    // Draws the whole picture from the history in the layout of the channel count given.
    int Redraw(int channels, int bitsPerSample);
    // Takes g_blockPeaks, of a block of frames, into the newest history entry and scrolls it in.
    int AddColumn(int channels, int bitsPerSample, uint32_t frames);
    // The column whose sound holds this frame (0: the first since the history was cleared)
    // holds a marker: it is drawn again (changed: where); a frame still to come marks the next
    // column added. False when nothing is drawn now.
    bool MarkFrame(uint64_t frame, int channels, int bitsPerSample, Rect& changed);
    // The column AddColumn draws: the right-most.
    Rect NewestColumn() const;
    // How many columns the picture scrolled since the last call: the window, which shows the
    // picture as it was then, scrolls by as many and paints only what that uncovers.
    int TakeScrolled();

    WindowHandle Window() const { return m_hwnd; }
    const PixelSurface& Surface() const { return m_surface; }

private:
    // The band of a channel: its top row and half-height.
    struct Band {
        int base;
        int halfHeight;
    };
    Band BandOf(int channel, int channels) const;
    void DrawColumn(int x, int entry, int channels, int bitsPerSample);
    void DrawStrip(const Rect& strip, int entry, int channels, int bitsPerSample);

    IMonitorHost& m_host;
    WindowHandle m_hwnd = nullptr;
    std::vector<int16_t> m_pMax0, m_pMin0, m_pMax1, m_pMin1; // one entry per pixel column
    std::vector<uint8_t> m_marked;                           // likewise: a marker's column
    std::vector<uint64_t> m_firstFrames;                     // likewise: its sound's first frame
    bool m_markNext = false;
    uint64_t m_added = 0;       // columns added since the history was cleared
    uint64_t m_addedFrames = 0; // their frames
    PixelSurface m_surface;
    int m_scrolled = 0;
};
