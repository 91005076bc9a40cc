// The markers the window thread places, on their way to the disk thread, and the count of the
// frames the capture has taken, which is what "now" means when one is asked for: a marker asked
// for now points at the first frame the capture takes from now on (the sound that arrives as the
// key is pressed). The judge, which alone knows what stands before that frame in the recording
// (a stretch without sound filled or not, sound the queue could not keep), places it at the
// recording's position, before it hands on the block that holds the frame; the disk thread
// writes it into the file that holds that position.
//
// The one rule: one short lock orders a request against the count, so a marker asked for before
// a block is counted is placed with that block or a later one, never behind the judge's back.
//
// Threads: Count and Place on the capture thread, Ask on the window thread, the rest on the disk
// thread.
#pragma once

#include "recording/recording_marker.h"

#include <cstdint>
#include <mutex>
#include <vector>

struct MarkerRequest {
    static constexpr uint64_t kUnplaced = UINT64_MAX;

    MarkerKind kind = MARKER_USER;
    uint32_t number = 0;
    uint64_t received = 0;         // the frame of the capture it was asked at
    uint64_t position = kUnplaced; // the recording's position it points at, once placed
    bool notedAtTheEnd = false;    // journaled at the end of the file, its sound not yet there
};

class MarkerRequests {
public:
    void Count(uint64_t frames) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_received += frames;
    }
    // The frame of the capture it points at.
    uint64_t Ask(MarkerKind kind, uint32_t number) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_requests.push_back({kind, number, m_received});
        return m_received;
    }
    // Every request asked before frame `before` of the capture is placed at positionOf(its
    // frame); positionOf runs under the lock and must only compute.
    template <class PositionOf> void Place(uint64_t before, PositionOf positionOf) {
        std::lock_guard<std::mutex> lock(m_lock);
        for (; m_placed < m_requests.size() && m_requests[m_placed].received < before; ++m_placed)
            m_requests[m_placed].position = positionOf(m_requests[m_placed].received);
    }
    // The requests placed since the last call, in order (of their positions too).
    std::vector<MarkerRequest> TakePlaced() {
        std::lock_guard<std::mutex> lock(m_lock);
        std::vector<MarkerRequest> taken(m_requests.begin(), m_requests.begin() + long(m_placed));
        m_requests.erase(m_requests.begin(), m_requests.begin() + long(m_placed));
        m_placed = 0;
        return taken;
    }
    // The requests not yet placed and not yet noted at the end of the file, as they were: from
    // now on noted.
    std::vector<MarkerRequest> NoteUnplacedAtTheEnd() {
        std::vector<MarkerRequest> noted;
        std::lock_guard<std::mutex> lock(m_lock);
        for (size_t i = m_placed; i < m_requests.size(); ++i)
            if (!m_requests[i].notedAtTheEnd) {
                noted.push_back(m_requests[i]);
                m_requests[i].notedAtTheEnd = true;
            }
        return noted;
    }
    // Every request, placed or not (the recording ends before their sound).
    std::vector<MarkerRequest> TakeAll() {
        std::vector<MarkerRequest> taken;
        std::lock_guard<std::mutex> lock(m_lock);
        taken.swap(m_requests);
        m_placed = 0;
        return taken;
    }
    uint64_t Received() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_received;
    }

private:
    mutable std::mutex m_lock;
    uint64_t m_received = 0;
    std::vector<MarkerRequest> m_requests; // in the order asked: the first m_placed placed
    size_t m_placed = 0;
};
