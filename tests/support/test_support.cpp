#include "tests/support/test_support.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<unsigned> serial{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    m_path = fs::temp_directory_path() /
             ("sonarix-test-" + std::to_string(stamp) + "-" + std::to_string(serial++));
    fs::create_directories(m_path);
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::vector<uint8_t> ReadFileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

WavFile ReadWav(const fs::path& path) {
    const auto file = ReadFileBytes(path);
    WavFile wav;
    if (file.size() < 46)
        return wav;
    wav.fileSize = file.size();
    wav.riffSize = GetU32(file, 4);
    wav.tag = GetU16(file, 20);
    wav.channels = GetU16(file, 22);
    wav.rate = GetU32(file, 24);
    wav.bits = GetU16(file, 34);
    wav.dataSize = GetU32(file, 42);
    wav.data.assign(file.begin() + 46, file.end());
    return wav;
}

std::vector<uint8_t> SampleBytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    bytes.reserve(samples.size() * 2);
    for (int16_t s : samples) {
        const auto u = static_cast<uint16_t>(s);
        bytes.push_back(static_cast<uint8_t>(u));
        bytes.push_back(static_cast<uint8_t>(u >> 8));
    }
    return bytes;
}
