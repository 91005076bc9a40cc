#include "recording/disk_thread.h"

#include "engine/clock.h"
#include "recording/recording_policy.h"

#include <algorithm>
#include <cstring>

namespace {

// How long the thread waits for a block before it looks at the flush and the free space.
constexpr std::chrono::milliseconds kWaitSlice(250);

RecordingReport Report(RecordingReport::Kind kind, std::wstring path) {
    RecordingReport report;
    report.kind = kind;
    report.path = std::move(path);
    return report;
}

} // namespace

DiskThread::~DiskThread() {
    Join();
}

void DiskThread::Start(const Work& work, Tell tell) {
    m_work = work;
    m_tell = std::move(tell);
    m_finished = false;
    // The device's silence: the middle of the unsigned 8-bit range, or 16-bit zeros.
    m_silenceBytes = std::max<uint32_t>(work.device.nAvgBytesPerSec / 25, 1);
    m_silenceBytes -= m_silenceBytes % std::max<uint32_t>(work.device.nBlockAlign, 1);
    m_silence = std::make_unique<uint8_t[]>(m_silenceBytes);
    std::memset(m_silence.get(), work.device.wBitsPerSample == 8 ? 0x80 : 0, m_silenceBytes);
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

void DiskThread::FlushNow() {
    m_flushNow = true;
    if (m_work.queue)
        m_work.queue->Wake();
}

void DiskThread::Say(RecordingReport&& report) {
    if (m_tell)
        m_tell(std::move(report));
}

// 1. Take the blocks in order; the sound the queue could not keep before a block, and the
// stretch of the clock without sound before it, are gaps. 2. Write each block, across seams.
// 3. Between blocks, and when none comes, flush when due and watch the free space. 4. Once the
// queue is closed and empty, complete the last file.
void DiskThread::Run() {
    m_ended = m_asked = m_dirty = m_spaceTold = false;
    m_completedBytes = m_gapFrames = 0;
    m_lastFlush = GetDiskTicks();
    m_lastSpaceCheck = m_lastFlush - kFreeSpaceCheckMs; // at once: a drive already nearly full
    for (;;) {
        BlockQueue::Block block;
        const BlockQueue::Wait wait = m_work.queue->Next(kWaitSlice, block);
        const uint32_t frameBytes = std::max<uint32_t>(m_work.device.nBlockAlign, 1);
        if (block.lostBytes > 0 && !m_ended) // sound the device gave: its place on the clock
            Gap(block.lostAt / frameBytes + m_gapFrames, block.lostBytes / frameBytes);
        if (block.gap.frames > 0 && !m_ended) {
            Gap(block.gap.atFrames, block.gap.frames);
            m_gapFrames += block.gap.frames;
        }
        if (wait == BlockQueue::BLOCK) {
            if (!m_ended)
                WriteBlock(block.data, block.bytes);
            m_work.queue->Release();
        }
        if (!m_ended) {
            FlushIfDue();
            WatchFreeSpace();
        }
        if (wait == BlockQueue::DONE)
            break;
    }
    if (!m_ended)
        CompleteFile();
    Say(Report(RecordingReport::DISK_DONE, L""));
    m_finished = true;
}

bool DiskThread::WriteBlock(const uint8_t* data, uint32_t bytes) {
    CWaveFile& writer = *m_work.writer;
    for (;;) {
        switch (writer.Write(data, bytes)) {
        case CWaveFile::WRITE_OK:
            m_dirty = true;
            if (!m_asked && writer.WantsNext(kNextFileLeadSeconds)) {
                m_asked = true;
                m_work.handOver->Ask();
                Say(Report(RecordingReport::NEXT_WANTED, m_work.name));
            }
            return true;
        case CWaveFile::WRITE_FAILED: {
            RecordingFailure failure = writer.LastFailure();
            failure.path = m_work.name;
            End(failure);
            return false;
        }
        case CWaveFile::WRITE_FULL:
            if (!GoOnInNextFile())
                return false;
            break; // the block goes into the next file
        }
    }
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
        Say(Report(RecordingReport::NEXT_WANTED, m_work.name));
    }
    NextFile next;
    if (m_work.handOver->Await(next) != FileHandOver::TAKEN) {
        End(Failed(STEP_FILE_FULL, 0, m_work.name));
        return false;
    }
    CompleteFile();
    writer.Continue(std::move(next.file));
    m_work.name = next.name;
    m_asked = m_dirty = false;
    Say(Report(RecordingReport::FILE_STARTED, m_work.name));
    return true;
}

void DiskThread::Gap(uint64_t atFrames, uint64_t frames) {
    const uint64_t rate = std::max<uint32_t>(m_work.device.nSamplesPerSec, 1);
    RecordingGap gap;
    gap.atMs = atFrames * 1000 / rate;
    gap.lengthMs = frames * 1000 / rate;
    gap.filled = gap.lengthMs <= kMaxFilledGapMs;
    RecordingReport report = Report(RecordingReport::GAP, m_work.name);
    report.gaps.push_back(gap);
    Say(std::move(report));
    if (!gap.filled)
        return;
    const uint32_t align = std::max<uint32_t>(m_work.device.nBlockAlign, 1);
    uint64_t left = frames * align;
    while (left > 0 && !m_ended) {
        const uint32_t n = uint32_t(std::min<uint64_t>(left, m_silenceBytes));
        if (!WriteBlock(m_silence.get(), n))
            return;
        left -= n;
    }
}

void DiskThread::CompleteFile() {
    CWaveFile& writer = *m_work.writer;
    m_completedBytes += writer.DataBytes();
    RecordingReport report = Report(RecordingReport::FILE_COMPLETED, m_work.name);
    if (!writer.Close()) {
        report.failure = writer.LastFailure();
        report.failure.path = m_work.name;
    }
    Say(std::move(report));
}

void DiskThread::End(RecordingFailure failure) {
    m_ended = true;
    RecordingReport report = Report(RecordingReport::ENDED, m_work.name);
    report.failure = std::move(failure);
    report.endTicks = GetTicks();
    report.lengthMs = KeptMs();
    Say(std::move(report));
    CompleteFile();
}

uint64_t DiskThread::KeptMs() const {
    const uint32_t rate = std::max<uint32_t>(m_work.writer->Format().nAvgBytesPerSec, 1);
    return (m_completedBytes + m_work.writer->DataBytes()) * 1000 / rate;
}

// What was written reaches the storage device at most kFlushPeriodMs after it was written; a
// flush that fails (a share's late write error) means written sound may be lost: the recording
// ends at once and says so.
void DiskThread::FlushIfDue() {
    const uint32_t now = GetDiskTicks();
    const bool asked = m_flushNow.exchange(false);
    if (!m_dirty || (!asked && uint32_t(now - m_lastFlush) < kFlushPeriodMs))
        return;
    m_lastFlush = now;
    m_dirty = false;
    if (!m_work.writer->Flush()) {
        RecordingFailure failure = m_work.writer->LastFailure();
        failure.path = m_work.name;
        End(failure);
    }
}

// Once a recording: the drive of the file being written holds less than kLowSpaceSeconds of it.
// A drive that cannot tell is no error.
void DiskThread::WatchFreeSpace() {
    const uint32_t now = GetDiskTicks();
    if (m_spaceTold || uint32_t(now - m_lastSpaceCheck) < kFreeSpaceCheckMs)
        return;
    m_lastSpaceCheck = now;
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(m_work.writer->Path(), error);
    const int64_t free = error ? -1 : RawFile::FreeSpace(file.parent_path());
    const uint64_t rate = std::max<uint32_t>(m_work.writer->Format().nAvgBytesPerSec, 1);
    if (free < 0 || uint64_t(free) >= kLowSpaceSeconds * rate)
        return;
    m_spaceTold = true;
    RecordingReport report = Report(RecordingReport::SPACE_LOW, m_work.name);
    report.lengthMs = uint64_t(free) * 1000 / rate;
    Say(std::move(report));
}
