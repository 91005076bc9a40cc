#include "engine/recording_repair.h"

#include "engine/file_name_check.h"
#include "engine/raw_file.h"
#include "engine/wave_layout.h"

#include <algorithm>

namespace {

// The folder that holds a path's whole tree: "X:\" for a drive, "\\server\share\" for a
// network share, "/" elsewhere.
std::filesystem::path VolumeOf(const std::filesystem::path& path) {
    const std::wstring text = path.wstring();
    if (text.size() > 2 && (text[0] == L'\\' || text[0] == L'/') && text[1] == text[0]) {
        const size_t server = text.find_first_of(L"\\/", 2);
        const size_t share =
            server == std::wstring::npos ? server : text.find_first_of(L"\\/", server + 1);
        return share == std::wstring::npos ? path
                                           : std::filesystem::path(text.substr(0, share + 1));
    }
    return path.root_path();
}

// A device or pipe path (\\.\, \\?\), or a name Windows keeps for a device (NUL, COM1, ...):
// no file of a recording, and opening it could block or talk to a device.
bool IsDevicePath(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::wstring text = path.wstring();
    const bool prefixed = text.size() >= 4 && (text[0] == L'\\' || text[0] == L'/') &&
                          (text[1] == L'\\' || text[1] == L'/') &&
                          (text[2] == L'.' || text[2] == L'?') &&
                          (text[3] == L'\\' || text[3] == L'/');
    return prefixed || !IsStorableFileName(text);
#else
    (void)path;
    return false; // the file type, once open, tells
#endif
}

} // namespace

// 1. A file whose drive or share is not there is left for later. 2. Open it for writing, unless
// another program writes it; only a file on a disk is looked at. 3. Check the header: ours, and
// still with the placeholder RIFF size. 4. Cut the data to whole frames (and to what a RIFF size
// can state, and to a data size a cut-short completion wrote); a file without a whole frame is
// left for the caller to remove. 5. Keep the markers that fit. 6. Shorten the file and complete
// it as the writer does.
RepairResult CompleteInterruptedRecording(const std::filesystem::path& path,
                                          std::vector<WaveLayout::CueMarker> markers,
                                          uint64_t riffSizeLimit) {
    using namespace WaveLayout;
    RepairResult result;
    if (IsDevicePath(path)) {
        result.status = REPAIR_NOT_OURS;
        return result;
    }
    std::error_code error;
    if (!std::filesystem::exists(path, error) && !error) {
        const std::filesystem::path volume = VolumeOf(path);
        result.status = !volume.empty() && !std::filesystem::exists(volume, error) ? REPAIR_ABSENT
                                                                                   : REPAIR_MISSING;
        return result;
    }
    RawFile file;
    if (!file.OpenExisting(path)) {
        result.systemError = file.LastError();
        result.status = RawFile::IsSharingError(result.systemError)       ? REPAIR_BUSY
                        : RawFile::IsAbsentDriveError(result.systemError) ? REPAIR_ABSENT
                                                                          : REPAIR_FAILED;
        return result;
    }
    if (!file.IsDiskFile()) {
        result.status = REPAIR_NOT_OURS;
        return result;
    }
    uint8_t header[kHeaderSize];
    const int64_t length = file.Size();
    if (length < int64_t(sizeof header) || file.ReadAt(0, header, sizeof header) != sizeof header ||
        !ReadOurHeader(header, result.format)) {
        result.status = length < 0 ? REPAIR_FAILED : REPAIR_NOT_OURS;
        return result;
    }
    // A completion states the file's length last; one cut while writing that field leaves a
    // size that is neither the placeholder nor the length, and is completed again.
    const uint32_t riff = GetU32(header + kRiffSizeOffset);
    if (riff != kSizePlaceholder && uint64_t(riff) + 8 == uint64_t(length)) {
        result.status = REPAIR_COMPLETE;
        return result;
    }

    // The file exists already: what the format can state binds, not what a new file may take.
    const uint64_t align = result.format.nBlockAlign;
    uint64_t data = uint64_t(length) - sizeof header;
    if (GetU32(header + kDataSizeOffset) != kSizePlaceholder)
        data = std::min<uint64_t>(data, GetU32(header + kDataSizeOffset));
    data = std::min(data, kMaxStatedRiffSize - kEmptyRiffSize - 1);
    data -= data % align;
    result.dataBytes = data;
    if (data == 0) {
        result.status = REPAIR_EMPTY;
        return result;
    }
    // Markers never cost sound: in the order of their frames, those that fit within the limit
    // with it; the rest are left out.
    const uint64_t frames = data / align;
    for (CueMarker& marker : markers)
        marker.frame = std::min(marker.frame, frames - 1);
    std::stable_sort(markers.begin(), markers.end(),
                     [](const CueMarker& a, const CueMarker& b) { return a.frame < b.frame; });
    uint64_t markerBytes = 0;
    size_t fit = 0;
    for (; fit < markers.size() && fit < kMaxMarkers; ++fit) {
        markerBytes += MarkerBytes(MarkerLabel(markers[fit].label).size());
        if (!Fits(data, markerBytes, riffSizeLimit))
            break;
    }
    markers.resize(fit);
    if (!file.Truncate(sizeof header + data)) {
        result.systemError = file.LastError();
        result.status = REPAIR_FAILED;
        return result;
    }
    result.status =
        CompleteFile(file, data, markers, &result.systemError) ? REPAIR_DONE : REPAIR_FAILED;
    return result;
}
