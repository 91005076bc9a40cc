#include "engine/wave_file.h"

#include "engine/g711.h"

#include <algorithm>

using WaveLayout::RiffSizeFor;

CWaveFile::CWaveFile() = default;

// The owner completes the file before deleting the writer; a file still open here only has its
// handle released, and keeps the placeholder sizes that readers take to the end of the file.
CWaveFile::~CWaveFile() = default;

int CWaveFile::Open(const std::filesystem::path& fileName, int channels, int samplesPerSec,
                    int sampleType, RawFile::CreateMode mode) {
    if (IsOpen())
        Close();
    if (!IsRecordableFormat(channels, samplesPerSec, sampleType)) {
        m_error = WAVE_FILE_CREATE_FAILED;
        m_systemError = 0;
        return 0;
    }
    m_wfx = MakeFileFormat(channels, samplesPerSec, sampleType);

    // One 40 ms capture block of 16-bit samples gives this many codes; larger blocks are
    // encoded piecewise.
    if (m_wfx.wFormatTag != WAVE_FORMAT_TAG_PCM) {
        const uint32_t codesPerBlock = static_cast<uint32_t>(
            std::max<uint64_t>(uint64_t(channels) * uint64_t(samplesPerSec) * 40 / 1000, 1024));
        if (codesPerBlock > m_scratchSize) {
            m_scratch = std::make_unique<uint8_t[]>(codesPerBlock);
            m_scratchSize = codesPerBlock;
        }
    }
    if (!Create(fileName, mode))
        return 0;
    if (m_handOver)
        m_handOver->Open(std::make_shared<RawFile>(m_file.Duplicate()));
    return 1;
}

// A device, such as /dev/full, is no file to remove.
bool CWaveFile::CreateWithHeader(RawFile& file, const std::filesystem::path& fileName,
                                 RawFile::CreateMode mode, const WaveFormat& format,
                                 WaveFileError* error, uint32_t* systemError) {
    const auto tell = [&](WaveFileError why, uint32_t code) {
        if (error)
            *error = why;
        if (systemError)
            *systemError = code;
        return why == WAVE_FILE_OK;
    };
    if (!file.Create(fileName, mode))
        return tell(RawFile::IsExistsError(file.LastError()) ? WAVE_FILE_EXISTS
                                                             : WAVE_FILE_CREATE_FAILED,
                    file.LastError());
    uint8_t header[kHeaderSize];
    WaveLayout::MakeRecordingHeader(header, format);
    if (file.Append(header, sizeof header) != sizeof header) {
        const uint32_t code = file.LastError();
        file.Close();
        std::error_code ignored;
        if (std::filesystem::is_regular_file(fileName, ignored))
            std::filesystem::remove(fileName, ignored);
        return tell(WAVE_FILE_CREATE_FAILED, code);
    }
    return tell(WAVE_FILE_OK, 0);
}

int CWaveFile::Create(const std::filesystem::path& fileName, RawFile::CreateMode mode) {
    m_dataBytes = 0;
    m_switches = 0;
    m_completionError = 0;
    m_completionFailed = false;
    m_path = fileName;
    return CreateWithHeader(m_file, fileName, mode, m_wfx, &m_error, &m_systemError) ? 1 : 0;
}

int CWaveFile::Write(const void* data, uint32_t byteCount) {
    if (!IsOpen())
        return 0;
    if (m_wfx.wFormatTag == WAVE_FORMAT_TAG_PCM)
        return byteCount == 0 || WriteRaw(data, byteCount);

    const auto* samples = static_cast<const uint8_t*>(data);
    uint32_t count = byteCount / 2;
    while (count > 0) {
        const uint32_t n = std::min(count, m_scratchSize);
        if (m_wfx.wFormatTag == WAVE_FORMAT_TAG_MULAW)
            EncodeMuLawFromBytes(samples, m_scratch.get(), n);
        else
            EncodeALawFromBytes(samples, m_scratch.get(), n);
        if (!WriteRaw(m_scratch.get(), n))
            return 0;
        samples += 2 * size_t(n);
        count -= n;
    }
    return 1;
}

int CWaveFile::WriteRaw(const void* data, uint32_t count) {
    if (count == 0 || data == nullptr || !IsOpen())
        return 0;
    if (RiffSizeFor(m_dataBytes + count) > m_riffSizeLimit &&
        (RiffSizeFor(count) > m_riffSizeLimit || !SwitchToNext())) {
        Abandon(WAVE_FILE_FULL, 0);
        return 0;
    }
    const size_t landed = m_file.Append(data, count);
    m_dataBytes += landed;
    if (landed != count) {
        Abandon(WAVE_FILE_WRITE_FAILED, m_file.LastError());
        return 0;
    }
    return 1;
}

int CWaveFile::Close() {
    if (IsOpen())
        Complete();
    if (m_handOver)
        m_handOver->StopFlushing();
    return m_completionFailed ? 0 : 1;
}

bool CWaveFile::Complete() {
    m_completionFailed = !WaveLayout::CompleteFile(m_file, m_dataBytes, &m_completionError);
    return !m_completionFailed;
}

// Ends a file that cannot take the block at hand: what is in it is kept and completed.
void CWaveFile::Abandon(WaveFileError error, uint32_t systemError) {
    Complete();
    m_error = error;
    m_systemError = systemError;
}

// After every block: the hand-over's lock is taken only once the file is near its end.
bool CWaveFile::WantsNext(uint32_t seconds) const {
    if (!m_handOver || !IsOpen())
        return false;
    const uint64_t room = uint64_t(m_wfx.nAvgBytesPerSec) * seconds;
    return RiffSizeFor(m_dataBytes) + room > m_riffSizeLimit && !m_handOver->HasNext();
}

// On the capture thread at the seam: two moves of a handle, no disk.
bool CWaveFile::SwitchToNext() {
    WavePart next;
    if (!m_handOver || !m_handOver->TakeNext(next))
        return false;
    WavePart full;
    full.file = std::move(m_file);
    full.path = m_path;
    full.dataBytes = m_dataBytes;
    m_handOver->GiveFull(std::move(full));
    m_file = std::move(next.file);
    m_path = next.path;
    m_dataBytes = 0;
    ++m_switches;
    return true;
}
