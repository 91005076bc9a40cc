#include "engine/wave_layout.h"

#include <algorithm>
#include <cstring>

namespace WaveLayout {

namespace {

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
    PutU16(p, static_cast<uint16_t>(v));
    PutU16(p + 2, static_cast<uint16_t>(v >> 16));
}

// The sample type whose file format has this tag and sample size, or -1.
int SampleTypeOf(uint16_t tag, uint16_t bits) {
    if (tag == WAVE_FORMAT_TAG_PCM)
        return bits == 8 ? SAMPLE_TYPE_PCM8 : bits == 16 ? SAMPLE_TYPE_PCM16 : -1;
    if (bits != 8)
        return -1;
    return tag == WAVE_FORMAT_TAG_MULAW  ? SAMPLE_TYPE_MULAW
           : tag == WAVE_FORMAT_TAG_ALAW ? SAMPLE_TYPE_ALAW
                                         : -1;
}

} // namespace

uint64_t ParseRiffSizeLimit(const std::wstring& text) {
    if (text.empty() || text.size() > 12)
        return 0;
    uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return 0;
        value = value * 10 + uint64_t(c - L'0');
    }
    return value >= kMinRiffSizeLimit && value <= kMaxRiffSize ? value : 0;
}

uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t GetU16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

void MakeRecordingHeader(uint8_t* header, const WaveFormat& wfx) {
    std::memcpy(header + 0, "RIFF", 4);
    PutU32(header + kRiffSizeOffset, kSizePlaceholder);
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
    PutU32(header + kDataSizeOffset, kSizePlaceholder);
}

// Every field as MakeRecordingHeader writes it for some recordable format.
bool ReadOurHeader(const uint8_t* h, WaveFormat& format) {
    if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WAVEfmt ", 8) != 0 ||
        GetU32(h + 16) != kFmtChunkSize || std::memcmp(h + 38, "data", 4) != 0)
        return false;
    const int type = SampleTypeOf(GetU16(h + 20), GetU16(h + 34));
    const uint16_t channels = GetU16(h + 22);
    const uint32_t rate = GetU32(h + 24);
    if (!IsRecordableFormat(channels, int(rate > 0x7FFFFFFF ? 0 : rate), type))
        return false;
    format = MakeFileFormat(channels, int(rate), type);
    return format.nAvgBytesPerSec == GetU32(h + 28) && format.nBlockAlign == GetU16(h + 32) &&
           GetU16(h + 36) == 0;
}

std::string MarkerLabel(const std::string& text) {
    std::string label = text.substr(0, kMaxLabelLength);
    for (char& c : label)
        if (c < 0x20 || c > 0x7E)
            c = '?';
    return label;
}

std::vector<uint8_t> MakeMarkerChunks(std::vector<CueMarker> markers) {
    std::vector<uint8_t> bytes;
    if (markers.empty())
        return bytes;
    std::stable_sort(markers.begin(), markers.end(),
                     [](const CueMarker& a, const CueMarker& b) { return a.frame < b.frame; });
    const auto put = [&](uint32_t v) {
        uint8_t field[4];
        PutU32(field, v);
        bytes.insert(bytes.end(), field, field + 4);
    };
    const auto tag = [&](const char* id) { bytes.insert(bytes.end(), id, id + 4); };
    const uint32_t count = uint32_t(markers.size());
    tag("cue ");
    put(4 + 24 * count);
    put(count);
    for (uint32_t id = 1; id <= count; ++id) {
        const uint32_t frame = uint32_t(std::min<uint64_t>(markers[id - 1].frame, 0xFFFFFFFFu));
        put(id);
        put(frame);
        tag("data");
        put(0);
        put(0);
        put(frame);
    }
    const size_t list = bytes.size();
    tag("LIST");
    put(0); // the size, once the labels are in
    tag("adtl");
    for (uint32_t id = 1; id <= count; ++id) {
        const std::string text = MarkerLabel(markers[id - 1].label);
        tag("labl");
        put(uint32_t(4 + text.size() + 1));
        put(id);
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
        if ((text.size() + 1) & 1)
            bytes.push_back(0);
    }
    PutU32(&bytes[list + 4], uint32_t(bytes.size() - list - 8));
    return bytes;
}

// The sizes are written even when the pad byte cannot be, stating only what the file holds; the
// markers go only after a whole data chunk, and the RIFF size covers them only once they landed.
bool CompleteFile(RawFile& file, uint64_t dataBytes, const std::vector<CueMarker>& markers,
                  uint32_t* error) {
    uint32_t first = 0;
    const auto step = [&](bool ok) {
        if (!ok && first == 0)
            first = file.LastError() ? file.LastError() : 1;
        return ok;
    };
    // The data size before the pad byte: a pad byte without it would read as a sample.
    uint8_t field[4];
    PutU32(field, static_cast<uint32_t>(dataBytes));
    bool ok = step(file.WriteAt(kDataSizeOffset, field, 4) == 4);
    bool padded = true;
    const uint64_t end = kHeaderSize + dataBytes;
    if (dataBytes & 1) {
        const uint8_t pad = 0;
        padded = step(file.WriteAt(end, &pad, 1) == 1);
    }
    uint64_t riffSize = padded ? RiffSizeFor(dataBytes) : kEmptyRiffSize + dataBytes;
    bool stated = true;
    if (!markers.empty()) {
        const std::vector<uint8_t> chunks = MakeMarkerChunks(markers);
        stated = padded && step(file.WriteAt(RiffSizeFor(dataBytes) + 8, chunks.data(),
                                             chunks.size()) == chunks.size());
        if (!stated && padded)
            file.Truncate(RiffSizeFor(dataBytes) + 8); // what landed of them is no chunk
        riffSize += chunks.size();
    }
    // What the RIFF size covers reaches the medium before it: a completion cut anywhere leaves
    // the placeholder over a whole data chunk (and whole chunks), or the true size over them.
    // A flush that fails leaves the placeholder: the file is completed again at the next start.
    stated = step(file.Flush()) && stated;
    if (stated) {
        PutU32(field, static_cast<uint32_t>(riffSize));
        ok = step(file.WriteAt(kRiffSizeOffset, field, 4) == 4) && ok;
    }
    ok = step(file.Flush()) && ok;
    ok = step(file.Close()) && ok;
    if (error)
        *error = first;
    return ok && padded && stated;
}

uint64_t RecordableMs(uint64_t freeBytes, uint32_t bytesPerSecond, uint64_t riffSizeLimit) {
    if (bytesPerSecond == 0)
        return UINT64_MAX;
    // Sample bytes a file holds at most, and what each further file costs besides them.
    const uint64_t perFile =
        riffSizeLimit > kEmptyRiffSize + 1 ? riffSizeLimit - kEmptyRiffSize - 1 : 1;
    const uint64_t files = freeBytes / (perFile + kHeaderSize);
    const uint64_t sampleBytes = freeBytes - files * kHeaderSize;
    return sampleBytes / bytesPerSecond * 1000 +
           sampleBytes % bytesPerSecond * 1000 / bytesPerSecond;
}

} // namespace WaveLayout
