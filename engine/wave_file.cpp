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

int CWaveFile::Create(const std::filesystem::path& fileName, RawFile::CreateMode mode) {
    m_dataBytes = 0;
    m_error = WAVE_FILE_OK;
    m_systemError = 0;
    if (!m_file.Create(fileName, mode)) {
        m_systemError = m_file.LastError();
        m_error =
            RawFile::IsExistsError(m_systemError) ? WAVE_FILE_EXISTS : WAVE_FILE_CREATE_FAILED;
        return 0;
    }
    uint8_t header[kHeaderSize];
    std::memcpy(header + 0, "RIFF", 4);
    PutU32(header + 4, kSizePlaceholder);
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    PutU32(header + 16, kFmtChunkSize);
    PutU16(header + 20, m_wfx.wFormatTag);
    PutU16(header + 22, m_wfx.nChannels);
    PutU32(header + 24, m_wfx.nSamplesPerSec);
    PutU32(header + 28, m_wfx.nAvgBytesPerSec);
    PutU16(header + 32, m_wfx.nBlockAlign);
    PutU16(header + 34, m_wfx.wBitsPerSample);
    PutU16(header + 36, m_wfx.cbSize);
    std::memcpy(header + 38, "data", 4);
    PutU32(header + 42, kSizePlaceholder);
    if (m_file.WriteAt(0, header, sizeof header) != sizeof header) {
        m_systemError = m_file.LastError();
        m_file.Close();
        // No broken file is left behind (a device such as /dev/full is no file to remove).
        std::error_code ignored;
        if (std::filesystem::is_regular_file(fileName, ignored))
            std::filesystem::remove(fileName, ignored);
        m_error = WAVE_FILE_CREATE_FAILED;
        return 0;
    }
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
    if (RiffSizeFor(m_dataBytes + count) > m_riffSizeLimit) {
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
    Complete();
    m_error = error;
}
