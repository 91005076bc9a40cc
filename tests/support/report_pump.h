// The window thread's part in the tests of a recording: the recording's wake function, and the
// reports taken as the window would take them, until what the test waits for holds or 20 s pass.
#pragma once

#include "recording/recording.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

class ReportPump {
public:
    // What the recording calls, on any thread, when a report waits.
    std::function<void()> Wake() {
        return [this] {
            std::lock_guard<std::mutex> lock(m_lock);
            ++m_notices;
            m_signal.notify_all();
        };
    }
    // Takes the recording's reports into reports until done() or 20 s; whether done() held.
    template <typename Done>
    bool Until(CRecording& recording, std::vector<RecordingReport>& reports, Done done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < limit) {
            {
                std::unique_lock<std::mutex> lock(m_lock);
                m_signal.wait_for(lock, std::chrono::milliseconds(5), [&] { return m_notices; });
                m_notices = 0;
            }
            for (RecordingReport& report : recording.TakeReports())
                reports.push_back(std::move(report));
        }
        return done();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_signal;
    int m_notices = 0;
};
