#include "app/settings.h"

#include "engine/file_name_check.h"
#include "engine/recording_format.h"
#include "engine/sequential_naming.h"

#include <algorithm>
#include <cwctype>

AppSettings g_settings;

namespace {

enum class Kind { Flag, Text, Integer };

// Every key, in the file's order. Load and save both walk this table.
struct Key {
    const wchar_t* section;
    const wchar_t* name;
    Kind kind;
    const wchar_t* defaultText;
    int AppSettings::*number;        // flags and integers
    std::wstring AppSettings::*text; // strings
};

const Key kKeys[] = {
    // sequential naming on or off
    {L"TabPage2", L"CheckSeqRecFile", Kind::Flag, L"0", &AppSettings::CheckSeqRecFile, nullptr},
    // the folder of sequential files
    {L"TabPage2", L"SeqRecFileDir", Kind::Text, L"", nullptr, &AppSettings::SeqRecFileDir},
    // one sub-folder per thousand numbers
    {L"TabPage2", L"CheckReqFileSubDir", Kind::Flag, L"0", &AppSettings::CheckReqFileSubDir,
     nullptr},
    // the text before the number
    {L"TabPage2", L"SeqRecFilePrefix", Kind::Text, L"", nullptr, &AppSettings::SeqRecFilePrefix},
    // the next number
    {L"TabPage2", L"SeqRecFileCount", Kind::Integer, L"0", &AppSettings::SeqRecFileCount, nullptr},
    // 1 mono, 2 stereo
    {L"SoundProperty", L"SamplingChannel", Kind::Integer, L"2", &AppSettings::SamplingChannel,
     nullptr},
    // 0 8-bit PCM, 1 16-bit PCM, 2 µ-law, 3 A-law
    {L"SoundProperty", L"SampleType", Kind::Integer, L"1", &AppSettings::SampleType, nullptr},
    // Hz
    {L"SoundProperty", L"SamplingRate", Kind::Integer, L"16000", &AppSettings::SamplingRate,
     nullptr},
    // 0 an input, 1 what the computer plays, 2 both
    {L"SoundProperty", L"Source", Kind::Integer, L"0", &AppSettings::Source, nullptr},
    // the input: an endpoint's ID, "" for Windows' default, "communications" for its default
    // communications input; and its name as last seen
    {L"SoundProperty", L"InputDevice", Kind::Text, L"", nullptr, &AppSettings::InputDevice},
    {L"SoundProperty", L"InputDeviceName", Kind::Text, L"", nullptr, &AppSettings::InputDeviceName},
    // the output whose playback is recorded, the same way
    {L"SoundProperty", L"OutputDevice", Kind::Text, L"", nullptr, &AppSettings::OutputDevice},
    {L"SoundProperty", L"OutputDeviceName", Kind::Text, L"", nullptr,
     &AppSettings::OutputDeviceName},
};

// The longest value the profile functions read whole: one of this length was cut.
constexpr size_t kLongestValue = 511;

// An endpoint's ID is not read into: a value is kept unless it cannot be one at all.
bool IsPossibleDevice(const std::wstring& device) {
    return device.size() < kLongestValue &&
           std::none_of(device.begin(), device.end(), [](wchar_t c) { return c < 0x20; });
}

} // namespace

int ParseFlag(const std::wstring& text) {
    return text.empty() || text == L"0" ? 0 : 1;
}

int32_t ParseInteger(const std::wstring& text, int32_t defaultValue) {
    if (text.empty())
        return defaultValue;
    size_t i = 0;
    while (i < text.size() && std::iswspace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
        negative = text[i++] == L'-';
    uint32_t value = 0; // unsigned, so an overflow wraps instead of being undefined
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = value * 10 + uint32_t(text[i] - L'0');
    return int32_t(negative ? 0u - value : value);
}

void LoadSettings(AppSettings& settings, ISettingsStore& store) {
    for (const Key& key : kKeys) {
        const std::wstring text = store.Read(key.section, key.name, key.defaultText);
        switch (key.kind) {
        case Kind::Flag:
            settings.*key.number = ParseFlag(text);
            break;
        case Kind::Text:
            settings.*key.text = text;
            break;
        case Kind::Integer:
            settings.*key.number = ParseInteger(text, ParseInteger(key.defaultText, 0));
            break;
        }
    }
    // Values a hand-edited file may hold that no recording can use.
    const AppSettings defaults;
    if (!IsUsablePrefix(settings.SeqRecFilePrefix))
        settings.SeqRecFilePrefix = defaults.SeqRecFilePrefix;
    if (!IsValidChannelCount(settings.SamplingChannel))
        settings.SamplingChannel = defaults.SamplingChannel;
    if (!IsValidSampleType(settings.SampleType))
        settings.SampleType = defaults.SampleType;
    if (!IsOfferedRate(settings.SamplingRate))
        settings.SamplingRate = defaults.SamplingRate;
    // Taken numbers are skipped when a name is made, so 0 never replaces a recording.
    if (settings.SeqRecFileCount < 0 || uint32_t(settings.SeqRecFileCount) > kMaxSequenceNumber)
        settings.SeqRecFileCount = defaults.SeqRecFileCount;
    // What is recorded: a value that names nothing reads as the default, and is said.
    settings.Damaged.clear();
    const std::wstring source = store.Read(L"SoundProperty", L"Source", L"0");
    if (source != L"0" && source != L"1" && source != L"2" && !source.empty()) {
        settings.Source = defaults.Source;
        settings.Damaged.push_back(L"Source");
    }
    for (auto device : {&AppSettings::InputDevice, &AppSettings::OutputDevice}) {
        if (IsPossibleDevice(settings.*device))
            continue;
        settings.*device = defaults.*device;
        settings.Damaged.push_back(device == &AppSettings::InputDevice ? L"InputDevice"
                                                                       : L"OutputDevice");
    }
}

bool SaveSettings(const AppSettings& settings, ISettingsStore& store) {
    bool ok = true;
    for (const Key& key : kKeys) {
        switch (key.kind) {
        case Kind::Flag:
            ok = store.Write(key.section, key.name, settings.*key.number ? L"1" : L"0") && ok;
            break;
        case Kind::Text:
            ok = store.Write(key.section, key.name, settings.*key.text) && ok;
            break;
        case Kind::Integer:
            ok = store.Write(key.section, key.name, std::to_wstring(settings.*key.number)) && ok;
            break;
        }
    }
    return ok;
}

bool SaveSequenceCounter(int32_t count, ISettingsStore& store) {
    for (const Key& key : kKeys)
        if (key.number == &AppSettings::SeqRecFileCount)
            return store.Write(key.section, key.name, std::to_wstring(count));
    return false;
}

namespace {

const wchar_t kRecordingSection[] = L"Recording";
// The n-th file's key: File, File2, File3, ...; its markers': Markers, Markers2, ...
std::wstring FileKey(size_t n) {
    return n == 0 ? L"File" : L"File" + std::to_wstring(n + 1);
}
std::wstring MarkersKey(size_t n) {
    return n == 0 ? L"Markers" : L"Markers" + std::to_wstring(n + 1);
}

// "frame:label|frame:label", "*" for a frame at the end; the labels are printable ASCII, with
// no '|' of their own.
std::wstring MarkersText(const std::vector<WaveLayout::CueMarker>& markers) {
    std::wstring text;
    for (const WaveLayout::CueMarker& marker : markers) {
        if (!text.empty())
            text += L'|';
        text += marker.frame == NotedFile::kAtTheEnd ? L"*" : std::to_wstring(marker.frame);
        text += L':';
        for (char c : WaveLayout::MarkerLabel(marker.label))
            text += c == '|' ? L'/' : wchar_t(c);
    }
    return text;
}

// What cannot be read as a marker is left out.
std::vector<WaveLayout::CueMarker> ReadMarkers(const std::wstring& text) {
    std::vector<WaveLayout::CueMarker> markers;
    for (size_t at = 0; at < text.size() && markers.size() < WaveLayout::kMaxMarkers;) {
        const size_t end = std::min(text.find(L'|', at), text.size());
        const std::wstring entry = text.substr(at, end - at);
        at = end + 1;
        const size_t colon = entry.find(L':');
        if (colon == 0 || colon == std::wstring::npos || colon > 20)
            continue;
        WaveLayout::CueMarker marker;
        if (entry.compare(0, colon, L"*") == 0) {
            marker.frame = NotedFile::kAtTheEnd;
        } else {
            bool digits = true;
            for (size_t i = 0; i < colon; ++i) {
                digits = digits && entry[i] >= L'0' && entry[i] <= L'9';
                marker.frame = marker.frame * 10 + uint64_t(entry[i] - L'0');
            }
            if (!digits || colon > 19)
                continue;
        }
        for (size_t i = colon + 1; i < entry.size(); ++i)
            marker.label += entry[i] < 0x80 ? char(entry[i]) : '?';
        marker.label = WaveLayout::MarkerLabel(marker.label);
        markers.push_back(std::move(marker));
    }
    return markers;
}
const wchar_t kToldKey[] = L"Told";
constexpr size_t kMaxNotedFiles = 100;

} // namespace

// The list ends at the first empty key, so a shorter list written over a longer one ends with
// one emptied key.
// A file's markers are written before its name: a note cut short never pairs a file with
// another's markers.
bool NoteRecordingInProgress(const std::vector<NotedFile>& files, ISettingsStore& store) {
    if (files.empty())
        return store.RemoveSection(kRecordingSection);
    bool ok = true;
    for (size_t n = 0; n < files.size() && n < kMaxNotedFiles; ++n) {
        const std::wstring markers = MarkersText(files[n].markers);
        if (!markers.empty() || !store.ReadLong(kRecordingSection, MarkersKey(n).c_str()).empty())
            ok = store.Write(kRecordingSection, MarkersKey(n).c_str(), L"\"" + markers + L"\"") &&
                 ok;
        ok =
            store.Write(kRecordingSection, FileKey(n).c_str(), L"\"" + files[n].path + L"\"") && ok;
    }
    if (files.size() < kMaxNotedFiles &&
        !store.Read(kRecordingSection, FileKey(files.size()).c_str(), L"").empty())
        ok = store.Write(kRecordingSection, FileKey(files.size()).c_str(), L"") && ok;
    return ok;
}

std::vector<NotedFile> RecordingInProgress(ISettingsStore& store) {
    std::vector<NotedFile> files;
    for (size_t n = 0; n < kMaxNotedFiles; ++n) {
        std::wstring file = store.Read(kRecordingSection, FileKey(n).c_str(), L"");
        if (file.empty())
            break;
        files.push_back({std::move(file),
                         ReadMarkers(store.ReadLong(kRecordingSection, MarkersKey(n).c_str()))});
    }
    return files;
}

// Paths cannot hold '|': it separates them.
std::vector<std::wstring> AbsentFilesTold(ISettingsStore& store) {
    std::vector<std::wstring> files;
    const std::wstring text = store.Read(kRecordingSection, kToldKey, L"");
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find(L'|', at), text.size());
        if (end > at)
            files.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return files;
}

bool NoteAbsentFilesTold(const std::vector<std::wstring>& files, ISettingsStore& store) {
    std::wstring text;
    for (const std::wstring& file : files)
        text += (text.empty() ? L"" : L"|") + file;
    return store.Write(kRecordingSection, kToldKey, L"\"" + text + L"\"");
}
