// The next file of a long recording, made ahead of its seam on a thread of its own (a share that
// does not answer holds that thread, never the window): the next sequential name, or the typed
// name numbered, a name whose file exists passed over, the file created with its header; on
// failure, the folder made for it removed. A making no longer wanted is abandoned: what it made,
// or is making, is closed and removed off the window thread, never noted, its number never kept.
//
// Threads: every call on the window thread; the made function on the maker thread.
#pragma once

#include "engine/recording_failure.h"
#include "engine/recording_format.h"
#include "engine/sequential_naming.h"
#include "recording/file_hand_over.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>

class NextFileMaker {
public:
    struct Order {
        SequentialNaming naming; // as it is now
        bool sequential = true;
        std::wstring typedName;
        int typedPart = 1; // the last " (n)" used of the typed name
        WaveFormat format;
    };
    struct Made {
        NextFile next; // open when it was made
        std::wstring madeFolder;
        uint32_t countBefore = 0;
        SequentialNaming naming; // after: its counter past the file's number
        int typedPart = 1;
        RecordingFailure failure; // why it could not be made
    };

    NextFileMaker() = default;
    ~NextFileMaker() { Abandon(); }
    NextFileMaker(const NextFileMaker&) = delete;
    NextFileMaker& operator=(const NextFileMaker&) = delete;

    // Starts the making; made is called on the maker thread once the file is made or could not
    // be (never for a making abandoned before).
    void Start(const Order& order, std::function<void()> made);
    // A making is under way or waits to be taken.
    bool Busy() const { return m_making != nullptr; }
    // After made was called: what was made (the maker thread ended).
    Made Take();
    // No longer wanted: a making under way removes its file itself, one made is removed on a
    // thread of its own.
    void Abandon();

    // The maker thread's work, on the calling thread.
    static Made Make(const Order& order);

private:
    struct Making;
    std::shared_ptr<Making> m_making;
    std::thread m_thread;
};
