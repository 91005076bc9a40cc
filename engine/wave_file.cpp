#include "engine/wave_file.h"

#include "engine/g711.h"

#include <algorithm>
#include <cstdlib>

using WaveLayout::RiffSizeFor;

namespace {

// The path for a failure's text; natively a name the locale cannot convert keeps its bytes.
std::wstring PathText(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    const std::string bytes = path.string();
    std::wstring text(bytes.size(), L'\0');
    const size_t length = std::mbstowcs(&text[0], bytes.c_str(), bytes.size());
    if (length == static_cast<size_t>(-1))
        return std::wstring(bytes.begin(), bytes.end());
    text.resize(length);
    return text;
#endif
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
        Fail(STEP_FORMAT, 0);
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

// A device, such as /dev/full, is no file to remove.
bool CWaveFile::CreateWithHeader(RawFile& file, const std::filesystem::path& fileName,
                                 RawFile::CreateMode mode, const WaveFormat& format,
                                 RecordingFailure* failure) {
    const auto tell = [&](RecordingStep step, uint32_t code) {
        if (failure)
            *failure =
                step == STEP_OK ? RecordingFailure() : Failed(step, code, PathText(fileName));
        return step == STEP_OK;
    };
    if (!file.Create(fileName, mode))
        return tell(RawFile::IsExistsError(file.LastError()) ? STEP_FILE_EXISTS : STEP_FILE,
                    file.LastError());
    uint8_t header[kHeaderSize];
    WaveLayout::MakeRecordingHeader(header, format);
    if (file.Append(header, sizeof header) != sizeof header) {
        const uint32_t code = file.LastError();
        file.Close();
        std::error_code ignored;
        if (std::filesystem::is_regular_file(fileName, ignored))
            std::filesystem::remove(fileName, ignored);
        return tell(STEP_FILE, code);
    }
    return tell(STEP_OK, 0);
}

int CWaveFile::Create(const std::filesystem::path& fileName, RawFile::CreateMode mode) {
    m_dataBytes = 0;
    m_markers.clear();
    m_markerBytes = 0;
    return CreateWithHeader(m_file, fileName, mode, m_wfx, &m_failure) ? 1 : 0;
}

void CWaveFile::Continue(RawFile&& file) {
    if (IsOpen())
        Close();
    m_file = std::move(file);
    m_dataBytes = 0;
    m_markers.clear();
    m_markerBytes = 0;
    m_failure = RecordingFailure();
}

bool CWaveFile::Fits(uint64_t dataBytes, uint64_t markerBytes) const {
    return WaveLayout::Fits(m_dataBytes + dataBytes, m_markerBytes + markerBytes, m_riffSizeLimit);
}

CWaveFile::WriteResult CWaveFile::Write(const void* data, uint32_t byteCount,
                                        uint64_t markerBytes) {
    if (!IsOpen() || m_failure.step == STEP_WRITE)
        return WRITE_FAILED;
    const bool pcm = m_wfx.wFormatTag == WAVE_FORMAT_TAG_PCM;
    const uint32_t fileBytes = pcm ? byteCount : byteCount / 2;
    if (fileBytes == 0)
        return WRITE_OK;
    if (!Fits(fileBytes, markerBytes))
        return WRITE_FULL;
    if (pcm)
        return WriteRaw(data, byteCount) ? WRITE_OK : WRITE_FAILED;

    const auto* samples = static_cast<const uint8_t*>(data);
    uint32_t count = fileBytes;
    while (count > 0) {
        const uint32_t n = std::min(count, m_scratchSize);
        if (m_wfx.wFormatTag == WAVE_FORMAT_TAG_MULAW)
            EncodeMuLawFromBytes(samples, m_scratch.get(), n);
        else
            EncodeALawFromBytes(samples, m_scratch.get(), n);
        if (!WriteRaw(m_scratch.get(), n))
            return WRITE_FAILED;
        samples += 2 * size_t(n);
        count -= n;
    }
    return WRITE_OK;
}

int CWaveFile::WriteRaw(const void* data, uint32_t count) {
    if (count == 0 || data == nullptr || !IsOpen() || m_failure.step == STEP_WRITE ||
        !Fits(count, 0))
        return 0;
    const size_t landed = m_file.Append(data, count);
    m_dataBytes += landed;
    if (landed != count) {
        Abandon(m_file.LastError());
        return 0;
    }
    return 1;
}

bool CWaveFile::Flush() {
    if (!IsOpen())
        return false;
    if (m_file.Flush())
        return true;
    Fail(STEP_FLUSH, m_file.LastError());
    return false;
}

int CWaveFile::Close() {
    if (!IsOpen())
        return 1;
    return Complete() ? 1 : 0;
}

CWaveFile::MarkerResult CWaveFile::AddMarker(uint64_t frame, const std::string& label) {
    if (m_markers.size() >= WaveLayout::kMaxMarkers)
        return MARKER_TOO_MANY;
    const std::string text = WaveLayout::MarkerLabel(label);
    const uint64_t bytes = WaveLayout::MarkerBytes(text.size());
    if (!IsOpen() || !Fits(0, bytes))
        return MARKER_NO_ROOM;
    m_markerBytes += bytes;
    m_markers.push_back({frame, text});
    return MARKER_KEPT;
}

bool CWaveFile::RelabelMarker(size_t index, const std::string& label) {
    if (index >= m_markers.size())
        return false;
    const std::string text = WaveLayout::MarkerLabel(label);
    const uint64_t before = WaveLayout::MarkerBytes(m_markers[index].label.size());
    const uint64_t after = WaveLayout::MarkerBytes(text.size());
    if (after > before && !Fits(0, after - before))
        return false;
    m_markerBytes = m_markerBytes - before + after;
    m_markers[index].label = text;
    return true;
}

// The sizes say exactly what the file holds: a failed write before leaves its failure as the
// one to tell, unless completing fails too. A marker past the end points at the last frame.
bool CWaveFile::Complete() {
    const uint64_t frames = Frames();
    for (WaveLayout::CueMarker& marker : m_markers)
        marker.frame = std::min(marker.frame, frames ? frames - 1 : 0);
    uint32_t error = 0;
    if (WaveLayout::CompleteFile(m_file, m_dataBytes, m_markers, &error))
        return true;
    Fail(STEP_COMPLETE, error);
    return false;
}

void CWaveFile::Fail(RecordingStep step, uint32_t code) {
    m_failure = Failed(step, code, PathText(Path()));
}

// What landed of the block is cut back to whole frames, so the file never states half a
// sample; the caller completes it.
void CWaveFile::Abandon(uint32_t code) {
    const uint64_t align = m_wfx.nBlockAlign ? m_wfx.nBlockAlign : 1;
    const uint64_t whole = m_dataBytes / align * align;
    if (whole != m_dataBytes)
        m_file.Truncate(kHeaderSize + whole); // a drive that is gone keeps the rest unstated
    m_dataBytes = whole;
    Fail(STEP_WRITE, code ? code : 1);
}

bool CWaveFile::WantsNext(uint32_t seconds) const {
    if (!IsOpen())
        return false;
    const uint64_t room = uint64_t(m_wfx.nAvgBytesPerSec) * seconds;
    return !Fits(room, 0);
}
