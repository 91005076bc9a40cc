// CWaveFile writes the files of a recording: RIFF/WAVE with an 18-byte "fmt " chunk and a "data"
// chunk (the layout: wave_layout.h). Every block is appended straight to the operating system.
//
// A block that would take the file past its size limit is not written: the caller completes the
// file and goes on in the next one (Continue), which was made ahead of time with its header.
// The file's markers are kept with it and written after its data when it is completed; the
// limit counts them, so a file stays within it with its markers.
//
// Threads: one at a time. Open runs on the window thread before the recording's disk thread
// starts; from then on the disk thread alone writes, flushes and completes.
#pragma once

#include "engine/raw_file.h"
#include "engine/recording_failure.h"
#include "engine/recording_format.h"
#include "engine/wave_layout.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class CWaveFile {
public:
    static constexpr uint32_t kHeaderSize = WaveLayout::kHeaderSize;
    // The largest RIFF size this writer lets a file reach: the file stays within 4 GiB - 1.
    static constexpr uint64_t kMaxRiffSize = WaveLayout::kMaxRiffSize;
    static constexpr uint32_t kSizePlaceholder = WaveLayout::kSizePlaceholder;

    enum WriteResult {
        WRITE_OK,     // the block is in the file (a block with nothing to write included)
        WRITE_FULL,   // the block would take the file past its limit: nothing was written
        WRITE_FAILED, // no file open, or the block did not land: the file has been completed
                      // with the whole frames that landed (LastFailure says why)
    };

    CWaveFile();
    ~CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // Sets the file format from the recording format and creates the file with its header.
    // 1 when the file is open and ready for sample bytes; 0 otherwise (a format that is not
    // recordable, the file exists and mode does not replace it, or it could not be created),
    // with LastFailure saying which.
    int Open(const std::filesystem::path& fileName, int channels, int samplesPerSec, int sampleType,
             RawFile::CreateMode mode = RawFile::CREATE_NEW_ONLY);

    // Creates the file and writes the 46-byte header; 1 or 0. A header that cannot be written
    // (a full disk) leaves no file behind.
    int Create(const std::filesystem::path& fileName, RawFile::CreateMode mode);

    // Goes on in a file of the same format made with its header (CreateWithHeader), once the
    // last one is completed.
    void Continue(RawFile&& file);

    // Appends one captured block (the device's samples), encoding 16-bit samples to µ-law or
    // A-law when the format asks for it. markerBytes: room the markers that come with the block
    // will take (WaveLayout::MarkerBytes); a block is FULL when it does not fit with them.
    WriteResult Write(const void* data, uint32_t byteCount, uint64_t markerBytes = 0);

    // Appends count bytes to the data chunk; 1 when all landed, 0 otherwise (also for a count
    // of 0 or a null pointer, which write nothing).
    int WriteRaw(const void* data, uint32_t count);

    // Hands what was written, and the file's length, to the storage device; false when the
    // system reports an error (LastFailure: STEP_FLUSH). The file stays open either way.
    bool Flush();

    // Writes the pad byte and the true sizes, flushes and closes the file. 1 when the file is
    // complete (or none was open); 0 when completing it failed (LastFailure: STEP_COMPLETE).
    int Close();

    enum MarkerResult {
        MARKER_KEPT,
        MARKER_TOO_MANY, // the file holds WaveLayout::kMaxMarkers already
        MARKER_NO_ROOM,  // it would take the file past its limit (or no file is open)
    };
    // Keeps a marker at a frame of the file being written, written when it is completed; a
    // frame past the end of what the file then holds points at its last frame.
    MarkerResult AddMarker(uint64_t frame, const std::string& label);
    // Gives a kept marker (in the order they were added) a new label; false when there is no
    // such marker or the new label would not fit.
    bool RelabelMarker(size_t index, const std::string& label);
    size_t MarkerCount() const { return m_markers.size(); }

    // Whether the file has less than this many seconds of room left.
    bool WantsNext(uint32_t seconds) const;

    bool IsOpen() const { return m_file.IsOpen(); }
    // Why the last Open, Write, Flush or Close failed, with the system's code and the path.
    const RecordingFailure& LastFailure() const { return m_failure; }
    const WaveFormat& Format() const { return m_wfx; }
    const std::filesystem::path& Path() const { return m_file.Path(); }
    // The sample bytes in the file being written (or the last one, once closed), and its frames.
    uint64_t DataBytes() const { return m_dataBytes; }
    uint64_t Frames() const { return m_wfx.nBlockAlign ? m_dataBytes / m_wfx.nBlockAlign : 0; }

    // The largest RIFF size this writer lets a file reach (default kMaxRiffSize). Tests lower it.
    void SetRiffSizeLimit(uint64_t limit) { m_riffSizeLimit = limit; }

    // Creates a file of this format with its header; on failure no file is left behind and the
    // failure (STEP_FILE_EXISTS or STEP_FILE, with the system's code) is in *failure. Any thread.
    static bool CreateWithHeader(RawFile& file, const std::filesystem::path& fileName,
                                 RawFile::CreateMode mode, const WaveFormat& format,
                                 RecordingFailure* failure);

private:
    // Whether this much more data and marker bytes stay within the limit.
    bool Fits(uint64_t dataBytes, uint64_t markerBytes) const;
    void Fail(RecordingStep step, uint32_t code);
    // A block that did not land: the file keeps its whole frames, and is completed.
    void Abandon(uint32_t code);
    bool Complete();

    WaveFormat m_wfx;
    RawFile m_file;
    uint64_t m_dataBytes = 0;
    uint64_t m_riffSizeLimit = kMaxRiffSize;
    std::vector<WaveLayout::CueMarker> m_markers; // of the file being written
    uint64_t m_markerBytes = 0;                   // theirs in the chunks (MarkerBytes each)
    RecordingFailure m_failure;
    // Scratch block for µ-law and A-law codes, allocated by Open, reused for every block.
    std::unique_ptr<uint8_t[]> m_scratch;
    uint32_t m_scratchSize = 0;
};
