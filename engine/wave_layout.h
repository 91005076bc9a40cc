// The layout of the WAV files this program writes, in one place for the writer and for the
// completing of an interrupted recording.
//
//   offset size  content
//        0    4  "RIFF"
//        4    4  RIFF size: file length - 8 (placeholder 0xFFFFFFFF while recording)
//        8    4  "WAVE"
//       12    4  "fmt "
//       16    4  18
//       20   18  wFormatTag, nChannels, nSamplesPerSec, nAvgBytesPerSec, nBlockAlign,
//                wBitsPerSample, cbSize = 0
//       38    4  "data"
//       42    4  data size n, without the pad byte (placeholder 0xFFFFFFFF while recording)
//       46    n  sample bytes, in the order the blocks arrived
//   46 + n  0/1  a zero pad byte when n is odd
//
// A completed file with markers holds them after the data chunk, in two chunks (offsets from
// their start, at 46 + n + pad; k markers, in the order of their frames):
//
//   offset     size  content
//        0        4  "cue "
//        4        4  4 + 24 k
//        8        4  k
//       12     24 k  a cue point each: dwName (its id, 1, 2, ...), dwPosition (the frame in the
//                    data chunk), fccChunk "data", dwChunkStart 0, dwBlockStart 0,
//                    dwSampleOffset (the frame again)
//   16 + 24 k     4  "LIST"
//   20 + 24 k     4  4 + the labl chunks' bytes, their pad bytes included
//   24 + 24 k     4  "adtl"
//   28 + 24 k        a labl chunk each, in the cue points' order: "labl", its size (4 + the
//                    text's length + 1: the pad byte not counted), the cue point's id, the text
//                    in ASCII with its terminating zero, a zero pad byte when the size is odd
//
// The 46-byte header never changes: readers that know no markers read the file as before.
//
// While a file is recorded both size fields hold 0xFFFFFFFF, which every common reader takes as
// "up to the end of the file": a recording cut short by a crash or a power loss stays playable.
// Completing a file writes the pad byte, the data size, the markers and last the RIFF size, so
// the file never states more than it holds; a file whose RIFF size is still the placeholder
// is not complete, whatever its data size says.
#pragma once

#include "engine/raw_file.h"
#include "engine/recording_format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace WaveLayout {

constexpr uint32_t kHeaderSize = 46;
constexpr uint32_t kFmtChunkSize = 18;
constexpr uint64_t kRiffSizeOffset = 4;
constexpr uint64_t kDataSizeOffset = 42;
constexpr uint32_t kSizePlaceholder = 0xFFFFFFFFu;
// RIFF size of a file with no sample bytes: "WAVE", the fmt chunk, the data chunk's header.
constexpr uint64_t kEmptyRiffSize = 4 + 8 + kFmtChunkSize + 8;
// The largest RIFF size the format can state.
constexpr uint64_t kMaxStatedRiffSize = 0xFFFFFFFFu;
// The largest file FAT32 (most USB sticks and SD cards) holds is 4 GiB - 1 bytes; a file this
// program writes stays within it, pad byte included, so its RIFF size stays 8 below that.
constexpr uint64_t kMaxFileBytes = 0xFFFFFFFFu;
constexpr uint64_t kMaxRiffSize = kMaxFileBytes - 8;

// The RIFF size of a completed file with this many sample bytes (the pad byte counted).
constexpr uint64_t RiffSizeFor(uint64_t dataBytes) {
    return kEmptyRiffSize + dataBytes + (dataBytes & 1);
}

// How long a recording of this many bytes a second goes on in free bytes of a drive, in files
// of at most riffSizeLimit: each file after the one being written costs its header too (the
// markers' chunks, written at the end, are left out).
uint64_t RecordableMs(uint64_t freeBytes, uint32_t bytesPerSecond, uint64_t riffSizeLimit);

// The smallest size limit a test may set: more than any capture block.
constexpr uint64_t kMinRiffSizeLimit = 64 * 1024;
// A size limit given as text (the test setting SONARIX_FILE_SIZE_LIMIT): decimal digits alone,
// from kMinRiffSizeLimit to kMaxRiffSize; 0 for anything else, which is ignored.
uint64_t ParseRiffSizeLimit(const std::wstring& text);

uint32_t GetU32(const uint8_t* p);
uint16_t GetU16(const uint8_t* p);

// The 46-byte header of a file being recorded: both sizes the placeholder.
void MakeRecordingHeader(uint8_t* header, const WaveFormat& format);
// Whether the 46 bytes are a header this program writes, for some recordable format (in
// *format), whatever its sizes say.
bool ReadOurHeader(const uint8_t* header, WaveFormat& format);

// A marker of a file: the frame of the data chunk it points at, and its label (plain ASCII: the
// format names no code page).
struct CueMarker {
    uint64_t frame = 0;
    std::string label;
};

// The most markers a file holds (libsndfile reads no more), and the longest label.
constexpr size_t kMaxMarkers = 2500;
constexpr size_t kMaxLabelLength = 63;
// The bytes of the two chunks' own headers ("cue " and its count; "LIST" and "adtl"), and what
// one marker with a label of this length adds to them.
constexpr uint64_t kMarkerChunkHeaders = 12 + 12;
constexpr uint64_t MarkerBytes(size_t labelLength) {
    return 24 + 12 + ((labelLength + 1 + 1) & ~uint64_t(1));
}
// What a file holds, one rule for the writer and the repair: whether a completed file of this
// many sample bytes, with markers of markerBytes (the sum of each one's MarkerBytes; 0: none),
// stays within riffSizeLimit and what the format can state.
constexpr bool Fits(uint64_t dataBytes, uint64_t markerBytes, uint64_t riffSizeLimit) {
    const uint64_t limit = riffSizeLimit < kMaxStatedRiffSize ? riffSizeLimit : kMaxStatedRiffSize;
    return RiffSizeFor(dataBytes) + (markerBytes ? kMarkerChunkHeaders + markerBytes : 0) <= limit;
}
// The label as it goes into a file: printable ASCII (anything else becomes '?'), at most
// kMaxLabelLength characters.
std::string MarkerLabel(const std::string& text);
// The bytes of the marker chunks for these markers (none: nothing), ordered by frame.
std::vector<uint8_t> MakeMarkerChunks(std::vector<CueMarker> markers);

// Completes a file holding dataBytes sample bytes after its header: the data size, the pad byte,
// the markers after the data (their frames within it), a flush to the storage device, the RIFF
// size, a flush again, the close. True when every step succeeded; otherwise *error has the system's
// code of the first that failed, and a file whose markers could not be written keeps the
// placeholder RIFF size (it is completed again at the next start). The handle is released either
// way.
bool CompleteFile(RawFile& file, uint64_t dataBytes, const std::vector<CueMarker>& markers,
                  uint32_t* error);

} // namespace WaveLayout
