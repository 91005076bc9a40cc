#include "app/settings.h"

#include "engine/recording_format.h"
#include "engine/sequential_naming.h"

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
};

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
    if (!IsValidChannelCount(settings.SamplingChannel))
        settings.SamplingChannel = defaults.SamplingChannel;
    if (!IsValidSampleType(settings.SampleType))
        settings.SampleType = defaults.SampleType;
    if (!IsOfferedRate(settings.SamplingRate))
        settings.SamplingRate = defaults.SamplingRate;
    // Taken numbers are skipped when a name is made, so 0 never replaces a recording.
    if (settings.SeqRecFileCount < 0 || uint32_t(settings.SeqRecFileCount) > kMaxSequenceNumber)
        settings.SeqRecFileCount = defaults.SeqRecFileCount;
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
const wchar_t kRecordingFile[] = L"File";
} // namespace

bool NoteRecordingInProgress(const std::wstring& file, ISettingsStore& store) {
    if (file.empty())
        return store.RemoveSection(kRecordingSection);
    return store.Write(kRecordingSection, kRecordingFile, L"\"" + file + L"\"");
}

std::wstring RecordingInProgress(ISettingsStore& store) {
    return store.Read(kRecordingSection, kRecordingFile, L"");
}
