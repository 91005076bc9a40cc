// Helpers shared by the tests: scratch folders, whole-file reads, little-endian fields.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return m_path / name;
    }

private:
    std::filesystem::path m_path;
};

std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

inline uint16_t GetU16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}
inline uint32_t GetU32(const std::vector<uint8_t>& b, size_t at) {
    return GetU16(b, at) | (static_cast<uint32_t>(GetU16(b, at + 2)) << 16);
}

// A WAV file as the writer lays it out: the fields of its 46-byte header, its data, and the
// marker chunks after the data, read chunk by chunk as the RIFF rules say.
struct WavFile {
    struct Cue {
        uint32_t id = 0, position = 0, chunkStart = 0, blockStart = 0, sampleOffset = 0;
        std::string chunk; // fccChunk
        std::string label; // its labl text, without the terminating zero
    };
    size_t fileSize = 0;
    uint32_t riffSize = 0, dataSize = 0, rate = 0;
    uint16_t tag = 0, channels = 0, bits = 0;
    std::vector<uint8_t> data; // the data chunk; everything after the header while recording
    std::vector<Cue> cues;     // in the cue chunk's order
    // The chunks after the data, one line each: "cue  1024", "LIST 100 adtl", "labl 17", and
    // every fault found in them ("labl for no cue 7", "odd LIST size", ...).
    std::vector<std::string> chunks;
    // Whether the chunks tile the file from its header to its end, every size and pad byte by
    // the rules, and the RIFF size is the file's length - 8.
    bool wellFormed = false;
    bool IsComplete() const { return fileSize >= 46 && riffSize == fileSize - 8 && wellFormed; }
};
// An empty WavFile when the file is shorter than the header.
WavFile ReadWav(const std::filesystem::path& path);

// 16-bit samples as the little-endian bytes a capture buffer holds.
std::vector<uint8_t> SampleBytes(const std::vector<int16_t>& samples);
