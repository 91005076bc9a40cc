// CWaveFile writes the one file of a recording: RIFF/WAVE with an 18-byte "fmt " chunk and a
// "data" chunk.
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
// While the file is open both size fields hold 0xFFFFFFFF, which every common reader takes as
// "up to the end of the file": a recording cut short by a crash or a power loss stays playable.
// Close writes the true sizes.
//
// A recording longer than a file can state goes on in a next file: prepared ahead (created with
// its header) while there is still room, it takes the block that would not fit and every one
// after it, and the full file is completed. Without a prepared next file, the recording ends at
// the limit.
//
// Threads: Open runs on the window thread, Write on the capture thread; Close runs on the window
// thread when a recording is stopped, and on the capture thread when the file ends by itself
// (a failed write, the size limit). The capture makes sure that no two of them overlap.
// GetError may be read from any thread.
#pragma once

#include "engine/raw_file.h"
#include "engine/recording_format.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>

// Why the last file ended, or failed to open.
enum WaveFileError {
    WAVE_FILE_OK = 0,
    WAVE_FILE_CREATE_FAILED, // the file or its header could not be written (GetSystemError)
    WAVE_FILE_EXISTS,        // the file exists, and was not to be replaced
    WAVE_FILE_WRITE_FAILED,  // a block did not land completely: disk full or a device error
    WAVE_FILE_FULL,          // the next block would take the RIFF size past its limit
    WAVE_FILE_CLOSE_FAILED,  // the sizes could not be completed, or the handle not closed
};

class CWaveFile {
public:
    static constexpr uint32_t kHeaderSize = 46;
    // The largest RIFF size a file can state.
    static constexpr uint64_t kMaxRiffSize = 0xFFFFFFFFu;
    static constexpr uint32_t kSizePlaceholder = 0xFFFFFFFFu;

    CWaveFile();
    ~CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    // Sets the file format from the recording format and creates the file with its header.
    // 1 when the file is open and ready for sample bytes; 0 otherwise (a format that is not
    // recordable, the file exists and mode does not replace it, or it could not be created).
    int Open(const std::filesystem::path& fileName, int channels, int samplesPerSec, int sampleType,
             RawFile::CreateMode mode = RawFile::CREATE_NEW_ONLY);

    // Creates the file and writes the 46-byte header; 1 or 0. A header that cannot be written
    // (a full disk) leaves no file behind.
    int Create(const std::filesystem::path& fileName, RawFile::CreateMode mode);

    // Appends one captured block, encoding 16-bit samples to µ-law or A-law when the format
    // asks for it. 1 when the block is in the file (a block with nothing to write included);
    // 0 when no file is open or the block did not fit or did not land, in which case the file
    // has been completed with what landed and closed, and GetError says why.
    int Write(const void* data, uint32_t byteCount);

    // Appends count bytes to the data chunk; 1 when all landed, 0 otherwise (also for a count
    // of 0 or a null pointer, which write nothing).
    int WriteRaw(const void* data, uint32_t count);

    // Writes the pad byte and the true sizes and closes the file. 1 when the file is complete
    // (or none was open); 0 when completing or closing failed (the handle is released anyway).
    // A prepared next file that was never needed is removed.
    int Close();

    // Creates the next file of the recording, with the same header, to take over when this one
    // is full. On the window thread, while the capture writes. 1 when it is ready; 0 when it
    // could not be created (the error and the system's code in *error and *systemError), or no
    // recording is open.
    int PrepareNext(const std::filesystem::path& fileName, RawFile::CreateMode mode,
                    WaveFileError* error, uint32_t* systemError);
    // Whether the file has less than this many seconds of room left and no next file is
    // prepared. On the capture thread.
    bool WantsNext(uint32_t seconds) const;
    // How many times the recording went on in a next file since Open. Any thread.
    uint32_t Switches() const { return m_switches.load(); }

    bool IsOpen() const { return m_file.IsOpen(); }
    WaveFileError GetError() const { return m_error.load(); }
    // The system's error code behind WAVE_FILE_CREATE_FAILED and WAVE_FILE_EXISTS.
    uint32_t GetSystemError() const { return m_systemError; }

    // The largest RIFF size this writer lets a file reach (default kMaxRiffSize). Tests lower it.
    void SetRiffSizeLimit(uint64_t limit) { m_riffSizeLimit = limit; }

private:
    bool WriteSizes(uint32_t riffSize, uint32_t dataSize);
    bool Complete();
    void Abandon(WaveFileError error);
    // The full file completed, the prepared one takes over; false when there is none, or the
    // full file could not be completed.
    bool SwitchToNext();
    // Closes and removes a prepared next file that was not needed.
    void DropNext();

    WaveFormat m_wfx;
    RawFile m_file;
    uint64_t m_dataBytes = 0;
    uint64_t m_riffSizeLimit = kMaxRiffSize;
    std::atomic<WaveFileError> m_error{WAVE_FILE_OK};
    uint32_t m_systemError = 0;
    // The prepared next file, between the window thread that prepares it and the capture thread
    // that takes it over; m_accepting is true while a recording is open.
    std::mutex m_nextLock;
    RawFile m_next;
    std::filesystem::path m_nextPath;
    bool m_accepting = false;
    std::atomic<bool> m_hasNext{false};
    std::atomic<uint32_t> m_switches{0};
    // Scratch block for µ-law and A-law codes, allocated by Open, reused for every block.
    std::unique_ptr<uint8_t[]> m_scratch;
    uint32_t m_scratchSize = 0;
};
