// CWaveFile writes the files of a recording: RIFF/WAVE with an 18-byte "fmt " chunk and a "data"
// chunk (the layout: wave_layout.h). Every block is appended straight to the operating system.
//
// A recording longer than a file may hold goes on in a next file, which the window thread has
// made ahead of time and offered through the hand-over: the block that would not fit, and every
// one after it, go there, and the full file is left in the hand-over to be completed by the disk
// thread. Without a next file, the recording ends at the limit.
//
// Threads: one at a time. Open runs on the window thread before the capture thread starts,
// Write on the capture thread, Close on the window thread after the capture thread has ended
// (or on the capture thread when it ends the recording by itself).
#pragma once

#include "engine/file_hand_over.h"
#include "engine/raw_file.h"
#include "engine/recording_format.h"
#include "engine/wave_layout.h"

#include <cstdint>
#include <filesystem>
#include <memory>

// Why the last file ended, or failed to open.
enum WaveFileError {
    WAVE_FILE_OK = 0,
    WAVE_FILE_CREATE_FAILED, // the file or its header could not be written (GetSystemError)
    WAVE_FILE_EXISTS,        // the file exists, and was not to be replaced
    WAVE_FILE_WRITE_FAILED,  // a block did not land completely: disk full or a device error
    WAVE_FILE_FULL,          // the next block would take the file past its limit
};

class CWaveFile {
public:
    static constexpr uint32_t kHeaderSize = WaveLayout::kHeaderSize;
    // The largest RIFF size this writer lets a file reach: the file stays within 4 GiB - 1.
    static constexpr uint64_t kMaxRiffSize = WaveLayout::kMaxRiffSize;
    static constexpr uint32_t kSizePlaceholder = WaveLayout::kSizePlaceholder;

    CWaveFile();
    ~CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // Sets the file format from the recording format and creates the file with its header.
    // 1 when the file is open and ready for sample bytes; 0 otherwise (a format that is not
    // recordable, the file exists and mode does not replace it, or it could not be created).
    // With a hand-over set, it is opened with the new file's flush handle.
    int Open(const std::filesystem::path& fileName, int channels, int samplesPerSec, int sampleType,
             RawFile::CreateMode mode = RawFile::CREATE_NEW_ONLY);

    // Creates the file and writes the 46-byte header; 1 or 0. A header that cannot be written
    // (a full disk) leaves no file behind.
    int Create(const std::filesystem::path& fileName, RawFile::CreateMode mode);

    // Appends one captured block, encoding 16-bit samples to µ-law or A-law when the format
    // asks for it. 1 when the block is in the file (a block with nothing to write included);
    // 0 when no file is open or the block did not fit or did not land, in which case the file
    // has been completed with what landed, and GetError says why.
    int Write(const void* data, uint32_t byteCount);

    // Appends count bytes to the data chunk; 1 when all landed, 0 otherwise (also for a count
    // of 0 or a null pointer, which write nothing).
    int WriteRaw(const void* data, uint32_t count);

    // Writes the pad byte and the true sizes, flushes and closes the file. 1 when the file is
    // complete (or none was open, and the last one was completed when it ended); 0 when
    // completing it failed (CompletionError has the system's code).
    int Close();
    // The system's code of the failed completion of the last file; 0 when it was completed.
    uint32_t CompletionError() const { return m_completionError; }

    // The hand-over this writer takes next files from and leaves full ones in (none: every
    // recording ends at the limit). Set while no file is open.
    void SetHandOver(FileHandOver* handOver) { m_handOver = handOver; }
    // Whether the file has less than this many seconds of room left and no next file waits.
    bool WantsNext(uint32_t seconds) const;
    // How many times the recording went on in a next file since Open.
    uint32_t Switches() const { return m_switches; }

    bool IsOpen() const { return m_file.IsOpen(); }
    WaveFileError GetError() const { return m_error; }
    // The system's error code behind the error.
    uint32_t GetSystemError() const { return m_systemError; }
    const WaveFormat& Format() const { return m_wfx; }
    const std::filesystem::path& Path() const { return m_path; }

    // The largest RIFF size this writer lets a file reach (default kMaxRiffSize). Tests lower it.
    void SetRiffSizeLimit(uint64_t limit) { m_riffSizeLimit = limit; }

    // Creates a file of this format with its header; on failure the error and the system's code
    // in *error and *systemError, and no file left behind. Any thread.
    static bool CreateWithHeader(RawFile& file, const std::filesystem::path& fileName,
                                 RawFile::CreateMode mode, const WaveFormat& format,
                                 WaveFileError* error, uint32_t* systemError);

private:
    void Abandon(WaveFileError error, uint32_t systemError);
    bool Complete();
    // The full file goes to the disk thread, the prepared one takes over; false when none waits.
    bool SwitchToNext();

    WaveFormat m_wfx;
    RawFile m_file;
    std::filesystem::path m_path;
    uint64_t m_dataBytes = 0;
    uint64_t m_riffSizeLimit = kMaxRiffSize;
    WaveFileError m_error = WAVE_FILE_OK;
    uint32_t m_systemError = 0;
    uint32_t m_completionError = 0;
    bool m_completionFailed = false;
    FileHandOver* m_handOver = nullptr;
    uint32_t m_switches = 0;
    // Scratch block for µ-law and A-law codes, allocated by Open, reused for every block.
    std::unique_ptr<uint8_t[]> m_scratch;
    uint32_t m_scratchSize = 0;
};
