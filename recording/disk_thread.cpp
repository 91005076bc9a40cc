#include "recording/disk_thread.h"

#include "engine/clock.h"
#include "engine/recording_repair.h"
#include "recording/recording_policy.h"

#include <algorithm>
#include <cstring>

namespace {

// How long the thread waits for a block before it looks at the flush and the free space.
constexpr std::chrono::milliseconds kWaitSlice(250);

// A marker's key in the journal: a gap's label grows, and its line comes again under the same key.
uint64_t JournalKey(MarkerKind kind, uint32_t number) {
    return number == 0 ? 0 : (uint64_t(kind) + 1) << 32 | number;
}

RecordingReport MakeReport(RecordingReport::Kind kind, std::wstring path) {
    RecordingReport report;
    report.kind = kind;
    report.path = std::move(path);
    return report;
}

} // namespace

DiskThread::~DiskThread() {
    Join();
}

void DiskThread::Start(const Work& work, Reporter report) {
    m_work = work;
    m_report = std::move(report);
    m_finished = false;
    // The device's silence, 40 ms of it: the middle of the unsigned 8-bit range, or 16-bit zeros.
    m_frameBytes = std::max<uint32_t>(work.device.nBlockAlign, 1);
    m_silenceFrames = std::max<uint32_t>(work.device.nSamplesPerSec / 25, 1);
    const size_t bytes = size_t(m_silenceFrames) * m_frameBytes;
    m_silence = std::make_unique<uint8_t[]>(bytes);
    std::memset(m_silence.get(), work.device.wBitsPerSample == 8 ? 0x80 : 0, bytes);
    m_thread = std::thread(&DiskThread::Run, this);
}

void DiskThread::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

void DiskThread::Detach() {
    if (m_thread.joinable())
        m_thread.detach();
}

bool DiskThread::FlushNow(uint32_t waitMs) {
    std::unique_lock<std::mutex> lock(m_flushLock);
    const uint64_t ticket = ++m_flushAsked;
    if (m_work.queue)
        m_work.queue->Wake();
    return m_flushServed.wait_for(lock, std::chrono::milliseconds(waitMs),
                                  [&] { return m_flushDone >= ticket || m_finished; });
}

void DiskThread::FlushServed(uint64_t asked) {
    {
        std::lock_guard<std::mutex> lock(m_flushLock);
        m_flushDone = std::max(m_flushDone, asked);
    }
    m_flushServed.notify_all();
}

void DiskThread::Report(RecordingReport&& report) {
    if (m_report)
        m_report(std::move(report));
}

// 1. Take the blocks in order, and the markers asked for. 2. Before each block, the stretch of
// the clock without sound and the sound the queue could not keep: marked and filled. 3. Write
// the block, across seams, with the markers that point into it. 4. Between blocks, and when none
// comes, flush when due and watch the free space. 5. Once the queue is closed and empty, the
// markers still waiting go at the end, the last file is completed, and the gaps are said.
void DiskThread::Run() {
    m_ended = m_asked = m_dirty = m_spaceTold = false;
    m_position = 0;
    m_gapCount = m_lostCount = 0;
    m_waiting.clear();
    m_gaps.clear();
    m_lastGap = LastGap();
    m_lastFlush = GetDiskTicks();
    m_lastSpaceCheck = m_lastFlush - kFreeSpaceCheckMs; // at once: a drive already nearly full
    m_journal.Begin(m_work.writer->Path());
    for (;;) {
        BlockQueue::Block block;
        const BlockQueue::Wait wait = m_work.queue->Next(kWaitSlice, block);
        if (m_work.markers) // after the block: every marker that points into it is placed
            for (MarkerRequest& request : m_work.markers->TakePlaced())
                m_waiting.push_back({request, std::string(), 0});
        const BlockNote& note = block.note;
        if (wait != BlockQueue::IDLE && !m_ended) {
            if (note.gapFrames > 0)
                Gap(MARKER_GAP, note.gapFrames);
            if (note.lostFrames > 0 && !m_ended)
                Gap(MARKER_LOST, note.lostFrames);
            if (wait == BlockQueue::BLOCK && !m_ended)
                WriteSound(block.data, block.bytes, note.position);
        }
        if (wait == BlockQueue::BLOCK)
            m_work.queue->Release();
        uint64_t flushAsked;
        {
            std::lock_guard<std::mutex> lock(m_flushLock);
            flushAsked = m_flushAsked;
        }
        if (!m_ended) {
            FlushIfDue(flushAsked > m_flushDone);
            WatchFreeSpace();
        }
        FlushServed(flushAsked); // flushed, nothing to flush, or ended
        if (wait == BlockQueue::DONE)
            break;
    }
    if (!m_ended) {
        PlaceWaitingAtEnd();
        CompleteFile();
    }
    if (!m_gaps.empty()) {
        RecordingReport gaps = MakeReport(RecordingReport::GAPS, m_work.name);
        gaps.gaps = std::move(m_gaps);
        Report(std::move(gaps));
    }
    Report(MakeReport(RecordingReport::DISK_DONE, L""));
    {
        std::lock_guard<std::mutex> lock(m_flushLock);
        m_finished = true;
    }
    m_flushServed.notify_all();
}

uint64_t DiskThread::Ms(uint64_t frames) const {
    return frames * 1000 / std::max<uint32_t>(m_work.device.nSamplesPerSec, 1);
}

// The markers that point into these frames are labelled at their position and need room in the
// file with them: a block that does not fit goes, with them, into the next file.
bool DiskThread::WriteSound(const uint8_t* data, uint32_t bytes, uint64_t position) {
    const uint64_t frames = bytes / m_frameBytes;
    size_t count = 0;
    uint64_t markerBytes = 0;
    for (; count < m_waiting.size() && m_waiting[count].request.position < position + frames;
         ++count) {
        Waiting& waiting = m_waiting[count];
        const MarkerRequest& request = waiting.request;
        waiting.offset = request.position > position ? request.position - position : 0;
        waiting.label = MarkerLabelFor(request.kind, request.number, position + waiting.offset,
                                       m_work.device.nSamplesPerSec);
        markerBytes += WaveLayout::MarkerBytes(waiting.label.size());
    }
    CWaveFile& writer = *m_work.writer;
    for (;;) {
        const uint64_t fileFrame = writer.Frames();
        switch (writer.Write(data, bytes, markerBytes)) {
        case CWaveFile::WRITE_OK:
            m_dirty = true;
            m_position += frames;
            for (size_t i = 0; i < count; ++i) {
                const Waiting& waiting = m_waiting[i];
                KeepMarker({waiting.request.kind, waiting.request.number,
                            fileFrame + waiting.offset, waiting.label});
            }
            m_waiting.erase(m_waiting.begin(), m_waiting.begin() + long(count));
            if (!m_asked && writer.WantsNext(kNextFileLeadSeconds)) {
                m_asked = true;
                m_work.handOver->Ask();
                Report(MakeReport(RecordingReport::NEXT_WANTED, m_work.name));
            }
            return true;
        case CWaveFile::WRITE_FAILED: {
            m_position += writer.Frames() - fileFrame; // what landed, in whole frames
            RecordingFailure failure = writer.LastFailure();
            failure.path = m_work.name;
            End(failure);
            return false;
        }
        case CWaveFile::WRITE_FULL:
            if (!GoOnInNextFile())
                return false;
            break; // the sound goes into the next file
        }
    }
}

// The user's markers, the resumes and the sides' comings and goings were asked for by the window
// thread, which is told where they went, or that the file had no room for them; the gaps'
// markers are the thread's own.
bool DiskThread::KeepMarker(RecordingMarker marker, size_t* index) {
    CWaveFile& writer = *m_work.writer;
    const bool room = marker.kind == MARKER_USER || writer.MarkerCount() < kMaxAutomaticMarkers;
    const bool kept =
        room && writer.AddMarker(marker.frame, marker.label) == CWaveFile::MARKER_KEPT;
    if (kept && index)
        *index = writer.MarkerCount() - 1;
    if (kept &&
        m_journal.Append(JournalKey(marker.kind, marker.number), marker.frame, marker.label))
        m_dirty = true;
    const bool asked = marker.kind != MARKER_GAP && marker.kind != MARKER_LOST;
    if (kept || asked) {
        RecordingReport report = MakeReport(
            kept ? RecordingReport::MARKER : RecordingReport::MARKER_DROPPED, m_work.name);
        report.marker = std::move(marker);
        Report(std::move(report));
    }
    return kept;
}

void DiskThread::PlaceWaitingAtEnd() {
    if (m_work.markers)
        for (MarkerRequest& request : m_work.markers->TakeAll())
            m_waiting.push_back({request, std::string(), 0});
    for (const Waiting& waiting : m_waiting)
        KeepMarker({waiting.request.kind, waiting.request.number, m_work.writer->Frames(),
                    MarkerLabelFor(waiting.request.kind, waiting.request.number, m_position,
                                   m_work.device.nSamplesPerSec)});
    m_waiting.clear();
}

// At the seam: the next file that was asked for (the window thread makes it; the queue keeps the
// sound meanwhile), the full one completed.
bool DiskThread::GoOnInNextFile() {
    CWaveFile& writer = *m_work.writer;
    if (writer.DataBytes() == 0) { // a block no file of this limit can hold
        End(Failed(STEP_FILE_FULL, 0, m_work.name));
        return false;
    }
    if (!m_asked) {
        m_asked = true;
        m_work.handOver->Ask();
        Report(MakeReport(RecordingReport::NEXT_WANTED, m_work.name));
    }
    NextFile next;
    if (m_work.handOver->Await(next) != FileHandOver::TAKEN) {
        End(Failed(STEP_FILE_FULL, 0, m_work.name));
        return false;
    }
    CompleteFile();
    writer.Continue(std::move(next.file));
    m_journal.Begin(writer.Path());
    m_work.name = next.name;
    m_asked = m_dirty = false;
    m_lastGap.inThisFile = false; // its marker stays with the full file
    Report(MakeReport(RecordingReport::FILE_STARTED, m_work.name));
    return true;
}

// A stretch that follows the last one by at most a second of sound, in the same file, is the same
// stretch (the capture kept from its buffers while the input stalled splits one): the last
// grows, and its marker's label with it.
void DiskThread::Gap(MarkerKind kind, uint64_t frames) {
    const uint32_t rate = m_work.device.nSamplesPerSec;
    const uint64_t lengthMs = Ms(frames);
    const bool filled = IsFilled(frames, rate);
    const uint64_t start = m_position;
    if (!m_gaps.empty() && m_lastGap.inThisFile && start - m_lastGap.end <= rate) {
        RecordingGap& last = m_gaps.back();
        last.lengthMs += Ms(start - m_lastGap.end) + lengthMs;
        last.filled = last.filled && filled;
        RecordingMarker& marker = m_lastGap.marker;
        marker.label =
            MarkerLabelFor(marker.kind, marker.number, m_lastGap.start, rate, last.lengthMs);
        if (m_lastGap.markerIndex != SIZE_MAX &&
            m_work.writer->RelabelMarker(m_lastGap.markerIndex, marker.label)) {
            if (m_journal.Append(JournalKey(marker.kind, marker.number), marker.frame,
                                 marker.label))
                m_dirty = true;
            RecordingReport report = MakeReport(RecordingReport::MARKER, m_work.name);
            report.marker = marker;
            Report(std::move(report));
        }
    } else {
        const uint32_t number = kind == MARKER_LOST ? ++m_lostCount : ++m_gapCount;
        m_gaps.push_back({Ms(start), lengthMs, filled});
        m_lastGap = LastGap();
        m_lastGap.start = start;
        m_lastGap.inThisFile = true;
        m_lastGap.marker = {kind, number, m_work.writer->Frames(),
                            MarkerLabelFor(kind, number, start, rate, lengthMs)};
        KeepMarker(m_lastGap.marker, &m_lastGap.markerIndex);
    }
    for (uint64_t done = 0; filled && done < frames && !m_ended;) {
        const uint64_t n = std::min<uint64_t>(frames - done, m_silenceFrames);
        WriteSound(m_silence.get(), uint32_t(n * m_frameBytes), m_position);
        done += n;
    }
    m_lastGap.end = m_position;
}

void DiskThread::CompleteFile() {
    CWaveFile& writer = *m_work.writer;
    RecordingReport report = MakeReport(RecordingReport::FILE_COMPLETED, m_work.name);
    const bool complete = writer.Close();
    if (!complete) {
        report.failure = writer.LastFailure();
        report.failure.path = m_work.name;
    }
    m_journal.End(complete); // an incomplete file keeps it for the next start
    Report(std::move(report));
}

// The markers still waiting point past what the file holds: they go at its end.
void DiskThread::End(RecordingFailure failure) {
    m_ended = true;
    PlaceWaitingAtEnd();
    RecordingReport report = MakeReport(RecordingReport::ENDED, m_work.name);
    report.failure = std::move(failure);
    report.endTicks = GetTicks();
    report.lengthMs = Ms(m_position);
    Report(std::move(report));
    CompleteFile();
}

// What was written reaches the storage device at most kFlushPeriodMs after it was written; a
// flush that fails (a share's late write error) means written sound may be lost: the recording
// ends at once and says so.
void DiskThread::FlushIfDue(bool asked) {
    const uint32_t now = GetDiskTicks();
    if (!asked && uint32_t(now - m_lastFlush) < kFlushPeriodMs)
        return;
    // Placed where its sound lands, should it come.
    const auto noteAtTheEnd = [&](MarkerRequest& request) {
        if (!request.notedAtTheEnd &&
            m_journal.Append(JournalKey(request.kind, request.number), NotedFile::kAtTheEnd,
                             MarkerLabelFor(request.kind, request.number, m_position,
                                            m_work.device.nSamplesPerSec)))
            m_dirty = true;
        request.notedAtTheEnd = true;
    };
    for (Waiting& waiting : m_waiting)
        noteAtTheEnd(waiting.request);
    if (m_work.markers)
        for (MarkerRequest& request : m_work.markers->NoteUnplacedAtTheEnd())
            noteAtTheEnd(request);
    if (!m_dirty)
        return;
    m_lastFlush = now;
    m_dirty = false;
    m_journal.Flush(); // a journal that fails is given up: the markers still go into the file
    if (!m_work.writer->Flush()) {
        RecordingFailure failure = m_work.writer->LastFailure();
        failure.path = m_work.name;
        End(failure);
    }
}

// Every kFreeSpaceCheckMs: the drive's free space, kept for the window; said once a recording when
// the drive holds less than kLowSpaceSeconds of it. A drive that cannot tell is no error.
void DiskThread::WatchFreeSpace() {
    const uint32_t now = GetDiskTicks();
    if (uint32_t(now - m_lastSpaceCheck) < kFreeSpaceCheckMs)
        return;
    m_lastSpaceCheck = now;
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(m_work.writer->Path(), error);
    const int64_t free = error ? -1 : RawFile::FreeSpace(file.parent_path());
    m_freeSpace = free;
    const uint64_t rate = std::max<uint32_t>(m_work.writer->Format().nAvgBytesPerSec, 1);
    if (m_spaceTold || free < 0 || uint64_t(free) >= kLowSpaceSeconds * rate)
        return;
    m_spaceTold = true;
    RecordingReport report = MakeReport(RecordingReport::SPACE_LOW, m_work.name);
    report.lengthMs = uint64_t(free) * 1000 / rate;
    Report(std::move(report));
}
