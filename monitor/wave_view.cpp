#include "monitor/wave_view.h"

#include "monitor/block_peaks.h"

#include <algorithm>

namespace {

// A stored peak in the 16-bit range: 8-bit peaks are scaled by 32767 / 127, without clamping.
int Scale(int value, int bitsPerSample) {
    return bitsPerSample == 8 ? value * 32767 / 127 : value;
}

// +32767 maps to the band's top row, 0 to its centre, -32768 to about its bottom.
int MapY(int value, int bitsPerSample, int base, int halfHeight) {
    return base + RoundedMulDiv(32767 - Scale(value, bitsPerSample), halfHeight, 32767);
}

template <class T> void Shift(std::vector<T>& history, T newest) {
    std::move(history.begin() + 1, history.end(), history.begin());
    history.back() = newest;
}

} // namespace

int CWaveView::Attach(WindowHandle window) {
    m_pMax0.clear();
    m_pMin0.clear();
    m_pMax1.clear();
    m_pMin1.clear();
    m_marked.clear();
    m_firstFrames.clear();
    m_markNext = false;
    m_added = m_addedFrames = 0;
    m_surface.Resize(0, 0);
    m_scrolled = 0;
    m_hwnd = window;
    if (!window)
        return 1;
    const Rect client = m_host.GetClientRect(window);
    const int width = std::max(client.right - client.left, 0);
    for (auto* history : {&m_pMax0, &m_pMin0, &m_pMax1, &m_pMin1})
        history->assign(size_t(width), 0);
    m_marked.assign(size_t(width), 0);
    m_firstFrames.assign(size_t(width), 0);
    m_surface.Resize(width, client.bottom - client.top);
    m_host.OnAttach(window);
    return 1;
}

int CWaveView::ClearHistory() {
    if (!m_hwnd)
        return 1;
    for (auto* history : {&m_pMax0, &m_pMin0, &m_pMax1, &m_pMin1})
        std::fill(history->begin(), history->end(), int16_t(0));
    std::fill(m_marked.begin(), m_marked.end(), uint8_t(0));
    m_markNext = false;
    m_added = m_addedFrames = 0;
    return 1;
}

CWaveView::Band CWaveView::BandOf(int channel, int channels) const {
    const int height = m_surface.Height();
    if (channels != 2)
        return {0, height / 2};
    return {channel == 0 ? 0 : height / 2, height / 4};
}

// One channel's column: a white line from y(min) up to y(max) + 1, the end excluded, so it
// covers y(max) + 2 .. y(min), or only y(min) when both map to the same row.
void CWaveView::DrawColumn(int x, int entry, int channels, int bitsPerSample) {
    for (int channel = 0; channel < (channels == 2 ? 2 : 1); ++channel) {
        const Band band = BandOf(channel, channels);
        const int maxValue = channel == 0 ? m_pMax0[entry] : m_pMax1[entry];
        const int minValue = channel == 0 ? m_pMin0[entry] : m_pMin1[entry];
        const int yMin = MapY(minValue, bitsPerSample, band.base, band.halfHeight);
        const int yMax = MapY(maxValue, bitsPerSample, band.base, band.halfHeight);
        DrawLine(m_surface, x, yMin, x, yMax + 1, kWaveSignal);
    }
}

int CWaveView::Redraw(int channels, int bitsPerSample) {
    if (!m_hwnd)
        return 1;
    const Rect client = m_surface.ClientRect();
    FillBox(m_surface, client.top, client.bottom, client.left, client.right, kWaveGround);
    for (int x = 0; x < int(m_marked.size()); ++x)
        if (m_marked[size_t(x)])
            FillBox(m_surface, client.top, client.bottom, client.left + x, client.left + x + 1,
                    kWaveMarker);
    if (channels == 2) {
        const int half = client.bottom / 2;
        DrawLine(m_surface, client.left, half, client.right, half, m_host.GetButtonFaceColour());
    }
    for (int x = 0; x < int(m_pMax0.size()); ++x)
        DrawColumn(client.left + x, x, channels, bitsPerSample);
    return 1;
}

int CWaveView::AddColumn(int channels, int bitsPerSample, uint32_t frames) {
    if (!m_hwnd || m_pMax0.empty())
        return 1;
    const bool stereo = channels == 2;
    Shift(m_pMax0, g_blockPeaks.maxCh0);
    Shift(m_pMin0, g_blockPeaks.minCh0);
    if (stereo) {
        Shift(m_pMax1, g_blockPeaks.maxCh1);
        Shift(m_pMin1, g_blockPeaks.minCh1);
    }
    Shift(m_marked, uint8_t(m_markNext));
    Shift(m_firstFrames, m_addedFrames);
    m_markNext = false;
    ++m_added;
    m_addedFrames += frames;

    // The left-most column is outside the clip rectangle: it keeps what the last redraw put
    // there.
    const Rect client = m_surface.ClientRect();
    const Rect clip = {client.left + 1, client.top, client.right, client.bottom};
    DrawStrip(ScrollLeftOnePixel(m_surface, client, clip), int(m_pMax0.size()) - 1, channels,
              bitsPerSample);
    ++m_scrolled;
    return 1;
}

// The strip a column scrolls in with: its ground (or the marker's colour), the centre lines
// across it, the column.
void CWaveView::DrawStrip(const Rect& strip, int entry, int channels, int bitsPerSample) {
    FillBox(m_surface, strip.top, strip.bottom, strip.left, strip.right,
            m_marked[size_t(entry)] ? kWaveMarker : kWaveGround);
    const int half = m_surface.ClientRect().bottom / 2;
    if (channels == 2) {
        DrawLine(m_surface, strip.left, int(half * 0.5), strip.right, int(half * 0.5), kWaveSignal);
        DrawLine(m_surface, strip.left, int(half * 1.5), strip.right, int(half * 1.5), kWaveSignal);
        DrawLine(m_surface, strip.left, half, strip.right, half, m_host.GetButtonFaceColour());
    } else {
        DrawLine(m_surface, strip.left, half, strip.right, half, kWaveSignal);
    }
    DrawColumn(m_surface.ClientRect().left + entry, entry, channels, bitsPerSample);
}

// The newest column whose sound begins at or before the frame; the left-most is not drawn.
bool CWaveView::MarkFrame(uint64_t frame, int channels, int bitsPerSample, Rect& changed) {
    if (frame >= m_addedFrames) {
        m_markNext = true;
        return false;
    }
    if (!m_hwnd || m_marked.empty())
        return false;
    const size_t oldest = m_marked.size() - size_t(std::min<uint64_t>(m_added, m_marked.size()));
    size_t newest = m_marked.size() - 1;
    while (newest > oldest && m_firstFrames[newest] > frame)
        --newest;
    if (newest == 0 || m_firstFrames[newest] > frame)
        return false;
    const int entry = int(newest);
    m_marked[newest] = 1;
    const Rect client = m_surface.ClientRect();
    changed = {client.left + entry, client.top, client.left + entry + 1, client.bottom};
    DrawStrip(changed, entry, channels, bitsPerSample);
    return true;
}

Rect CWaveView::NewestColumn() const {
    const Rect client = m_surface.ClientRect();
    return {client.right - 1, client.top, client.right, client.bottom};
}

int CWaveView::TakeScrolled() {
    const int scrolled = m_scrolled;
    m_scrolled = 0;
    return scrolled;
}
