#include "recording/disk_thread.h"

#include "engine/clock.h"
#include "engine/wave_layout.h"

#include <vector>

namespace {

// How often the thread looks at the clock while nothing is handed over.
constexpr std::chrono::milliseconds kWaitSlice(250);

} // namespace

void DiskThread::Start(FileHandOver& handOver, CompletedHandler completed) {
    Join();
    m_flushes = 0;
    m_thread = std::thread(&DiskThread::Run, this, std::ref(handOver), std::move(completed));
}

void DiskThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

void DiskThread::Run(FileHandOver& handOver, CompletedHandler completed) {
    uint32_t lastFlush = GetTicks();
    for (;;) {
        std::vector<WavePart> full;
        std::shared_ptr<RawFile> flusher;
        const bool more = handOver.Wait(kWaitSlice, full, flusher);
        for (WavePart& part : full) {
            uint32_t error = 0;
            WaveLayout::CompleteFile(part.file, part.dataBytes, &error);
            if (completed)
                completed(part.path, error);
        }
        // A failed flush is not the recording's end: the writes themselves say when the disk
        // refuses, and completing the file flushes once more.
        if (flusher && flusher->IsOpen() && uint32_t(GetTicks() - lastFlush) >= kFlushPeriodMs) {
            flusher->Flush();
            lastFlush = GetTicks();
            ++m_flushes;
        }
        if (!more)
            return;
    }
}
