// CWaveIn: one recording at a time from the default input into a WAV file. Thirty buffers of
// 40 ms circle between the device and the program; every buffer that comes back goes to the
// WAV writer, then to the monitor, then back to the device.
//
// Threads: Open, Start, Stop and Close run on the window thread. The per-block work runs on a
// capture thread of CWaveIn's own, woken by the device's completion notice; the device's own
// notification does nothing else. The capture thread never waits for the window thread. Close
// returns only after the capture thread has ended, so no block is in the writer or the monitor
// when the file is completed.
#pragma once

#include "engine/wave_file.h"
#include "engine/wave_input.h"
#include "monitor/monitor.h"
#include "monitor/monitor_host.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

constexpr int kWaveInBufferCount = 30;
constexpr uint32_t kWaveInBufferMs = 40;

// The writer and the monitor of the one capture, and whether it runs. Owned by the CWaveIn.
extern CWaveFile* g_pWaveFile;
extern CMonitor* g_pMonitor;
extern std::atomic<int> g_bCaptureActive;

// Why a capture ended by itself; the record bar then stops it and tells the user.
enum CaptureEndReason {
    CAPTURE_END_WRITE_FAILED = 1, // the file could not take a block (disk full, device error)
    CAPTURE_END_FILE_FULL,        // the file reached the largest size a WAV file can state
    CAPTURE_END_DEVICE_SILENT,    // no block for a while: the input device is gone
};

// Bytes in one 40 ms buffer of this device format (truncated, not rounded to whole frames).
uint32_t WaveInBufferSize(const WaveFormat& deviceFormat);

class CWaveIn {
public:
    CWaveIn(std::unique_ptr<IWaveInput> device, IMonitorHost& monitorHost);
    // Deletes the monitor, then the writer; the owner closes any capture first.
    ~CWaveIn();
    CWaveIn(const CWaveIn&) = delete;
    CWaveIn& operator=(const CWaveIn&) = delete;

    // Creates the file, opens the device, queues the buffers and starts recording. 1 when it
    // records; 0 when anything failed, with everything released and no file left behind.
    int Open(const std::filesystem::path& fileName, int channels, int samplesPerSec,
             int sampleType);
    // Starts or resumes the device; 1 when it runs.
    int Start();
    // Pauses: stops the device; the block it was filling is written and its buffer given back.
    int Stop();
    // Ends the capture: every byte recorded up to here reaches the file, which is completed.
    // 0 when the device or the file reported an error on the way (everything is released anyway).
    int Close();

    // Called on the capture thread when the capture ends by itself; must not block (the window
    // layer posts a message).
    void SetEndHandler(std::function<void(CaptureEndReason)> handler);
    // How long a running device may deliver nothing, after its first block, before the capture
    // counts it as gone (2 s unless a test says otherwise).
    void SetSilenceTimeout(uint32_t ms) { m_silenceTimeoutMs = ms; }

    bool IsOpen() const { return m_open; }

private:
    void CaptureThread();
    // Takes the buffers that came back, in queue order; gives them back unless closing.
    void ProcessDoneBuffers();
    void EndBySelf(CaptureEndReason reason);
    void WaitUntilProcessed();
    // Ends the thread, gives up the buffers and the device; returns false on a device error.
    bool Release();

    std::unique_ptr<IWaveInput> m_device;
    WaveHeader m_waveHdr[kWaveInBufferCount];
    std::unique_ptr<uint8_t[]> m_blocks;
    int m_prepared = 0; // headers prepared, from the first
    int m_next = 0;     // the header the device hands back next
    bool m_deviceOpen = false;
    bool m_open = false; // between a successful Open and Close
    std::filesystem::path m_fileName;

    std::thread m_thread;
    std::mutex m_lock; // guards the fields below, shared with the capture thread
    std::condition_variable m_changed;
    bool m_closing = false;       // buffers that come back are no longer given back
    bool m_quit = false;          // the capture thread takes what came back once more and ends
    uint64_t m_syncRequested = 0; // the window thread asks for one more scan...
    uint64_t m_syncDone = 0;      // ...and the capture thread says it made it
    // The capture thread's own, while it runs.
    bool m_ended = false; // the capture ended by itself: no more blocks are taken
    bool m_blockSeen = false;
    std::atomic<uint64_t> m_runStartMs{0}; // start of the run, or the last block
    std::atomic<uint32_t> m_silenceTimeoutMs{2000};
    std::function<void(CaptureEndReason)> m_endHandler;
};

// The preview page's way to the monitor: controls 1010, 1007, 1009, and its repaint.
int AttachMonitorViews(WindowHandle waveform, WindowHandle meter1, WindowHandle meter2);
int RepaintMonitor(uint16_t channels);
