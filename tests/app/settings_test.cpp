// The settings' reading rules and key table, against a store that behaves like the profile
// functions.
#include "app/settings.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

namespace {

class FakeStore : public ISettingsStore {
public:
    std::map<std::pair<std::wstring, std::wstring>, std::wstring> values;
    std::vector<std::wstring> written; // "section.key=value", in order

    std::wstring Read(const wchar_t* section, const wchar_t* key,
                      const wchar_t* defaultText) override {
        const auto found = values.find({section, key});
        if (found == values.end())
            return defaultText;
        // As GetPrivateProfileString: enclosing blanks and one pair of quotes go, 511 at most.
        std::wstring text = found->second;
        const size_t first = text.find_first_not_of(L" \t");
        const size_t last = text.find_last_not_of(L" \t");
        text = first == std::wstring::npos ? L"" : text.substr(first, last - first + 1);
        if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
            text = text.substr(1, text.size() - 2);
        return text.substr(0, 511);
    }
    bool Write(const wchar_t* section, const wchar_t* key, const std::wstring& value) override {
        written.push_back(std::wstring(section) + L"." + key + L"=" + value);
        values[{section, key}] = value;
        return true;
    }
    bool RemoveSection(const wchar_t*) override { return true; }
    std::wstring ReadLong(const wchar_t* section, const wchar_t* key) override {
        const auto found = values.find({section, key});
        if (found == values.end() || found->second.size() < 2)
            return L"";
        return found->second.substr(1, found->second.size() - 2);
    }
};

TEST(Settings, DefaultsAndTheFileWrittenInOrder) {
    FakeStore store;
    AppSettings settings;
    settings.SamplingRate = 1; // overwritten by the load
    LoadSettings(settings, store);
    EXPECT_EQ(settings.CheckSeqRecFile, 0);
    EXPECT_EQ(settings.SeqRecFileDir, L"");
    EXPECT_EQ(settings.CheckReqFileSubDir, 0);
    EXPECT_EQ(settings.SeqRecFilePrefix, L"");
    EXPECT_EQ(settings.SeqRecFileCount, 0);
    EXPECT_EQ(settings.SamplingChannel, 2);
    EXPECT_EQ(settings.SampleType, 1);
    EXPECT_EQ(settings.SamplingRate, 16000);

    SaveSettings(settings, store);
    const std::vector<std::wstring> expected = {
        L"TabPage2.CheckSeqRecFile=0",     L"TabPage2.SeqRecFileDir=",
        L"TabPage2.CheckReqFileSubDir=0",  L"TabPage2.SeqRecFilePrefix=",
        L"TabPage2.SeqRecFileCount=0",     L"SoundProperty.SamplingChannel=2",
        L"SoundProperty.SampleType=1",     L"SoundProperty.SamplingRate=16000",
        L"SoundProperty.Source=0",         L"SoundProperty.InputDevice=",
        L"SoundProperty.InputDeviceName=", L"SoundProperty.OutputDevice=",
        L"SoundProperty.OutputDeviceName="};
    EXPECT_EQ(store.written, expected);
}

TEST(Settings, ReadingRules) {
    struct Case {
        const wchar_t* flag;
        int expected;
    } flags[] = {{L"0", 0}, {L"", 0}, {L"00", 1}, {L"yes", 1}, {L"1", 1}, {L" 0 ", 0}};
    for (const Case& c : flags) {
        FakeStore store;
        store.values[{L"TabPage2", L"CheckSeqRecFile"}] = c.flag;
        AppSettings settings;
        LoadSettings(settings, store);
        EXPECT_EQ(settings.CheckSeqRecFile, c.expected)
            << "flag text '" << std::string(c.flag, c.flag + wcslen(c.flag)) << "'";
        SaveSettings(settings, store);
        EXPECT_EQ(store.written[0],
                  std::wstring(L"TabPage2.CheckSeqRecFile=") + (c.expected ? L"1" : L"0"));
    }

    FakeStore store;
    store.values[{L"SoundProperty", L"SamplingRate"}] = L"8000Hz";
    store.values[{L"TabPage2", L"SeqRecFileCount"}] = L" -5";
    store.values[{L"TabPage2", L"SeqRecFileDir"}] = L"  \"D:\\録音\\会議\"  ";
    store.values[{L"TabPage2", L"SeqRecFilePrefix"}] = std::wstring(600, L'p');
    AppSettings settings;
    LoadSettings(settings, store);
    EXPECT_EQ(settings.SamplingRate, 8000);
    EXPECT_EQ(settings.SeqRecFileCount, 0) << "below the counter's range";
    EXPECT_EQ(settings.SeqRecFileDir, L"D:\\録音\\会議");
    EXPECT_EQ(settings.SeqRecFilePrefix.size(), 511u);

    store.values[{L"SoundProperty", L"SamplingRate"}] = L"";
    store.values[{L"TabPage2", L"SeqRecFileCount"}] = L"abc";
    LoadSettings(settings, store);
    EXPECT_EQ(settings.SamplingRate, 16000) << "an empty value is the default";
    EXPECT_EQ(settings.SeqRecFileCount, 0);
}

TEST(Settings, IntegersReadLikeTheCLibrary) {
    EXPECT_EQ(ParseInteger(L"42", 7), 42);
    EXPECT_EQ(ParseInteger(L"", 7), 7);
    EXPECT_EQ(ParseInteger(L"\t+12x", 7), 12);
    EXPECT_EQ(ParseInteger(L"-", 7), 0);
    EXPECT_EQ(ParseInteger(L"x12", 7), 0);
    EXPECT_EQ(ParseInteger(L"- 3", 7), 0);
    EXPECT_EQ(ParseInteger(L"2147483647", 7), 2147483647);
    EXPECT_EQ(ParseInteger(L"-2147483648", 7), INT32_MIN);
    EXPECT_EQ(ParseInteger(L"4294967296", 7), 0) << "overflow wraps, without undefined behaviour";
}

TEST(Settings, OnlySoundPropertyInTheFile) {
    FakeStore store;
    store.values[{L"SoundProperty", L"SamplingChannel"}] = L"1";
    store.values[{L"SoundProperty", L"SampleType"}] = L"3";
    store.values[{L"SoundProperty", L"SamplingRate"}] = L"44100";
    AppSettings settings;
    LoadSettings(settings, store);
    EXPECT_EQ(settings.SamplingChannel, 1);
    EXPECT_EQ(settings.SampleType, 3);
    EXPECT_EQ(settings.SamplingRate, 44100);
    EXPECT_EQ(settings.CheckSeqRecFile, 0);
    EXPECT_EQ(settings.SeqRecFileCount, 0);
}

// Values the program cannot use become their defaults, the counter outside 0..999999 among them.
TEST(Settings, UnusableValuesBecomeDefaults) {
    FakeStore store;
    store.values[{L"SoundProperty", L"SamplingChannel"}] = L"3";
    store.values[{L"SoundProperty", L"SampleType"}] = L"4";
    store.values[{L"SoundProperty", L"SamplingRate"}] = L"7000";
    store.values[{L"TabPage2", L"SeqRecFileCount"}] = L"1234567";
    store.values[{L"TabPage2", L"SeqRecFilePrefix"}] = L"10:30-"; // an NTFS stream
    AppSettings settings;
    LoadSettings(settings, store);
    EXPECT_EQ(settings.SeqRecFilePrefix, L"");
    EXPECT_EQ(settings.SamplingChannel, 2);
    EXPECT_EQ(settings.SampleType, 1);
    EXPECT_EQ(settings.SamplingRate, 16000);
    EXPECT_EQ(settings.SeqRecFileCount, 0);
    store.values[{L"SoundProperty", L"SampleType"}] = L"-1";
    store.values[{L"SoundProperty", L"SamplingChannel"}] = L"0";
    store.values[{L"TabPage2", L"SeqRecFileCount"}] = L"999999";
    LoadSettings(settings, store);
    EXPECT_EQ(settings.SampleType, 1);
    EXPECT_EQ(settings.SamplingChannel, 2);
    EXPECT_EQ(settings.SeqRecFileCount, 999999) << "the last number of the range";
    store.values[{L"TabPage2", L"SeqRecFileCount"}] = L"1000000";
    LoadSettings(settings, store);
    EXPECT_EQ(settings.SeqRecFileCount, 0);

    // What is recorded: a value that names nothing is the default and said; a device that is
    // not plugged in is kept (the start says so).
    const std::wstring id = L"{0.0.1.00000000}.{0b2a1e84-7a1d-4cf8-9b3c-6a3c15d9e001}";
    const std::wstring cut(600, L'x'); // longer than a value is read
    const struct {
        const wchar_t *key, *value;
        int source;
        std::wstring input, output;
        std::vector<std::wstring> damaged;
    } cases[] = {
        {L"Source", L"1", 1, L"", L"", {}},
        {L"Source", L" 1 ", 1, L"", L"", {}},
        {L"Source", L"2", 2, L"", L"", {}},
        {L"Source", L"3", 0, L"", L"", {L"Source"}},
        {L"Source", L"abc", 0, L"", L"", {L"Source"}},
        {L"InputDevice", L"communications", 0, L"communications", L"", {}},
        {L"InputDevice", id.c_str(), 0, id, L"", {}},
        {L"InputDevice", L"{0.0.1.00000000}.{}", 0, L"", L"", {L"InputDevice"}},
        {L"OutputDevice", cut.c_str(), 0, L"", L"", {L"OutputDevice"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.key) + L"=" + c.value);
        FakeStore source;
        source.values[{L"SoundProperty", c.key}] = c.value;
        LoadSettings(settings, source);
        EXPECT_EQ(settings.Source, c.source);
        EXPECT_EQ(settings.InputDevice, c.input);
        EXPECT_EQ(settings.OutputDevice, c.output);
        EXPECT_EQ(settings.Damaged, c.damaged);
    }
}

// A recording's note keeps each file's markers (a file's markers before its name, so a note cut
// short between the two never gives a file another's); what cannot be read as a marker is left
// out, and a label keeps to printable ASCII without the separator.
TEST(Settings, RecordingNoteKeepsEachFilesMarkers) {
    FakeStore store;
    const std::vector<NotedFile> files = {
        {L"C:\\a.wav", {{0, "Marker 1"}, {NotedFile::kAtTheEnd, "Resume 1"}}}, {L"C:\\b.wav", {}}};
    ASSERT_TRUE(NoteRecordingInProgress(files, store));
    EXPECT_EQ(RecordingInProgress(store), files);
    ASSERT_TRUE(NoteRecordingInProgress({files[1]}, store)); // a.wav complete
    EXPECT_EQ(store.written.at(3), L"Recording.Markers=\"\"") << "b.wav's, before its name";
    EXPECT_EQ(store.written.at(4), L"Recording.File=\"C:\\b.wav\"");
    store.values[{L"Recording", L"Markers"}] =
        L"\"12:ok|x:no frame|*:end|:none|99999999999999999999:too large|5|7:a|b|3:\u00e9\x01\"";
    std::vector<WaveLayout::CueMarker> read = RecordingInProgress(store).at(0).markers;
    ASSERT_EQ(read.size(), 4u);
    EXPECT_TRUE(read[0].frame == 12 && read[1].frame == NotedFile::kAtTheEnd && read[2].frame == 7);
    EXPECT_EQ(read[1].label + read[2].label + read[3].label, "enda??");
    ASSERT_TRUE(NoteRecordingInProgress({{L"C:\\c.wav", {{3, "a|b"}}}}, store));
    EXPECT_EQ(RecordingInProgress(store).at(0).markers.at(0).label, "a/b");
}

} // namespace
