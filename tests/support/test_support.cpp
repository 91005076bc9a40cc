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
    const auto fault = [&](const std::string& what) {
        wav.chunks.push_back(what);
        ok = false;
    };
    const auto id = [&](size_t p) {
        return std::string(file.begin() + long(p), file.begin() + long(p) + 4);
    };
    while (at + 8 <= file.size()) {
        const std::string name = id(at);
        const uint32_t size = GetU32(file, at + 4);
        const size_t body = at + 8;
        if (body + size + (size & 1) > file.size()) {
            fault(name + " past the end");
            return false;
        }
        if (name == "cue ") {
            wav.chunks.push_back("cue  " + std::to_string(size));
            const uint32_t count = GetU32(file, body);
            if (size != 4 + 24 * count)
                fault("cue size for " + std::to_string(count) + " points");
            for (uint32_t i = 0; i < count && body + 4 + 24 * (i + 1) <= body + size; ++i) {
                const size_t p = body + 4 + 24 * i;
                WavFile::Cue cue;
                cue.id = GetU32(file, p);
                cue.position = GetU32(file, p + 4);
                cue.chunk = id(p + 8);
                cue.chunkStart = GetU32(file, p + 12);
                cue.blockStart = GetU32(file, p + 16);
                cue.sampleOffset = GetU32(file, p + 20);
                wav.cues.push_back(cue);
            }
        } else if (name == "LIST") {
            wav.chunks.push_back("LIST " + std::to_string(size) + " " + id(body));
            if (size & 1)
                fault("odd LIST size");
            size_t p = body + 4;
            while (p + 8 <= body + size) {
                const uint32_t labl = GetU32(file, p + 4);
                wav.chunks.push_back(id(p) + " " + std::to_string(labl));
                if (p + 8 + labl + (labl & 1) > body + size) {
                    fault("labl past its LIST");
                    break;
                }
                const uint32_t cueId = GetU32(file, p + 8);
                const auto text = file.begin() + long(p) + 12;
                if (labl < 5 || file[p + 8 + labl - 1] != 0)
                    fault("labl without its zero");
                auto cue = std::find_if(wav.cues.begin(), wav.cues.end(),
                                        [&](const WavFile::Cue& c) { return c.id == cueId; });
                if (cue == wav.cues.end())
                    fault("labl for no cue " + std::to_string(cueId));
                else if (labl >= 5)
                    cue->label.assign(text, text + long(labl) - 5);
                if ((labl & 1) && file[p + 8 + labl] != 0)
                    fault("labl pad byte not zero");
                p += 8 + labl + (labl & 1);
            }
            if (p != body + size)
                fault("LIST size does not end at its last labl");
        } else {
            fault("unknown chunk " + name);
        }
        at = body + size + (size & 1);
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
