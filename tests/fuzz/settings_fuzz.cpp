// libFuzzer target for the settings file's whole path to a recording: any text, read by the
// loader's rules, then named by the sequential naming, must load without undefined behaviour,
// give recordable format values, and give no path but a plain file inside the folder. The note
// of an interrupted recording gives markers the repair can write: printable ASCII labels of at
// most 63 characters, no more than a file holds.
// The input is the settings file's lines, "Key=value" (UTF-8); a key not given is missing.
#include "app/settings.h"
#include "engine/file_name_check.h"
#include "engine/recording_format.h"
#include "engine/sequential_naming.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class FuzzStore : public ISettingsStore {
public:
    explicit FuzzStore(std::wstring text) : m_text(std::move(text)) {}
    // The value after the first "Key=" at a line's start, cut and trimmed as the profile
    // functions do.
    std::wstring Read(const wchar_t*, const wchar_t* key, const wchar_t* defaultText) override {
        const std::wstring mark = std::wstring(key) + L"=";
        for (size_t at = 0; at < m_text.size();) {
            size_t end = m_text.find(L'\n', at);
            if (end == std::wstring::npos)
                end = m_text.size();
            if (m_text.compare(at, mark.size(), mark) == 0) {
                std::wstring value = m_text.substr(at + mark.size(), end - at - mark.size());
                while (!value.empty() && (value.back() == L' ' || value.back() == L'\r'))
                    value.pop_back();
                value = value.substr(0, 511);
                if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
                    value = value.substr(1, value.size() - 2);
                return value.empty() ? defaultText : value;
            }
            at = end + 1;
        }
        return defaultText;
    }
    bool Write(const wchar_t*, const wchar_t*, const std::wstring&) override { return true; }
    bool RemoveSection(const wchar_t*) override { return true; }

private:
    std::wstring m_text;
};

// Bytes as text: UTF-8 sequences of up to three bytes, other bytes as they are.
std::wstring Widen(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        if (b >= 0xE0 && i + 2 < size) {
            text += wchar_t((b & 0x0F) << 12 | (data[i + 1] & 0x3F) << 6 | (data[i + 2] & 0x3F));
            i += 2;
        } else if (b >= 0xC0 && i + 1 < size) {
            text += wchar_t((b & 0x1F) << 6 | (data[i + 1] & 0x3F));
            ++i;
        } else {
            text += wchar_t(b);
        }
    }
    return text;
}

void Check(bool promise) {
    if (!promise)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStore store(Widen(data, size));
    AppSettings settings;
    LoadSettings(settings, store);
    Check(IsRecordableFormat(settings.SamplingChannel, settings.SamplingRate, settings.SampleType));
    Check(settings.SeqRecFileCount >= 0 && settings.SeqRecFileCount <= 999999);
    Check(IsUsablePrefix(settings.SeqRecFilePrefix));
    for (const NotedFile& file : RecordingInProgress(store)) {
        Check(!file.path.empty() && file.markers.size() <= WaveLayout::kMaxMarkers);
        for (const WaveLayout::CueMarker& marker : file.markers)
            Check(marker.label == WaveLayout::MarkerLabel(marker.label));
    }

    SequentialNaming naming;
    naming.enabled = 1;
    naming.count = uint32_t(settings.SeqRecFileCount);
    naming.folder = settings.SeqRecFileDir;
    naming.prefix = settings.SeqRecFilePrefix;
    naming.subFolders = settings.CheckReqFileSubDir;
    std::wstring path;
    const NamingResult result = NextSequentialName(naming, path, nullptr);
    if (result != NAMING_DONE && result != NAMING_WRAPPED)
        return 0;
    // The folder, its sub-folder when asked for, and one plain file name: the prefix, six
    // digits, ".wav".
    const std::wstring folder = settings.SeqRecFileDir + L"\\";
    Check(path.compare(0, folder.size(), folder) == 0);
    std::wstring name = path.substr(folder.size());
    if (settings.CheckReqFileSubDir) {
        Check(name.size() > 5 && name[3] == L'K' && name[4] == L'\\');
        name = name.substr(5);
    }
    Check(name.find_first_of(L"\\/:") == std::wstring::npos);
    Check(name == settings.SeqRecFilePrefix + name.substr(name.size() - 10));
    Check(name.compare(name.size() - 4, 4, L".wav") == 0);
    Check(IsStorableFileName(path));
    return 0;
}
