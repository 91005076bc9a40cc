#include "engine/recording_repair.h"

#include "engine/raw_file.h"
#include "engine/wave_file.h"

#include <cstring>

namespace {

uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t GetU16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
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

// True when the 46 bytes are the header CWaveFile writes while recording: every field as it
// writes them for some recording format, and both sizes the placeholder.
bool IsOurRecordingHeader(const uint8_t* h, WaveFormat& format) {
    if (std::memcmp(h, "RIFF", 4) != 0 || std::memcmp(h + 8, "WAVEfmt ", 8) != 0 ||
        GetU32(h + 16) != 18 || std::memcmp(h + 38, "data", 4) != 0)
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

} // namespace

// 1. Open the file for writing, unless another program writes it. 2. Check the header: ours,
// and still with the placeholders. 3. Cut the data to whole frames (and to what a RIFF size
// can state). 4. Shorten the file, write the pad byte and the sizes, flush.
RepairResult CompleteInterruptedRecording(const std::filesystem::path& path) {
    RepairResult result;
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error) {
        result.status = REPAIR_MISSING;
        return result;
    }
    RawFile file;
    if (!file.OpenExisting(path)) {
        result.systemError = file.LastError();
        result.status = RawFile::IsSharingError(result.systemError) ? REPAIR_BUSY : REPAIR_FAILED;
        return result;
    }
    uint8_t header[CWaveFile::kHeaderSize];
    const int64_t length = file.Size();
    if (length < int64_t(sizeof header) || file.ReadAt(0, header, sizeof header) != sizeof header ||
        !IsOurRecordingHeader(header, result.format)) {
        result.status = length < 0 ? REPAIR_FAILED : REPAIR_NOT_OURS;
        return result;
    }
    if (GetU32(header + 4) != CWaveFile::kSizePlaceholder ||
        GetU32(header + 42) != CWaveFile::kSizePlaceholder) {
        result.status = REPAIR_COMPLETE;
        return result;
    }

    const uint64_t align = result.format.nBlockAlign;
    // The largest data size whose RIFF size, with a pad byte, stays within 32 bits.
    const uint64_t maxData = (CWaveFile::kMaxRiffSize - 38 - 1) / align * align;
    uint64_t data = uint64_t(length) - sizeof header;
    data -= data % align;
    if (data > maxData)
        data = maxData;
    const uint64_t pad = data & 1;
    uint8_t sizes[4];
    bool ok = file.Truncate(sizeof header + data);
    if (ok && pad) {
        const uint8_t zero = 0;
        ok = file.WriteAt(sizeof header + data, &zero, 1) == 1;
    }
    PutU32(sizes, uint32_t(data));
    ok = ok && file.WriteAt(42, sizes, 4) == 4;
    PutU32(sizes, uint32_t(38 + data + pad));
    ok = ok && file.WriteAt(4, sizes, 4) == 4;
    file.Flush();
    ok = file.Close() && ok;
    result.dataBytes = data;
    result.status = ok ? REPAIR_DONE : REPAIR_FAILED;
    return result;
}
