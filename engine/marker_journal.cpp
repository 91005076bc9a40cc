#include "engine/marker_journal.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace {

constexpr char kFirstLine[] = "Sonarix markers 1\n";
// A journal larger than this is no journal of ours: 2500 markers take about 150 KB.
constexpr int64_t kMaxJournalBytes = 16 << 20;

uint32_t Crc32(const char* data, size_t size) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ uint8_t(data[i])) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

bool ParseNumber(const std::string& text, size_t& at, int base, uint64_t& value) {
    const size_t begin = at;
    value = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : 99;
        if (digit >= base || value > (UINT64_MAX - uint64_t(digit)) / uint64_t(base))
            break;
        value = value * uint64_t(base) + uint64_t(digit);
    }
    return at > begin && at - begin <= 20;
}

// One whole line (without its '\n'): false when it is damaged.
bool ParseLine(const std::string& line, uint64_t& key, WaveLayout::CueMarker& marker) {
    const size_t tab = line.rfind('\t');
    if (tab == std::string::npos)
        return false;
    size_t at = tab + 1;
    uint64_t crc = 0;
    if (!ParseNumber(line, at, 16, crc) || at != line.size() || crc != Crc32(line.data(), tab))
        return false;
    at = 0;
    if (!ParseNumber(line, at, 16, key) || at >= tab || line[at++] != ' ' ||
        !ParseNumber(line, at, 10, marker.frame) || at >= tab || line[at++] != ' ')
        return false;
    marker.label = line.substr(at, tab - at);
    return true;
}

} // namespace

std::filesystem::path MarkerJournalPath(const std::filesystem::path& file) {
    std::filesystem::path journal = file;
    journal += ".markers";
    return journal;
}

std::string MarkerJournalLine(uint64_t key, uint64_t frame, const std::string& label) {
    char head[48];
    std::snprintf(head, sizeof head, "%llx %llu ", static_cast<unsigned long long>(key),
                  static_cast<unsigned long long>(frame));
    std::string line = head + label;
    std::replace_if(
        line.begin(), line.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    char crc[16];
    std::snprintf(crc, sizeof crc, "\t%08x\n", unsigned(Crc32(line.data(), line.size())));
    return line + crc;
}

std::vector<WaveLayout::CueMarker> ReadMarkerJournal(const std::filesystem::path& file) {
    RawFile journal;
    if (!journal.OpenToRead(MarkerJournalPath(file)))
        return {};
    const int64_t size = journal.Size();
    if (size <= 0 || size > kMaxJournalBytes)
        return {};
    std::string text(size_t(size), '\0');
    text.resize(journal.ReadAt(0, &text[0], text.size()));
    if (text.compare(0, std::strlen(kFirstLine), kFirstLine) != 0)
        return {};
    std::vector<WaveLayout::CueMarker> markers;
    std::vector<uint64_t> keys;
    for (size_t at = std::strlen(kFirstLine); at < text.size();) {
        const size_t end = text.find('\n', at);
        uint64_t key = 0;
        WaveLayout::CueMarker marker;
        if (end == std::string::npos || !ParseLine(text.substr(at, end - at), key, marker))
            break; // cut short or damaged here: what came before stands
        at = end + 1;
        const auto same = key == 0 ? keys.end() : std::find(keys.begin(), keys.end(), key);
        if (same != keys.end()) {
            markers[size_t(same - keys.begin())] = std::move(marker);
            continue;
        }
        keys.push_back(key);
        markers.push_back(std::move(marker));
    }
    return markers;
}

void MarkerJournal::Begin(const std::filesystem::path& file) {
    m_file.Close();
    m_path = MarkerJournalPath(file);
    m_failed = m_dirty = m_made = false;
    m_bytes = 0;
}

bool MarkerJournal::Append(uint64_t key, uint64_t frame, const std::string& label) {
    if (m_failed || m_path.empty())
        return false;
    std::string text = MarkerJournalLine(key, frame, label);
    if (!m_file.IsOpen()) {
        if (!m_file.Create(m_path, RawFile::CREATE_REPLACE)) {
            m_failed = true;
            return false;
        }
        m_made = true;
        text.insert(0, kFirstLine);
    }
    if (m_file.Append(text.data(), text.size()) != text.size()) {
        m_failed = true;
        m_file.Close();
        return false;
    }
    m_bytes += text.size();
    m_dirty = true;
    return true;
}

bool MarkerJournal::Flush() {
    if (!m_dirty || !m_file.IsOpen())
        return true;
    m_dirty = false;
    if (m_file.Flush())
        return true;
    m_failed = true;
    m_file.Close();
    return false;
}

void MarkerJournal::End(bool complete) {
    m_file.Close();
    if (complete && m_made) {
        std::error_code ignored;
        std::filesystem::remove(m_path, ignored);
    }
    m_path.clear();
}
