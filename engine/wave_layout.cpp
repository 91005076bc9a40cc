#include "engine/wave_layout.h"

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

// The sizes are written even when the pad byte cannot be, stating only what the file holds.
bool CompleteFile(RawFile& file, uint64_t dataBytes, uint32_t* error) {
    uint32_t first = 0;
    const auto step = [&](bool ok) {
        if (!ok && first == 0)
            first = file.LastError() ? file.LastError() : 1;
        return ok;
    };
    bool padded = true;
    if (dataBytes & 1) {
        const uint8_t pad = 0;
        padded = step(file.WriteAt(kHeaderSize + dataBytes, &pad, 1) == 1);
    }
    const uint64_t riffSize = padded ? RiffSizeFor(dataBytes) : kEmptyRiffSize + dataBytes;
    uint8_t field[4];
    PutU32(field, static_cast<uint32_t>(dataBytes));
    bool ok = step(file.WriteAt(kDataSizeOffset, field, 4) == 4);
    PutU32(field, static_cast<uint32_t>(riffSize));
    ok = step(file.WriteAt(kRiffSizeOffset, field, 4) == 4) && ok;
    ok = step(file.Flush()) && ok;
    ok = step(file.Close()) && ok;
    if (error)
        *error = first;
    return ok && padded;
}

} // namespace WaveLayout
