// CMonitor: turns every recorded block into per-channel peaks, one waveform column and lit
// level meters, and leaves the held dB texts for the status bar.
//
// Threads: ProcessBlock runs on the capture thread, everything else on the window thread. One
// lock guards the peaks, the history, the hold, the pictures and the texts. It is held only to
// draw into memory or to copy a picture, never across a call into the window system: the
// capture thread needs it for every block before the block's buffer goes back to the device.
// The windows are told afterwards, without waiting for them (IMonitorHost::Invalidate,
// IMonitorHost::StatusTextsPending). A block tells only what it
// changed: the waveform's new column (the window scrolls what it shows when it paints) and the
// meters' rows whose colour changed.
#pragma once

#include "monitor/level_meter.h"
#include "monitor/monitor_host.h"
#include "monitor/wave_view.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

// A block is quiet when no sample of it reaches ±kQuietPeak16 (16-bit: -66 dBFS) or, in 8-bit,
// lies more than one step from the middle (128). A microphone in a quiet room peaks some 20 dB
// higher (its own noise and the room's); a muted microphone, a privacy switch or an input with
// nothing plugged in stays below. Sound that has stayed quiet for kQuietWarnMs is told to the user.
constexpr int kQuietPeak16 = 16;
constexpr uint32_t kQuietWarnMs = 10000;

class CMonitor {
public:
    explicit CMonitor(IMonitorHost& host);
    ~CMonitor();
    CMonitor(const CMonitor&) = delete;
    CMonitor& operator=(const CMonitor&) = delete;

    // Controls 1010 (waveform), 1007 (channel 0's meter) and 1009 (channel 1's meter).
    int AttachWindows(WindowHandle view, WindowHandle meter0, WindowHandle meter1);
    // Redraws the waveform in the layout of the channel count given, and both meters unlit.
    int Repaint(uint16_t channels);
    // A recording opens: its device channel count, bit depth and bytes a second (for QuietMs);
    // peaks, history and the quiet time zeroed.
    int SetFormat(uint16_t channels, uint16_t bitsPerSample, uint32_t bytesPerSec = 0);
    int OnStart();
    // One recorded block, as the device filled it (interleaved PCM of the capture format).
    int ProcessBlock(const void* data, uint32_t byteCount);
    // A marker at a frame of the recording's capture (0: its first): the column of the block
    // that holds it shows it, as long as it is in the picture; a frame still to come, the next
    // block's column. Any thread.
    void MarkFrame(uint64_t frame);
    // How much of the sound recorded last has been quiet, in milliseconds of sound (a pause
    // counts nothing). Any thread.
    uint32_t QuietMs() const;
    // The device stopped for a pause: the meters go unlit; waveform and texts stay.
    int OnPause();
    // The recording ended: empty history, empty texts, an empty picture.
    int OnClose();

    int MeasurePeaks8(const uint8_t* data, uint32_t byteCount);
    int MeasurePeaks16(const uint8_t* data, uint32_t byteCount);

    // On the window thread, after IMonitorHost::StatusTextsPending: sets the changed texts into
    // status-bar parts 2 and 3 through the host.
    void DeliverStatusTexts();

    // Calls paint with a copy of the picture the monitor keeps for a control and the columns the
    // picture scrolled since the last paint (the waveform's; 0 for a meter), outside the
    // monitor's lock; false when the window is none of the monitor's. Window thread (the copy is
    // kept from one call to the next).
    bool PaintWindow(WindowHandle window,
                     const std::function<void(const PixelSurface&, int scrolled)>& paint);

    // A copy of the picture the monitor keeps for a control (for tests and tools: it takes no
    // scroll away from the control's next paint); false when the window is none of the
    // monitor's.
    bool CopyPicture(WindowHandle window, PixelSurface& picture) const;

    uint16_t Channels() const { return m_channels; }
    uint16_t BitsPerSample() const { return m_bitsPerSample; }

private:
    void RepaintLocked(uint16_t channels);
    void InvalidateAll();

    IMonitorHost& m_host;
    std::unique_ptr<CWaveView> m_pView;
    std::unique_ptr<CLevelMeter> m_pMeter0;
    std::unique_ptr<CLevelMeter> m_pMeter1;
    uint16_t m_channels = 1;       // until the first SetFormat
    uint16_t m_bitsPerSample = 16; // likewise
    MeterTexts m_texts;
    uint32_t m_bytesPerSec = 0;
    // Bytes of quiet blocks since the last block that was not: written by the capture thread
    // under the lock, read anywhere.
    std::atomic<uint64_t> m_quietBytes{0};
    mutable std::mutex m_lock;
    PixelSurface m_painted; // the window thread's copy of the picture being painted
};
