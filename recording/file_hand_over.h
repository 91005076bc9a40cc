// A long recording's next file, between the window thread, which makes it ahead of time when the
// disk thread asks, and the disk thread, which goes on in it at the seam.
//
// The one rule: the lock is held only to move a file in or out, or to say that none will come;
// nothing is created, written or closed under it.
#pragma once

#include "engine/raw_file.h"

#include <condition_variable>
#include <mutex>
#include <string>

// A file made with its header, and its name as the recording gave it.
struct NextFile {
    RawFile file;
    std::wstring name;
};

class FileHandOver {
public:
    enum Answer {
        TAKEN,   // the next file is in next
        REFUSED, // it could not be made: the recording ends at the limit
        CLOSED,  // the hand-over is closed
    };

    // Disk thread: a next file is wanted (what was refused before is forgotten).
    void Ask();
    // Disk thread: waits for the answer to the last Ask.
    Answer Await(NextFile& next);

    // Window thread: hands over the next file. False, with next untouched, when one waits
    // already or the hand-over is closed.
    bool Offer(NextFile& next);
    // Window thread: no next file will come.
    void Refuse();
    // Window thread, once the disk thread has ended: the file never taken, if any; nothing more
    // is offered.
    bool Close(NextFile& untaken);

private:
    std::mutex m_lock;
    std::condition_variable m_answered;
    bool m_open = true;
    bool m_hasNext = false;
    bool m_refused = false;
    NextFile m_next;
};
