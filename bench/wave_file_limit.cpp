// Proves the 4 GiB limit for real: records 16-bit stereo 48000 Hz blocks of 7680 bytes into one
// file, with a marker every minute, until the writer reports it full, then checks that the file
// is complete with its markers within 4 GiB - 1 bytes, and its sizes did not wrap. Needs about
// 4.3 GB free in the folder given (default: the temporary folder).
//   wave_file_limit [FOLDER]
#include "engine/wave_file.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

static uint32_t ReadU32(std::ifstream& in, std::streamoff at) {
    uint8_t b[4] = {};
    in.seekg(at);
    in.read(reinterpret_cast<char*>(b), 4);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (uint32_t(b[3]) << 24);
}

int main(int argc, char** argv) {
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const fs::path path = folder / "sonarix-4gib.wav";
    std::vector<uint8_t> block(7680, 0x11);

    CWaveFile wav;
    if (!wav.Open(path, 2, 48000, SAMPLE_TYPE_PCM16, RawFile::CREATE_REPLACE)) {
        std::printf("cannot create %s\n", path.string().c_str());
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    uint64_t blocks = 0;
    CWaveFile::WriteResult result;
    const std::string label = "Marker 1 00:00:00.0";
    const uint64_t markerBytes = WaveLayout::MarkerBytes(label.size());
    const auto marked = [&] { return blocks % 1500 == 0; }; // a marker a minute
    while ((result = wav.Write(block.data(), uint32_t(block.size()),
                               marked() ? markerBytes : 0)) == CWaveFile::WRITE_OK) {
        if (marked())
            wav.AddMarker(blocks * 1920, label);
        ++blocks;
    }
    const size_t markers = wav.MarkerCount();
    const bool full = result == CWaveFile::WRITE_FULL && wav.Close();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::ifstream in(path, std::ios::binary);
    const uint64_t fileSize = fs::file_size(path);
    const uint32_t riffSize = ReadU32(in, 4);
    const uint32_t dataSize = ReadU32(in, 42);
    in.close();
    fs::remove(path);

    const uint64_t expectedData = blocks * block.size();
    const uint64_t chunks = WaveLayout::kMarkerChunkHeaders + markers * markerBytes;
    std::printf("blocks written: %llu (%.1f hours of 48000 Hz stereo 16-bit)\n",
                (unsigned long long)blocks, double(blocks) * 0.04 / 3600);
    std::printf("stopped because: %s\n", full ? "file full" : "other error");
    std::printf("file size %llu, RIFF size %u, data size %u, %zu markers in %llu bytes after it\n",
                (unsigned long long)fileSize, riffSize, dataSize, markers,
                (unsigned long long)chunks);
    std::printf("write rate: %.0f MB/s\n", double(expectedData) / seconds / 1e6);
    const bool ok = full && dataSize == expectedData && riffSize == fileSize - 8 &&
                    fileSize == 46 + expectedData + chunks && fileSize <= 0xFFFFFFFFull &&
                    expectedData + 7680 + 38 + chunks > 0xFFFFFFFFull;
    std::printf("%s\n", ok ? "limit respected: complete file, no size wrapped" : "LIMIT BROKEN");
    return ok ? 0 : 1;
}
