#include "monitor/monitor.h"

#include "monitor/block_peaks.h"

#include <algorithm>
#include <cstring>

BlockPeaks g_blockPeaks;

namespace {

// Walks the samples of a block, one frame at a time (an incomplete last frame is left out),
// keeping each channel's largest non-negative and smallest negative value.
template <typename ReadSample>
void MeasurePeaks(uint32_t sampleCount, int channels, ReadSample read) {
    int max0 = 0, min0 = 0, max1 = 0, min1 = 0;
    const bool stereo = channels == 2;
    const uint32_t step = stereo ? 2 : 1;
    for (uint32_t i = 0; i + step <= sampleCount; i += step) {
        const int v0 = read(i);
        if (v0 >= 0 ? v0 > max0 : v0 < min0)
            (v0 >= 0 ? max0 : min0) = v0;
        if (stereo) {
            const int v1 = read(i + 1);
            if (v1 >= 0 ? v1 > max1 : v1 < min1)
                (v1 >= 0 ? max1 : min1) = v1;
        }
    }
    g_blockPeaks.maxCh0 = int16_t(max0);
    g_blockPeaks.minCh0 = int16_t(min0);
    if (stereo) {
        g_blockPeaks.maxCh1 = int16_t(max1);
        g_blockPeaks.minCh1 = int16_t(min1);
    }
}

} // namespace

CMonitor::CMonitor(IMonitorHost& host)
    : m_host(host), m_pView(std::make_unique<CWaveView>(host)),
      m_pMeter0(std::make_unique<CLevelMeter>(host, 0, m_texts)),
      m_pMeter1(std::make_unique<CLevelMeter>(host, 1, m_texts)) {}

CMonitor::~CMonitor() = default;

int CMonitor::AttachWindows(WindowHandle view, WindowHandle meter0, WindowHandle meter1) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_pView->Attach(view);
    m_pMeter0->Attach(meter0);
    m_pMeter1->Attach(meter1);
    return 1;
}

int CMonitor::Repaint(uint16_t channels) {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        RepaintLocked(channels);
    }
    InvalidateAll();
    return 1;
}

void CMonitor::RepaintLocked(uint16_t channels) {
    m_channels = channels;
    m_pView->Redraw(m_channels, m_bitsPerSample);
    m_pMeter0->DrawScale();
    m_pMeter1->DrawScale();
}

int CMonitor::SetFormat(uint16_t channels, uint16_t bitsPerSample, uint32_t bytesPerSec) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_channels = channels;
    m_bitsPerSample = bitsPerSample;
    m_bytesPerSec = bytesPerSec;
    m_quietBytes = 0;
    g_blockPeaks = BlockPeaks();
    m_pView->ClearHistory();
    return 1;
}

int CMonitor::OnStart() {
    return 1;
}

// Called on the capture thread for every block.
int CMonitor::ProcessBlock(const void* data, uint32_t byteCount) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    // What changed, told after the lock: the waveform's column, the meters' rows.
    struct Change {
        WindowHandle window;
        Rect area;
    } changes[1 + 2 * CLevelMeter::kMaxChangedAreas];
    int changeCount = 0;
    bool textsPending;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_bitsPerSample == 8)
            MeasurePeaks8(bytes, byteCount);
        else
            MeasurePeaks16(bytes, byteCount);
        const BlockPeaks& peaks = g_blockPeaks;
        const int high = m_bitsPerSample == 8 ? 2 : kQuietPeak16 - 1; // 8-bit: 129 - 127
        const int low = m_bitsPerSample == 8 ? 0 : 1 - kQuietPeak16;  // 8-bit: 127 - 127
        if (peaks.maxCh0 <= high && peaks.minCh0 >= low && peaks.maxCh1 <= high &&
            peaks.minCh1 >= low)
            m_quietBytes.store(m_quietBytes.load(std::memory_order_relaxed) + byteCount,
                               std::memory_order_relaxed);
        else
            m_quietBytes.store(0, std::memory_order_relaxed);
        const uint32_t frameBytes = std::max(m_channels * m_bitsPerSample / 8, 1);
        m_pView->AddColumn(m_channels, m_bitsPerSample, byteCount / frameBytes);
        if (m_pView->Window())
            changes[changeCount++] = {m_pView->Window(), m_pView->NewestColumn()};
        for (CLevelMeter* meter : {m_pMeter0.get(), m_pMeter1.get()}) {
            if (meter == m_pMeter1.get() && m_channels != 2)
                break;
            meter->Update(m_bitsPerSample);
            Rect areas[CLevelMeter::kMaxChangedAreas];
            const int count = meter->Window() ? meter->ChangedAreas(areas) : 0;
            for (int i = 0; i < count; ++i)
                changes[changeCount++] = {meter->Window(), areas[i]};
        }
        textsPending = m_texts.changed[0] || m_texts.changed[1];
    }
    for (int i = 0; i < changeCount; ++i)
        m_host.Invalidate(changes[i].window, changes[i].area);
    if (textsPending)
        m_host.StatusTextsPending();
    return 1;
}

uint32_t CMonitor::QuietMs() const {
    const uint32_t perSec = m_bytesPerSec;
    return perSec ? uint32_t(m_quietBytes.load(std::memory_order_relaxed) * 1000 / perSec) : 0;
}

void CMonitor::MarkFrame(uint64_t frame) {
    Rect changed;
    WindowHandle window;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        window = m_pView->Window();
        if (!m_pView->MarkFrame(frame, m_channels, m_bitsPerSample, changed))
            return;
    }
    m_host.Invalidate(window, changed);
}

int CMonitor::OnPause() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pMeter0->DrawScale();
        if (m_channels == 2)
            m_pMeter1->DrawScale();
    }
    InvalidateAll();
    return 1;
}

int CMonitor::OnClose() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_pView->ClearHistory();
        m_pMeter0->ClearText();
        if (m_channels == 2)
            m_pMeter1->ClearText();
        RepaintLocked(m_channels);
    }
    InvalidateAll();
    m_host.StatusTextsPending();
    return 1;
}

// 8-bit samples are unsigned bytes; the value is the byte minus 127.
int CMonitor::MeasurePeaks8(const uint8_t* data, uint32_t byteCount) {
    MeasurePeaks(byteCount, m_channels, [data](uint32_t i) { return int(data[i]) - 127; });
    return 1;
}

int CMonitor::MeasurePeaks16(const uint8_t* data, uint32_t byteCount) {
    MeasurePeaks(byteCount / 2, m_channels, [data](uint32_t i) {
        return int(int16_t(uint16_t(data[2 * i] | (data[2 * i + 1] << 8))));
    });
    return 1;
}

void CMonitor::DeliverStatusTexts() {
    MeterTexts texts;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        texts = m_texts;
        m_texts.changed[0] = m_texts.changed[1] = false;
    }
    for (int channel = 0; channel < 2; ++channel) {
        if (texts.changed[channel])
            m_host.SetStatusText(2 + channel, texts.text[channel]);
    }
}

bool CMonitor::PaintWindow(WindowHandle window,
                           const std::function<void(const PixelSurface&, int scrolled)>& paint) {
    if (!window)
        return false;
    int scrolled = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const PixelSurface* picture = nullptr;
        if (m_pView->Window() == window) {
            picture = &m_pView->Surface();
            scrolled = m_pView->TakeScrolled();
        }
        for (const CLevelMeter* meter : {m_pMeter0.get(), m_pMeter1.get()})
            if (!picture && meter->Window() == window)
                picture = &meter->Surface();
        if (!picture)
            return false;
        m_painted = *picture; // the same size every time: no allocation
    }
    paint(m_painted, scrolled);
    return true;
}

bool CMonitor::CopyPicture(WindowHandle window, PixelSurface& picture) const {
    if (!window)
        return false;
    std::lock_guard<std::mutex> lock(m_lock);
    for (const PixelSurface* surface :
         {m_pView->Window() == window ? &m_pView->Surface() : nullptr,
          m_pMeter0->Window() == window ? &m_pMeter0->Surface() : nullptr,
          m_pMeter1->Window() == window ? &m_pMeter1->Surface() : nullptr}) {
        if (surface) {
            picture = *surface;
            return true;
        }
    }
    return false;
}

// On the window thread, which alone attaches windows.
void CMonitor::InvalidateAll() {
    const struct {
        WindowHandle window;
        Rect area;
    } all[] = {{m_pView->Window(), m_pView->Surface().ClientRect()},
               {m_pMeter0->Window(), m_pMeter0->Surface().ClientRect()},
               {m_pMeter1->Window(), m_pMeter1->Surface().ClientRect()}};
    for (const auto& control : all) {
        if (control.window)
            m_host.Invalidate(control.window, control.area);
    }
}
