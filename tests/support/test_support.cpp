#include "tests/support/test_support.h"

#include <algorithm>
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

namespace {

// The chunks after the data chunk, from at to the end: the cue points and their labels, each
// chunk and every fault in wav.chunks. Whether they tile the rest of the file by the rules.
bool ReadMarkerChunks(const std::vector<uint8_t>& file, size_t at, WavFile& wav) {
    bool ok = true;
    const auto fault = [&](const std::string& what) { wav.chunks.push_back(what), ok = false; };
    const auto id = [&](size_t p) { return std::string(&file[p], &file[p] + 4); };
    for (size_t size, body; at + 8 <= file.size(); at = body + size + (size & 1)) {
        size = GetU32(file, at + 4), body = at + 8;
        if (body + size + (size & 1) > file.size())
            return fault(id(at) + " past the end"), false;
        wav.chunks.push_back(id(at) + " " + std::to_string(size) +
                             (id(at) == "LIST" ? " " + id(body) : ""));
        if (id(at) == "cue ") {
            const uint32_t count = GetU32(file, body);
            if (size != 4 + 24 * count)
                fault("cue size for " + std::to_string(count) + " points");
            for (size_t p = body + 4; p + 24 <= body + size; p += 24)
                wav.cues.push_back({GetU32(file, p), GetU32(file, p + 4), GetU32(file, p + 12),
                                    GetU32(file, p + 16), GetU32(file, p + 20), id(p + 8), ""});
            continue;
        }
        if (id(at) != "LIST" || (size & 1)) {
            fault("not a LIST of even size: " + id(at));
            continue;
        }
        size_t p = body + 4;
        for (uint32_t labl; p + 8 <= body + size; p += 8 + labl + (labl & 1)) {
            labl = GetU32(file, p + 4);
            if (id(p) != "labl" || labl < 5 || p + 8 + labl + (labl & 1) > body + size ||
                file[p + 7 + labl] != 0 || ((labl & 1) && file[p + 8 + labl] != 0)) {
                fault("a labl without its id, its zero, its pad byte or its place");
                break;
            }
            auto cue = std::find_if(wav.cues.begin(), wav.cues.end(), [&](const WavFile::Cue& c) {
                return c.id == GetU32(file, p + 8);
            });
            if (cue == wav.cues.end())
                fault("labl for no cue");
            else
                cue->label.assign(&file[p + 12], &file[p + 7 + labl]);
        }
        if (p != body + size)
            fault("LIST size does not end at its last labl");
    }
    if (at != file.size())
        fault("bytes after the last chunk");
    return ok;
}

} // namespace

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
    const size_t end = wav.dataSize == 0xFFFFFFFFu
                           ? file.size()
                           : std::min(file.size(), size_t(46) + wav.dataSize);
    wav.data.assign(file.begin() + 46, file.begin() + long(end));
    const size_t after = 46 + size_t(wav.dataSize) + (wav.dataSize & 1);
    wav.wellFormed = wav.dataSize != 0xFFFFFFFFu && after <= file.size() &&
                     (wav.dataSize % 2 == 0 || file[after - 1] == 0) &&
                     ReadMarkerChunks(file, after, wav);
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
