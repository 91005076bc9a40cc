// The markers the window thread places, on their way to the disk thread, and the count of the
// frames the capture has taken, which places them: a marker asked for now points at the first
// frame the capture takes from now on (the sound that arrives as the key is pressed). The disk
// thread writes it into the file that holds that frame, at its frame there.
//
// The one rule: one short lock orders a request against the count, so a marker asked for before
// a block is counted is in the list before that block can reach the disk thread.
//
// Threads: Count on the capture thread, Place on the window thread, Take on the disk thread.
#pragma once

#include "recording/recording_marker.h"

#include <cstdint>
#include <mutex>
#include <vector>

struct MarkerRequest {
    MarkerKind kind = MARKER_USER;
    uint32_t number = 0;
    uint64_t received = 0; // the frame of the capture it points at
};

class MarkerRequests {
public:
    void Count(uint64_t frames) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_received += frames;
    }
    // The frame of the capture it points at.
    uint64_t Place(MarkerKind kind, uint32_t number) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_requests.push_back({kind, number, m_received});
        return m_received;
    }
    // The requests since the last call, in order (of their frames too).
    std::vector<MarkerRequest> Take() {
        std::vector<MarkerRequest> taken;
        std::lock_guard<std::mutex> lock(m_lock);
        taken.swap(m_requests);
        return taken;
    }
    uint64_t Received() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_received;
    }

private:
    mutable std::mutex m_lock;
    uint64_t m_received = 0;
    std::vector<MarkerRequest> m_requests;
};
