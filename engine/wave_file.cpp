#include "engine/wave_file.h"

#include "engine/g711.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kFmtChunkSize = 18;
constexpr uint64_t kRiffSizeOffset = 4;
constexpr uint64_t kDataSizeOffset = 42;
// RIFF size of a file with no sample bytes: "WAVE", the fmt chunk, the data chunk header.
constexpr uint64_t kEmptyRiffSize = 4 + 8 + kFmtChunkSize + 8;

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
    PutU16(p, static_cast<uint16_t>(v));
    PutU16(p + 2, static_cast<uint16_t>(v >> 16));
}

uint64_t RiffSizeFor(uint64_t dataBytes) {
    return kEmptyRiffSize + dataBytes + (dataBytes & 1);
}

} // namespace

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
    return Create(fileName, mode);
}

namespace {

// The 46-byte header of a file being recorded: both sizes the placeholder.
void MakeHeader(uint8_t* header, const WaveFormat& wfx) {
    std::memcpy(header + 0, "RIFF", 4);
    PutU32(header + 4, CWaveFile::kSizePlaceholder);
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    PutU32(header + 16, kFmtChunkSize);
    PutU16(header + 20, wfx.wFormatTag);
    PutU16(header + 22, wfx.nChannels);
    PutU32(header + 24, wfx.nSamplesPerSec);
    PutU32(header + 28, wfx.nAvgBytesPerSec);
    PutU16(header + 32, wfx.nBlockAlign);
    PutU16(header + 34, wfx.wBitsPerSample);
    PutU16(header + 36, wfx.cbSize);
    std::memcpy(header + 38, "data", 4);
    PutU32(header + 42, CWaveFile::kSizePlaceholder);
}

// Creates a file with the header; on failure the error and the system's code, and no file left
// behind (a device, such as /dev/full, is no file to remove).
bool CreateWithHeader(RawFile& file, const std::filesystem::path& fileName,
                      RawFile::CreateMode mode, const WaveFormat& wfx, WaveFileError& error,
                      uint32_t& systemError) {
    if (!file.Create(fileName, mode)) {
        systemError = file.LastError();
        error = RawFile::IsExistsError(systemError) ? WAVE_FILE_EXISTS : WAVE_FILE_CREATE_FAILED;
        return false;
    }
    uint8_t header[CWaveFile::kHeaderSize];
    MakeHeader(header, wfx);
    if (file.WriteAt(0, header, sizeof header) != sizeof header) {
        systemError = file.LastError();
        file.Close();
        std::error_code ignored;
        if (std::filesystem::is_regular_file(fileName, ignored))
            std::filesystem::remove(fileName, ignored);
        error = WAVE_FILE_CREATE_FAILED;
        return false;
    }
    return true;
}

} // namespace

int CWaveFile::Create(const std::filesystem::path& fileName, RawFile::CreateMode mode) {
    m_dataBytes = 0;
    m_error = WAVE_FILE_OK;
    m_systemError = 0;
    m_switches = 0;
    WaveFileError error = WAVE_FILE_OK;
    if (!CreateWithHeader(m_file, fileName, mode, m_wfx, error, m_systemError)) {
        m_error = error;
        return 0;
    }
    std::lock_guard<std::mutex> lock(m_nextLock);
    m_accepting = true;
    return 1;
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
        (!SwitchToNext() || RiffSizeFor(count) > m_riffSizeLimit)) {
        if (IsOpen())
            Abandon(WAVE_FILE_FULL);
        return 0;
    }
    const size_t landed = m_file.WriteAt(kHeaderSize + m_dataBytes, data, count);
    m_dataBytes += landed;
    if (landed != count) {
        Abandon(WAVE_FILE_WRITE_FAILED);
        return 0;
    }
    return 1;
}

int CWaveFile::Close() {
    DropNext();
    if (!IsOpen())
        return 1;
    const bool complete = Complete();
    if (!complete)
        m_error = WAVE_FILE_CLOSE_FAILED;
    return complete ? 1 : 0;
}

bool CWaveFile::WriteSizes(uint32_t riffSize, uint32_t dataSize) {
    uint8_t field[4];
    PutU32(field, dataSize);
    if (m_file.WriteAt(kDataSizeOffset, field, 4) != 4)
        return false;
    PutU32(field, riffSize);
    return m_file.WriteAt(kRiffSizeOffset, field, 4) == 4;
}

// Writes the pad byte and the true sizes of what is in the file, and closes it. The sizes are
// written even when the pad byte cannot be, so the file states no more than it holds.
bool CWaveFile::Complete() {
    bool ok = true;
    if (m_dataBytes & 1) {
        const uint8_t pad = 0;
        ok = m_file.WriteAt(kHeaderSize + m_dataBytes, &pad, 1) == 1;
    }
    const uint64_t riffSize = ok ? RiffSizeFor(m_dataBytes) : kEmptyRiffSize + m_dataBytes;
    ok = WriteSizes(static_cast<uint32_t>(riffSize), static_cast<uint32_t>(m_dataBytes)) && ok;
    m_file.Flush(); // best effort: some file systems cannot flush, and the data is written
    ok = m_file.Close() && ok;
    return ok;
}

// Ends a file that cannot take the block at hand: what is in it is kept and completed.
void CWaveFile::Abandon(WaveFileError error) {
    DropNext();
    Complete();
    m_error = error;
}

int CWaveFile::PrepareNext(const std::filesystem::path& fileName, RawFile::CreateMode mode,
                           WaveFileError* error, uint32_t* systemError) {
    // Created outside the lock, so the capture thread never waits for the file system here.
    WaveFormat format;
    {
        std::lock_guard<std::mutex> lock(m_nextLock);
        if (!m_accepting || m_hasNext) {
            if (error)
                *error = WAVE_FILE_CREATE_FAILED;
            if (systemError)
                *systemError = 0;
            return 0;
        }
        format = m_wfx;
    }
    RawFile next;
    WaveFileError why = WAVE_FILE_OK;
    uint32_t code = 0;
    bool created = CreateWithHeader(next, fileName, mode, format, why, code);
    if (created) {
        std::lock_guard<std::mutex> lock(m_nextLock);
        created = m_accepting && !m_hasNext; // the recording may have ended meanwhile
        if (created) {
            m_next = std::move(next);
            m_nextPath = fileName;
            m_hasNext = true;
        }
    }
    if (next.IsOpen()) {
        next.Close();
        std::error_code ignored;
        std::filesystem::remove(fileName, ignored);
    }
    if (error)
        *error = created ? WAVE_FILE_OK : why;
    if (systemError)
        *systemError = code;
    return created ? 1 : 0;
}

bool CWaveFile::WantsNext(uint32_t seconds) const {
    if (m_hasNext || !IsOpen())
        return false;
    const uint64_t room = uint64_t(m_wfx.nAvgBytesPerSec) * seconds;
    return RiffSizeFor(m_dataBytes) + room > m_riffSizeLimit;
}

// The capture thread at the seam: the full file gets its true sizes, the prepared one becomes
// the file, and the block goes there. A full file that cannot be completed ends the recording.
bool CWaveFile::SwitchToNext() {
    std::lock_guard<std::mutex> lock(m_nextLock);
    if (!m_hasNext)
        return false;
    if (!Complete()) {
        m_next.Close();
        std::error_code ignored;
        std::filesystem::remove(m_nextPath, ignored);
        m_hasNext = false;
        m_accepting = false;
        m_error = WAVE_FILE_WRITE_FAILED;
        return false;
    }
    m_file = std::move(m_next);
    m_hasNext = false;
    m_dataBytes = 0;
    ++m_switches;
    return true;
}

void CWaveFile::DropNext() {
    std::lock_guard<std::mutex> lock(m_nextLock);
    m_accepting = false;
    if (!m_hasNext)
        return;
    m_next.Close();
    std::error_code ignored;
    std::filesystem::remove(m_nextPath, ignored); // header only: nothing of the recording
    m_hasNext = false;
}
