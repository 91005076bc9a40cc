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

// A WAV file as the writer lays it out: the fields of its 46-byte header and what follows it.
struct WavFile {
    size_t fileSize = 0;
    uint32_t riffSize = 0, dataSize = 0, rate = 0;
    uint16_t tag = 0, channels = 0, bits = 0;
    std::vector<uint8_t> data; // everything after the header
    // The true sizes: RIFF = length - 8, data = length - 46 less the pad byte of odd data.
    bool IsComplete() const {
        return fileSize >= 46 && riffSize == fileSize - 8 &&
               size_t(dataSize) + (dataSize & 1) == fileSize - 46;
    }
};
// An empty WavFile when the file is shorter than the header.
WavFile ReadWav(const std::filesystem::path& path);

// 16-bit samples as the little-endian bytes a capture buffer holds.
std::vector<uint8_t> SampleBytes(const std::vector<int16_t>& samples);
