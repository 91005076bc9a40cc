// The one clock of a recording: the time recorded, pauses left out. The capture runs it when its
// device starts and stops it when the device stops, so that every block's stamp (what the gap
// detector holds the sound against) and the elapsed time the window shows are one reading of the
// same clock, on the millisecond ticks of GetTicks.
//
// Threads: any. The capture runs and pauses it under its own lock (the window thread and the
// capture thread); the capture thread reads it for every block, the window thread for the time.
#pragma once

#include <cstdint>
#include <mutex>

class RecordingClock {
public:
    // At 0, paused: a recording opens.
    void Reset() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_running = false;
        m_before = 0;
    }
    // Runs from nowTicks on; nothing when it runs already.
    void Run(uint32_t nowTicks) {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_running)
            return;
        m_running = true;
        m_start = nowTicks;
    }
    // Stops at nowTicks; nothing when it is paused already.
    void Pause(uint32_t nowTicks) {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_running)
            return;
        m_before = Read(nowTicks);
        m_running = false;
    }
    // The time recorded up to nowTicks; a moment before the last Run reads as that Run.
    uint32_t Ms(uint32_t nowTicks) const {
        std::lock_guard<std::mutex> lock(m_lock);
        return Read(nowTicks);
    }
    bool Running() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_running;
    }

private:
    uint32_t Read(uint32_t nowTicks) const {
        if (!m_running)
            return m_before;
        const uint32_t run = nowTicks - m_start;
        return m_before + (int32_t(run) > 0 ? run : 0);
    }

    mutable std::mutex m_lock;
    bool m_running = false;
    uint32_t m_start = 0;  // GetTicks when it last began to run
    uint32_t m_before = 0; // the time recorded before that
};
